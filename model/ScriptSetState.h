#pragma once

// What the programs check of a script directory before they load it, and what they remember of it
// afterwards to know whether it must be loaded again.

#include <cstdint>
#include <string>
#include <vector>

namespace frostmark {

enum class ScriptDirectoryProblem {
    None,
    Missing,       // nothing of that name
    NotADirectory, // a file or device
    Unreadable,    // its entries cannot be listed
    NoScriptFiles, // none of the files a script set is read from
};

struct CScriptDirectoryCheck {
    ScriptDirectoryProblem problem = ScriptDirectoryProblem::None;
    std::string directory; // as given
    std::string reason;    // the system's reason, or what is missing
    bool Ok() const { return problem == ScriptDirectoryProblem::None; }
    // "Unable to open the script directory DIR: REASON", or "no script files in DIR (...)".
    std::string Message() const;
};

// Checks, before anything is loaded, that `directory` (resolved as the loaders resolve it: either
// separator, letter case ignored where the name is not found as written) is a readable directory that
// holds a script set: the server's ini file "tavrel.ini", the tables file "tavreltables.scp", or one of
// the fixed files of the older layout. A directory one level too deep, with only the scripts the ini file
// lists, holds none of them.
CScriptDirectoryCheck CheckScriptDirectory(const std::string& directory);

// The script files of a directory tree as a reload would notice them: the name, size and modification
// time of every file ending in ".scp" or ".ini" (any letter case) in the directory and its
// subdirectories. Two states differ when a file was added, removed, or changed size or time.
class CScriptSetState {
public:
    struct CFile {
        std::string path; // relative to the directory
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const CFile&) const = default;
    };

    // Reads the state of `directory` now (resolved as CheckScriptDirectory does). At most `limit` files
    // are noted; a larger tree is noted as truncated and never compares equal, so it is loaded every time.
    static CScriptSetState Read(const std::string& directory, std::size_t limit = 200000);

    const std::vector<CFile>& Files() const { return m_files; }
    bool operator==(const CScriptSetState& other) const {
        return !m_truncated && !other.m_truncated && m_directory == other.m_directory &&
               m_files == other.m_files;
    }

private:
    std::string m_directory; // the resolved directory
    std::vector<CFile> m_files;
    bool m_truncated = false;
};

} // namespace frostmark
