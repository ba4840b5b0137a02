#include "platform/DirList.h"

#include "platform/Paths.h"

#include <algorithm>
#include <system_error>

namespace frostmark {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LessNoCaseThenBytes(const std::string& a, const std::string& b) {
    const bool lessNoCase =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
        });
    if (lessNoCase)
        return true;
    const bool greaterNoCase =
        std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
            return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
        });
    return !greaterNoCase && a < b;
}

} // namespace

bool HasScpExtension(const std::string& name) {
    static constexpr char kExtension[] = ".scp";
    constexpr std::size_t length = sizeof kExtension - 1;
    if (name.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(name[name.size() - length + i]) != kExtension[i])
            return false;
    }
    return true;
}

std::vector<std::string> ListScpFiles(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(directory.empty() ? fs::path(".") : directory, ec);
    if (ec)
        return names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::string name = Utf8FromPath(it->path().filename());
        if (!HasScpExtension(name))
            continue;
        std::error_code statusError;
        if (!it->is_regular_file(statusError))
            continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), LessNoCaseThenBytes);
    return names;
}

} // namespace frostmark
