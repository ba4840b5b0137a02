#pragma once

// Shared helpers of the command line tests: a scratch directory per test, files, and running a command
// in-process or as the built program.

#include "cli/CliApp.h"
#include "engine/WorldCleaner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace frostmark::testing {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline CliRun RunInProcess(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CCliEnvironment environment{out, err, nullptr, nullptr, {}, {}, nullptr};
    CliRun run;
    run.code = RunCli(args, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A fresh directory under the system's temporary directory, removed at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Unique, so that two runs of the tests at the same time (two builds, two users) never share one.
        const std::string stem =
            "frostmark-cli-" + std::string(info->test_suite_name()) + "-" + info->name() + "-";
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() / (stem + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec))
                m_path = candidate;
        }
        if (m_path.empty())
            throw std::runtime_error("cannot create a temporary directory");
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

    // Files in the directory other than the ones named: leftovers of an aborted write.
    std::vector<std::string> Others(const std::vector<std::string>& known) const {
        std::vector<std::string> others;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            std::string name = entry.path().filename().string();
            if (std::find(known.begin(), known.end(), name) == known.end())
                others.push_back(name);
        }
        return others;
    }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a text without their terminators; a final line needs none.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// LF-ended text as the programs write it by default: with the system's line end (CR LF on Windows).
inline std::string SystemText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && kSystemLineEnd == LineEnd::CrLf)
            out += '\r';
        out += c;
    }
    return out;
}

inline std::string Record(const std::string& id, const std::string& serial, const std::string& point,
                          const std::string& attr, const std::string& extra = "") {
    return "[WORLDITEM " + id + "]\nSERIAL=" + serial + "\nP=" + point + "\nATTR=" + attr + "\n" + extra;
}

} // namespace frostmark::testing
