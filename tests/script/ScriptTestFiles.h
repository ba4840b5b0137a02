#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace frostmark::test {

// A fresh directory under the system's temporary directory, removed with everything in it at the end.
class CScriptTempDir {
public:
    CScriptTempDir() {
        std::random_device device;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "frostmark-script-";
        if (info != nullptr) {
            name += std::string(info->test_suite_name()) + "-" + info->name() + "-";
        }
        name += std::to_string(device());
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(m_path);
    }
    ~CScriptTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CScriptTempDir(const CScriptTempDir&) = delete;
    CScriptTempDir& operator=(const CScriptTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    // Writes bytes exactly as given (no newline translation) and returns the file's path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const auto path = m_path / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

private:
    std::filesystem::path m_path;
};

} // namespace frostmark::test
