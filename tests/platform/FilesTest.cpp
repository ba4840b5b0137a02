#include "platform/Files.h"
#include "platform/FileFaults.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace frostmark {
namespace {

namespace fs = std::filesystem;
using test::CTempDir;
using test::ReadFile;

// Readers take regular files only where they ask for it; a directory is never a file to read, and a pipe
// must be refused without waiting for a writer.
TEST(Files, OpenRegularRefusesWhatIsNoFile) {
    CTempDir dir;
    const std::string file = dir.Write("world.wsc", "[WORLDITEM 01]\n");
    CFile reader;
    ASSERT_TRUE(reader.OpenRegular(file)) << reader.Error().message;
    char text[64];
    EXPECT_EQ(reader.Read(text, sizeof text), 15);

    EXPECT_FALSE(reader.OpenRead(dir.String()));
    EXPECT_EQ(reader.Error().kind, FileErrorKind::IsDirectory);
    EXPECT_EQ(reader.Error().message, SystemErrorText(FileErrorKind::IsDirectory));
    EXPECT_FALSE(reader.OpenRegular((dir.Path() / "missing.wsc").string()));
    EXPECT_EQ(reader.Error().kind, FileErrorKind::NotFound);
    EXPECT_EQ(reader.Error().message, SystemErrorText(FileErrorKind::NotFound));
    EXPECT_FALSE(reader.IsOpen());
#if !defined(_WIN32)
    const std::string fifo = (dir.Path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(reader.OpenRegular(fifo)); // would block for ever if it waited for a writer
    EXPECT_EQ(reader.Error().kind, FileErrorKind::NotRegular);
    EXPECT_FALSE(reader.OpenRegular("/dev/zero"));
    EXPECT_EQ(reader.Error().kind, FileErrorKind::NotRegular);
    EXPECT_TRUE(reader.OpenRead("/dev/null")); // without the rule, a device may be read
#endif
}

// Every spelling of one file is that file; different files with equal contents are not.
TEST(Files, SameFileInAnySpelling) {
    CTempDir dir;
    const std::string world = dir.Write("shard/world.wsc", "x");
    const std::string twin = dir.Write("shard/twin.wsc", "x");
    const std::string hardLink = (dir.Path() / "hard.wsc").string();
    fs::create_hard_link(world, hardLink);
    EXPECT_TRUE(SameFile(world, hardLink));
    EXPECT_TRUE(SameFile(world, (dir.Path() / "shard" / ".." / "shard" / "world.wsc").string()));
    EXPECT_FALSE(SameFile(world, twin));
    EXPECT_FALSE(SameFile(world, (dir.Path() / "none.wsc").string()));
    EXPECT_TRUE(SameFile("same text, no file", "same text, no file"));
#if !defined(_WIN32)
    const std::string symbolic = (dir.Path() / "link.wsc").string();
    fs::create_symlink(world, symbolic);
    EXPECT_TRUE(SameFile(symbolic, world));
    std::string resolved;
    CFileError error;
    ASSERT_TRUE(FollowLinks(symbolic, resolved, error)) << error.message;
    EXPECT_TRUE(fs::equivalent(resolved, world));
    EXPECT_FALSE(fs::is_symlink(resolved));
#endif

    CPathInfo info;
    ASSERT_TRUE(QueryPath(world, info));
    EXPECT_EQ(info.type, FileType::Regular);
    EXPECT_EQ(info.identity.size, 1u);
    ASSERT_TRUE(QueryPath(dir.String(), info));
    EXPECT_EQ(info.type, FileType::Directory);
    CFileError missing;
    ASSERT_TRUE(QueryPath((dir.Path() / "none" / "x").string(), info, &missing));
    EXPECT_EQ(info.type, FileType::Missing);
    EXPECT_EQ(missing.kind, FileErrorKind::NotFound);
}

// A file made beside its target and put in its place: reads and writes at positions, room set aside and
// cut back, the identity that tells a changed file, and the replacement in one step.
TEST(Files, WriteBesideAndReplace) {
    CTempDir dir;
    const std::string target = dir.Write("out.frz", "old");
    const std::string temporary = (dir.Path() / ".out.frz.tmp").string();
    CPathInfo old;
    ASSERT_TRUE(QueryPath(target, old));
    CFile file;
    ASSERT_TRUE(file.CreateNew(temporary, &old)) << file.Error().message;
    CFile again;
    EXPECT_FALSE(again.CreateNew(temporary));
    EXPECT_EQ(again.Error().kind, FileErrorKind::Exists);

    ASSERT_TRUE(file.Write("0123456789", 10));
    const bool reserved = file.Reserve(1 << 20);
    std::uint64_t size = 0;
    ASSERT_TRUE(file.Size(size));
    // Room set aside may count in the length (POSIX) or not (Windows); the cut gives the length written.
    EXPECT_TRUE(size == 10u || (reserved && size == 1u << 20)) << size;
    ASSERT_TRUE(file.Truncate(10));
    CFileIdentity before;
    ASSERT_TRUE(file.Identity(before));
    EXPECT_EQ(before.size, 10u);
    char middle[4] = {};
    EXPECT_EQ(file.ReadAt(middle, 4, 3), 4);
    EXPECT_EQ(std::string(middle, 4), "3456");
    EXPECT_EQ(file.ReadAt(middle, 4, 10), 0);
    ASSERT_TRUE(file.Seek(10));
    ASSERT_TRUE(file.Write("ab", 2));
    CFileIdentity after;
    ASSERT_TRUE(file.Identity(after));
    EXPECT_TRUE(after.SameFileAs(before));
    EXPECT_FALSE(after == before);
    ASSERT_TRUE(file.Sync());
    ASSERT_TRUE(file.Close());

    CFileError error;
    ASSERT_TRUE(MoveIntoPlace(temporary, target, error)) << error.message;
    EXPECT_EQ(ReadFile(target), "0123456789ab");
    EXPECT_FALSE(fs::exists(temporary));
#if !defined(_WIN32)
    CPathInfo replaced;
    ASSERT_TRUE(QueryPath(target, replaced));
    EXPECT_EQ(replaced.permissions, old.permissions);
#endif

    // Over a directory nothing moves, and the reason is the system's.
    const std::string source = dir.Write("new.txt", "new");
    fs::create_directory(dir.Path() / "sub");
    dir.Write("sub/keep", "k");
    EXPECT_FALSE(MoveIntoPlace(source, (dir.Path() / "sub").string(), error));
    EXPECT_FALSE(error.message.empty());
    EXPECT_EQ(ReadFile(source), "new");
    EXPECT_EQ(ReadFile(dir.Path() / "sub" / "keep"), "k");
    EXPECT_TRUE(RemoveFile(source));
    EXPECT_TRUE(RemoveFile(source)); // gone already: nothing to do
    EXPECT_FALSE(fs::exists(source));
}

// Copies between files give the bytes asked for, whether the system copies them or they pass through
// memory, and stop at the source's end.
TEST(Files, CopyFromTakesTheRangeAskedFor) {
    CTempDir dir;
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += std::to_string(i) + "\n";
    const std::string from = dir.Write("in.wsc", text);
    CFile source;
    ASSERT_TRUE(source.OpenRead(from));
    CFile target;
    ASSERT_TRUE(target.CreateNew((dir.Path() / "out.wsc").string()));
    ASSERT_TRUE(target.Write("head:", 5));
    std::uint64_t at = 1000;
    std::uint64_t left = 300000;
    while (left > 0) {
        const std::int64_t copied = target.CopyFrom(source, at, static_cast<std::size_t>(left));
        if (copied < 0 && target.Error().kind == FileErrorKind::Unsupported)
            GTEST_SKIP() << "this file system copies through memory only";
        ASSERT_GT(copied, 0) << target.Error().message;
        at += static_cast<std::uint64_t>(copied);
        left -= static_cast<std::uint64_t>(copied);
    }
    EXPECT_EQ(target.CopyFrom(source, text.size(), 10), 0);
    ASSERT_TRUE(target.Close());
    EXPECT_EQ(ReadFile(dir.Path() / "out.wsc"), "head:" + text.substr(1000, 300000));
}

// The seam tests use to break the disk: the chosen call of the chosen kind fails with the system's text
// for the failure, calls on other paths and of other kinds go through, and the faults end with their scope.
TEST(Files, InjectedFaultsHitTheChosenCallOnly) {
    CTempDir dir;
    const std::string patch = (dir.Path() / "stat.frz").string();
    const std::string world = (dir.Path() / "world.wsc").string();
    {
        CFailingCall failing(FileCall::Write, 2, FileErrorKind::NoSpace, "stat.frz", false);
        CFileFaultsScope scope(failing);
        CFile a;
        CFile b;
        ASSERT_TRUE(a.CreateNew(patch));
        ASSERT_TRUE(b.CreateNew(world));
        EXPECT_TRUE(a.Write("1", 1));
        EXPECT_TRUE(b.Write("1", 1)); // another path: not counted
        EXPECT_FALSE(a.Write("2", 1));
        EXPECT_EQ(a.Error().kind, FileErrorKind::NoSpace);
        EXPECT_EQ(a.Error().message, SystemErrorText(FileErrorKind::NoSpace));
        EXPECT_TRUE(a.Write("3", 1)); // only the second one
        EXPECT_EQ(failing.Seen(), 3);
        EXPECT_TRUE(a.Sync());
    }
    EXPECT_EQ(ReadFile(patch), "13");
    {
        CFailingCall failing(FileCall::Replace, 1, FileErrorKind::InUse);
        CFileFaultsScope scope(failing);
        CFileError error;
        EXPECT_FALSE(MoveIntoPlace(patch, world, error));
        EXPECT_EQ(error.kind, FileErrorKind::InUse);
        EXPECT_EQ(ReadFile(world), "1");
    }
    CFileError error;
    EXPECT_TRUE(MoveIntoPlace(patch, world, error)) << error.message;
    EXPECT_EQ(ReadFile(world), "13");
}

} // namespace
} // namespace frostmark
