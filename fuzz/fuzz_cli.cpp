// The command-line parser: arguments made from the input (split at NUL bytes) parse to options or to an
// error, never to a fault; "@-" reads the rest of the input as standard input. Options that parse are
// turned into the selection options the analysis takes, and an error always says what is wrong.

#include "FuzzSupport.h"

#include "cli/CliOptions.h"

#include <sstream>
#include <string>
#include <vector>

using namespace frostmark;
using namespace frostmark::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Arguments up to a line "#STDIN", what follows is standard input.
    std::string_view parts[2];
    const bool hasInput = SplitParts(text, "\n#STDIN\n", parts, 2) == 2;
    std::vector<std::string> args;
    std::string_view rest = parts[0];
    while (!rest.empty() && args.size() < 64) {
        const std::size_t end = rest.find('\0');
        args.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    // An argument naming a file is read as such: keep them to names no file has.
    for (const std::string& arg : args)
        if (arg.find('/') != std::string::npos || arg.find('\\') != std::string::npos)
            return 0;
    std::istringstream standardInput{std::string(hasInput ? parts[1] : std::string_view())};
    const CCliParseResult result = ParseCommandLine(args, &standardInput);
    if (!result.options) {
        FUZZ_CHECK(!result.error.empty());
        FUZZ_CHECK(result.exitCode != kExitOk);
        return 0;
    }
    FUZZ_CHECK(result.exitCode == kExitOk);
    (void)result.options->FreezeOptions();
    for (const std::string& arg : args) {
        (void)CommandSuggestion(arg);
        (void)OptionSuggestion(arg);
    }
    return 0;
}
