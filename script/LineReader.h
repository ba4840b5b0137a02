#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace frostmark {

// The one line reader for script files and world files.
//
// A line ends at a line feed; a carriage return directly before the line feed is dropped with it. Any other
// carriage return, and NUL bytes, are ordinary bytes of the line. A last line without a final line feed is
// still a line. There is no limit on line length: the buffer (1 MiB to start) grows only when a single line
// does not fit, so a scan of a huge file holds one buffer, never the file.
//
// Byte offsets are file offsets: LineStart() is the offset at which the line just read begins (the position
// before it was read), which is what loaders store as a section offset and seek back to later.
class CLineReader {
public:
    static constexpr size_t kInitialBuffer = size_t(1) << 20;

    CLineReader();
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    // Opens a file for reading only; other programs may go on reading and writing it meanwhile. False when
    // the file cannot be opened (or is a directory). Closes whatever was open before.
    bool Open(const std::string& path);
    // Reads from the given text instead of a file (tests, in-memory sources). Always true.
    bool OpenMemory(std::string text);
    void Close();
    bool IsOpen() const { return m_open; }

    // The next line without its terminator. The view stays valid until the next call on this reader.
    // False at end of file (or on a read error, see Failed()).
    inline bool ReadLine(std::string_view& line);

    // Offset of the start of the line the last ReadLine returned (after Seek: the offset sought to).
    uint64_t LineStart() const { return m_lineStart; }
    // The next ReadLine returns the line just read once more. Exact across buffer refills; does nothing when
    // no line has been read since the last Open or Seek.
    void StepBack();
    // Moves to an absolute byte offset; the next ReadLine starts there. False for an offset past the end of
    // the file or when the file cannot seek.
    bool Seek(uint64_t offset);
    // Size of the file when it was opened.
    uint64_t Size() const { return m_size; }
    // Offset of the next unread byte (the start of the next line).
    uint64_t Position() const { return m_bufferOffset + m_begin; }
    const std::string& Path() const { return m_path; }
    // True when a read from the file failed (as opposed to a clean end of file).
    bool Failed() const { return m_failed; }

private:
    // Makes room and reads more of the file behind the unread bytes. False when nothing more comes.
    bool Refill();
    bool ReadLineSlow(std::string_view& line);

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
    size_t m_begin = 0;          // first unread byte in the buffer
    size_t m_end = 0;            // one past the last valid byte in the buffer
    size_t m_lastLine = 0;       // buffer index where the last returned line began
    uint64_t m_bufferOffset = 0; // file offset of m_buffer[0]
    uint64_t m_lineStart = 0;
    uint64_t m_size = 0;
    bool m_open = false;
    bool m_atEnd = false; // the file has nothing more to give beyond m_end
    bool m_haveLine = false;
    bool m_failed = false;
};

inline bool CLineReader::ReadLine(std::string_view& line) {
    char* const start = m_buffer.get() + m_begin;
    const size_t avail = m_end - m_begin;
    if (avail != 0) {
        const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
        if (nl != nullptr) {
            size_t length = size_t(nl - start);
            if (length != 0 && start[length - 1] == '\r') {
                --length;
            }
            line = std::string_view(start, length);
            m_lastLine = m_begin;
            m_lineStart = m_bufferOffset + m_begin;
            m_begin += size_t(nl - start) + 1;
            m_haveLine = true;
            return true;
        }
    }
    return ReadLineSlow(line);
}

} // namespace frostmark
