#include "CliTestSupport.h"

#include "cli/CliOptions.h"

namespace frostmark {
namespace {

using testing::ReadFile;
using testing::Record;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::SystemText;
using testing::WriteFile;

// Two objects in block 125 * 512 + 250 = 64250 (0xFAFA): (1000, 2000) in cell 0 and (1007, 2007) in
// cell 63; a contained item; a door by its art ID.
const std::string kA = Record("0eed", "1", "1000,2000,0", "8000");
const std::string kB = Record("0eee", "2", "1007,2007,-5", "10", "COLOR=0481\n");
const std::string kC = Record("0eef", "3", "5,5,0", "8000", "CONT=1\n");
const std::string kD = Record("0675", "4", "10,10,0", "8000");
const std::string kWorld = "// a world\n[WORLDSCRIPT]\nVERSION=1\n" + kA + kC + kB + kD + "[EOF]\n";

std::string ExpectedPatch() {
    std::string bytes;
    auto add = [&](std::initializer_list<int> values) {
        for (int v : values)
            bytes += static_cast<char>(v);
    };
    add({1, 0, 0, 0, 0x0D, 0xF0});             // one group, magic
    add({2, 0xFA, 0xFA, 0, 0, 14, 0, 0, 0});   // kind 2, block 64250, 2 objects
    add({0xED, 0x0E, 0, 0, 0, 0, 0});          // 0eed at cell (0, 0), z 0, colour 0
    add({0xEE, 0x0E, 7, 7, 0xFB, 0x81, 0x04}); // 0eee at cell (7, 7), z -5, colour 0481
    return bytes;
}

TEST(CliCommands, AnalyzePrintsTheThreeFiguresAndTheList) {
    ScratchDir dir;
    WriteFile(dir / "w.wsc", kWorld);
    auto run =
        RunInProcess({"analyze", "-w", dir / "w.wsc", "--static", "--never-moveable", "--exclude-doors"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    // Top-level: A, B and D; frozen: A and B; 9 bytes each.
    EXPECT_EQ(run.out, "Number of Top-Level Objects: 3\n"
                       "Number of Objects to Freeze: 2\n"
                       "Approximate size of resulting patch file: 18 bytes\n");
    EXPECT_NE(run.err.find("no --scripts given"), std::string::npos) << run.err;

    run = RunInProcess({"analyze", "-w", dir / "w.wsc", "--flags", "8010", "--list"});
    EXPECT_EQ(run.code, kExitOk);
    // Without --exclude-doors the door is frozen too; the list is in world file order, z as written.
    EXPECT_EQ(run.out, "id\tart\tserial\tx\ty\tz\tcolor\ttype\tattr\n"
                       "0eed\t0eed\t00000001\t1000\t2000\t0\t0000\t0\t8000\n"
                       "0eee\t0eee\t00000002\t1007\t2007\t-5\t0481\t0\t0010\n"
                       "0675\t0675\t00000004\t10\t10\t0\t0000\t0\t8000\n");
    EXPECT_NE(run.err.find("Number of Top-Level Objects: 3\n"
                           "Number of Objects to Freeze: 3\n"
                           "Approximate size of resulting patch file: 27 bytes\n"),
              std::string::npos)
        << run.err;

    run = RunInProcess({"analyze", "-w", dir / "w.wsc", "--static", "--json", "--list"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_NE(run.out.find("\"topLevelObjects\":3,\"objectsToFreeze\":2,\"approximatePatchSize\":18"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("{\"id\":\"0675\",\"art\":\"0x0675\",\"serial\":\"0x00000004\",\"x\":10,\"y\":10"),
              std::string::npos)
        << run.out;
    // The patch area keeps only (10, 10): right and bottom edges are outside.
    run = RunInProcess(
        {"analyze", "-w", dir / "w.wsc", "--static", "--never-moveable", "--area", "0,0,1000,2007"});
    EXPECT_NE(run.out.find("Number of Objects to Freeze: 1\n"), std::string::npos) << run.out;
}

TEST(CliCommands, FreezeWritesThePatchAndTheCleanedWorld) {
    ScratchDir dir;
    WriteFile(dir / "w.wsc", kWorld);
    auto run = RunInProcess({"freeze", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc",
                             "--static", "--never-moveable", "--exclude-doors"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(ReadFile(dir / "p.frz"), ExpectedPatch());
    EXPECT_EQ(ReadFile(dir / "out.wsc"),
              SystemText("// a world\n[WORLDSCRIPT]\nVERSION=1\n" + kC + kD + "[EOF]\n"));
    EXPECT_NE(run.out.find("Patch file written: " + (dir / "p.frz") + " (2 objects in 1 group, 29 bytes)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("(2 of 2 frozen records dropped)"), std::string::npos) << run.out;
    EXPECT_EQ(dir.Others({"w.wsc", "p.frz", "out.wsc"}), std::vector<std::string>{});

    // Either line end on request, whatever the input's; the same patch.
    const std::string lf = "// a world\n[WORLDSCRIPT]\nVERSION=1\n" + kC + kD + "[EOF]\n";
    for (const char* lineEnd : {"LF", "crlf"}) {
        run = RunInProcess({"freeze", "-w", dir / "w.wsc", "-p", dir / "p2.frz", "-o", dir / "out2.wsc",
                            "--static", "--never-moveable", "--exclude-doors", "--line-end", lineEnd});
        ASSERT_EQ(run.code, kExitOk) << run.err;
        std::string expected = lf;
        if (std::string(lineEnd) == "crlf")
            for (std::size_t at = expected.find('\n'); at != std::string::npos;
                 at = expected.find('\n', at + 2))
                expected.insert(at, 1, '\r');
        EXPECT_EQ(ReadFile(dir / "out2.wsc"), expected) << lineEnd;
        EXPECT_EQ(ReadFile(dir / "p2.frz"), ExpectedPatch());
    }
}

TEST(CliCommands, CleanNeedsTheMatchingPatchFile) {
    ScratchDir dir;
    WriteFile(dir / "w.wsc", kWorld);
    const std::vector<std::string> selection = {"--static", "--never-moveable", "--exclude-doors"};
    auto with = [&](std::vector<std::string> args, const std::vector<std::string>& extra) {
        args.insert(args.end(), extra.begin(), extra.end());
        return RunInProcess(args);
    };
    auto run = with({"clean", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc"}, selection);
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find(dir / "p.frz"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wsc"));

    run = with({"patch", "-w", dir / "w.wsc", "-p", dir / "p.frz"}, selection);
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(ReadFile(dir / "p.frz"), ExpectedPatch());

    // Another selection than the patch was written with: refused, nothing written.
    run =
        RunInProcess({"clean", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc", "--static"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(
        run.err.find(
            "does not hold the objects this analysis freezes (the file holds 2, the analysis freezes 2)"),
        std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wsc"));

    // One field of one object other than the analysis has it, or the objects in another block: refused.
    const std::string good = ExpectedPatch();
    struct Change {
        std::size_t at;
        int value;
        const char* what;
    };
    for (const Change& change : {Change{7, 0xFB, "block"}, Change{22, 0xEF, "art"}, Change{24, 6, "x"},
                                 Change{25, 6, "y"}, Change{26, 0xFC, "z"}, Change{27, 0x80, "colour"}}) {
        SCOPED_TRACE(change.what);
        std::string bytes = good;
        bytes[change.at] = static_cast<char>(change.value);
        WriteFile(dir / "p.frz", bytes);
        run = with({"clean", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc"}, selection);
        EXPECT_EQ(run.code, kExitInput) << run.err;
        EXPECT_NE(run.err.find("does not hold the objects this analysis freezes"), std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.wsc"));
    }
    // The same objects in another order inside their block are the same freeze.
    WriteFile(dir / "p.frz", good.substr(0, 15) + good.substr(22, 7) + good.substr(15, 7));
    run = with({"clean", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc"}, selection);
    ASSERT_EQ(run.code, kExitOk) << run.err;
    std::filesystem::remove(dir / "out.wsc");
    WriteFile(dir / "p.frz", good);

    run = with({"clean", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc"}, selection);
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.wsc"),
              SystemText("// a world\n[WORLDSCRIPT]\nVERSION=1\n" + kC + kD + "[EOF]\n"));
}

TEST(CliCommands, CleanWarnsWhenDroppedRecordsDifferFromTheFreezeList) {
    ScratchDir dir;
    // The contained item repeats the serial of the second frozen record: the cleaner, matching by serial
    // in freeze list order, drops it too.
    WriteFile(dir / "w.wsc", Record("0eed", "5", "1,1,0", "8000") +
                                 Record("0eee", "6", "2,2,0", "0", "CONT=5\n") +
                                 Record("0eef", "6", "3,3,0", "8000"));
    auto run =
        RunInProcess({"freeze", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out.wsc", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.err.find("warning: 3 records were dropped for the 2 frozen ones"), std::string::npos)
        << run.err;
    run = RunInProcess(
        {"freeze", "-w", dir / "w.wsc", "-p", dir / "p.frz", "-o", dir / "out2.wsc", "--static", "--json"});
    EXPECT_NE(run.out.find("\"recordsDropped\":3,\"recordsExpected\":2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"warnings\":[\""), std::string::npos) << run.out;
}

TEST(CliCommands, InspectChecksEveryField) {
    ScratchDir dir;
    WriteFile(dir / "p.frz", ExpectedPatch());
    auto run = RunInProcess({"inspect", dir / "p.frz", "--list"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "block\tart\tx\ty\tz\tcolor\n"
                       "64250\t0eed\t1000\t2000\t0\t0000\n"
                       "64250\t0eee\t1007\t2007\t-5\t0481\n");
    EXPECT_EQ(run.err, "Freeze patch file: " + (dir / "p.frz") + "\nSize: 29 bytes\nGroups: 1\nObjects: 2\n");
    run = RunInProcess({"inspect", dir / "p.frz", "--json"});
    EXPECT_NE(run.out.find("\"bytes\":29,\"groups\":1,\"objects\":2"), std::string::npos) << run.out;

    WriteFile(dir / "empty.frz", std::string("\0\0\0\0\x0d\xf0", 6));
    run = RunInProcess({"inspect", dir / "empty.frz"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_NE(run.out.find("Objects: 0"), std::string::npos);

    const std::string good = ExpectedPatch();
    struct Bad {
        std::string bytes;
        const char* reason;
    } bads[] = {
        {good.substr(0, 4), "too short"},
        {std::string("\1\0\0\0\xad\xde", 6) + good.substr(6), "magic dead"},
        {good.substr(0, good.size() - 1), "truncated"},
        {good + "x", "1 bytes follow"},
        {std::string("\2", 1) + good.substr(1), "truncated"}, // declares two groups
        {good.substr(0, 6) + "\3" + good.substr(7), "kind 3"},
        {good.substr(0, 11) + "\x0d" + good.substr(12), "not a non-zero multiple of 7"},
        {good.substr(0, 7) + "\xff\xff\xff\x00" + good.substr(11), "outside the world"},
        {good.substr(0, 24) + "\x09" + good.substr(25), "outside its block"},
    };
    for (const Bad& bad : bads) {
        WriteFile(dir / "bad.frz", bad.bytes);
        run = RunInProcess({"inspect", dir / "bad.frz"});
        EXPECT_EQ(run.code, kExitInput) << bad.reason;
        EXPECT_NE(run.err.find(dir / "bad.frz"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(bad.reason), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    // Two groups out of block order.
    std::string twoGroups = std::string("\2\0\0\0\x0d\xf0", 6) + std::string("\2\5\0\0\0\7\0\0\0", 9) +
                            std::string("\1\0\0\0\0\0\0", 7) + std::string("\2\4\0\0\0\7\0\0\0", 9) +
                            std::string("\1\0\0\0\0\0\0", 7);
    WriteFile(dir / "order.frz", twoGroups);
    run = RunInProcess({"inspect", dir / "order.frz"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find("not in ascending block order"), std::string::npos) << run.err;
}

TEST(CliCommands, ScriptsAreUsedAndTheWorkingDirectoryIsRestored) {
    ScratchDir dir;
    const std::string scripts = std::string(FROSTMARK_SOURCE_DIR) + "/samples/scripts";
    // i_gen_01c9 is the DEFNAME of [ITEMDEF 001c9] (no TYPE): art 0x01c9, frozen.
    // 0033e's definition has TYPE t_gen_69 (69, never frozen): kept although its record has no TYPE.
    // i_unknown names nothing: art 0, counted but never listed.
    WriteFile(dir / "w.wsc", Record("i_gen_01c9", "1", "1,1,0", "8000") +
                                 Record("0033e", "2", "2,2,0", "8000") +
                                 Record("i_unknown", "3", "3,3,0", "8000"));
    std::filesystem::path before = std::filesystem::current_path();
    auto run = RunInProcess({"analyze", "-w", dir / "w.wsc", "-s", scripts, "--static", "--list"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "id\tart\tserial\tx\ty\tz\tcolor\ttype\tattr\n"
                       "i_gen_01c9\t01c9\t00000001\t1\t1\t0\t0000\t0\t8000\n");
    EXPECT_NE(run.err.find("Number of Objects to Freeze: 1\n"), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::current_path(), before);

    run = RunInProcess({"scripts", scripts});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.out.find("Layout: newer (resource table)\nItem definitions: 1200\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Item categories: "), std::string::npos);
    EXPECT_EQ(std::filesystem::current_path(), before);
    run = RunInProcess({"scripts", scripts, "--json"});
    EXPECT_NE(run.out.find("\"layout\":\"newer\",\"itemDefinitions\":1200"), std::string::npos) << run.out;
}

TEST(CliCommands, HelpVersionAndUsage) {
    auto run = RunInProcess({"--help"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_NE(run.out.find("Examples:"), std::string::npos);
    EXPECT_EQ(run.err, "");
    run = RunInProcess({"freeze", "--help"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(run.out.rfind("Usage: frostmark-cli freeze", 0), 0u);
    run = RunInProcess({"--version"});
    EXPECT_EQ(run.out, "frostmark-cli 1.04\n");
    run = RunInProcess({});
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find("Usage:"), std::string::npos);
    run = RunInProcess({"analyze", "--static"});
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("--world"), std::string::npos);
    EXPECT_NE(run.err.find("--help"), std::string::npos);
}

} // namespace
} // namespace frostmark
