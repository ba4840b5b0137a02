#pragma once

// A fresh directory under the system's temporary directory, removed with everything in it at the end.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace frostmark::test {

class CTempDir {
public:
    CTempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("frostmark-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec))
                // Canonical, so paths the code under test resolves compare equal to the ones the test builds.
                m_path = std::filesystem::canonical(candidate);
        }
        if (m_path.empty())
            throw std::runtime_error("cannot create a temporary directory");
    }
    ~CTempDir() {
        std::error_code ec;
        // Undo any permission a test took away, so the removal cannot fail.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string String() const { return m_path.string(); }

    // Writes a file (and its directories) below the temporary directory; answers its full path.
    // Bytes go out exactly as given (no line-end translation); an existing file is replaced.
    std::string Write(const std::filesystem::path& relative, const std::string& content) const {
        const auto path = m_path / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        return path.string();
    }

private:
    std::filesystem::path m_path;
};

// A path written with "/" as this system writes it: with "\\" on Windows.
inline std::string NativePath(std::string path) {
#if defined(_WIN32)
    for (char& c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}

// The text without the carriage returns of CR LF line ends, which text files and console output have on
// Windows.
inline std::string WithoutCarriageReturns(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace frostmark::test
