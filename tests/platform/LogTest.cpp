#include "platform/Log.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

namespace frostmark {
namespace {

using test::CTempDir;
using test::ReadFile;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(test::WithoutCarriageReturns(text));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::tm Calendar(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

// One program run: start, one line naming the run, stop.
void RunProgram(const std::filesystem::path& directory, const char* marker) {
    COstrelLog log;
    ASSERT_TRUE(log.Start(directory));
    log.Log("run %s", marker);
    log.Stop();
}

TEST(LogTest, ThreeRunsKeepOnlyThePreviousLog) {
    CTempDir dir;
    const auto current = dir.Path() / "frostmark.log";
    const auto old = dir.Path() / "frostmark.log.old";

    RunProgram(dir.Path(), "one");
    EXPECT_TRUE(std::filesystem::exists(current));
    EXPECT_FALSE(std::filesystem::exists(old)) << "a first run creates frostmark.log only";

    RunProgram(dir.Path(), "two");
    EXPECT_NE(ReadFile(old).find("::run one"), std::string::npos);
    EXPECT_NE(ReadFile(current).find("::run two"), std::string::npos);
    EXPECT_EQ(ReadFile(current).find("run one"), std::string::npos);

    RunProgram(dir.Path(), "three");
    const std::string oldText = ReadFile(old);
    EXPECT_EQ(oldText.find("run one"), std::string::npos) << "the third run discards the first run's log";
    EXPECT_NE(oldText.find("::run two"), std::string::npos);
    EXPECT_NE(ReadFile(current).find("::run three"), std::string::npos);
}

TEST(LogTest, RunStartsAndEndsWithItsFixedLines) {
    CTempDir dir;
    RunProgram(dir.Path(), "x");
    const auto lines = Lines(ReadFile(dir.Path() / "frostmark.log"));
    ASSERT_EQ(lines.size(), 3u);
    const std::regex stamp(R"(\d{4}\.\d{1,2}\.\d{1,2} \d\d:\d\d:\d\d ::)");
    for (const auto& line : lines)
        EXPECT_TRUE(std::regex_search(line, stamp, std::regex_constants::match_continuous)) << line;
    EXPECT_TRUE(lines.front().ends_with("::Starting Frostmark v1.0")) << lines.front();
    EXPECT_TRUE(lines[1].ends_with("::run x"));
    EXPECT_TRUE(lines.back().ends_with("::Ostrel is shutting down.")) << lines.back();
}

TEST(LogTest, TimeStampHasNoLeadingZerosInDateAndTwoDigitTime) {
    EXPECT_EQ(COstrelLog::FormatTimeStamp(Calendar(2001, 1, 5, 9, 7, 3)), "2001.1.5 09:07:03 ::");
    EXPECT_EQ(COstrelLog::FormatTimeStamp(Calendar(2001, 3, 14, 9, 5, 7)), "2001.3.14 09:05:07 ::");
    EXPECT_EQ(COstrelLog::FormatTimeStamp(Calendar(1999, 12, 31, 23, 59, 59)), "1999.12.31 23:59:59 ::");
    EXPECT_EQ(COstrelLog::FormatTimeStamp(Calendar(2026, 10, 1, 0, 0, 0)), "2026.10.1 00:00:00 ::");
}

TEST(LogTest, LinesUseTheInjectedClockAndPrintfFormatting) {
    CTempDir dir;
    COstrelLog log;
    log.SetClock([] { return Calendar(2001, 1, 5, 9, 7, 3); });
    ASSERT_TRUE(log.Start(dir.Path()));
    log.Log("Unable to open file %s", "D:\\shard\\tavrelitem.scp");
    log.Log("Found %ld scripts in the resources table.", 12L);
    log.Log("%s", "100% literal");
    log.Stop();
    // Lines end as the system's own text files do: CR LF on Windows, LF elsewhere.
#if defined(_WIN32)
    const std::string end = "\r\n";
#else
    const std::string end = "\n";
#endif
    EXPECT_EQ(ReadFile(dir.Path() / "frostmark.log"),
              "2001.1.5 09:07:03 ::Starting Frostmark v1.0" + end +
                  "2001.1.5 09:07:03 ::Unable to open file D:\\shard\\tavrelitem.scp" + end +
                  "2001.1.5 09:07:03 ::Found 12 scripts in the resources table." + end +
                  "2001.1.5 09:07:03 ::100% literal" + end + "2001.1.5 09:07:03 ::Ostrel is shutting down." +
                  end);
}

TEST(LogTest, EveryLineIsOnDiskWhenLogReturns) {
    CTempDir dir;
    COstrelLog log;
    ASSERT_TRUE(log.Start(dir.Path()));
    log.Log("Loading map");
    // Read back while the log is still open: nothing may wait in a buffer.
    const auto lines = Lines(ReadFile(dir.Path() / "frostmark.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].ends_with("::Loading map"));
}

TEST(LogTest, WithoutStartOrWithoutFileNothingHappens) {
    CTempDir dir;
    COstrelLog idle;
    idle.Log("dropped %d", 1); // not started: no file anywhere, no crash
    EXPECT_FALSE(idle.IsOpen());

    // A directory that does not exist: the log cannot be created, Log stays silent.
    COstrelLog log;
    EXPECT_FALSE(log.Start(dir.Path() / "missing" / "deeper"));
    EXPECT_FALSE(log.IsOpen());
    log.Log("dropped %s", "too");
    log.Stop();
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
}

TEST(LogTest, ADirectoryNamedLikeTheOldLogIsLeftAlone) {
    CTempDir dir;
    std::filesystem::create_directory(dir.Path() / "frostmark.log.old");
    RunProgram(dir.Path(), "one");
    RunProgram(dir.Path(), "two");
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "frostmark.log.old"));
    const std::string text = ReadFile(dir.Path() / "frostmark.log");
    EXPECT_NE(text.find("::run two"), std::string::npos);
    EXPECT_EQ(text.find("run one"), std::string::npos);
}

TEST(LogTest, DestructionWritesTheClosingLine) {
    CTempDir dir;
    {
        COstrelLog log;
        ASSERT_TRUE(log.Start(dir.Path()));
    }
    const auto lines = Lines(ReadFile(dir.Path() / "frostmark.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines.back().ends_with("::Ostrel is shutting down."));
}

TEST(LogTest, RestartingClosesThePreviousFileFirst) {
    CTempDir first;
    CTempDir second;
    COstrelLog log;
    ASSERT_TRUE(log.Start(first.Path()));
    ASSERT_TRUE(log.Start(second.Path()));
    log.Log("here");
    log.Stop();
    const auto firstLines = Lines(ReadFile(first.Path() / "frostmark.log"));
    ASSERT_EQ(firstLines.size(), 2u);
    EXPECT_TRUE(firstLines.back().ends_with("::Ostrel is shutting down."));
    EXPECT_NE(ReadFile(second.Path() / "frostmark.log").find("::here"), std::string::npos);
}

TEST(LogTest, FileStaysPutWhenTheWorkingDirectoryChanges) {
    CTempDir dir;
    CTempDir elsewhere;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    COstrelLog log;
    const bool started = log.Start();
    std::filesystem::current_path(elsewhere.Path()); // as the script loader does
    log.Log("after the switch");
    log.Stop();
    std::filesystem::current_path(before);
    ASSERT_TRUE(started);
    EXPECT_NE(ReadFile(dir.Path() / "frostmark.log").find("::after the switch"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(elsewhere.Path() / "frostmark.log"));
}

TEST(LogTest, GlobalLogWritesOnlyAfterStart) {
    CTempDir dir;
    ASSERT_FALSE(g_Log.IsOpen()) << "nothing may open the program's log behind a test's back";
    ASSERT_TRUE(g_Log.Start(dir.Path()));
    g_Log.Log("global %d", 7);
    EXPECT_EQ(g_Log.Path(), dir.Path() / "frostmark.log");
    g_Log.Stop();
    EXPECT_FALSE(g_Log.IsOpen());
    EXPECT_NE(ReadFile(dir.Path() / "frostmark.log").find("::global 7"), std::string::npos);
}

} // namespace
} // namespace frostmark
