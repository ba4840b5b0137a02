// The command line's conventions, on the built program: the progress bar on terminals of any width,
// --quiet and --verbose, hexadecimal values and JSON, "-" as a file name, suggestions for mistyped
// words, --list tables, counts in words, and the map's output name and client directory.

#include "CliTestSupport.h"

#include "cli/CliOptions.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace frostmark {
namespace {

using testing::Lines;
using testing::ReadFile;
using testing::Record;
using testing::ScratchDir;
using testing::WriteFile;

#ifdef FROSTMARK_CLI_PATH

const std::string kSource = FROSTMARK_SOURCE_DIR;
const std::string kWorld = kSource + "/samples/world.wsc";
const std::string kScripts = kSource + "/samples/scripts";

struct Launch {
    std::vector<std::string> args;
    std::string directory;   // working directory (where the log goes)
    std::string stdinFile;   // standard input redirected from this file...
    std::string stdinData;   // ...or else piped from this text
    int terminalColumns = 0; // > 0: standard error is a terminal this wide
};

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs the program as a shell would: its own process, standard streams as asked.
Outcome Execute(const Launch& launch) {
    int outPipe[2], errPipe[2] = {-1, -1}, inPipe[2] = {-1, -1};
    int master = -1, slave = -1;
    EXPECT_EQ(pipe(outPipe), 0);
    if (launch.terminalColumns > 0) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        // Opened here too, so that the terminal stays up until the program has ended.
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        EXPECT_GE(slave, 0);
        winsize size{};
        size.ws_col = static_cast<unsigned short>(launch.terminalColumns);
        size.ws_row = 24;
        EXPECT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
    } else {
        EXPECT_EQ(pipe(errPipe), 0);
    }
    if (launch.stdinFile.empty()) {
        EXPECT_EQ(pipe(inPipe), 0);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (!launch.directory.empty() && chdir(launch.directory.c_str()) != 0)
            _exit(126);
        if (!launch.stdinFile.empty()) {
            int in = open(launch.stdinFile.c_str(), O_RDONLY);
            dup2(in, 0);
        } else {
            dup2(inPipe[0], 0);
            close(inPipe[1]);
        }
        dup2(outPipe[1], 1);
        if (slave >= 0) {
            dup2(slave, 2);
        } else {
            dup2(errPipe[1], 2);
        }
        std::vector<char*> argv{const_cast<char*>(FROSTMARK_CLI_PATH)};
        for (const std::string& arg : launch.args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    if (slave >= 0)
        close(slave);
    if (errPipe[1] >= 0)
        close(errPipe[1]);
    if (inPipe[0] >= 0) {
        close(inPipe[0]);
        // Small inputs only: the pipe's buffer takes them whole.
        EXPECT_EQ(write(inPipe[1], launch.stdinData.data(), launch.stdinData.size()),
                  static_cast<ssize_t>(launch.stdinData.size()));
        close(inPipe[1]);
    }
    Outcome outcome;
    const int errRead = master >= 0 ? master : errPipe[0];
    std::vector<pollfd> fds{{outPipe[0], POLLIN, 0}, {errRead, POLLIN, 0}};
    bool childDone = false;
    int status = 0;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (poll(fds.data(), fds.size(), 100) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? outcome.out : outcome.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
        // The terminal's master side never ends by itself: stop reading once the program has ended and
        // nothing is left.
        if (!childDone && waitpid(pid, &status, WNOHANG) == pid)
            childDone = true;
        if (childDone && fds[0].fd < 0 && master >= 0 && fds[1].fd >= 0) {
            pollfd last{master, POLLIN, 0};
            if (poll(&last, 1, 50) <= 0 || !(last.revents & POLLIN)) {
                close(master);
                fds[1].fd = -1;
            }
        }
    }
    if (!childDone)
        waitpid(pid, &status, 0);
    outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

Outcome Execute(const ScratchDir& dir, std::vector<std::string> args) {
    return Execute(Launch{std::move(args), dir.Path().string(), "", "", 0});
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find(separator, start)) != std::string::npos; start = pos + 1)
        parts.push_back(text.substr(start, pos - start));
    parts.push_back(text.substr(start));
    return parts;
}

const std::vector<std::string> kSampleSelection = {"--world", kWorld,    "--scripts",
                                                   kScripts,  "--flags", "378010"};

std::vector<std::string> Args(std::vector<std::string> head,
                              const std::vector<std::string>& tail = kSampleSelection) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(Conventions, ProgressBarFitsTheTerminalAndNeverWraps) {
    ScratchDir dir;
    for (int columns : {120, 45, 20, 6}) {
        Outcome run = Execute(Launch{Args({"analyze"}), dir.Path().string(), "", "", columns});
        ASSERT_EQ(run.code, 0) << run.err;
        // The figures on stdout; on the terminal only the bar, redrawn in place: carriage returns, no line
        // feed (which would scroll), and no line as wide as the terminal (which would wrap).
        EXPECT_NE(run.out.find("Number of Objects to Freeze: 1148"), std::string::npos);
        EXPECT_EQ(run.err.find('\n'), std::string::npos) << columns;
        const std::vector<std::string> draws = Split(run.err, '\r');
        ASSERT_GE(draws.size(), 3u) << columns;
        int withPercent = 0;
        for (const std::string& draw : draws) {
            EXPECT_LT(draw.size(), static_cast<std::size_t>(columns)) << columns << ": '" << draw << "'";
            withPercent += draw.find('%') != std::string::npos;
        }
        EXPECT_GT(withPercent, 0) << columns;
        // Wide enough terminals get the bar itself, not only the percentage.
        if (columns >= 45) {
            EXPECT_TRUE(std::regex_search(run.err, std::regex(R"(\[#*\.*\] +[0-9]+%)"))) << columns;
        }
        // The bar is erased at the end: the last draw is blanks only.
        EXPECT_EQ(draws.back().find_first_not_of(' '), std::string::npos);
    }
    // --quiet and --no-progress draw nothing on the terminal; neither does a stderr that is no terminal.
    for (const char* off : {"--quiet", "--no-progress"}) {
        Outcome run = Execute(Launch{Args({"analyze", off}), dir.Path().string(), "", "", 80});
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.err, "") << off;
    }
    Outcome piped = Execute(dir, Args({"analyze"}));
    EXPECT_EQ(piped.err, "");
}

TEST(Conventions, QuietPrintsOnlyErrorsAndVerboseTellsWhatIsReadAndWritten) {
    ScratchDir dir;
    Outcome quiet =
        Execute(dir, Args({"freeze", "--quiet", "-p", dir / "q.frz", "-o", dir / "q.wsc"}, {"-w", kWorld}));
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "") << "the missing --scripts warning too is left out";
    EXPECT_TRUE(std::filesystem::exists(dir / "q.frz") && std::filesystem::exists(dir / "q.wsc"));
    // Errors still show.
    Outcome failed = Execute(dir, {"analyze", "--quiet", "-w", dir / "missing.wsc"});
    EXPECT_EQ(failed.code, kExitInput);
    EXPECT_NE(failed.err.find("missing.wsc"), std::string::npos);

    Outcome verbose = Execute(dir, Args({"freeze", "--verbose", "-p", dir / "v.frz", "-o", dir / "v.wsc"}));
    EXPECT_EQ(verbose.code, 0) << verbose.err;
    const std::string written = dir / "v.frz";
    EXPECT_NE(verbose.out.find("Patch file written: " + written), std::string::npos);
    EXPECT_NE(verbose.err.find("Attempting to load file " + kScripts + "/tavrel.ini"), std::string::npos);
    // Script warnings in full: the sample's scripts name a file that is not there, and a section kind
    // the loader does not know.
    EXPECT_NE(verbose.err.find("custloc.scp"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("Unknown section"), std::string::npos);
    EXPECT_NE(verbose.err.find(dir / "v.frz"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "q.frz").size() > 0, true);

    Outcome both = Execute(dir, Args({"analyze", "-q", "-v"}));
    EXPECT_EQ(both.code, kExitUsage);
}

TEST(Conventions, HexValuesReadAlikeAndJsonWritesThemAsHex) {
    ScratchDir dir;
    const std::string idFile = dir / "ids.txt";
    // Two art IDs the selection freezes, taken from the list, so that excluding them shows.
    Outcome plain = Execute(dir, Args({"analyze", "--list"}));
    ASSERT_EQ(plain.code, 0) << plain.err;
    const std::vector<std::string> rows = Lines(plain.out);
    ASSERT_GE(rows.size(), 3u);
    std::string first = Split(rows[1], '\t')[1], second;
    for (std::size_t i = 2; i < rows.size() && (second.empty() || second == first); ++i)
        second = Split(rows[i], '\t')[1];
    ASSERT_NE(first, second);
    std::string upper = second;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    WriteFile(idFile, "0x" + upper + "\n" + first + "\n");

    std::string figures;
    for (std::vector<std::string> spelling :
         {std::vector<std::string>{"--flags", "378010", "--exclude-art", first + "," + second},
          {"--flags", "0x378010", "--exclude-art", "0x" + first + ",0X" + upper},
          {"--flags", "0X378010", "--exclude-art", "@" + idFile}}) {
        std::vector<std::string> args = {"analyze", "-w", kWorld, "-s", kScripts};
        args.insert(args.end(), spelling.begin(), spelling.end());
        Outcome run = Execute(dir, args);
        ASSERT_EQ(run.code, 0) << run.err;
        if (figures.empty())
            figures = run.out;
        EXPECT_EQ(run.out, figures) << spelling[1] << " " << spelling[3];
    }
    // Excluding the two IDs changed the result, so the IDs were read at all.
    EXPECT_NE(plain.err, figures);
    EXPECT_EQ(figures.find("Number of Objects to Freeze: 1148\n"), std::string::npos) << figures;

    Outcome json = Execute(dir, Args({"analyze", "--json", "--list"}));
    ASSERT_EQ(json.code, 0);
    EXPECT_NE(json.out.find("\"flags\":\"0x378010\""), std::string::npos) << json.out.substr(0, 300);
    const std::regex object(R"re(\{"id":"[^"]*","art":"0x[0-9a-f]{4}","serial":"0x[0-9a-f]{8}",)re");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(json.out.begin(), json.out.end(), object), std::sregex_iterator()),
        1148);

    // A usage error under --json is still one JSON object on stdout, with the message on stderr.
    for (std::vector<std::string> bad : {std::vector<std::string>{"analyze", "--json", "--wrold", kWorld},
                                         {"analyze", "--json", "-w", kWorld, "--flags", "xyz"},
                                         {"anaylze", "--json"}}) {
        Outcome run = Execute(dir, bad);
        EXPECT_EQ(run.code, kExitUsage);
        EXPECT_TRUE(std::regex_match(
            run.out,
            std::regex(
                R"(\{"command":"[a-z]*","ok":false,"exitCode":2,"error":"[^"\n]+","warnings":\[\]\}\n)")))
            << run.out;
        EXPECT_NE(run.err.find("frostmark-cli: "), std::string::npos);
    }
}

TEST(Conventions, DashIsStandardInputOrOutputOrRefusedWithTheReason) {
    ScratchDir dir;
    // patch to standard output gives the bytes patch writes to a file; the figures go to stderr.
    ASSERT_EQ(Execute(dir, Args({"patch", "-p", dir / "file.frz"})).code, 0);
    Outcome toStdout = Execute(dir, Args({"patch", "-p", "-"}));
    ASSERT_EQ(toStdout.code, 0) << toStdout.err;
    EXPECT_TRUE(toStdout.out == ReadFile(dir / "file.frz"));
    EXPECT_NE(toStdout.err.find("Patch file written: standard output"), std::string::npos) << toStdout.err;

    // inspect and clean read it back from standard input.
    Outcome inspect = Execute(Launch{{"inspect", "-"}, dir.Path().string(), "", toStdout.out, 0});
    EXPECT_EQ(inspect.code, 0) << inspect.err;
    EXPECT_NE(inspect.out.find("Objects: 1148"), std::string::npos) << inspect.out;
    Outcome clean = Execute(Launch{Args({"clean", "-p", "-", "-o", dir / "clean.wsc"}), dir.Path().string(),
                                   "", toStdout.out, 0});
    EXPECT_EQ(clean.code, 0) << clean.err;
    EXPECT_NE(clean.out.find("(1148 of 1148 frozen records dropped)"), std::string::npos) << clean.out;

    // The world from standard input: a redirected file works, a pipe cannot and says why.
    Outcome redirected = Execute(Launch{
        {"analyze", "-w", "-", "-s", kScripts, "--flags", "378010"}, dir.Path().string(), kWorld, "", 0});
    EXPECT_EQ(redirected.code, 0) << redirected.err;
    EXPECT_NE(redirected.out.find("Number of Objects to Freeze: 1148"), std::string::npos);
    Outcome piped =
        Execute(Launch{{"analyze", "-w", "-"}, dir.Path().string(), "", ReadFile(kWorld).substr(0, 4000), 0});
    EXPECT_EQ(piped.code, kExitUsage);
    EXPECT_NE(piped.err.find("standard input is a pipe"), std::string::npos) << piped.err;

    // Where standard output cannot take a file, the message says which option and why.
    Outcome freezeOut = Execute(dir, Args({"freeze", "-p", dir / "x.frz", "-o", "-"}));
    EXPECT_EQ(freezeOut.code, kExitUsage);
    EXPECT_NE(freezeOut.err.find("--out -: the cleaned world"), std::string::npos) << freezeOut.err;
    Outcome freezePatch = Execute(dir, Args({"freeze", "-p", "-", "-o", dir / "x.wsc"}));
    EXPECT_EQ(freezePatch.code, kExitUsage);
    EXPECT_NE(freezePatch.err.find("--patch -: freeze"), std::string::npos);
    Outcome scripts = Execute(dir, {"scripts", "-"});
    EXPECT_EQ(scripts.code, kExitUsage);
    EXPECT_NE(scripts.err.find("directory"), std::string::npos);
    Outcome twice = Execute(dir, {"analyze", "-w", "-", "--exclude-art", "@-"});
    EXPECT_EQ(twice.code, kExitUsage);
    EXPECT_NE(twice.err.find("only once"), std::string::npos);
    // Art IDs from standard input.
    Outcome ids = Execute(
        Launch{Args({"analyze", "--exclude-art", "@-"}), dir.Path().string(), "", "0eed\n0x0eee\n", 0});
    EXPECT_EQ(ids.code, 0) << ids.err;

    // Nothing ever made a file named "-".
    EXPECT_FALSE(std::filesystem::exists(dir / "-"));
}

TEST(Conventions, MistypedWordsGetTheClosestSuggested) {
    ScratchDir dir;
    Outcome command = Execute(dir, {"anaylze", "-w", kWorld});
    EXPECT_EQ(command.code, kExitUsage);
    EXPECT_NE(command.err.find("unknown command 'anaylze' (did you mean analyze?)"), std::string::npos)
        << command.err;
    Outcome option = Execute(dir, {"analyze", "--wrold", kWorld});
    EXPECT_NE(option.err.find("unknown option '--wrold' (did you mean --world?)"), std::string::npos)
        << option.err;
    Outcome far = Execute(dir, {"analyze", "--qqqqqqqq"});
    EXPECT_EQ(far.err.find("did you mean"), std::string::npos) << far.err;

    // Every long option of the help, mistyped by two neighbouring letters swapped or one dropped, is
    // found again.
    const std::string usage = UsageText();
    const std::regex longOption(R"(--[a-z][a-z-]{3,}[a-z])");
    int checked = 0;
    for (auto it = std::sregex_iterator(usage.begin(), usage.end(), longOption); it != std::sregex_iterator();
         ++it) {
        const std::string name = it->str();
        std::string swapped = name;
        std::swap(swapped[3], swapped[4]);
        std::string dropped = name;
        dropped.erase(name.size() / 2, 1);
        for (const std::string& typo : {swapped, dropped}) {
            if (typo == name)
                continue;
            EXPECT_EQ(OptionSuggestion(typo), " (did you mean " + name + "?)") << typo;
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);
}

TEST(Conventions, ListsAreTablesWithAHeaderAndCountsReadAsWords) {
    ScratchDir dir;
    Outcome list = Execute(dir, Args({"analyze", "--list"}));
    ASSERT_EQ(list.code, 0) << list.err;
    const std::vector<std::string> rows = Lines(list.out);
    ASSERT_EQ(rows.size(), 1149u) << "a header and one row per object to freeze";
    EXPECT_EQ(rows[0], "id\tart\tserial\tx\ty\tz\tcolor\ttype\tattr");
    for (const std::string& row : rows) {
        EXPECT_EQ(Split(row, '\t').size(), 9u) << row;
        EXPECT_EQ(row.find(", "), std::string::npos) << row;
    }
    // The figures follow on stderr.
    EXPECT_NE(list.err.find("Number of Objects to Freeze: 1148"), std::string::npos) << list.err;

    ASSERT_EQ(Execute(dir, Args({"patch", "-p", dir / "p.frz"})).code, 0);
    Outcome patchList = Execute(dir, {"inspect", dir / "p.frz", "--list"});
    const std::vector<std::string> patchRows = Lines(patchList.out);
    ASSERT_EQ(patchRows.size(), 1149u);
    EXPECT_EQ(patchRows[0], "block\tart\tx\ty\tz\tcolor");
    EXPECT_NE(patchList.err.find("Objects: 1148"), std::string::npos);

    // One object, one group, one record: no "1 objects".
    WriteFile(dir / "one.wsc", Record("0eed", "1", "1000,2000,0", "8000"));
    Outcome one = Execute(dir, {"freeze", "-w", dir / "one.wsc", "--static", "-p", dir / "one.frz", "-o",
                                dir / "one-clean.wsc"});
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_NE(one.out.find("(1 object in 1 group, "), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("(1 of 1 frozen record dropped)"), std::string::npos) << one.out;
    Outcome listElsewhere = Execute(dir, Args({"patch", "--list"}));
    EXPECT_EQ(listElsewhere.code, kExitUsage);
}

TEST(Conventions, MapWantsAPngNameAndSaysWhereItLookedForTheClient) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "empty");
    Outcome jpeg = Execute(dir, {"map", "--client-dir", dir / "empty", "-o", dir / "map.jpg"});
    EXPECT_EQ(jpeg.code, kExitUsage);
    EXPECT_NE(jpeg.err.find("PNG"), std::string::npos) << jpeg.err;
    EXPECT_NE(jpeg.err.find("map.png"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "map.jpg"));

    Outcome missing = Execute(dir, {"map", "--client-dir", dir / "empty", "-o", dir / "map.png"});
    EXPECT_EQ(missing.code, kExitInput);
    EXPECT_NE(missing.err.find(dir / "empty"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("--client-dir"), std::string::npos);
    EXPECT_NE(missing.err.find("FROSTMARK_CLIENT_DIR"), std::string::npos);
    EXPECT_NE(missing.err.find("desktop program"), std::string::npos);
    // Without either, the working directory was the place.
    unsetenv("FROSTMARK_CLIENT_DIR");
    Outcome here = Execute(dir, {"map", "-o", dir / "map.png"});
    EXPECT_NE(here.err.find(dir.Path().string() + " (the working directory"), std::string::npos) << here.err;
}

#endif

} // namespace
} // namespace frostmark
