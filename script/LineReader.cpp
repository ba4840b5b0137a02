#include "script/LineReader.h"

#include <new>
#include <utility>

namespace frostmark {

CLineReader::CLineReader() = default;

CLineReader::~CLineReader() {
    Close();
}

void CLineReader::Close() {
    m_file.Close();
    // A buffer that grew for one giant line is not kept for the next file.
    if (m_capacity > kInitialBuffer) {
        m_buffer.reset();
        m_capacity = 0;
    }
    m_path.clear();
    m_begin = m_end = m_lastLine = 0;
    Rescan();
    m_bufferOffset = m_lineStart = m_size = 0;
    m_open = m_atEnd = m_haveLine = m_failed = m_sawCarriageReturn = m_outOfMemory = false;
}

bool CLineReader::Open(const std::string& path) {
    CFile file;
    // Regular files only: a device would be read forever, and opening a FIFO waits for a writer.
    if (!file.OpenRegular(path)) {
        Close();
        m_file = std::move(file); // keeps the reason
        return false;
    }
    return Open(std::move(file));
}

bool CLineReader::Open(CFile file) {
    Close();
    uint64_t size = 0;
    const bool sized = file.Size(size);
    m_file = std::move(file);
    if (!sized) {
        m_file.Close();
        return false;
    }
    if (m_capacity < kInitialBuffer) {
        m_buffer.reset(static_cast<char*>(std::malloc(kInitialBuffer)));
        if (!m_buffer) {
            m_capacity = 0;
            m_file.Close();
            m_outOfMemory = m_failed = true;
            return false;
        }
        m_capacity = kInitialBuffer;
    }
    m_path = m_file.Path();
    m_size = size;
    m_open = true;
    return true;
}

bool CLineReader::OpenMemory(std::string text) {
    Close();
    m_capacity = text.size() + 1;
    m_buffer.reset(static_cast<char*>(std::malloc(m_capacity)));
    if (!m_buffer)
        throw std::bad_alloc();
    std::memcpy(m_buffer.get(), text.data(), text.size());
    m_end = text.size();
    m_size = text.size();
    m_atEnd = true;
    m_open = true;
    return true;
}

bool CLineReader::Refill() {
    if (m_atEnd || !m_file.IsOpen()) {
        return false;
    }
    if (m_begin != 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_bufferOffset += m_begin;
        m_end -= m_begin;
        m_scan -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_capacity) {
        // The line fills the buffer. The rest of the file (as long as it was when opened) is all a line can
        // still need; a file that grew since gets doubling again.
        size_t grown = m_capacity * 2;
        const uint64_t rest = m_size > m_bufferOffset ? m_size - m_bufferOffset : 0;
        if (rest >= m_capacity && rest < grown)
            grown = size_t(rest) + 1;
        char* const bigger = static_cast<char*>(std::realloc(m_buffer.get(), grown));
        if (bigger == nullptr) {
            m_outOfMemory = m_failed = m_atEnd = true;
            return false;
        }
        (void)m_buffer.release();
        m_buffer.reset(bigger);
        m_capacity = grown;
    }
    const int64_t got = m_file.Read(m_buffer.get() + m_end, m_capacity - m_end);
    if (got <= 0) {
        if (got < 0) {
            m_failed = true;
        }
        m_atEnd = true;
        return false;
    }
    m_end += size_t(got);
    return true;
}

bool CLineReader::ReadLineSlow(std::string_view& line) {
    if (!m_open) {
        return false;
    }
    // Fewer than 64 bytes are left unlooked-at in the buffer, and no line feed is known before them.
    const char* const tail = m_buffer.get() + m_scan;
    const char* lf = static_cast<const char*>(std::memchr(tail, '\n', m_end - m_scan));
    if (lf != nullptr) {
        char* const start = m_buffer.get() + m_begin;
        size_t length = size_t(lf - start);
        if (length != 0 && start[length - 1] == '\r') {
            --length;
            m_sawCarriageReturn = true;
        }
        line = std::string_view(start, length);
        m_lastLine = m_begin;
        m_lineStart = m_bufferOffset + m_begin;
        m_begin += size_t(lf - start) + 1;
        m_haveLine = true;
        Rescan();
        return true;
    }
    m_scan = m_end;
    if (Refill()) {
        // A long line is looked at once: the scan goes on where it stopped.
        return ReadLine(line);
    }
    if (m_begin == m_end) {
        // End of file: nothing to step back to, and the "position before the read" is the end.
        m_lineStart = m_bufferOffset + m_begin;
        m_haveLine = false;
        return false;
    }
    // The last line of a file that does not end in a line feed. A carriage return there is not part of a
    // terminator, so it stays.
    line = std::string_view(m_buffer.get() + m_begin, m_end - m_begin);
    m_lastLine = m_begin;
    m_lineStart = m_bufferOffset + m_begin;
    m_begin = m_end;
    m_haveLine = true;
    Rescan();
    return true;
}

void CLineReader::StepBack() {
    if (m_haveLine) {
        m_begin = m_lastLine;
        m_haveLine = false;
        Rescan();
    }
}

bool CLineReader::Seek(uint64_t offset) {
    if (!m_open || offset > m_size) {
        return false;
    }
    m_haveLine = false;
    m_lineStart = offset;
    // Within what the buffer holds (the usual case: a loader going back to a header it just passed) no read
    // is needed.
    if (offset >= m_bufferOffset && offset <= m_bufferOffset + m_end) {
        m_begin = size_t(offset - m_bufferOffset);
        Rescan();
        return true;
    }
    if (!m_file.IsOpen() || !m_file.Seek(offset)) {
        return false;
    }
    m_begin = m_end = 0;
    Rescan();
    m_bufferOffset = offset;
    m_atEnd = false;
    return true;
}

} // namespace frostmark
