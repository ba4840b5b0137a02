#include "platform/Paths.h"

#include <system_error>

namespace frostmark {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

[[maybe_unused]] bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The name of the entry of `directory` that equals `name` without regard to case; the first in byte order
// when several do, so the choice does not depend on the order the file system lists them in.
std::optional<std::string> FindNoCase(const fs::path& directory, const std::string& name) {
    std::error_code ec;
    fs::directory_iterator it(directory.empty() ? fs::path(".") : directory, ec);
    if (ec)
        return std::nullopt;
    std::optional<std::string> best;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::string candidate = Utf8FromPath(it->path().filename());
        if (EqualsNoCase(candidate, name) && (!best || candidate < *best))
            best = std::move(candidate);
    }
    return best;
}

} // namespace

std::filesystem::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

std::string NormalizePath(std::string_view path) {
    std::string result(path);
#if defined(_WIN32)
    for (char& c : result) {
        if (c == '/')
            c = '\\';
    }
#else
    if (result.size() >= 2 && IsDriveLetter(result[0]) && result[1] == ':')
        result.erase(0, 2);
    for (char& c : result) {
        if (c == '\\')
            c = '/';
    }
#endif
    return result;
}

fs::path InDirectory(const fs::path& path, const fs::path& base) {
    return base.empty() || !path.is_relative() ? path : base / path;
}

fs::path ResolvePathCase(const fs::path& path, const fs::path& base) {
    std::error_code ec;
    if (path.empty() || fs::exists(InDirectory(path, base), ec))
        return path;
    fs::path current;
    for (const fs::path& element : path) {
        const std::string name = Utf8FromPath(element);
        if (name.empty())
            continue;
        if (current.empty() && (element == path.root_name() || element == path.root_directory())) {
            current /= element;
            continue;
        }
        const fs::path candidate = current.empty() ? element : current / element;
        if (name == "." || name == ".." || fs::exists(InDirectory(candidate, base), ec)) {
            current = candidate;
            continue;
        }
        auto match = FindNoCase(InDirectory(current, base), name);
        if (!match)
            return path;
        current = current.empty() ? PathFromUtf8(*match) : current / PathFromUtf8(*match);
    }
    return current;
}

fs::path ResolveScriptPath(std::string_view path, const fs::path& base) {
    return InDirectory(ResolvePathCase(PathFromUtf8(NormalizePath(path)), base), base);
}

std::string GetWorkingDirectory() {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (ec)
        return {};
    return Utf8FromPath(cwd);
}

} // namespace frostmark
