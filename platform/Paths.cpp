#include "platform/Paths.h"

#include <system_error>

namespace frostmark {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The entry of `directory` whose name equals `name` without regard to case; the first in byte order
// when several do, so the choice does not depend on the order the file system lists them in.
std::optional<fs::path> FindNoCase(const fs::path& directory, const std::string& name) {
    std::error_code ec;
    fs::directory_iterator it(directory.empty() ? fs::path(".") : directory, ec);
    if (ec)
        return std::nullopt;
    std::optional<std::string> best;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::string candidate = it->path().filename().string();
        if (EqualsNoCase(candidate, name) && (!best || candidate < *best))
            best = std::move(candidate);
    }
    if (!best)
        return std::nullopt;
    return directory.empty() ? fs::path(*best) : directory / *best;
}

} // namespace

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

fs::path ResolvePathCase(const fs::path& path) {
    std::error_code ec;
    if (path.empty() || fs::exists(path, ec))
        return path;
    fs::path current;
    for (const fs::path& element : path) {
        const std::string name = element.string();
        if (name.empty())
            continue;
        if (current.empty() && (element == path.root_name() || element == path.root_directory())) {
            current /= element;
            continue;
        }
        const fs::path candidate = current.empty() ? element : current / element;
        if (name == "." || name == ".." || fs::exists(candidate, ec)) {
            current = candidate;
            continue;
        }
        auto match = FindNoCase(current, name);
        if (!match)
            return path;
        current = std::move(*match);
    }
    return current;
}

fs::path ResolveScriptPath(std::string_view path) {
    return ResolvePathCase(fs::path(NormalizePath(path)));
}

std::string GetWorkingDirectory() {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (ec)
        return {};
    return cwd.string();
}

bool SetWorkingDirectory(std::string_view directory) {
    if (directory.empty())
        return false;
    std::error_code ec;
    fs::current_path(ResolveScriptPath(directory), ec);
    return !ec;
}

CWorkingDirectoryGuard::CWorkingDirectoryGuard(std::string_view directory)
    : m_previous(GetWorkingDirectory()) {
    m_changed = !m_previous.empty() && SetWorkingDirectory(directory);
}

CWorkingDirectoryGuard::~CWorkingDirectoryGuard() {
    if (m_changed) {
        std::error_code ec;
        fs::current_path(m_previous, ec);
    }
}

} // namespace frostmark
