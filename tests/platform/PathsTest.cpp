#include "platform/Paths.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

namespace fs = std::filesystem;

TEST(PathsTest, SeparatorsAndDrivesAreNormalised) {
    EXPECT_EQ(NormalizePath("scripts\\items.scp"), "scripts/items.scp");
    EXPECT_EQ(NormalizePath("scripts/sub\\x.scp"), "scripts/sub/x.scp");
    EXPECT_EQ(NormalizePath("D:\\shard\\scripts\\x.scp"), "/shard/scripts/x.scp");
    EXPECT_EQ(NormalizePath("d:/shard/x.scp"), "/shard/x.scp");
    EXPECT_EQ(NormalizePath("C:x.scp"), "x.scp") << "drive-relative: the rest stays relative";
    EXPECT_EQ(NormalizePath("1:\\x"), "1:/x") << "only a letter makes a drive";
    EXPECT_EQ(NormalizePath("scripts\\a:b.scp"), "scripts/a:b.scp");
    EXPECT_EQ(NormalizePath(""), "");
}

TEST(PathsTest, ExistingNamesAreFoundWithoutRegardToCase) {
    test::CTempDir dir;
    dir.Write("Scripts/Items/TavrelItem.SCP", "x");
    const fs::path exact = dir.Path() / "Scripts" / "Items" / "TavrelItem.SCP";

    EXPECT_EQ(ResolvePathCase(exact), exact);
    EXPECT_EQ(ResolvePathCase(dir.Path() / "scripts" / "items" / "tavrelitem.scp"), exact);
    EXPECT_EQ(ResolvePathCase(dir.Path() / "SCRIPTS" / "Items" / "TAVRELITEM.scp"), exact);
    // A name that exists in no spelling comes back as written, so the error names what the user wrote.
    const fs::path missing = dir.Path() / "scripts" / "nothing.scp";
    EXPECT_EQ(ResolvePathCase(missing), missing);
    // "." and ".." are kept as they are.
    EXPECT_EQ(
        fs::weakly_canonical(ResolvePathCase(dir.Path() / "scripts" / ".." / "SCRIPTS" / "." / "items")),
        dir.Path() / "Scripts" / "Items");
}

TEST(PathsTest, AmongSeveralSpellingsTheExactOneWinsThenByteOrder) {
    test::CTempDir dir;
    dir.Write("Map.scp", "upper");
    dir.Write("map.scp", "lower");
    dir.Write("mAp.scp", "mixed");
    EXPECT_EQ(ResolvePathCase(dir.Path() / "mAp.scp"), dir.Path() / "mAp.scp");
    EXPECT_EQ(ResolvePathCase(dir.Path() / "MAP.SCP"), dir.Path() / "Map.scp");
}

TEST(PathsTest, ScriptPathsResolveRelativeToTheWorkingDirectory) {
    test::CTempDir dir;
    dir.Write("Scripts/TAVRELITEM.scp", "x");
    CWorkingDirectoryGuard guard(dir.Path().string());
    ASSERT_TRUE(guard.Changed());
    EXPECT_EQ(ResolveScriptPath("scripts\\tavrelitem.scp"), fs::path("Scripts/TAVRELITEM.scp"));
    EXPECT_EQ(ResolveScriptPath(".\\scripts/TavrelItem.scp"), fs::path("./Scripts/TAVRELITEM.scp"));
}

TEST(PathsTest, WorkingDirectoryGuardSwitchesBack) {
    test::CTempDir dir;
    dir.Write("Shard/x", "");
    const std::string before = GetWorkingDirectory();
    ASSERT_FALSE(before.empty());
    {
        CWorkingDirectoryGuard guard((dir.Path() / "shard").string()); // resolved without regard to case
        ASSERT_TRUE(guard.Changed());
        EXPECT_EQ(guard.Previous(), before);
        EXPECT_EQ(fs::path(GetWorkingDirectory()), dir.Path() / "Shard");
    }
    EXPECT_EQ(GetWorkingDirectory(), before);
    {
        CWorkingDirectoryGuard guard((dir.Path() / "absent").string());
        EXPECT_FALSE(guard.Changed());
        EXPECT_EQ(GetWorkingDirectory(), before);
    }
    EXPECT_EQ(GetWorkingDirectory(), before);
    EXPECT_FALSE(SetWorkingDirectory(""));
}

TEST(PathsTest, EqualsNoCaseFoldsOnlyAscii) {
    EXPECT_TRUE(EqualsNoCase("TavRel.INI", "tavrel.ini"));
    EXPECT_FALSE(EqualsNoCase("tavrel.ini", "tavrel.in"));
    EXPECT_FALSE(EqualsNoCase("a[", "A{")) << "'[' and '{' are not letters";
    EXPECT_TRUE(EqualsNoCase("", ""));
}

} // namespace
} // namespace frostmark
