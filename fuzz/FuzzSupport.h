#pragma once

// What every fuzz target shares: a private scratch directory for the inputs that must be files, checks
// that stop the run with a message (libFuzzer keeps the input that made them fail), and a cursor over
// the input's bytes for the targets that take a few choices before their text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace frostmark::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::frostmark::fuzz::Fail(__FILE__, __LINE__, #condition);                                         \
    } while (false)

// A directory of this process's own under the system's temporary directory, made on first use and removed
// when the process ends normally. Several fuzzing processes (-jobs, -workers) each have their own.
inline const std::filesystem::path& ScratchDirectory() {
    struct CDirectory {
        std::filesystem::path path;
        CDirectory() {
            path = std::filesystem::temp_directory_path() / ("frostmark-fuzz-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path);
        }
        ~CDirectory() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const CDirectory directory;
    return directory.path;
}

// Writes `bytes` to NAME in the scratch directory (replacing it) and answers its path.
inline std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
    const std::filesystem::path path = ScratchDirectory() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    FUZZ_CHECK(out.good());
    return path.string();
}

inline std::string ReadScratchFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Takes the input's leading bytes as choices; what is left is the target's text.
class CInput {
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    // The next byte, or 0 when none is left.
    std::uint8_t Byte() { return m_used < m_size ? m_data[m_used++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    // Everything not taken yet.
    std::string_view Rest() const {
        return std::string_view(reinterpret_cast<const char*>(m_data) + m_used, m_size - m_used);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_used = 0;
};

// Splits `text` at each occurrence of `separator` (a line of its own in the seeds) into at most `count`
// parts; the last part keeps any further separators.
inline std::size_t SplitParts(std::string_view text, std::string_view separator, std::string_view* parts,
                              std::size_t count) {
    std::size_t found = 0;
    while (found + 1 < count) {
        const std::size_t at = text.find(separator);
        if (at == std::string_view::npos)
            break;
        parts[found++] = text.substr(0, at);
        text.remove_prefix(at + separator.size());
    }
    parts[found++] = text;
    return found;
}

} // namespace frostmark::fuzz
