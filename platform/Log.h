#pragma once

// The program's log, "frostmark.log": one time-stamped, flushed line per call, so that an administrator
// can see afterwards which script files were read and what went wrong. The previous run's log is kept
// once as "frostmark.log.old".
//
// g_Log exists for the whole program but writes nothing until Start() is called; both programs call it
// first thing in main (in the working directory), and tests start it in a directory of their own. Log()
// never throws and never reports a failure: without an open file it does nothing.

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

namespace frostmark {

inline constexpr const char* kLogFileName = "frostmark.log";
inline constexpr const char* kOldLogFileName = "frostmark.log.old";
inline constexpr const char* kLogProgramName = "Frostmark v1.0";

class COstrelLog {
public:
    // Answers the local calendar time to stamp a line with.
    using Clock = std::function<std::tm()>;

    COstrelLog() noexcept;
    virtual ~COstrelLog(); // Stop()
    COstrelLog(const COstrelLog&) = delete;
    COstrelLog& operator=(const COstrelLog&) = delete;

    // Rotates and opens the log in `directory` (the working directory when empty): deletes
    // "frostmark.log.old", renames "frostmark.log" to it (failures of both are ignored), opens a new
    // "frostmark.log" and writes "Starting %s" with `programName`. A log already open is stopped first.
    // Answers whether the file could be opened.
    bool Start(const std::filesystem::path& directory = {},
               const char* programName = kLogProgramName) noexcept;

    // Writes "Ostrel is shutting down." and closes the file. Nothing when not started.
    void Stop() noexcept;

    bool IsOpen() const noexcept { return m_file != nullptr; }
    // The file being written, as an absolute path (empty when not started).
    const std::filesystem::path& Path() const noexcept { return m_path; }

    // One line: "%ld.%ld.%ld %02d:%02d:%02d ::" (year, month, day, hour, minute, second of the local
    // time), the message formatted by the printf rules, "\n"; flushed before returning.
    [[gnu::format(printf, 2, 3)]] void Log(const char* format, ...) noexcept;

    // Replaces the time source (tests); an empty clock restores the system's local time.
    void SetClock(Clock clock);

    // Also hands every line, without its time stamp, to `echo` (the command line's --verbose), also
    // while no file is open; an empty function ends that.
    using Echo = std::function<void(const std::string& line)>;
    void SetEcho(Echo echo);

    // The time stamp for a calendar time, as written at the start of every line.
    static std::string FormatTimeStamp(const std::tm& time);

private:
    // The desktop program's commands log from a thread of their own: a line is written whole.
    std::mutex m_lineMutex;
    std::FILE* m_file = nullptr;
    std::filesystem::path m_path;
    Clock m_clock;
    Echo m_echo;
};

// The one log of the program.
extern COstrelLog g_Log;

} // namespace frostmark
