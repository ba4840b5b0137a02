// Bad input and impossible outputs: each gives a message naming the file and the reason, the right exit
// status, and leaves no file half-written or changed that should not be.

#include "CliTestSupport.h"
#include "TempDir.h"

#include "cli/CliOptions.h"
#include "platform/Files.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace frostmark {
namespace {

using testing::ReadFile;
using testing::Record;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::SystemText;
using testing::WriteFile;

const std::string kWorld = Record("0eed", "1", "1000,2000,0", "8000") + Record("0eee", "2", "10,10,0", "0");

std::vector<std::string> Freeze(const ScratchDir&, const std::string& world, const std::string& out,
                                const std::string& patch) {
    return {"freeze", "-w", world, "-o", out, "-p", patch, "--static"};
}

TEST(BadInput, MissingOrUnreadableInputs) {
    ScratchDir dir;
    auto run = RunInProcess(Freeze(dir, dir / "nope.wsc", dir / "out.wsc", dir / "p.frz"));
    EXPECT_EQ(run.code, kExitInput);
    CPathInfo none;
    CFileError missing; // the system's own words for it
    QueryPath(dir / "nope.wsc", none, &missing);
    EXPECT_NE(run.err.find("Unable to open file " + (dir / "nope.wsc") + ": " + missing.message),
              std::string::npos)
        << run.err;
    EXPECT_EQ(dir.Others({}), std::vector<std::string>{});

    std::filesystem::create_directory(dir / "adir");
    run = RunInProcess(Freeze(dir, dir / "adir", dir / "out.wsc", dir / "p.frz"));
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find((dir / "adir") + ": is a directory"), std::string::npos) << run.err;

    WriteFile(dir / "w.wsc", kWorld);
    run = RunInProcess({"analyze", "-w", dir / "w.wsc", "-s", dir / "noscripts"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find("script directory " + (dir / "noscripts") + ": No such file or directory"),
              std::string::npos)
        << run.err;
    run = RunInProcess(
        {"freeze", "-w", dir / "w.wsc", "-s", dir / "w.wsc", "-o", dir / "o.wsc", "-p", dir / "p.frz"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find((dir / "w.wsc") + ": is not a directory"), std::string::npos) << run.err;
    EXPECT_EQ(dir.Others({"w.wsc", "adir"}), std::vector<std::string>{});
    run = RunInProcess({"scripts", dir / "noscripts"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find(dir / "noscripts"), std::string::npos);

    // A directory without a script set, empty or one level too deep (the ini file's scripts alone), is
    // an error before anything is read, for the analysis and the listing alike.
    std::filesystem::create_directory(dir / "emptyscripts");
    const std::string deep = std::string(FROSTMARK_SOURCE_DIR) + "/samples/scripts/scripts";
    for (const std::string& scripts : {dir / "emptyscripts", deep}) {
        for (const auto& args : {std::vector<std::string>{"analyze", "-w", dir / "w.wsc", "-s", scripts},
                                 std::vector<std::string>{"scripts", scripts}}) {
            run = RunInProcess(args);
            EXPECT_EQ(run.code, kExitInput) << scripts;
            EXPECT_NE(run.err.find("no script files in " + scripts), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_NE(run.err.find(".scp files but neither tavrel.ini"), std::string::npos) << run.err;

    run = RunInProcess({"inspect", dir / "none.frz"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find((dir / "none.frz") + ": No such file or directory"), std::string::npos) << run.err;
    run = RunInProcess({"inspect", dir / "adir"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find("is a directory"), std::string::npos);
    run =
        RunInProcess({"clean", "-w", dir / "w.wsc", "-o", dir / "o.wsc", "-p", dir / "none.frz", "--static"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find((dir / "none.frz") + ": No such file or directory"), std::string::npos) << run.err;

    // A device is no world file (reading /dev/zero would never end).
#if defined(_WIN32)
    const std::string device = "NUL";
#else
    const std::string device = "/dev/zero";
#endif
    run = RunInProcess({"analyze", "-w", device});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find(device + ": is not a regular file"), std::string::npos) << run.err;
}

#if !defined(_WIN32)
// Permission bits that forbid reading are a POSIX thing (Windows: the locked-file case of the safe
// output file's tests).
TEST(BadInput, UnreadableWorldFile) {
    ScratchDir dir;
    WriteFile(dir / "secret.wsc", kWorld);
    ::chmod((dir / "secret.wsc").c_str(), 0);
    if (::access((dir / "secret.wsc").c_str(), R_OK) == 0) {
        GTEST_SKIP() << "running with the right to read any file (root): the unreadable world file case "
                        "cannot be made here";
    }
    auto run = RunInProcess({"analyze", "-w", dir / "secret.wsc"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find((dir / "secret.wsc") + ": Permission denied"), std::string::npos) << run.err;
}
#endif

TEST(BadInput, OutputsThatCannotBeWrittenAreRefusedBeforeAnyWork) {
    ScratchDir dir;
    WriteFile(dir / "w.wsc", kWorld);
    // A missing directory.
    auto run = RunInProcess(Freeze(dir, dir / "w.wsc", dir / "missing/out.wsc", dir / "p.frz"));
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_NE(run.err.find("Unable to create " + (dir / "missing/out.wsc") + ": the directory"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(dir.Others({"w.wsc"}), std::vector<std::string>{}); // not even the patch was written
    run = RunInProcess({"patch", "-w", dir / "w.wsc", "-p", dir / "missing/p.frz", "--static"});
    EXPECT_EQ(run.code, kExitOutput);

    // A directory: refused, left as it was.
    std::filesystem::create_directory(dir / "outdir");
    WriteFile(dir / "outdir/keep", "x");
    run = RunInProcess(Freeze(dir, dir / "w.wsc", dir / "outdir", dir / "p.frz"));
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_NE(run.err.find((dir / "outdir") + ": is a directory"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "outdir/keep"), "x");

#if defined(_WIN32)
    // A device: not a regular file, never replaced.
    run = RunInProcess({"patch", "-w", dir / "w.wsc", "-p", "NUL", "--static"});
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_NE(run.err.find("NUL: is not a regular file"), std::string::npos) << run.err;
#else
    // A FIFO and a device node of our own: not regular files, never replaced.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    run = RunInProcess({"patch", "-w", dir / "w.wsc", "-p", dir / "fifo", "--static"});
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_NE(run.err.find((dir / "fifo") + ": is not a regular file"), std::string::npos) << run.err;
    struct stat info {};
    ASSERT_EQ(::stat((dir / "fifo").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        run = RunInProcess(Freeze(dir, dir / "w.wsc", dir / "null", dir / "p.frz"));
        EXPECT_EQ(run.code, kExitOutput);
        ASSERT_EQ(::stat((dir / "null").c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
    }
#endif
    EXPECT_FALSE(std::filesystem::exists(dir / "p.frz"));
}

TEST(BadInput, OutputEqualToInputIsRefused) {
    ScratchDir dir;
    WriteFile(dir / "w.wsc", kWorld);
#if defined(_WIN32)
    // Links need a privilege on Windows: a hard link, and another letter case.
    std::filesystem::create_hard_link(dir / "w.wsc", dir / "link.wsc");
    const std::string other = dir.Path().string() + "\\.\\W.WSC";
#else
    std::filesystem::create_symlink(dir / "w.wsc", dir / "link.wsc");
    const std::string other = dir.Path().string() + "/./w.wsc";
#endif
    for (const std::string& out : {dir / "w.wsc", dir / "link.wsc", other}) {
        auto run = RunInProcess(Freeze(dir, dir / "w.wsc", out, dir / "p.frz"));
        EXPECT_EQ(run.code, kExitUsage) << out;
        EXPECT_NE(run.err.find("--out: " + out + " is the world file being read"), std::string::npos)
            << run.err;
        run = RunInProcess({"patch", "-w", dir / "w.wsc", "-p", out, "--static"});
        EXPECT_EQ(run.code, kExitUsage) << out;
        EXPECT_NE(run.err.find("--patch"), std::string::npos) << run.err;
    }
    auto run = RunInProcess(Freeze(dir, dir / "w.wsc", dir / "same", dir / "same"));
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find("also the patch file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "w.wsc"), kWorld);
    EXPECT_EQ(dir.Others({"w.wsc", "link.wsc"}), std::vector<std::string>{});
}

#if !defined(_WIN32)
// A small file system of our own needs mount rights; the injected full disk of the engine's tests runs
// everywhere.
TEST(BadInput, FullDiskLeavesNoPartialFile) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "small");
    if (::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP()
            << "a small tmpfs cannot be mounted here (needs root and mount rights): the full disk case "
               "is not run";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir / "small"};

    // A world of about 400 KB, most of it copied to the output: far more than the 64 KB disk.
    std::string world;
    for (int i = 1; i <= 4000; ++i)
        world += Record("0eed", std::to_string(i), "10,10,0", i % 100 == 0 ? "8000" : "0",
                        "NAME=a long enough name to fill the disk quickly\n");
    WriteFile(dir / "w.wsc", world);
    WriteFile(dir / "small/old.wsc", "previous output\n");

    auto run = RunInProcess(Freeze(dir, dir / "w.wsc", dir / "small/old.wsc", dir / "small/p.frz"));
    EXPECT_EQ(run.code, kExitOutput) << run.err;
    EXPECT_NE(run.err.find(dir / "small/old.wsc"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    // The previous output is untouched, and the patch, complete but without its cleaned world, was not
    // put in place either: a new patch beside the old world would load its objects twice.
    EXPECT_EQ(ReadFile(dir / "small/old.wsc"), "previous output\n");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "small"))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"old.wsc"}));
}
#endif

TEST(BadInput, OddContentIsReadNotRefused) {
    ScratchDir dir;
    // Binary garbage without any record: nothing to freeze, a clean exit, the figures say so.
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    WriteFile(dir / "garbage.wsc", garbage);
    auto run = RunInProcess({"analyze", "-w", dir / "garbage.wsc", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.out.find("Number of Top-Level Objects: 0\n"), std::string::npos) << run.out;

    // NUL bytes inside a record and between records; a truncated last record without its line end.
    const std::string nul("\0", 1);
    std::string world = Record("0eed", "1", "1,1,0", "8000", "NAME=a" + nul + "b\n") + "junk" + nul + nul +
                        "\n" + Record("0eee", "2", "2,2,0", "0") +
                        "[WORLDITEM 0eef]\nSERIAL=3\nATTR=8000\nP=10,2";
    WriteFile(dir / "w.wsc", world);
    run = RunInProcess(Freeze(dir, dir / "w.wsc", dir / "out.wsc", dir / "p.frz"));
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.out.find("Number of Objects to Freeze: 2\n"), std::string::npos) << run.out;
    // The junk line belongs to the body of the first record (it does not begin with "["): dropped with it.
    EXPECT_EQ(ReadFile(dir / "out.wsc"), SystemText(Record("0eee", "2", "2,2,0", "0")));
    // The truncated record stands at (10, 2), block 1 * 512 + 0: its 7 bytes end the file.
    std::string patch = ReadFile(dir / "p.frz");
    ASSERT_EQ(patch.size(), 6u + 2 * 9u + 2 * 7u);
    EXPECT_EQ(patch.substr(patch.size() - 7), std::string("\xef\x0e\x02\x02\x00\x00\x00", 7));

    // A 100 MB line (a comment) before the records is read and copied whole.
    {
        std::ofstream out(dir / "big.wsc", std::ios::binary);
        out << "//";
        std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 100; ++i)
            out << chunk;
        out << "\n" << Record("0eed", "1", "1,1,0", "8000") << Record("0eee", "2", "2,2,0", "8000");
    }
    run = RunInProcess(Freeze(dir, dir / "big.wsc", dir / "big-out.wsc", dir / "big.frz"));
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.out.find("Number of Objects to Freeze: 2\n"), std::string::npos) << run.out;
    EXPECT_EQ(std::filesystem::file_size(dir / "big-out.wsc"),
              2u + 100u * (1u << 20) + SystemText("\n").size());
}

TEST(BadInput, CrLfFilesReadLikeLf) {
    ScratchDir dir;
    const std::string source = FROSTMARK_SOURCE_DIR;
    std::string world = ReadFile(source + "/samples/world.wsc");
    std::string crlf;
    for (char c : world) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    WriteFile(dir / "crlf.wsc", crlf);
    const std::vector<std::string> selection = {
        "--static",        "--never-moveable", "--exclude-typed",     "--exclude-doors",
        "--exclude-signs", "--exclude-lights", "--exclude-containers"};
    std::vector<std::string> args = {
        "freeze",        "-w", dir / "crlf.wsc", "-s", source + "/samples/scripts", "-o",
        dir / "out.wsc", "-p", dir / "p.frz"};
    args.insert(args.end(), selection.begin(), selection.end());
    auto run = RunInProcess(args);
    EXPECT_EQ(run.code, kExitOk) << run.err;
    // The same figures and patch as the LF original (tests/cli/golden), and the system's line ends in the
    // output, whatever the input's.
    EXPECT_NE(run.out.find("Number of Top-Level Objects: 3004\nNumber of Objects to Freeze: 1148\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(ReadFile(dir / "p.frz") == ReadFile(source + "/tests/cli/golden/sample-main.frz"));
    const std::string out = ReadFile(dir / "out.wsc");
    EXPECT_TRUE(out == SystemText(test::WithoutCarriageReturns(out)));
}

} // namespace
} // namespace frostmark
