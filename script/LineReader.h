#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Files.h"

namespace frostmark {

// The one line reader for script files and world files.
//
// A line ends at a line feed; a carriage return directly before the line feed is dropped with it. Any other
// carriage return, and NUL bytes, are ordinary bytes of the line. A last line without a final line feed is
// still a line. There is no limit on line length: the buffer (1 MiB to start) grows only when a single line
// does not fit, so a scan of a huge file holds one buffer, never the file. It doubles, but never beyond
// what the rest of the file needs, so a line of most of the file is held about once.
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
    // the file cannot be opened or is no regular file (a directory, device, FIFO or socket), with the
    // reason in Error(). Closes whatever was open before.
    bool Open(const std::string& path);
    // Reads from a file already open for reading (at its start). False when its size cannot be had.
    bool Open(CFile file);
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
    // True when a read from the file failed (as opposed to a clean end of file), or a line was too long
    // for the memory to be had (OutOfMemory).
    bool Failed() const { return m_failed; }
    // True when the buffer could not grow to hold a line: the line and what follows were not read.
    bool OutOfMemory() const { return m_outOfMemory; }
    // Why the last Open, Seek or read failed.
    const CFileError& Error() const { return m_file.Error(); }
    // True once a line was returned without the carriage return that ended it (a CR LF line end).
    bool SawCarriageReturn() const { return m_sawCarriageReturn; }

private:
    // Bit i is set when p[i] is a line feed, for the 64 bytes at p.
    static inline uint64_t LineFeedMask(const char* p);
    // Makes room and reads more of the file behind the unread bytes. False when nothing more comes.
    bool Refill();
    bool ReadLineSlow(std::string_view& line);
    // Forgets the line feeds found ahead, after m_begin was moved.
    void Rescan() {
        m_scan = m_begin;
        m_mask = 0;
    }

    CFile m_file;
    std::string m_path;
    struct CFree {
        void operator()(char* block) const { std::free(block); }
    };
    // From malloc: growing it with realloc lets the system move a large block by remapping its pages
    // instead of holding the old and the new copy at once.
    std::unique_ptr<char, CFree> m_buffer;
    size_t m_capacity = 0;
    size_t m_begin = 0;    // first unread byte in the buffer
    size_t m_end = 0;      // one past the last valid byte in the buffer
    size_t m_lastLine = 0; // buffer index where the last returned line began
    // Line feeds are found 64 bytes at a time: m_mask holds those not yet used, of the block that starts at
    // m_maskBase; every byte from m_begin up to m_scan has been looked at.
    size_t m_scan = 0;
    size_t m_maskBase = 0;
    uint64_t m_mask = 0;
    uint64_t m_bufferOffset = 0; // file offset of m_buffer[0]
    uint64_t m_lineStart = 0;
    uint64_t m_size = 0;
    bool m_open = false;
    bool m_atEnd = false; // the file has nothing more to give beyond m_end
    bool m_haveLine = false;
    bool m_failed = false;
    bool m_sawCarriageReturn = false;
    bool m_outOfMemory = false;
};

inline uint64_t CLineReader::LineFeedMask(const char* p) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    auto part = [&](int k) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        return uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))));
    };
    return part(0) | (part(1) << 16) | (part(2) << 32) | (part(3) << 48);
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) {
        mask |= uint64_t(p[i] == '\n') << i;
    }
    return mask;
#endif
}

inline bool CLineReader::ReadLine(std::string_view& line) {
    for (;;) {
        if (m_mask != 0) {
            const size_t lf = m_maskBase + size_t(std::countr_zero(m_mask));
            m_mask &= m_mask - 1;
            char* const start = m_buffer.get() + m_begin;
            size_t length = lf - m_begin;
            if (length != 0 && start[length - 1] == '\r') {
                --length;
                m_sawCarriageReturn = true;
            }
            line = std::string_view(start, length);
            m_lastLine = m_begin;
            m_lineStart = m_bufferOffset + m_begin;
            m_begin = lf + 1;
            m_haveLine = true;
            return true;
        }
        if (m_end - m_scan < 64) {
            return ReadLineSlow(line);
        }
        m_maskBase = m_scan;
        m_mask = LineFeedMask(m_buffer.get() + m_scan);
        m_scan += 64;
    }
}

} // namespace frostmark
