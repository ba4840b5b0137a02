// SIGINT and SIGTERM sent to the built frostmark-cli at each moment of analyze, patch, clean and freeze:
// before the outputs are in place the run stops with 128 + the signal and one line, every file as it was
// and nothing else left; once freeze has put its patch file in place, the cleaned world follows. On
// Windows, Ctrl+C pressed in the console does the same.

#include "CliTestSupport.h"
#include "platform/Interrupts.h"
#include "platform/System.h"
#include "tools/worldgen/WorldGen.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace frostmark {
namespace {

using testing::ReadFile;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::WriteFile;

// Signals, fork and kill are POSIX's; Windows delivers console events to a thread instead.
#if defined(FROSTMARK_CLI_PATH) && !defined(_WIN32)

const std::string kSampleWorld = std::string(FROSTMARK_SOURCE_DIR) + "/samples/world.wsc";
const std::vector<std::string> kSelection = {"--static", "--never-moveable", "--exclude-typed"};

struct CProgramRun {
    int code = -1;
    std::string err;
};

// In a forked child: becomes the program with args, run in dir. Whatever the test runner does with SIGINT
// and SIGTERM, the program starts with their defaults.
[[noreturn]] void ExecProgram(const ScratchDir& dir, const std::vector<std::string>& args) {
    if (::chdir(dir.Path().c_str()) != 0)
        ::_exit(126);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::vector<char*> argv{const_cast<char*>(FROSTMARK_CLI_PATH)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(FROSTMARK_CLI_PATH, argv.data());
    ::_exit(127);
}

// Runs the program in dir with FROSTMARK_TEST_PAUSE=stage; once it says it has paused there, sends it
// the signal.
CProgramRun RunAndSignal(const ScratchDir& dir, const std::vector<std::string>& args,
                         const std::string& stage, int signal) {
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
        ::setenv("FROSTMARK_TEST_PAUSE", stage.c_str(), 1);
        ExecProgram(dir, args);
    }
    ::close(errPipe[1]);
    CProgramRun run;
    const std::string pauseLine = "frostmark-cli: test pause at " + stage + "\n";
    bool signalled = false;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(errPipe[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.err.append(buffer, static_cast<std::size_t>(got));
        if (!signalled && run.err.find(pauseLine) != std::string::npos) {
            ::kill(child, signal);
            signalled = true;
        }
    }
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_TRUE(signalled) << "the program never paused at " << stage << "; it said: " << run.err;
    return run;
}

// How a run of the program ended: its exit status, or the signal that ended it.
struct CEnd {
    int code = -1;
    int signal = 0;
    double seconds = 0;
};

// Runs the program in dir and, unless `after` is negative, sends it `signal` that many seconds after the
// start (a program that has already ended does not get it).
CEnd RunSignalledAfter(const ScratchDir& dir, const std::vector<std::string>& args, double after,
                       int signal) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::unsetenv("FROSTMARK_TEST_PAUSE");
        ExecProgram(dir, args);
    }
    int status = 0;
    if (after >= 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(after));
        if (::waitpid(child, &status, WNOHANG) == 0)
            ::kill(child, signal);
        else
            return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
    }
    ::waitpid(child, &status, 0);
    CEnd end{WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
    end.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return end;
}

// Every file of the directory but the log, with its bytes.
std::map<std::string, std::string> Files(const ScratchDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("frostmark.log", 0) != 0)
            files[name] = ReadFile(entry.path().string());
    }
    return files;
}

std::string LastLine(std::string text) {
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    const std::size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

struct CCase {
    std::string command;
    std::string stage;
    std::string files; // what the message says of the outputs
};

TEST(InterruptTest, SignalBeforeTheOutputsAreInPlaceLeavesEveryFileAsItWas) {
    const CCase cases[] = {
        {"analyze", "analysis", ""},
        {"patch", "analysis", "stat_tavrel.frz is as it was"},
        {"patch", "writing", "stat_tavrel.frz is as it was"},
        {"patch", "complete", "stat_tavrel.frz is as it was"},
        {"clean", "writing", "clean.wsc is as it was"},
        {"clean", "complete", "clean.wsc is as it was"},
        {"freeze", "analysis", "stat_tavrel.frz and clean.wsc are as they were"},
        {"freeze", "writing", "stat_tavrel.frz and clean.wsc are as they were"},
        {"freeze", "complete", "stat_tavrel.frz and clean.wsc are as they were"},
    };
    for (const CCase& c : cases) {
        for (int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(c.command + " at " + c.stage + ", signal " + std::to_string(signal));
            ScratchDir dir;
            WriteFile(dir / "world.wsc", ReadFile(kSampleWorld));
            std::vector<std::string> args{c.command,         "-w", "world.wsc", "-p",
                                          "stat_tavrel.frz", "-o", "clean.wsc"};
            args.insert(args.end(), kSelection.begin(), kSelection.end());
            if (c.command == "clean") {
                // clean needs the patch of this selection first.
                std::vector<std::string> patch{"patch", "-w", dir / "world.wsc", "-p",
                                               dir / "stat_tavrel.frz"};
                patch.insert(patch.end(), kSelection.begin(), kSelection.end());
                ASSERT_EQ(RunInProcess(patch).code, 0);
            } else {
                WriteFile(dir / "stat_tavrel.frz", "the patch of an earlier freeze");
            }
            WriteFile(dir / "clean.wsc", "the cleaned world of an earlier freeze\n");
            const auto before = Files(dir);

            const CProgramRun run = RunAndSignal(dir, args, c.stage, signal);
            EXPECT_EQ(run.code, 128 + signal) << run.err;
            const std::string name = signal == SIGINT ? "SIGINT" : "SIGTERM";
            EXPECT_EQ(LastLine(run.err), "frostmark-cli: interrupted by " + name + ": nothing written" +
                                             (c.files.empty() ? "" : "; " + c.files));
            EXPECT_EQ(run.err.find("interrupted"), run.err.rfind("interrupted")) << "one line: " << run.err;
            EXPECT_EQ(Files(dir), before);
        }
    }
}

// After the patch file's rename a signal is too late: the cleaned world is put in place as well, so the
// pair on disk is always both old or both new.
TEST(InterruptTest, SignalBetweenTheTwoRenamesOfFreezeStillGivesBothNewFiles) {
    ScratchDir reference;
    WriteFile(reference / "world.wsc", ReadFile(kSampleWorld));
    std::vector<std::string> args{"freeze", "-w", "world.wsc", "-p", "stat_tavrel.frz", "-o", "clean.wsc"};
    args.insert(args.end(), kSelection.begin(), kSelection.end());
    std::vector<std::string> inReference = args;
    inReference[2] = reference / "world.wsc";
    inReference[4] = reference / "stat_tavrel.frz";
    inReference[6] = reference / "clean.wsc";
    ASSERT_EQ(RunInProcess(inReference).code, 0);

    for (int signal : {SIGINT, SIGTERM}) {
        ScratchDir dir;
        WriteFile(dir / "world.wsc", ReadFile(kSampleWorld));
        WriteFile(dir / "stat_tavrel.frz", "old patch");
        WriteFile(dir / "clean.wsc", "old world\n");
        const CProgramRun run = RunAndSignal(dir, args, "renamed", signal);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(Files(dir), Files(reference));
    }
}

// Signals at moments spread over a whole freeze of a world of some megabytes, not at chosen stages: whatever
// the moment, the directory holds either both earlier files or both new ones, and nothing else.
TEST(InterruptTest, SignalsAtAnyMomentOfFreezeLeaveBothOldOrBothNewFilesAndNothingElse) {
    SWorldGenOptions gen;
    gen.seed = 11;
    gen.targetBytes = 12 << 20;
    const std::string world = GenerateWorldText(gen);
    std::vector<std::string> args{"freeze", "-w", "world.wsc", "-p", "stat_tavrel.frz", "-o", "clean.wsc"};
    args.insert(args.end(), kSelection.begin(), kSelection.end());
    const auto prepare = [&](const ScratchDir& dir) {
        WriteFile(dir / "world.wsc", world);
        WriteFile(dir / "stat_tavrel.frz", "the patch of an earlier freeze");
        WriteFile(dir / "clean.wsc", "the cleaned world of an earlier freeze\n");
        return Files(dir);
    };
    ScratchDir reference;
    prepare(reference);
    const CEnd whole = RunSignalledAfter(reference, args, -1, 0);
    ASSERT_EQ(whole.code, 0);
    const auto after = Files(reference);

    std::random_device seed;
    const unsigned seedValue = seed();
    std::mt19937 random(seedValue);
    SCOPED_TRACE("moments drawn with seed " + std::to_string(seedValue));
    const int tries = 16;
    int interrupted = 0;
    for (int i = 0; i < tries; ++i) {
        // One moment in each sixteenth of the run, and a little past its end.
        const double at =
            whole.seconds * 1.05 * (i + std::uniform_real_distribution<double>(0, 1)(random)) / tries;
        const int signal = i % 2 == 0 ? SIGINT : SIGTERM;
        SCOPED_TRACE("signal " + std::to_string(signal) + " after " + std::to_string(at) + " s of " +
                     std::to_string(whole.seconds));
        ScratchDir dir;
        const auto before = prepare(dir);
        const CEnd end = RunSignalledAfter(dir, args, at, signal);
        const auto now = Files(dir);
        if (end.code == 0) {
            EXPECT_EQ(now, after) << "finished, but not with both new files";
        } else {
            // Stopped by the signal: by its handler, or before the program had set one up.
            EXPECT_TRUE(end.code == 128 + signal || end.signal == signal) << end.code << " " << end.signal;
            EXPECT_EQ(now, before) << "interrupted, but the files changed";
            ++interrupted;
        }
    }
    // Moments spread over the run must have caught it running at least once, or this test showed nothing.
    EXPECT_GT(interrupted, 0);
}

#endif

#if defined(_WIN32)

// Windows delivers Ctrl+C to a thread of the system's, through the console the process is attached to.
// A test run has none (Wine gives its processes none, nor does a service), so the test makes one of its
// own, presses Ctrl+C in it the moment the run pauses, and checks the whole way from the console handler
// to the exit status.
CCliInterrupt g_consoleInterrupt;

void OnConsoleInterrupt(int request) {
    g_consoleInterrupt.Raise(request);
}

// The run's error stream: once it says it has paused, Ctrl+C goes to every process of the console.
class CCtrlCAtPause : public std::stringbuf {
public:
    bool pressed = false;

protected:
    int sync() override {
        if (!pressed && str().find("frostmark-cli: test pause at ") != std::string::npos)
            pressed = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
        return 0;
    }
};

TEST(InterruptTest, CtrlCInTheConsoleStopsFreezeAndLeavesEveryFileAsItWas) {
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole()) << ::GetLastError();
    ASSERT_TRUE(CatchInterrupts(&OnConsoleInterrupt));
    ScratchDir dir;
    const std::string world = ReadFile(std::string(FROSTMARK_SOURCE_DIR) + "/samples/world.wsc");
    WriteFile(dir / "world.wsc", world);
    WriteFile(dir / "p.frz", "old patch");
    for (const char* stage : {"analysis", "writing", "complete"}) {
        g_consoleInterrupt.request = 0;
        g_consoleInterrupt.token.Reset();
        ASSERT_TRUE(SetEnvironment("FROSTMARK_TEST_PAUSE", std::string(stage)));
        CCtrlCAtPause errors;
        std::ostream err(&errors);
        std::ostringstream out;
        CCliEnvironment environment{out, err, nullptr, nullptr, {}, {}, nullptr, &g_consoleInterrupt};
        const int code = RunCli({"freeze", "-w", dir / "world.wsc", "-p", dir / "p.frz", "-o",
                                 dir / "out.wsc", "--static", "--never-moveable"},
                                environment);
        SetEnvironment("FROSTMARK_TEST_PAUSE", std::nullopt);
        EXPECT_TRUE(errors.pressed) << stage << ": " << errors.str();
        EXPECT_EQ(code, 128 + kInterruptSignal) << stage << ": " << errors.str();
        EXPECT_EQ(g_consoleInterrupt.request.load(), kInterruptSignal);
        EXPECT_NE(errors.str().find("interrupted by SIGINT: nothing written"), std::string::npos)
            << errors.str();
        EXPECT_EQ(ReadFile(dir / "world.wsc"), world);
        EXPECT_EQ(ReadFile(dir / "p.frz"), "old patch");
        EXPECT_EQ(dir.Others({"world.wsc", "p.frz"}), std::vector<std::string>{}) << stage;
    }
    // Ctrl+C ends the test program as usual again.
    CatchInterrupts(nullptr);
    ::FreeConsole();
}

#endif

} // namespace
} // namespace frostmark
