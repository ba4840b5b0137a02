// Inputs that once broke the programs (tests/data/findings), run end to end through the command line:
// each must give a clear result and leave every file sound.

#include "CliTestSupport.h"

#include "cli/CliOptions.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace frostmark {
namespace {

using testing::ReadFile;
using testing::Record;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::SystemText;
using testing::WriteFile;

const std::string kFindings = FROSTMARK_TEST_DATA "/findings/";

// "@FILE", the way an art ID list is given. (Built by appending: GCC 12 warns wrongly about
// "@" + path at -O3.)
std::string AtFile(const std::string& path) {
    std::string argument = "@";
    argument += path;
    return argument;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Findings, ObjectsOffTheMapStayInTheWorldAndTheWrittenPatchIsAccepted) {
    ScratchDir dir;
    // The finding's two records (x 7000, y 65535) and one on the map, then one off-map record alone.
    const std::string offMap = ReadFile(kFindings + "patch-outside-world.wsc");
    const std::string world = Record("0eee", "3", "6143,4095,0", "8000") + offMap;
    WriteFile(dir / "w.wsc", world);
    WriteFile(dir / "one.wsc", Record("0eee", "4", "6144,0,0", "8000"));

    auto run = RunInProcess(
        {"freeze", "-w", dir / "w.wsc", "-o", dir / "o.wsc", "-p", dir / "p.frz", "--static", "--json"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "\"objectsToFreeze\":1,")) << run.out;
    EXPECT_TRUE(Has(run.out, "\"objectsOutsideMap\":2,")) << run.out;
    EXPECT_TRUE(Has(run.out, ",\"2 objects lie outside the map and stay in the world file\"]}")) << run.out;
    EXPECT_TRUE(Has(run.err, "warning: 2 objects lie outside the map and stay in the world file\n"))
        << run.err;
    // Only the record on the map left the world.
    EXPECT_EQ(ReadFile(dir / "o.wsc"), SystemText(offMap));

    // The patch file freeze wrote is one inspect and clean accept.
    run = RunInProcess({"inspect", dir / "p.frz"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "Objects: 1\n")) << run.out;
    run = RunInProcess({"clean", "-w", dir / "w.wsc", "-o", dir / "c.wsc", "-p", dir / "p.frz", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(ReadFile(dir / "c.wsc"), SystemText(offMap));

    run = RunInProcess({"analyze", "-w", dir / "one.wsc", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.err, "warning: 1 object lies outside the map and stays in the world file\n"))
        << run.err;
    EXPECT_TRUE(Has(run.out, "Number of Objects to Freeze: 0\n")) << run.out;
}

TEST(Findings, ConstantsThatDoubleAtEveryLevelEvaluateOnceOrFailNamingTheConstant) {
    // Forty constants, each two copies of the next, and TYPE=D0: once 2^40 evaluations. The value is
    // fixed, so it is worked out once: the record's TYPE is 0eed, one the rules never freeze.
    auto run =
        RunInProcess({"analyze", "-w", kFindings + "defdag.wsc", "-s", kFindings + "defdag", "--static"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "Number of Top-Level Objects: 1\nNumber of Objects to Freeze: 0\n")) << run.out;
    // With the ladder ending in 0 the TYPE is 0, and --exclude-typed lets the record through; ending in
    // 7 it keeps it out.
    ScratchDir dir;
    for (const char* last : {"0", "7"}) {
        std::string defs = ReadFile(kFindings + "defdag/scripts/d.scp");
        defs.replace(defs.find("D40 0eed"), 8, std::string("D40 ") + last);
        std::filesystem::create_directories(dir.Path() / "scripts");
        WriteFile(dir / "scripts/d.scp", defs);
        WriteFile(dir / "tavrel.ini", ReadFile(kFindings + "defdag/tavrel.ini"));
        run = RunInProcess({"analyze", "-w", kFindings + "defdag.wsc", "-s", dir.Path().string(), "--static",
                            "--exclude-typed"});
        ASSERT_EQ(run.code, kExitOk) << run.err;
        EXPECT_TRUE(Has(run.out, std::string("Number of Objects to Freeze: ") + (*last == '0' ? "1" : "0")))
            << last << run.out;
    }

    // The same ladder with a random draw at every level cannot be remembered: its value goes over the
    // budget, and the analysis fails naming the constant and its file instead of using a wrong TYPE.
    std::string defs = "[DEFNAME dag]\n";
    for (int i = 0; i < 40; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "D%d {D%d D%d 1}\n", i, i + 1, i + 1);
        defs += line;
    }
    defs += "D40 0eed\n";
    WriteFile(dir / "d.scp", defs);
    WriteFile(dir / "tavrel.ini", "[RESOURCES]\nd.scp\n[TAVREL]\n");
    run = RunInProcess(
        {"analyze", "-w", kFindings + "defdag.wsc", "-s", dir.Path().string(), "--static", "--json"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_TRUE(Has(run.err, "Unable to evaluate the constant D0 of " + (dir / "d.scp") +
                                 ": its value takes more than 1000000 evaluations of constants"))
        << run.err;
    EXPECT_TRUE(Has(run.out, "\"ok\":false")) << run.out;
}

TEST(Findings, EveryReaderRefusesAnythingButARegularFile) {
    ScratchDir dir;
    WriteFile(dir / "w.wsc", Record("0eee", "1", "10,10,0", "8000"));
    std::vector<std::string> refused = {dir.Path().string()};
    testing::CliRun run;
#if !defined(_WIN32)
    // The resource table lists /dev/zero, which the lookup without regard to case finds as /DEV/ZERO too:
    // it is passed over with a warning naming it, and the rest of the set is read.
    run = RunInProcess({"analyze", "-w", dir / "w.wsc", "-s", kFindings + "reszero", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.err, "warning: Unable to read script file /dev/zero: is not a regular file\n"))
        << run.err;
    EXPECT_TRUE(Has(run.out, "Number of Objects to Freeze: 1\n")) << run.out;
    refused.push_back("/dev/zero");

    // A FIFO with no writer: opening it the usual way would wait for ever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    refused.push_back(dir / "fifo");
    std::filesystem::create_directories(dir.Path() / "set");
    WriteFile(dir / "set/tavrel.ini",
              "[RESOURCES]\n" + (dir / "fifo") + "\n" + (dir / "set") + "\n[TAVREL]\n");
    WriteFile(dir / "set/tavreltables.scp", "");
    ASSERT_EQ(::mkfifo((dir / "set/custloc.scp").c_str(), 0600), 0);
    run = RunInProcess({"analyze", "-w", dir / "w.wsc", "-s", dir / "set", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    for (const std::string& name : {dir / "fifo", dir / "set", std::string("custloc.scp")})
        EXPECT_TRUE(Has(run.err, "warning: Unable to read script file " + name + ": ")) << name << run.err;
#endif
    for (const std::string& path : refused) {
        SCOPED_TRACE(path);
        const bool directory = path == dir.Path().string();
        const std::string reason = path + (directory ? ": is a directory" : ": is not a regular file");
        run = RunInProcess({"analyze", "-w", dir / "w.wsc", "--exclude-art", AtFile(path)});
        EXPECT_EQ(run.code, kExitInput);
        EXPECT_TRUE(Has(run.err, "--exclude-art: " + reason)) << run.err;
        run = RunInProcess({"analyze", "-w", path});
        EXPECT_EQ(run.code, kExitInput);
        EXPECT_TRUE(Has(run.err, reason)) << run.err;
        run = RunInProcess({"inspect", path});
        EXPECT_EQ(run.code, kExitInput);
        EXPECT_TRUE(Has(run.err, reason)) << run.err;
    }
    // An art ID file is read line by line within bounded memory; its IDs count as typed ones.
    WriteFile(dir / "ids.txt", std::string(100000, 'x') + "\n0eee\r\n0eee\n");
    run =
        RunInProcess({"analyze", "-w", dir / "w.wsc", "--static", "--exclude-art", AtFile(dir / "ids.txt")});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "Number of Objects to Freeze: 0\n")) << run.out;
}

// The text of the JSON string that begins at `at` (just past its opening quote), unescaped.
std::string JsonStringAt(const std::string& json, std::size_t at) {
    std::string text;
    while (at < json.size() && json[at] != '"') {
        if (json[at] != '\\') {
            text += json[at++];
            continue;
        }
        const char escaped = json[at + 1];
        at += 2;
        if (escaped == 'u') {
            text += static_cast<char>(std::stoi(json.substr(at, 4), nullptr, 16));
            at += 4;
        } else {
            text += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
        }
    }
    return text;
}

TEST(Findings, LongIdsAreListedWholeFromTheList) {
    ScratchDir dir;
    // An ID of a few hundred kilobytes, with characters JSON escapes on both sides of every 64 KiB piece
    // the list is written in; it still reads as the art ID 0eed.
    std::string id = "0eed\"";
    while (id.size() < 300000)
        id += std::string(1000, 'a') + "\\\x01\t\"\xe9";
    WriteFile(dir / "w.wsc", Record(id, "7", "10,10,0", "8000") + Record("0eee", "8", "11,11,0", "8000"));
    auto run = RunInProcess({"analyze", "-w", dir / "w.wsc", "--static", "--list", "--json"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    const std::size_t first = run.out.find("\"objects\":[{\"id\":\"");
    ASSERT_NE(first, std::string::npos) << run.out.substr(0, 300);
    EXPECT_EQ(JsonStringAt(run.out, first + 18), id);
    EXPECT_TRUE(Has(run.out, "\"serial\":\"0x00000007\""));
    EXPECT_TRUE(Has(run.out, "},{\"id\":\"0eee\""));
    EXPECT_TRUE(Has(run.out, "}],\"warnings\":[\"no --scripts given"))
        << run.out.substr(run.out.size() - 300);
    EXPECT_TRUE(Has(run.out, "\"objectsToFreeze\":2,"));
    run = RunInProcess({"analyze", "-w", dir / "w.wsc", "--static", "--list"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "\n" + id + "\t0eed\t00000007\t10\t10\t0\t")) << run.out.substr(0, 300);
}

} // namespace
} // namespace frostmark
