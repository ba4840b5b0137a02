#include "platform/Log.h"

#include <cstdarg>
#include <system_error>

namespace frostmark {

COstrelLog g_Log;

namespace {

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

} // namespace

COstrelLog::COstrelLog() noexcept = default;

COstrelLog::~COstrelLog() {
    Stop();
}

bool COstrelLog::Start(const std::filesystem::path& directory, const char* programName) noexcept {
    Stop();
    try {
        const std::filesystem::path logPath = directory / kLogFileName;
        const std::filesystem::path oldPath = directory / kOldLogFileName;
        std::error_code ignored;
        // Only a file is ever deleted: a directory of that name is left alone (the rename then fails too,
        // and the new log simply replaces the old one).
        if (!std::filesystem::is_directory(std::filesystem::symlink_status(oldPath, ignored)))
            std::filesystem::remove(oldPath, ignored);
        std::filesystem::rename(logPath, oldPath, ignored);
        // Text mode: lines end as the system's own text files do (CR LF on Windows). The path goes to
        // the system as it is, in UTF-16 on Windows, so that a directory of any name works.
#if defined(_WIN32)
        m_file = _wfopen(logPath.c_str(), L"w");
#else
        m_file = std::fopen(logPath.c_str(), "w");
#endif
        if (!m_file)
            return false;
        // Kept absolute: the loaders change the working directory while the file stays where it was opened.
        m_path = std::filesystem::absolute(logPath, ignored);
        if (m_path.empty())
            m_path = logPath;
    } catch (...) {
        if (m_file) {
            std::fclose(m_file);
            m_file = nullptr;
        }
        return false;
    }
    Log("Starting %s", programName ? programName : kLogProgramName);
    return true;
}

void COstrelLog::Stop() noexcept {
    if (!m_file)
        return;
    Log("Ostrel is shutting down.");
    std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
}

void COstrelLog::SetClock(Clock clock) {
    m_clock = std::move(clock);
}

std::string COstrelLog::FormatTimeStamp(const std::tm& time) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp,
                  "%ld.%ld.%ld %02d:%02d:%02d ::", static_cast<long>(time.tm_year) + 1900,
                  static_cast<long>(time.tm_mon) + 1, static_cast<long>(time.tm_mday), time.tm_hour,
                  time.tm_min, time.tm_sec);
    return stamp;
}

void COstrelLog::SetEcho(Echo echo) {
    m_echo = std::move(echo);
}

void COstrelLog::Log(const char* format, ...) noexcept {
    if ((!m_file && !m_echo) || !format)
        return;
    std::string message;
    std::string stamp;
    try {
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        const int length = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        if (length > 0) {
            message.resize(static_cast<std::size_t>(length) + 1);
            std::vsnprintf(message.data(), message.size(), format, args);
            message.resize(static_cast<std::size_t>(length));
        }
        va_end(args);
        if (m_file) {
            std::tm now{};
            try {
                now = m_clock ? m_clock() : LocalNow();
            } catch (...) {
                now = LocalNow();
            }
            stamp = FormatTimeStamp(now);
        }
    } catch (...) {
        return;
    }
    // One line at a time, whichever thread writes it, in the file and in the echo alike.
    const std::lock_guard<std::mutex> line(m_lineMutex);
    if (m_echo) {
        try {
            m_echo(message);
        } catch (...) {
        }
    }
    if (!m_file)
        return;
    std::fputs(stamp.c_str(), m_file);
    std::fputs(message.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

} // namespace frostmark
