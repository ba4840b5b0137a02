#include "model/ScriptSetState.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <system_error>

namespace frostmark {

namespace {

namespace fs = std::filesystem;

// The files a script load starts from: the ini file, the tables file, and the older layout's fixed files.
constexpr std::string_view kStartFiles[] = {
    "tavrel.ini",      "tavreltables.scp", "tavreldefs.scp",  "tavreldefs2.scp",    "tavrelitem.scp",
    "tavrelitem2.scp", "tavrelchar.scp",   "tavrelchar2.scp", "tavreltemplate.scp", "tavreltemplate2.scp",
    "tavrelname.scp",  "tavrelspee.scp",   "tavrelmap.scp",   "tavrelmap2.scp",     "tavreltrig.scp",
    "tavreltrig2.scp", "hoglocs.scp",      "custloc.scp"};

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() && EqualsNoCase(name.substr(name.size() - suffix.size()), suffix);
}

bool IsScriptSetFile(std::string_view name) {
    return EndsWithNoCase(name, ".scp") || EndsWithNoCase(name, ".ini");
}

std::string ReasonOf(const std::error_code& ec) {
    return ec ? ec.message() : std::string(std::strerror(EIO));
}

} // namespace

std::string CScriptDirectoryCheck::Message() const {
    switch (problem) {
    case ScriptDirectoryProblem::None:
        return {};
    case ScriptDirectoryProblem::NoScriptFiles:
        return "no script files in " + directory + (reason.empty() ? "" : " (" + reason + ")");
    case ScriptDirectoryProblem::Missing:
    case ScriptDirectoryProblem::NotADirectory:
    case ScriptDirectoryProblem::Unreadable:
        break;
    }
    return "Unable to open the script directory " + directory + ": " + reason;
}

CScriptDirectoryCheck CheckScriptDirectory(const std::string& directory) {
    CScriptDirectoryCheck check;
    check.directory = directory;
    const fs::path path = ResolveScriptPath(directory);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        check.problem = ScriptDirectoryProblem::Missing;
        check.reason = "No such file or directory";
        return check;
    }
    if (!fs::is_directory(status)) {
        check.problem = ScriptDirectoryProblem::NotADirectory;
        check.reason = "is not a directory";
        return check;
    }
    fs::directory_iterator it(path, ec);
    if (ec) {
        check.problem = ScriptDirectoryProblem::Unreadable;
        check.reason = ReasonOf(ec);
        return check;
    }
    std::size_t scp = 0;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (std::any_of(std::begin(kStartFiles), std::end(kStartFiles),
                        [&](std::string_view start) { return EqualsNoCase(name, start); }))
            return check;
        if (EndsWithNoCase(name, ".scp"))
            ++scp;
    }
    if (ec) {
        check.problem = ScriptDirectoryProblem::Unreadable;
        check.reason = ReasonOf(ec);
        return check;
    }
    check.problem = ScriptDirectoryProblem::NoScriptFiles;
    check.reason = scp == 0 ? "neither tavrel.ini nor tavreltables.scp nor the older layout's tavrelitem.scp"
                            : std::to_string(scp) + " .scp file" + (scp == 1 ? "" : "s") +
                                  " but neither tavrel.ini nor tavreltables.scp: is the script directory "
                                  "the one above?";
    return check;
}

CScriptSetState CScriptSetState::Read(const std::string& directory, std::size_t limit) {
    CScriptSetState state;
    const fs::path root = ResolveScriptPath(directory);
    std::error_code ec;
    state.m_directory = Utf8FromPath(fs::absolute(root, ec).lexically_normal());
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return state;
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const fs::path& path = it->path();
        if (!IsScriptSetFile(Utf8FromPath(path.filename())))
            continue;
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc))
            continue;
        if (state.m_files.size() >= limit) {
            state.m_truncated = true;
            break;
        }
        CFile file;
        file.path = path.lexically_relative(root).generic_string();
        file.size = static_cast<std::uint64_t>(it->file_size(fileEc));
        const fs::file_time_type time = it->last_write_time(fileEc);
        file.modifiedNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
        state.m_files.push_back(std::move(file));
    }
    if (ec)
        state.m_truncated = true; // a tree that could not be read whole is never taken as unchanged
    std::sort(state.m_files.begin(), state.m_files.end(),
              [](const CFile& a, const CFile& b) { return a.path < b.path; });
    return state;
}

} // namespace frostmark
