#pragma once

// Shared by the tests of the item, table and region classes: reading a section from text, a log started
// in a directory of the test's own, and the test data folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/Log.h"
#include "script/LineReader.h"

namespace frostmark::test {

inline std::string ModelObjectsData(const std::string& name) {
    return std::string(FROSTMARK_TEST_DATA) + "/model-objects/" + name;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Opens text in memory and reads its first line, which must be the header of the section to be read.
inline void OpenAtBody(CLineReader& file, const std::string& text) {
    file.OpenMemory(text);
    std::string_view header;
    ASSERT_TRUE(file.ReadLine(header));
    ASSERT_TRUE(!header.empty() && header[0] == '[') << header;
}

// The next line of file, or "<eof>".
inline std::string NextLine(CLineReader& file) {
    std::string_view line;
    return file.ReadLine(line) ? std::string(line) : std::string("<eof>");
}

// Every test of this area writes its files into one of these.
using CObjectsTempDir = CTempDir;

// The program log, started in a temporary directory for one test and read back as messages.
class CCapturedLog {
public:
    CCapturedLog() { g_Log.Start(m_dir.Path()); }
    ~CCapturedLog() { g_Log.Stop(); }
    CCapturedLog(const CCapturedLog&) = delete;
    CCapturedLog& operator=(const CCapturedLog&) = delete;

    // Every message logged so far, without time stamps and without the log's own "Starting" line.
    std::vector<std::string> Messages() const {
        std::ifstream in(g_Log.Path(), std::ios::binary);
        std::vector<std::string> messages;
        std::string line;
        while (std::getline(in, line)) {
            const size_t stamp = line.find(" ::");
            std::string message = stamp == std::string::npos ? line : line.substr(stamp + 3);
            if (!message.empty() && message.back() == '\r')
                message.pop_back(); // the log's CR LF line ends on Windows
            if (message.rfind("Starting ", 0) != 0) {
                messages.push_back(message);
            }
        }
        return messages;
    }

private:
    CObjectsTempDir m_dir;
};

} // namespace frostmark::test
