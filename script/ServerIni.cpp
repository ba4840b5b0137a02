#include "script/ServerIni.h"

#include <filesystem>

#include "platform/Paths.h"
#include "script/LineReader.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != kSeparator) {
        path += kSeparator;
    }
    return path;
}

} // namespace

std::string ReadScriptPathFromIni(const std::string& iniPath, const std::string& defaultDirectory) {
    CLineReader file;
    if (!file.Open(iniPath)) {
        return WithSeparator(defaultDirectory);
    }
    std::string_view line;
    while (file.ReadLine(line)) {
        if (line.empty() || !NameStartsWith(line, "scpfiles")) {
            continue;
        }
        const std::string_view written = TrimRight(line.size() > 9 ? line.substr(9) : std::string_view());
        std::string directory = NormalizePath(written);
        // Nothing written gives the root; otherwise the name is resolved without its closing separator.
        while (directory.size() > 1 && directory.back() == kSeparator) {
            directory.pop_back();
        }
        if (!directory.empty()) {
            // A relative directory is the ini file's neighbour.
            directory =
                Utf8FromPath(ResolvePathCase(PathFromUtf8(directory), PathFromUtf8(iniPath).parent_path()));
        }
        return WithSeparator(directory);
    }
    return WithSeparator(defaultDirectory);
}

} // namespace frostmark
