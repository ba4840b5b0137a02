#include "platform/Paths.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
TEST(PathsTest, SeparatorsAndDrivesAreNormalised) {
    // Windows honours the drive; every separator becomes its own.
    EXPECT_EQ(NormalizePath("scripts/sub\\x.scp"), "scripts\\sub\\x.scp");
    EXPECT_EQ(NormalizePath("d:/shard/x.scp"), "d:\\shard\\x.scp");
    EXPECT_EQ(NormalizePath("C:x.scp"), "C:x.scp");
    EXPECT_EQ(NormalizePath(""), "");
}

// The file system ignores letter case: a name in any case is the file itself, which is what the lookup
// must give; only a name that exists in no spelling comes back unchanged.
TEST(PathsTest, ExistingNamesAreFoundWithoutRegardToCase) {
    test::CTempDir dir;
    dir.Write("Scripts/Items/TavrelItem.SCP", "x");
    const fs::path exact = dir.Path() / "Scripts" / "Items" / "TavrelItem.SCP";
    EXPECT_TRUE(fs::equivalent(ResolvePathCase(dir.Path() / "SCRIPTS" / "Items" / "TAVRELITEM.scp"), exact));
    EXPECT_TRUE(fs::equivalent(ResolveScriptPath("scripts\\items/tavrelitem.scp", dir.Path()), exact));
    const fs::path missing = dir.Path() / "scripts" / "nothing.scp";
    EXPECT_EQ(ResolvePathCase(missing), missing);
    EXPECT_EQ(ResolveScriptPath("scripts/none.scp", dir.Path()), dir.Path() / "scripts\\none.scp");
}
#else
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

TEST(PathsTest, ScriptPathsResolveUnderTheirBaseDirectory) {
    test::CTempDir dir;
    dir.Write("Scripts/TAVRELITEM.scp", "x");
    const fs::path before = fs::current_path();
    EXPECT_EQ(ResolveScriptPath("scripts\\tavrelitem.scp", dir.Path()),
              dir.Path() / "Scripts/TAVRELITEM.scp");
    EXPECT_EQ(ResolveScriptPath(".\\scripts/TavrelItem.scp", dir.Path()),
              dir.Path() / "./Scripts/TAVRELITEM.scp");
    // Relative answers stay relative; absolute names ignore the base.
    EXPECT_EQ(ResolvePathCase("SCRIPTS/tavrelitem.SCP", dir.Path()), fs::path("Scripts/TAVRELITEM.scp"));
    const fs::path absolute = dir.Path() / "scripts" / "tavrelitem.scp";
    EXPECT_EQ(ResolveScriptPath(absolute.string(), "/nowhere"), dir.Path() / "Scripts/TAVRELITEM.scp");
    // A name found nowhere comes back under the base as written.
    EXPECT_EQ(ResolveScriptPath("scripts/none.scp", dir.Path()), dir.Path() / "scripts/none.scp");
    EXPECT_EQ(fs::current_path(), before);
}
#endif

TEST(PathsTest, EqualsNoCaseFoldsOnlyAscii) {
    EXPECT_TRUE(EqualsNoCase("TavRel.INI", "tavrel.ini"));
    EXPECT_FALSE(EqualsNoCase("tavrel.ini", "tavrel.in"));
    EXPECT_FALSE(EqualsNoCase("a[", "A{")) << "'[' and '{' are not letters";
    EXPECT_TRUE(EqualsNoCase("", ""));
}

} // namespace
} // namespace frostmark
