#include "MapTestSupport.h"

#include "mapview/ClientDirectory.h"
#include "mapview/RadarColors.h"

#include "platform/System.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace frostmark {
namespace {

TEST(RadarColors, FiveBitChannelsSpreadOverEightBits) {
    EXPECT_EQ(ConvertRadarColor(0x7FFF), 0xFFFFFFu);
    EXPECT_EQ(ConvertRadarColor(0x001F), 0xFF0000u); // pure blue lands in the third byte
    EXPECT_EQ(ConvertRadarColor(0x7C00), 0x0000FFu); // pure red in the low byte
    EXPECT_EQ(ConvertRadarColor(0x03E0), 0x00FF00u);
    EXPECT_EQ(ConvertRadarColor(0x0000), 0u);
    EXPECT_EQ(ConvertRadarColor(0x8000), 0u); // bit 15 is not a colour
    EXPECT_EQ(ConvertRadarColor(0xFFFF), 0xFFFFFFu);
    // 16 * 255 / 31 = 131 in every channel; 1 gives 8.
    EXPECT_EQ(ConvertRadarColor((16 << 10) | (16 << 5) | 16), 0x838383u);
    EXPECT_EQ(ConvertRadarColor((1 << 10) | (2 << 5) | 3), MakeColor(8, 16, 24));
}

TEST(RadarColors, TableIsBlackUntilLoadedAndReadsLittleEndianEntries) {
    CRadarColorTable table;
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[0xFFFF], 0u);
    // Entry 0 pure red, entry 1 pure blue with bit 15 set, entry 2 only its low byte (odd length).
    const std::vector<std::uint8_t> bytes = {0x00, 0x7C, 0x1F, 0x80, 0x1F};
    table.Set(9, 0x123456);
    table.LoadFromBytes(bytes);
    EXPECT_EQ(table[0], 0x0000FFu);
    EXPECT_EQ(table[1], 0xFF0000u);
    EXPECT_EQ(table[2], 0xFF0000u);
    EXPECT_EQ(table[9], 0u); // loading starts from black
}

TEST(RadarColors, LoadingReadsTheFirst65536EntriesOfTheClientFile) {
    test::CTempDir dir;
    std::vector<std::uint8_t> bytes(kRadarColorFileBytes + 4, 0);
    bytes[0] = 0xFF; // entry 0: 0x7FFF
    bytes[1] = 0x7F;
    bytes[2 * 0xFFFF] = 0x00; // last entry: pure red
    bytes[2 * 0xFFFF + 1] = 0x7C;
    bytes[kRadarColorFileBytes] = 0xFF; // past the table: ignored
    dir.Write("radarcol.mul", bytes);
    CRadarColorTable table;
    ASSERT_TRUE(LoadRadarColors(dir.Directory(), table));
    EXPECT_EQ(table[0], 0xFFFFFFu);
    EXPECT_EQ(table[0xFFFF], 0x0000FFu);
    EXPECT_EQ(table[1], 0u);
}

TEST(RadarColors, MissingFileLeavesEveryColourBlack) {
    test::CTempDir dir;
    CRadarColorTable table;
    table.Set(3, 0xABCDEF);
    EXPECT_FALSE(LoadRadarColors(dir.Directory(), table));
    EXPECT_EQ(table[3], 0u);
}

TEST(ClientDirectory, ExePathGivesItsFolder) {
    EXPECT_EQ(ClientDirectoryFromExePath("D:\\Games\\client.exe"), "D:\\Games\\");
    EXPECT_EQ(ClientDirectoryFromExePath("client.exe"), "");
    EXPECT_EQ(ClientDirectoryFromExePath("/opt/client/client"), "/opt/client/");
    EXPECT_EQ(ClientDirectoryFromExePath("C:\\a/b\\c.exe"), "C:\\a/b\\");
#ifndef _WIN32
    // Where "/" separates, the drive letter cannot be honoured; the rest of the path stays.
    EXPECT_EQ(ClientFilePath(ClientDirectoryFromExePath("D:\\Games\\client.exe"), "map0.mul"),
              "/Games/map0.mul");
#endif
    EXPECT_EQ(ClientFilePath("", "map0.mul"), "map0.mul"); // the working directory
}

TEST(ClientDirectory, OverridesComeBeforeTheRegistry) {
    struct Case {
        const char* commandLine;
        const char* environment;
        const char* setting;
        const char* exePath;
        const char* directory;
        ClientDirectorySource source;
    };
    const Case cases[] = {
        {"/cli", "/env/", "/set/", "C:\\x\\c.exe", "/cli/", ClientDirectorySource::CommandLine},
        {nullptr, "/env", "/set/", "C:\\x\\c.exe", "/env/", ClientDirectorySource::Environment},
        {"", "/env/", nullptr, nullptr, "/env/", ClientDirectorySource::Environment},
        {nullptr, "", "/set", "C:\\x\\c.exe", "/set/", ClientDirectorySource::Setting},
        {nullptr, nullptr, nullptr, "C:\\x\\c.exe", "C:\\x\\", ClientDirectorySource::Registry},
        {nullptr, nullptr, nullptr, "c.exe", "", ClientDirectorySource::Registry},
        {nullptr, nullptr, "", "", "", ClientDirectorySource::WorkingDirectory},
        {nullptr, nullptr, nullptr, nullptr, "", ClientDirectorySource::WorkingDirectory},
        {"C:\\client", nullptr, nullptr, nullptr, "C:\\client/", ClientDirectorySource::CommandLine},
        {"C:\\client\\", nullptr, nullptr, nullptr, "C:\\client\\", ClientDirectorySource::CommandLine},
    };
    const auto opt = [](const char* text) { return text ? std::optional<std::string>(text) : std::nullopt; };
    for (const Case& c : cases) {
        const ClientDirectory resolved =
            ResolveClientDirectory({opt(c.commandLine), opt(c.environment), opt(c.setting), opt(c.exePath)});
        EXPECT_EQ(resolved.directory, c.directory);
        EXPECT_EQ(resolved.source, c.source);
    }
}

TEST(ClientDirectory, EnvironmentVariableIsRead) {
    // Non-ASCII text comes back as the UTF-8 it was given, whatever the system keeps it in.
    const std::string directory = "/srv/\xC3\x86rheim client";
    ASSERT_TRUE(SetEnvironment(kClientDirectoryEnvironmentVariable, directory));
    EXPECT_EQ(ReadClientDirectoryEnvironment(), std::optional<std::string>(directory));
    SetEnvironment(kClientDirectoryEnvironmentVariable, std::nullopt);
    EXPECT_EQ(ReadClientDirectoryEnvironment(), std::nullopt);
}

} // namespace
} // namespace frostmark
