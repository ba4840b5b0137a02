#pragma once

// Failures on demand for every call the program makes on files, so that tests can show what each command
// does when the disk fills, a rename is refused or a sync fails at any step, without a real broken disk.

#include <atomic>
#include <string>

#include "platform/Files.h"

namespace frostmark {

enum class FileCall {
    Open,  // OpenRead, OpenRegular, CreateNew
    Read,  // Read, ReadAt, and the source of CopyFrom
    Write, // Write, and the target of CopyFrom
    Sync,
    Truncate,
    Reserve,
    Close,
    Replace, // MoveIntoPlace: the path is the target's
    Remove,
    Link, // LinkFile: the path is the new name's
};

class IFileFaults {
public:
    virtual ~IFileFaults() = default;
    // Asked before every call on a file, on whichever thread makes it, with the path the file was opened
    // with. A kind other than None makes the call fail with that error, with the system's text for it,
    // without reaching the system.
    virtual FileErrorKind Before(FileCall call, const std::string& path) = 0;
};

// Installs faults for every file call of the process (null: none); answers the ones installed before.
// For tests.
IFileFaults* SetFileFaults(IFileFaults* faults);

// Fails the nth call (1: the first) of one kind whose path contains pathPart ("" for any), and every such
// call after it when `andLater`. Counts across threads.
class CFailingCall : public IFileFaults {
public:
    CFailingCall(FileCall call, int nth, FileErrorKind kind, std::string pathPart = {}, bool andLater = true)
        : m_call(call), m_nth(nth), m_kind(kind), m_pathPart(std::move(pathPart)), m_andLater(andLater) {}
    FileErrorKind Before(FileCall call, const std::string& path) override {
        if (call != m_call || path.find(m_pathPart) == std::string::npos)
            return FileErrorKind::None;
        const int seen = ++m_seen;
        return seen == m_nth || (m_andLater && seen > m_nth) ? m_kind : FileErrorKind::None;
    }
    // Calls of the kind seen so far, failed or not.
    int Seen() const { return m_seen; }

private:
    FileCall m_call;
    int m_nth;
    FileErrorKind m_kind;
    std::string m_pathPart;
    bool m_andLater;
    std::atomic<int> m_seen{0};
};

// Installs faults for its lifetime and puts the previous ones back.
class CFileFaultsScope {
public:
    explicit CFileFaultsScope(IFileFaults& faults) : m_previous(SetFileFaults(&faults)) {}
    ~CFileFaultsScope() { SetFileFaults(m_previous); }
    CFileFaultsScope(const CFileFaultsScope&) = delete;
    CFileFaultsScope& operator=(const CFileFaultsScope&) = delete;

private:
    IFileFaults* m_previous;
};

// The fault for a call, if any are installed (used by the implementations).
FileErrorKind InjectedFault(FileCall call, const std::string& path);

} // namespace frostmark
