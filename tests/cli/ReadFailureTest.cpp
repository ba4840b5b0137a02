// Inputs that cannot be read to their end, for want of memory or because the device fails: the command
// stops with the file's name and the reason, and no output appears.

#include "CliTestSupport.h"

#include "cli/CliOptions.h"
#include "platform/FileFaults.h"

#include <filesystem>
#include <string>
#include <vector>

#if defined(FROSTMARK_CLI_PATH) && !defined(_WIN32)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace frostmark {
namespace {

using testing::Record;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::WriteFile;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const std::filesystem::path kSampleScripts =
    std::filesystem::path(FROSTMARK_SOURCE_DIR) / "samples" / "scripts";

TEST(ReadFailure, AScriptFileReadInPartFailsTheCommandNamingIt) {
    ScratchDir dir;
    std::filesystem::copy(kSampleScripts, dir / "scripts", std::filesystem::copy_options::recursive);
    WriteFile(dir / "w.wsc", Record("0eed", "7", "10,10,0", "8000"));
    const auto whole =
        RunInProcess({"analyze", "-w", dir / "w.wsc", "-s", dir / "scripts", "--static", "--json"});
    ASSERT_EQ(whole.code, kExitOk) << whole.err;

    // The device fails on the first read of one listed script file: without its definitions the set would
    // choose other objects.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"analyze", "-w", dir / "w.wsc", "-s", dir / "scripts", "--static"},
          std::vector<std::string>{"freeze", "-w", dir / "w.wsc", "-s", dir / "scripts", "-p", dir / "p.frz",
                                   "-o", dir / "out.wsc", "--static"},
          std::vector<std::string>{"scripts", dir / "scripts"}}) {
        CFailingCall failing(FileCall::Read, 1, FileErrorKind::IoError, "items_000.scp");
        IFileFaults* const before = SetFileFaults(&failing);
        const auto run = RunInProcess(args);
        SetFileFaults(before);
        EXPECT_EQ(run.code, kExitInput) << args[0] << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "Unable to read file ")) << run.err;
        EXPECT_TRUE(Has(run.err, "items_000.scp: ")) << run.err;
        EXPECT_GE(failing.Seen(), 1);
        EXPECT_TRUE(dir.Others({"w.wsc", "scripts"}).empty());
    }
}

#if defined(FROSTMARK_CLI_PATH) && !defined(_WIN32)

// AddressSanitizer reserves terabytes of address space for its shadow and reports a failed allocation
// instead of returning it: an address-space limit cannot make it run out the way a system does.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

struct CLimitedRun {
    int code = -1;
    std::string err;
};

// Runs the built program in dir with its address space limited to `bytes`, as a host's limits or a full
// machine would leave it.
CLimitedRun RunWithAddressSpace(const ScratchDir& dir, const std::vector<std::string>& args, rlim_t bytes) {
    int errPipe[2];
    if (::pipe(errPipe) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errPipe[1], 2);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        const rlimit limit{bytes, bytes};
        if (::chdir(dir.Path().c_str()) != 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(FROSTMARK_CLI_PATH)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(FROSTMARK_CLI_PATH, argv.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    CLimitedRun run;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(errPipe[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.err.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -(WIFSIGNALED(status) ? WTERMSIG(status) : 1000);
    return run;
}

// A gigabyte of a line without an end after `head`: a hole in the file, which costs no disk space.
void WriteWithEndlessLine(const std::string& path, const std::string& head) {
    WriteFile(path, head);
    std::filesystem::resize_file(path, std::uint64_t(1) << 30);
}

TEST(ReadFailure, ALineLongerThanMemoryEndsTheCommandNamingTheFile) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "an address-space limit does not apply under AddressSanitizer";
    constexpr rlim_t kLimit = rlim_t(384) << 20;
    ScratchDir dir;
    const std::string world = dir / "w.wsc";
    const std::string head = Record("0eed", "7", "10,10,0", "8000") + "[WORLDITEM 0eee]\nSERIAL=8\nID=";
    WriteWithEndlessLine(world, head);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"freeze", "-w", world, "-p", "p.frz", "-o", "out.wsc", "--static"},
          std::vector<std::string>{"analyze", "-w", world, "--static", "--list", "--json"}}) {
        const CLimitedRun run = RunWithAddressSpace(dir, args, kLimit);
        EXPECT_EQ(run.code, kExitFailure) << args[0] << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "not enough memory to read " + world)) << run.err;
        EXPECT_EQ(std::filesystem::file_size(world), std::uint64_t(1) << 30);
        // Only the log is new: no patch file, no cleaned world, no temporary file.
        for (const std::string& name : dir.Others({"w.wsc"}))
            EXPECT_EQ(name.rfind("frostmark.log", 0), 0u) << name;
    }
    std::string start(head.size(), '\0');
    std::ifstream in(world, std::ios::binary);
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    EXPECT_EQ(start, head);

    // A script file with such a line: its definitions would be missing, so the whole set is refused.
    std::filesystem::copy(kSampleScripts, dir / "scripts", std::filesystem::copy_options::recursive);
    const std::string items = dir / "scripts/scripts/items_000.scp";
    WriteWithEndlessLine(items, testing::ReadFile(items) + "\n[DEFNAME endless]\nENDLESS ");
    WriteFile(world, Record("0eed", "7", "10,10,0", "8000"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"freeze", "-w", world, "-s", "scripts", "-p", "p.frz", "-o", "out.wsc"},
          std::vector<std::string>{"scripts", "scripts"}}) {
        const CLimitedRun run = RunWithAddressSpace(dir, args, kLimit);
        EXPECT_EQ(run.code, kExitFailure) << args[0] << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "not enough memory to read ")) << run.err;
        EXPECT_TRUE(Has(run.err, "items_000.scp")) << run.err;
        for (const std::string& name : dir.Others({"w.wsc", "scripts"}))
            EXPECT_EQ(name.rfind("frostmark.log", 0), 0u) << name;
    }
}

#endif

} // namespace
} // namespace frostmark
