#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "EngineTestFiles.h"
#include "engine/SafeOutputFile.h"
#include "platform/FileFaults.h"

namespace frostmark {
namespace {

using testfiles::CountEntries;
using testfiles::CTempDir;
using testfiles::ReadFile;
using testfiles::WriteFile;

const std::string kBig(3u << 20, 'w'); // more than the output buffer, so writes reach the disk midway

TEST(SafeOutputFile, CommitReplacesTheTargetCompletely) {
    CTempDir dir;
    const std::string target = dir.File("out.txt");
    ASSERT_TRUE(WriteFile(target, "old contents"));
#if !defined(_WIN32)
    ::chmod(target.c_str(), 0640);
#endif
    CSafeOutputFile file;
    ASSERT_TRUE(file.Open(target)) << file.Error();
    EXPECT_TRUE(file.Write(kBig));
    EXPECT_TRUE(file.Write("tail"));
    // Nothing is visible at the target until the commit.
    EXPECT_EQ(ReadFile(target), "old contents");
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_EQ(ReadFile(target), kBig + "tail");
    EXPECT_EQ(file.BytesWritten(), kBig.size() + 4);
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
#if !defined(_WIN32)
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u); // the replaced file's permissions are kept
#endif
}

#if !defined(_WIN32)
// Windows keeps no owner ids a replacement could take over.
TEST(SafeOutputFile, ReplacedFileKeepsItsOwnerWhenRootWrites) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another owner";
    CTempDir dir;
    const std::string target = dir.File("owned.txt");
    ASSERT_TRUE(WriteFile(target, "old"));
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    CSafeOutputFile file;
    ASSERT_TRUE(file.Open(target));
    file.Write("new");
    ASSERT_TRUE(file.Commit()) << file.Error();
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(ReadFile(target), "new");
}
#endif

TEST(SafeOutputFile, AbandonedOrDestroyedFileLeavesTargetAsItWas) {
    CTempDir dir;
    const std::string target = dir.File("out.txt");
    ASSERT_TRUE(WriteFile(target, "old contents"));
    {
        CSafeOutputFile file;
        ASSERT_TRUE(file.Open(target));
        file.Write(kBig);
        // destroyed without Commit, as when a command returns early
    }
    EXPECT_EQ(ReadFile(target), "old contents");
    EXPECT_EQ(CountEntries(dir.Path()), 1u);

    CSafeOutputFile file;
    ASSERT_TRUE(file.Open(dir.File("new.txt")));
    file.Write("x");
    file.Abandon();
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.txt")));
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
    EXPECT_FALSE(file.Commit());
}

#if defined(_WIN32)
TEST(SafeOutputFile, RefusesTargetsThatAreNotRegularFiles) {
    CTempDir dir;
    const std::string subdir = dir.File("sub");
    ASSERT_TRUE(std::filesystem::create_directory(subdir));
    for (const std::string& target : {subdir, std::string("NUL")}) {
        CSafeOutputFile file;
        EXPECT_FALSE(file.Open(target)) << target;
        EXPECT_EQ(file.ErrorPath(), target);
        EXPECT_NE(file.Error().find(target), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(subdir));
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
}
#else
TEST(SafeOutputFile, RefusesTargetsThatAreNotRegularFiles) {
    CTempDir dir;
    const std::string subdir = dir.File("sub");
    ASSERT_TRUE(std::filesystem::create_directory(subdir));
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string linkToDevice = dir.File("null-link");
    ASSERT_EQ(::symlink("/dev/null", linkToDevice.c_str()), 0);

    for (const std::string& target : {subdir, fifo, std::string("/dev/null"), linkToDevice}) {
        CSafeOutputFile file;
        EXPECT_FALSE(file.Open(target)) << target;
        EXPECT_EQ(file.ErrorPath(), target);
        EXPECT_FALSE(file.ErrorReason().empty());
        EXPECT_NE(file.Error().find(target), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(subdir));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(linkToDevice));
    EXPECT_EQ(CountEntries(dir.Path()), 3u);
}
#endif

TEST(SafeOutputFile, MissingDirectoryAndEmptyName) {
    CTempDir dir;
    CSafeOutputFile file;
    EXPECT_FALSE(file.Open(dir.File("no/such/dir/out.txt")));
    EXPECT_EQ(file.ErrorKind(), FileErrorKind::NotFound);
    EXPECT_FALSE(file.ErrorReason().empty());
    EXPECT_FALSE(file.Open(""));
    EXPECT_FALSE(file.Write("x"));
}

#if !defined(_WIN32)
// Links need a privilege on Windows; the same-file tests cover its other spellings.
TEST(SafeOutputFile, SymbolicLinkTargetReplacesTheFileItNames) {
    CTempDir dir;
    const std::string real = dir.File("real.txt");
    const std::string link = dir.File("link.txt");
    ASSERT_TRUE(WriteFile(real, "old"));
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    CSafeOutputFile file;
    ASSERT_TRUE(file.Open(link));
    file.Write("new");
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "new");
}
#endif

TEST(SafeOutputFile, WriteFailureMidwayKeepsTheOldTarget) {
    CTempDir dir;
    const std::string target = dir.File("out.txt");
    ASSERT_TRUE(WriteFile(target, "old contents"));
    CSafeOutputFile file;
    ASSERT_TRUE(file.Open(target));
    // The first megabyte goes through (eight buffers), then the "disk" fails.
    CFailingCall failing(FileCall::Write, 9, FileErrorKind::IoError);
    CFileFaultsScope faults(failing);
    file.Write(kBig);
    EXPECT_TRUE(file.Failed());
    EXPECT_FALSE(file.Write("more"));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.ErrorReason(), SystemErrorText(FileErrorKind::IoError));
    EXPECT_EQ(file.ErrorPath(), target);
    EXPECT_EQ(ReadFile(target), "old contents");
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
}

// Whichever call on the way to the target fails, the target keeps its old contents, no temporary file
// is left, and the reason is the system's text for the failure.
TEST(SafeOutputFile, AnyFailingCallOnTheWayKeepsTheOldTarget) {
    struct CCase {
        FileCall call;
        FileErrorKind kind;
        bool reserve; // the case needs room set aside, so that the cut to size is a call
    };
    for (const CCase& c : {CCase{FileCall::Open, FileErrorKind::AccessDenied, false},
                           CCase{FileCall::Write, FileErrorKind::NoSpace, false},
                           CCase{FileCall::Truncate, FileErrorKind::IoError, true},
                           CCase{FileCall::Sync, FileErrorKind::IoError, false},
                           CCase{FileCall::Close, FileErrorKind::NoSpace, false},
                           CCase{FileCall::Replace, FileErrorKind::InUse, false}}) {
        SCOPED_TRACE(static_cast<int>(c.call));
        CTempDir dir;
        const std::string target = dir.File("out.txt");
        ASSERT_TRUE(WriteFile(target, "old contents"));
        CFailingCall failing(c.call, 1, c.kind, "out.txt");
        CFileFaultsScope faults(failing);
        CSafeOutputFile file;
        const bool opened = file.Open(target);
        EXPECT_EQ(opened, c.call != FileCall::Open);
        if (opened) {
            // More room than is written, so that the commit cuts the file; a file system that cannot
            // set room aside has nothing to cut.
            if (c.reserve && !file.Reserve(8u << 20))
                continue;
            file.Write(kBig);
            EXPECT_FALSE(file.Commit());
        }
        EXPECT_GE(failing.Seen(), 1);
        EXPECT_EQ(file.ErrorKind(), c.kind);
        EXPECT_EQ(file.ErrorReason(), SystemErrorText(c.kind));
        EXPECT_EQ(file.ErrorPath(), target);
        EXPECT_EQ(ReadFile(target), "old contents");
        EXPECT_EQ(CountEntries(dir.Path()), 1u);
    }
}

// A refused reservation is no failure: the file is written as without it.
TEST(SafeOutputFile, RefusedReservationStillWritesTheFile) {
    CTempDir dir;
    const std::string target = dir.File("out.txt");
    CFailingCall failing(FileCall::Reserve, 1, FileErrorKind::NoSpace);
    CFileFaultsScope faults(failing);
    CSafeOutputFile file;
    ASSERT_TRUE(file.Open(target));
    EXPECT_FALSE(file.Reserve(1 << 20));
    file.Write("written");
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_EQ(ReadFile(target), "written");
}

#if !defined(_WIN32)
// A file size limit and a small file system of its own are POSIX things; on Windows the injected full disk
// above stands in for them.
TEST(SafeOutputFile, FileSizeLimitActsLikeAFullDisk) {
    CTempDir dir;
    const std::string target = dir.File("out.txt");
    ASSERT_TRUE(WriteFile(target, "old contents"));
    struct rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = previous;
    limit.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

    CSafeOutputFile file;
    const bool opened = file.Open(target);
    if (opened) {
        file.Write(kBig);
        file.Commit();
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(opened);
    EXPECT_TRUE(file.Failed());
    EXPECT_EQ(file.ErrorReason(), std::strerror(EFBIG));
    EXPECT_EQ(ReadFile(target), "old contents");
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
}

TEST(SafeOutputFile, FullFileSystem) {
    // A real full disk: a 64 KiB memory file system. Needs the right to mount (root on a machine that
    // allows it); elsewhere the file size limit test above stands in for it.
    CTempDir dir;
    const std::string mountPoint = dir.File("tiny");
    ASSERT_TRUE(std::filesystem::create_directory(mountPoint));
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::string target = mountPoint + "/out.txt";
    const bool written = WriteFile(target, "old contents");
    CSafeOutputFile file;
    const bool opened = file.Open(target);
    if (opened)
        file.Write(kBig);
    const bool committed = opened && file.Commit();
    const std::string contents = ReadFile(target);
    const std::size_t entries = CountEntries(mountPoint);
    ::umount(mountPoint.c_str());

    ASSERT_TRUE(written);
    ASSERT_TRUE(opened) << file.Error();
    EXPECT_FALSE(committed);
    EXPECT_EQ(file.ErrorReason(), std::strerror(ENOSPC));
    EXPECT_EQ(contents, "old contents");
    EXPECT_EQ(entries, 1u);
}
#endif

TEST(SafeOutputFile, ReservedRoomIsHeldAndCutToWhatWasWritten) {
    CTempDir dir;
    const std::string target = dir.File("small.frz");
    {
        CSafeOutputFile file;
        ASSERT_TRUE(file.Open(target)) << file.Error();
        const bool reserved = file.Reserve(1u << 20);
        EXPECT_TRUE(file.Write("ten bytes!"));
        ASSERT_TRUE(file.Commit()) << file.Error();
        // Whether or not this file system could set the room aside, the file holds what was written.
        EXPECT_EQ(ReadFile(target), "ten bytes!") << "reserved: " << reserved;
    }

#if !defined(_WIN32)
    // On a nearly full disk the room set aside first stays with its file while another one fills the rest.
    const std::string mountPoint = dir.File("tiny");
    ASSERT_TRUE(std::filesystem::create_directory(mountPoint));
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    CSafeOutputFile patch;
    CSafeOutputFile world;
    const bool opened = patch.Open(mountPoint + "/p.frz") && world.Open(mountPoint + "/w.wsc");
    const bool reserved = opened && patch.Reserve(40u << 10);
    if (opened)
        world.Write(kBig);
    const bool worldCommitted = opened && world.Commit();
    const bool patchWritten = opened && patch.Write(std::string(30u << 10, 'p'));
    const bool patchCommitted = patchWritten && patch.Commit();
    const std::string contents = ReadFile(mountPoint + "/p.frz");
    const std::size_t entries = CountEntries(mountPoint);
    ::umount(mountPoint.c_str());

    ASSERT_TRUE(opened) << patch.Error() << world.Error();
    ASSERT_TRUE(reserved);
    EXPECT_FALSE(worldCommitted);
    EXPECT_TRUE(patchCommitted) << patch.Error();
    EXPECT_EQ(contents, std::string(30u << 10, 'p'));
    EXPECT_EQ(entries, 1u);
#endif
}

#if defined(_WIN32)
// What a server does to its files on Windows: one marked read-only, and one held open without letting
// others replace it. Either refuses the new file with the system's reason and keeps the old one whole.
TEST(SafeOutputFile, ReadOnlyOrHeldTargetKeepsItsContents) {
    CTempDir dir;
    const std::string readOnly = dir.File("readonly.wsc");
    ASSERT_TRUE(WriteFile(readOnly, "old contents"));
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const std::string held = dir.File("held.wsc");
    ASSERT_TRUE(WriteFile(held, "old contents"));
    HANDLE holder = ::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    for (const std::string& target : {readOnly, held}) {
        SCOPED_TRACE(target);
        CSafeOutputFile file;
        ASSERT_TRUE(file.Open(target)) << file.Error();
        file.Write(kBig);
        EXPECT_FALSE(file.Commit());
        EXPECT_EQ(file.ErrorPath(), target);
        EXPECT_FALSE(file.ErrorReason().empty());
    }
    ::CloseHandle(holder);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(ReadFile(readOnly), "old contents");
    EXPECT_EQ(ReadFile(held), "old contents");
    EXPECT_EQ(CountEntries(dir.Path()), 2u);
}
#else
TEST(SafeOutputFile, NoPermissionToWriteTheDirectory) {
    CTempDir dir;
    const std::string locked = dir.File("locked");
    ASSERT_TRUE(std::filesystem::create_directory(locked));
    const std::string target = locked + "/out.txt";
    ASSERT_TRUE(WriteFile(target, "old contents"));
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);

    // Root ignores permissions, so the attempt runs in a child that has given up root.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(10);
        CSafeOutputFile file;
        if (file.Open(target))
            ::_exit(11);
        ::_exit(file.ErrorReason() == std::strerror(EACCES) && file.ErrorPath() == target ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(ReadFile(target), "old contents");
    EXPECT_EQ(CountEntries(locked), 1u);
}

#endif

} // namespace
} // namespace frostmark
