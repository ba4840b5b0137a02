// The checks made of a script directory before it is loaded, and what tells a script set that must be
// loaded again from one that has not changed.
#include "model/ScriptSetState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace frostmark {
namespace {

namespace fs = std::filesystem;

class ScriptSetStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("frostmark-scriptset-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "scripts");
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
    }
    std::string Dir() const { return m_dir.string(); }
    fs::path m_dir;
};

TEST_F(ScriptSetStateTest, DirectoryChecksNameWhatIsWrong) {
    CScriptDirectoryCheck check = CheckScriptDirectory(Dir() + "/missing");
    EXPECT_EQ(check.problem, ScriptDirectoryProblem::Missing);
    EXPECT_EQ(check.Message(),
              "Unable to open the script directory " + Dir() + "/missing: No such file or directory");

    Write("file.scp", "[ITEMDEF 01]\n");
    check = CheckScriptDirectory(Dir() + "/file.scp");
    EXPECT_EQ(check.problem, ScriptDirectoryProblem::NotADirectory);

    // Empty, and one level too deep: scripts, but none a load starts from.
    check = CheckScriptDirectory(Dir() + "/scripts");
    EXPECT_EQ(check.problem, ScriptDirectoryProblem::NoScriptFiles);
    EXPECT_EQ(check.Message().rfind("no script files in " + Dir() + "/scripts (", 0), 0u) << check.Message();
    Write("scripts/items.scp", "[ITEMDEF 01]\n");
    Write("scripts/more.SCP", "[ITEMDEF 02]\n");
    check = CheckScriptDirectory(Dir() + "/scripts");
    EXPECT_EQ(check.problem, ScriptDirectoryProblem::NoScriptFiles);
    EXPECT_NE(check.Message().find("2 .scp files"), std::string::npos) << check.Message();

    // Any file a load starts from, in any letter case, makes it a script set: the ini file, the tables,
    // or a fixed file of the older layout. The directory itself may be written in another case too.
    for (const char* start : {"TAVREL.INI", "tavreltables.scp", "TavrelItem.scp"}) {
        fs::remove_all(m_dir / "set");
        fs::create_directories(m_dir / "set");
        Write(std::string("set/") + start, "\n");
        EXPECT_TRUE(CheckScriptDirectory(Dir() + "/set").Ok()) << start;
        EXPECT_TRUE(CheckScriptDirectory(Dir() + "/SET").Ok()) << start;
    }
}

TEST_F(ScriptSetStateTest, EveryChangeOfAScriptFileIsNoticedAndNothingElse) {
    Write("tavrel.ini", "[TAVREL]\nSCPFILES=scripts/\n");
    Write("scripts/items.scp", "[ITEMDEF 01]\n");
    Write("world.wsc", "[WORLDITEM 01]\n");
    const CScriptSetState first = CScriptSetState::Read(Dir());
    ASSERT_EQ(first.Files().size(), 2u);
    EXPECT_EQ(first.Files()[1].path, "tavrel.ini");
    EXPECT_TRUE(CScriptSetState::Read(Dir()) == first);

    // Neither the world file nor other files beside the scripts count.
    Write("world.wsc", "[WORLDITEM 01]\n[WORLDITEM 02]\n");
    Write("notes.txt", "x");
    EXPECT_TRUE(CScriptSetState::Read(Dir()) == first);

    // The same size, another modification time.
    const fs::path items = m_dir / "scripts/items.scp";
    fs::last_write_time(items, fs::last_write_time(items) + std::chrono::seconds(5));
    const CScriptSetState touched = CScriptSetState::Read(Dir());
    EXPECT_FALSE(touched == first);
    // Another size.
    Write("scripts/items.scp", "[ITEMDEF 01]\nTYPE=1\n");
    const CScriptSetState grown = CScriptSetState::Read(Dir());
    EXPECT_FALSE(grown == touched);
    // A file added deep down, then removed again.
    fs::create_directories(m_dir / "scripts/extra");
    Write("scripts/extra/more.scp", "[ITEMDEF 02]\n");
    EXPECT_FALSE(CScriptSetState::Read(Dir()) == grown);
    fs::remove(m_dir / "scripts/extra/more.scp");
    EXPECT_TRUE(CScriptSetState::Read(Dir()) == grown);

    // A tree with more files than noted is never taken as unchanged.
    const CScriptSetState cut = CScriptSetState::Read(Dir(), 1);
    EXPECT_FALSE(cut == CScriptSetState::Read(Dir(), 1));
}

} // namespace
} // namespace frostmark
