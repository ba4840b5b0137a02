#include "platform/DirList.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

using Names = std::vector<std::string>;

#if !defined(_WIN32)
// Names that differ only in letter case, and symbolic links, cannot both be made on Windows's file system
// (links need a privilege there); the plain listing below runs everywhere.
TEST(DirListTest, ListsScriptsOfEveryCaseSpellingInAStableOrder) {
    test::CTempDir dir;
    for (const char* name : {"tavrelitem.scp", "Custom.SCP", "b.Scp", "B.scp", "a.scp", "notes.txt", "scp",
                             "x.scp.bak", "x.scpx", ".scp"})
        dir.Write(name, "[ITEMDEF 1]\n");
    std::filesystem::create_directory(dir.Path() / "sub.scp"); // a directory is never a script
    dir.Write("sub.scp/inner.scp", "");

    // Case-insensitive order, ties by the exact bytes ("B" before "b").
    EXPECT_EQ(ListScpFiles(dir.Path()),
              (Names{".scp", "a.scp", "B.scp", "b.Scp", "Custom.SCP", "tavrelitem.scp"}));
}

TEST(DirListTest, LinksToFilesCountButBrokenLinksDoNot) {
    test::CTempDir dir;
    const auto target = dir.Write("real/target.txt", "x");
    std::filesystem::create_symlink(target, dir.Path() / "linked.scp");
    std::filesystem::create_symlink(dir.Path() / "gone", dir.Path() / "broken.scp");
    EXPECT_EQ(ListScpFiles(dir.Path()), Names{"linked.scp"});
}
#else
TEST(DirListTest, ListsScriptsInAStableOrderWhateverTheirCase) {
    test::CTempDir dir;
    dir.Write("Custom.SCP", "");
    dir.Write("b.Scp", "");
    dir.Write("a.scp", "");
    dir.Write("notes.txt", "");
    std::filesystem::create_directory(dir.Path() / "folder.scp");
    EXPECT_EQ(ListScpFiles(dir.Path()), (Names{"a.scp", "b.Scp", "Custom.SCP"}));
}
#endif

TEST(DirListTest, UnreadableOrEmptyDirectoriesGiveNoNames) {
    test::CTempDir dir;
    EXPECT_TRUE(ListScpFiles(dir.Path()).empty());
    EXPECT_TRUE(ListScpFiles(dir.Path() / "missing").empty());
    const auto file = dir.Write("file.scp", "");
    EXPECT_TRUE(ListScpFiles(file).empty());
}

TEST(DirListTest, ExtensionTest) {
    EXPECT_TRUE(HasScpExtension("a.SCP"));
    EXPECT_TRUE(HasScpExtension(".scp"));
    EXPECT_FALSE(HasScpExtension("scp"));
    EXPECT_FALSE(HasScpExtension("a.scpx"));
    EXPECT_FALSE(HasScpExtension("a_scp"));
}

} // namespace
} // namespace frostmark
