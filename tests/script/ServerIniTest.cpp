#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ScriptTestFiles.h"
#include "script/ServerIni.h"

namespace frostmark {
namespace {

class ServerIni : public ::testing::Test {
protected:
    std::string Read(const std::string& text) {
        const std::string path = m_dir.Write("tavrel.ini", text);
        return ReadScriptPathFromIni(path, "/work/dir");
    }
    test::CScriptTempDir m_dir;
};

#if defined(_WIN32)
// The same rules with Windows's separator, and a drive that is honoured.
TEST_F(ServerIni, WindowsPathsKeepTheirDrive) {
    EXPECT_EQ(ReadScriptPathFromIni((m_dir.Path() / "none.ini").string(), "C:\\work\\dir"),
              "C:\\work\\dir\\");
    EXPECT_EQ(Read("[TAVREL]\n\nSCPFILES=/srv/scripts\nscpfiles=/other\n"), "\\srv\\scripts\\");
    EXPECT_EQ(Read("scpfiles=D:\\Shard\\Scripts\\  \t\r\n"), "D:\\Shard\\Scripts\\");
    EXPECT_EQ(Read("scpfiles=\n"), "\\");
    std::filesystem::create_directories(m_dir.Path() / "Shard" / "Scripts");
    EXPECT_TRUE(
        std::filesystem::is_directory(Read("SCPFILES=" + (m_dir.Path() / "shard").string() + "\\SCRIPTS\n")));
}
#else
TEST_F(ServerIni, MissingFileOrLineGivesTheWorkingDirectory) {
    EXPECT_EQ(ReadScriptPathFromIni((m_dir.Path() / "none.ini").string(), "/work/dir"), "/work/dir/");
    EXPECT_EQ(ReadScriptPathFromIni((m_dir.Path() / "none.ini").string(), "/work/dir/"), "/work/dir/");
    EXPECT_EQ(Read("[TAVREL]\nSERVNAME=Test\n\n"), "/work/dir/");
    // A blank before the key hides it.
    EXPECT_EQ(Read(" SCPFILES=/srv/scripts\n"), "/work/dir/");
}

TEST_F(ServerIni, FirstScpFilesLineInAnyCase) {
    EXPECT_EQ(Read("[TAVREL]\n\nSCPFILES=/srv/scripts\nscpfiles=/other\n"), "/srv/scripts/");
    EXPECT_EQ(Read("ScpFiles=/srv/scripts\n"), "/srv/scripts/");
    // Any one separator character.
    EXPECT_EQ(Read("scpfiles:/srv/scripts\n"), "/srv/scripts/");
    // Trailing white space goes, and a closing separator is not doubled.
    EXPECT_EQ(Read("scpfiles=/srv/scripts/  \t\r\n"), "/srv/scripts/");
    // Nothing after the separator: the root.
    EXPECT_EQ(Read("scpfiles=\n"), "/");
    EXPECT_EQ(Read("scpfiles\n"), "/");
}

TEST_F(ServerIni, ServerStylePathsAreNormalisedAndKeepTheirCase) {
    // The drive cannot be honoured here; the backslashes become separators.
    EXPECT_EQ(Read("SCPFILES=D:\\Shard\\Scripts\\\r\n"), "/Shard/Scripts/");
    // An existing directory written in another case is found as it is on disk.
    std::filesystem::create_directories(m_dir.Path() / "Shard" / "Scripts");
    const std::string written = (m_dir.Path() / "shard").string() + "\\SCRIPTS";
    EXPECT_EQ(Read("SCPFILES=" + written + "\n"), (m_dir.Path() / "Shard" / "Scripts").string() + "/");
    // A relative one is found beside the ini file, wherever the process runs, and stays relative.
    EXPECT_EQ(Read("SCPFILES=shard\\SCRIPTS\n"), "Shard/Scripts/");
}
#endif

} // namespace
} // namespace frostmark
