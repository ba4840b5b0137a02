// Every command and option the program's help names is documented where users look for it: the
// manual page, the README and the bash completion.
#include "CliTestSupport.h"

#include "cli/CliOptions.h"

#include <regex>
#include <set>

namespace frostmark {
namespace {

using testing::ReadFile;

const std::string kSource = FROSTMARK_SOURCE_DIR;

// The options (long and short) the usage text names.
std::set<std::string> OptionsOf(const std::string& text) {
    std::set<std::string> options;
    const std::regex option(R"((^|[\s,\[])(--[a-z][a-z-]*[a-z]|-[a-zA-Z])(?=[\s,=\]]|$))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        options.insert((*it)[2]);
    return options;
}

// The commands listed under "Commands:" in the usage text.
std::set<std::string> CommandsOf(const std::string& usage) {
    std::set<std::string> commands;
    const std::size_t start = usage.find("Commands:\n");
    const std::size_t end = usage.find("\n\n", start);
    const std::regex line(R"(\n  ([a-z]+) )");
    const std::string section = usage.substr(start, end - start);
    for (auto it = std::sregex_iterator(section.begin(), section.end(), line); it != std::sregex_iterator();
         ++it)
        commands.insert((*it)[1]);
    return commands;
}

// The manual page as it renders: roff's escaped minus signs are plain ones, font changes vanish.
std::string ManualPageText() {
    std::string text = ReadFile(kSource + "/docs/man/frostmark-cli.1.in");
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

bool Mentions(const std::string& text, const std::string& word) {
    const std::regex whole("(^|[^a-zA-Z-])" + std::regex_replace(word, std::regex("-"), "\\-") +
                           "($|[^a-zA-Z-])");
    return std::regex_search(text, whole);
}

TEST(Docs, EveryCommandAndOptionIsDocumentedAndCompleted) {
    const std::string usage = UsageText();
    const std::set<std::string> options = OptionsOf(usage);
    const std::set<std::string> commands = CommandsOf(usage);
    // The extraction itself works: known members are found, and the lists are not trivially short.
    ASSERT_TRUE(options.count("--world") && options.count("-w") && options.count("--exclude-containers"));
    ASSERT_TRUE(commands.count("analyze") && commands.count("map") && commands.count("help"));
    ASSERT_GE(options.size(), 30u);
    ASSERT_GE(commands.size(), 8u);

    const std::string manual = ManualPageText();
    const std::string readme = ReadFile(kSource + "/README.md");
    const std::string completion = ReadFile(kSource + "/packaging/frostmark-cli.bash-completion");
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(completion.empty());
    for (const std::string& option : options) {
        EXPECT_TRUE(Mentions(manual, option)) << "manual page lacks " << option;
        EXPECT_TRUE(Mentions(readme, option)) << "README lacks " << option;
        EXPECT_TRUE(Mentions(completion, option)) << "bash completion lacks " << option;
    }
    for (const std::string& command : commands) {
        EXPECT_TRUE(Mentions(manual, command)) << "manual page lacks " << command;
        EXPECT_TRUE(Mentions(completion, command)) << "bash completion lacks " << command;
    }
    // Each command's own help names only options the overview knows.
    for (CliCommand command : {CliCommand::Analyze, CliCommand::Patch, CliCommand::Clean, CliCommand::Freeze,
                               CliCommand::Inspect, CliCommand::Scripts, CliCommand::Map}) {
        for (const std::string& option : OptionsOf(CommandHelpText(command)))
            EXPECT_TRUE(options.count(option)) << CommandName(command) << " --help names " << option;
    }
    // The exit statuses the program uses are all in the manual page's EXIT STATUS section.
    const std::string exitSection = manual.substr(manual.find(".SH EXIT STATUS"));
    for (int code : {kExitOk, kExitFailure, kExitUsage, kExitInput, kExitOutput})
        EXPECT_NE(exitSection.find(".B " + std::to_string(code) + "\n"), std::string::npos) << code;
}

} // namespace
} // namespace frostmark
