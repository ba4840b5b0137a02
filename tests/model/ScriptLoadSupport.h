#pragma once

// What the script loading tests share: a log started in a directory of the test's own and read back line
// by line, the in-memory services, temporary script directories and a readable dump of a category tree.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "model/ScriptObjects.h"
#include "platform/Log.h"
#include "platform/MemoryServices.h"

namespace frostmark::test {

// Every test of this area writes its files into one of these.
using CLoadTempDir = CTempDir;

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The base of the loading tests: the log goes to a directory of the test's own, the services record.
class ScriptLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(g_Log.Start(m_logDir.Path()));
        m_services.messages = &m_messages;
        m_services.progressViews = &m_views;
        m_services.waitCursor = &m_cursor;
        m_startDirectory = std::filesystem::current_path();
    }
    void TearDown() override {
        g_Log.Stop();
        // A load must always give the working directory back.
        EXPECT_EQ(std::filesystem::current_path(), m_startDirectory);
        EXPECT_EQ(m_cursor.Depth(), 0);
        EXPECT_FALSE(m_cursor.Unbalanced());
        EXPECT_EQ(m_views.OpenWindows(), 0);
    }

    // The messages of every line logged since the start (or the last ClearLog), without time stamps and
    // without the log's own "Starting" line.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream in(WithoutCarriageReturns(ReadWholeFile(g_Log.Path())));
        std::string line;
        while (std::getline(in, line)) {
            const size_t stamp = line.find(" ::");
            const std::string message = stamp == std::string::npos ? line : line.substr(stamp + 3);
            if (message.rfind("Starting ", 0) == 0) {
                continue;
            }
            lines.push_back(message);
        }
        return std::vector<std::string>(lines.begin() + static_cast<long>(std::min(m_skipped, lines.size())),
                                        lines.end());
    }
    void ClearLog() { m_skipped = LogLines().size() + m_skipped; }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& shown : m_messages.Messages()) {
            texts.push_back(shown.text);
        }
        return texts;
    }

    CLoadTempDir m_logDir;
    CMemoryMessageBox m_messages;
    CMemoryProgressViewFactory m_views;
    CMemoryWaitCursor m_cursor;
    CServices m_services;
    std::filesystem::path m_startDirectory;
    size_t m_skipped = 0;
};

// A member of a category tree as the dumps show it: its name, or its description when it has none.
inline std::string MemberLabel(const CTObject* object) {
    if (!object->m_name.empty()) {
        return object->m_name;
    }
    const auto* definition = dynamic_cast<const CSObject*>(object);
    if (definition != nullptr && !definition->m_description.empty()) {
        return definition->m_description;
    }
    return "(unnamed)";
}

// "Category{Subsection[member,member],Subsection[...]} Category{...}" in tree order.
inline std::string DumpTree(const CCategoryList& tree) {
    std::string text;
    for (const CCategory* category : tree) {
        if (!text.empty()) {
            text += ' ';
        }
        text += category->m_name + "{";
        bool firstSubsection = true;
        for (const CSubsection* subsection : category->m_subsections) {
            text += firstSubsection ? "" : ",";
            firstSubsection = false;
            text += subsection->m_name + "[";
            bool firstMember = true;
            for (const CTObject* member : subsection->m_members) {
                text += firstMember ? "" : ",";
                firstMember = false;
                text += MemberLabel(member);
            }
            text += "]";
        }
        text += "}";
    }
    return text;
}

// The names of a sorted collection, in order.
inline std::vector<std::string> Names(const CScriptArray& array) {
    std::vector<std::string> names;
    for (const CTObject* object : array) {
        names.push_back(object->m_name);
    }
    return names;
}

} // namespace frostmark::test
