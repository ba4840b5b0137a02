#include "model/ScriptFiles.h"

#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/Paths.h"
#include "script/LineReader.h"

namespace frostmark {

char PathSeparator() {
    return static_cast<char>(std::filesystem::path::preferred_separator);
}

std::string WithPlatformSeparators(std::string_view path) {
    std::string result(path);
    for (char& c : result) {
        if (c == '\\' || c == '/') {
            c = PathSeparator();
        }
    }
    return result;
}

namespace {

bool OpenResolved(CLineReader& file, std::string_view path, const std::string& directory,
                  std::string& opened) {
    const std::filesystem::path resolved = ResolveScriptPath(path, PathFromUtf8(directory));
    if (!file.Open(Utf8FromPath(resolved))) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(resolved, ec);
    opened = Utf8FromPath(ec ? resolved : absolute.lexically_normal());
    return true;
}

} // namespace

bool OpenScriptFile(CLineReader& file, const std::string& path, const std::string& directory,
                    std::string& opened) {
    if (OpenResolved(file, path, directory, opened)) {
        return true;
    }
    // A resource line with a comment after a blank keeps that blank ("items.scp // main items"); the
    // server's system drops trailing blanks and dots of a file name, so the file is found there.
    std::string_view trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '.' || trimmed.back() == '\t')) {
        trimmed.remove_suffix(1);
    }
    return trimmed.size() != path.size() && !trimmed.empty() &&
           OpenResolved(file, trimmed, directory, opened);
}

std::uint32_t ProgressValue(std::uint64_t value) {
    return value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(value);
}

} // namespace frostmark
