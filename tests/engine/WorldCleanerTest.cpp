#include <gtest/gtest.h>

#include "platform/FileFaults.h"

#include <csignal>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "EngineTestFiles.h"
#include "engine/Commands.h"
#include "engine/SafeOutputFile.h"
#include "script/LineReader.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

namespace frostmark {
namespace {

using testfiles::CountEntries;
using testfiles::CTempDir;
using testfiles::ReadFile;
using testfiles::WriteFile;

const std::string kData = FROSTMARK_TEST_DATA "/engine/";

std::unique_ptr<CWorldItem> Frozen(std::uint32_t serial) {
    auto item = std::make_unique<CWorldItem>();
    item->serial = serial;
    return item;
}

CFreezeList FreezeSerials(const std::vector<std::uint32_t>& serials) {
    CFreezeList list;
    for (std::uint32_t serial : serials)
        list.Append(Frozen(serial));
    return list;
}

class CRecordingProgress : public ICommandProgress {
public:
    void OnProgress(std::uint64_t done, std::uint64_t total) override {
        calls.push_back(done);
        lastTotal = total;
    }
    std::vector<std::uint64_t> calls;
    std::uint64_t lastTotal = 0;
};

// Cleans `world` (written to a file) with the given frozen serials and returns the output text.
struct CCleanRun {
    CCleanResult result;
    std::string output;
};

CCleanRun Clean(const std::string& world, const std::vector<std::uint32_t>& serials,
                CCleanOptions options = {}) {
    CTempDir dir;
    const std::string input = dir.File("world.scp");
    const std::string output = dir.File("clean.scp");
    EXPECT_TRUE(WriteFile(input, world));
    CScriptContext context;
    const CFreezeList list = FreezeSerials(serials);
    CCleanRun run;
    run.result = CleanWorldFile(input, output, list, context, nullptr, options);
    run.output = ReadFile(output);
    EXPECT_EQ(ReadFile(input), world); // the input is never changed
    // Copying unchanged stretches file to file must give the same, whatever the freeze list's size.
    options.minCopyStretch = 0;
    const CCleanResult copied = CleanWorldFile(input, output, list, context, nullptr, options);
    EXPECT_EQ(copied.ok, run.result.ok);
    EXPECT_EQ(copied.recordsDropped, run.result.recordsDropped);
    EXPECT_EQ(ReadFile(output), run.output);
    return run;
}

TEST(WorldCleaner, GoldenFile) {
    // golden.clean.world was written by hand: every record of a top-level item dropped with its
    // body up to the next "[" line (blank lines and the trailing comment included); the contained
    // item, the lower-case section and everything outside records kept.
    CTempDir dir;
    const std::string output = dir.File("clean.scp");
    CScriptContext context;
    const CFreezeList list = FreezeSerials({0x040000001, 0x040000002, 0x040000004, 0x040000005, 0x040000006});
    CRecordingProgress progress;
    const CCleanResult result = CleanWorldFile(kData + "golden.world", output, list, context, &progress);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ReadFile(output), ReadFile(kData + "golden.clean.world"));
    EXPECT_EQ(result.recordsDropped, 5u);
    EXPECT_EQ(result.recordsExpected, 5u);
    EXPECT_TRUE(result.DroppedAsExpected());
    EXPECT_EQ(result.bytesWritten, ReadFile(kData + "golden.clean.world").size());
    ASSERT_FALSE(progress.calls.empty());
    EXPECT_EQ(progress.calls.back(), progress.lastTotal);
    EXPECT_EQ(progress.lastTotal, ReadFile(kData + "golden.world").size());
    EXPECT_EQ(CountEntries(dir.Path()), 1u);
}

const std::string kFourRecords = "[WORLDITEM 0001]\nSERIAL=1\nP=1,1\n"
                                 "[WORLDITEM 0002]\nSERIAL=2\nP=2,2\n\n"
                                 "[WORLDITEM 0003]\nSERIAL=3\nCONT=2\n"
                                 "[WORLDITEM 0004]\nSERIAL=4\nP=4,4\n";

TEST(WorldCleaner, DropsOnlyTheFrozenRecordsInOrder) {
    const CCleanRun run = Clean(kFourRecords, {2, 4});
    ASSERT_TRUE(run.result.ok) << run.result.error;
    // The third record is inside the second: only frozen records themselves go.
    EXPECT_EQ(run.output, "[WORLDITEM 0001]\nSERIAL=1\nP=1,1\n[WORLDITEM 0003]\nSERIAL=3\nCONT=2\n");
    EXPECT_EQ(run.result.recordsDropped, 2u);
}

TEST(WorldCleaner, EmptyFreezeListCopiesEveryLine) {
    const std::string world = "// header\n\n[WORLDSTATS]\nX=1\n" + kFourRecords + "[EOF]";
    const CCleanRun run = Clean(world, {});
    ASSERT_TRUE(run.result.ok) << run.result.error;
    // Line for line: the last line gets its line end.
    EXPECT_EQ(run.output, world + "\n");
    EXPECT_EQ(run.result.recordsDropped, 0u);
    EXPECT_TRUE(run.result.DroppedAsExpected());
}

TEST(WorldCleaner, MatchingIsStrictlySequential) {
    // The first frozen serial is no longer in the world: the cursor waits for it and nothing is dropped.
    const CCleanRun missing = Clean(kFourRecords, {9, 2, 4});
    ASSERT_TRUE(missing.result.ok);
    EXPECT_EQ(missing.output, kFourRecords);
    EXPECT_EQ(missing.result.recordsDropped, 0u);
    EXPECT_EQ(missing.result.recordsExpected, 3u);
    EXPECT_FALSE(missing.result.DroppedAsExpected());

    // A list out of file order drops only what comes in order.
    const CCleanRun swapped = Clean(kFourRecords, {4, 2});
    EXPECT_EQ(swapped.result.recordsDropped, 1u);
    EXPECT_EQ(swapped.output.find("SERIAL=4"), std::string::npos);
    EXPECT_NE(swapped.output.find("SERIAL=2"), std::string::npos);

    // After the last frozen record the cursor stays on it: a later record with its serial goes too.
    const CCleanRun twice = Clean(kFourRecords + "[WORLDITEM 0005]\nSERIAL=4\n[EOF]\n", {4});
    EXPECT_EQ(twice.output, "[WORLDITEM 0001]\nSERIAL=1\nP=1,1\n[WORLDITEM 0002]\nSERIAL=2\nP=2,2\n\n"
                            "[WORLDITEM 0003]\nSERIAL=3\nCONT=2\n[EOF]\n");
    EXPECT_EQ(twice.result.recordsDropped, 2u);
}

TEST(WorldCleaner, LineEnds) {
    const std::string crlf = "[WORLDSTATS]\r\nA=1\r\n[WORLDITEM 0001]\r\nSERIAL=1\r\n[WORLDITEM 0002]\r\n"
                             "SERIAL=2\r\nP=1,2\r\n[EOF]\r\n";
    const CCleanRun lf = Clean(crlf, {1});
    ASSERT_TRUE(lf.result.ok);
    EXPECT_EQ(lf.output, "[WORLDSTATS]\nA=1\n[WORLDITEM 0002]\nSERIAL=2\nP=1,2\n[EOF]\n");
    CCleanOptions options;
    options.lineEnd = LineEnd::CrLf;
    const CCleanRun kept = Clean(crlf, {1}, options);
    EXPECT_EQ(kept.output, "[WORLDSTATS]\r\nA=1\r\n[WORLDITEM 0002]\r\nSERIAL=2\r\nP=1,2\r\n[EOF]\r\n");
    // An LF world written with CR LF.
    const CCleanRun converted = Clean("[WORLDITEM 0001]\nSERIAL=1\nX=2\n", {}, options);
    EXPECT_EQ(converted.output, "[WORLDITEM 0001]\r\nSERIAL=1\r\nX=2\r\n");
}

TEST(WorldCleaner, TruncatedRecordsAtTheEnd) {
    // A header as the very last line, without a line end, kept and dropped.
    const CCleanRun kept = Clean("[WORLDITEM 0001]\nSERIAL=1\n[WORLDITEM 0002]", {1});
    EXPECT_EQ(kept.output, "[WORLDITEM 0002]\n");
    const CCleanRun dropped = Clean("[WORLDITEM 0001]\nSERIAL=1\n[WORLDITEM 0002]", {1, 0});
    EXPECT_EQ(dropped.output, "");
    EXPECT_EQ(dropped.result.recordsDropped, 2u);
    // A body cut off in the middle of a line.
    const CCleanRun cut = Clean("[WORLDITEM 0001]\nSERIAL=1\nP=1,", {});
    EXPECT_EQ(cut.output, "[WORLDITEM 0001]\nSERIAL=1\nP=1,\n");
}

TEST(WorldCleaner, KeptRecordsWithBodiesLongerThanTheReadBuffer) {
    // A kept record is read for its serial and then copied from its header again; with a body longer
    // than the reader's buffer that step back has to go to the file.
    std::string world = "[WORLDITEM 0001]\nSERIAL=1\nNAME=";
    world.append(3 * CLineReader::kInitialBuffer, 'n');
    world += "\nP=1,2\n[WORLDITEM 0002]\nSERIAL=2\n[EOF]\n";
    const CCleanRun keepAll = Clean(world, {5});
    ASSERT_TRUE(keepAll.result.ok) << keepAll.result.error;
    EXPECT_EQ(keepAll.output, world);
    const CCleanRun dropFirst = Clean(world, {1});
    EXPECT_EQ(dropFirst.output, "[WORLDITEM 0002]\nSERIAL=2\n[EOF]\n");
}

TEST(WorldCleaner, LineEndsThatChangeMidwayThroughTheFile) {
    // Unchanged stretches are copied file to file only while every line ends in a lone line feed; a
    // CR LF line, inside a record or outside one, or a last line without an end, hands the rest over to
    // line-by-line copying, which must continue exactly where the copying stopped.
    const std::string head = "[WORLDSTATS]\nA=1\n[WORLDITEM 0001]\nSERIAL=1\n[WORLDITEM 0002]\nSERIAL=2\n";
    const CCleanRun outside = Clean(head + "// note\r\n[WORLDITEM 0003]\nSERIAL=3\n", {1, 3});
    EXPECT_EQ(outside.output, "[WORLDSTATS]\nA=1\n[WORLDITEM 0002]\nSERIAL=2\n// note\n");
    const CCleanRun insideKept = Clean(head + "[WORLDITEM 0003]\nSERIAL=3\r\nP=1,2\n[EOF]\n", {1});
    EXPECT_EQ(insideKept.output, "[WORLDSTATS]\nA=1\n[WORLDITEM 0002]\nSERIAL=2\n[WORLDITEM 0003]\nSERIAL=3\n"
                                 "P=1,2\n[EOF]\n");
    const CCleanRun insideDropped = Clean(head + "[WORLDITEM 0003]\nP=1,2\r\nSERIAL=3\n[EOF]\n", {2, 3});
    EXPECT_EQ(insideDropped.output, "[WORLDSTATS]\nA=1\n[WORLDITEM 0001]\nSERIAL=1\n[EOF]\n");
    EXPECT_EQ(insideDropped.result.recordsDropped, 2u);
    const CCleanRun lastKept = Clean(head + "[WORLDITEM 0003]\nSERIAL=3\nP=1,2", {2});
    EXPECT_EQ(lastKept.output, "[WORLDSTATS]\nA=1\n[WORLDITEM 0001]\nSERIAL=1\n[WORLDITEM 0003]\nSERIAL=3\n"
                               "P=1,2\n");
    const CCleanRun lastDropped = Clean(head + "[WORLDITEM 0003]\nSERIAL=3\nP=1,2", {3});
    EXPECT_EQ(lastDropped.output, head);
}

TEST(WorldCleaner, FileCopyingAndLineCopyingGiveTheSameOutput) {
    // The same worlds cleaned through the command (stretches copied file to file) and through the line
    // loop alone (a reader over memory): generated worlds with a few lines turned to CR LF at random
    // places, some without a final line end.
    std::mt19937 random(5);
    for (int round = 0; round < 12; ++round) {
        SWorldGenOptions options;
        options.seed = 100 + static_cast<std::uint64_t>(round);
        options.itemCount = 400;
        std::string world = GenerateWorldText(options);
        const int crlfLines = round % 3 == 0 ? 0 : 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < crlfLines; ++i) {
            const std::size_t at = world.find('\n', random() % world.size());
            if (at != std::string::npos)
                world.insert(world.begin() + static_cast<std::ptrdiff_t>(at), '\r');
        }
        if (round % 4 == 1)
            world.pop_back();

        CScriptContext context;
        CFreezeList list;
        {
            CLineReader reader;
            reader.OpenMemory(world);
            std::string_view line;
            int topLevel = 0;
            while (reader.ReadLine(line)) {
                if (!IsWorldItemHeader(line))
                    continue;
                auto item = std::make_unique<CWorldItem>();
                ReadWorldItemBody(reader, *item, context);
                if (item->IsTopLevel() && topLevel++ % 3 == 0)
                    list.Append(std::move(item));
            }
        }
        CTempDir dir;
        ASSERT_TRUE(WriteFile(dir.File("world.scp"), world));
        CCleanOptions copying;
        copying.minCopyStretch = 0;
        const CCleanResult byFile =
            CleanWorldFile(dir.File("world.scp"), dir.File("a.scp"), list, context, nullptr, copying);
        ASSERT_TRUE(byFile.ok) << byFile.error;

        CLineReader reader;
        reader.OpenMemory(world);
        CSafeOutputFile output;
        ASSERT_TRUE(output.Open(dir.File("b.scp")));
        CCleanResult byLine;
        CleanWorld(reader, output, list, context, {}, byLine, nullptr);
        ASSERT_TRUE(output.Commit());
        ASSERT_EQ(ReadFile(dir.File("a.scp")), ReadFile(dir.File("b.scp"))) << "round " << round;
        EXPECT_EQ(byFile.recordsDropped, list.Count());
        EXPECT_EQ(byLine.recordsDropped, list.Count());
    }
}

TEST(WorldCleaner, RefusesEveryOutputThatIsTheInput) {
    CTempDir dir;
    const std::string input = dir.File("world.scp");
    ASSERT_TRUE(WriteFile(input, kFourRecords));
    const std::string hardlinkPath = dir.File("hard.scp");
    std::filesystem::create_hard_link(input, hardlinkPath);
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("sub")));
    const std::string dotted = dir.File("sub/../world.scp");
    const std::string dotSlash = dir.Path() + "/./world.scp";
#if defined(_WIN32)
    // Links need a privilege on Windows; letter case and the other separator are spellings of its own.
    const std::string symlinkPath = dir.File("WORLD.SCP");
    const std::string other = dir.Path() + "\\world.scp";
#else
    const std::string symlinkPath = dir.File("link.scp");
    std::filesystem::create_symlink(input, symlinkPath);
    const std::string other = dir.Path() + "//world.scp";
#endif

    CScriptContext context;
    const CFreezeList list = FreezeSerials({1, 2, 3, 4});
    for (const std::string& output : {input, symlinkPath, hardlinkPath, dotted, dotSlash, other}) {
        const CCleanResult result = CleanWorldFile(input, output, list, context);
        EXPECT_FALSE(result.ok) << output;
        EXPECT_EQ(result.errorPath, output);
        EXPECT_NE(result.error.find(output), std::string::npos);
    }
    // The other way round too: the input named through a link, the output being the file itself.
    EXPECT_FALSE(CleanWorldFile(symlinkPath, input, list, context).ok);
    EXPECT_EQ(ReadFile(input), kFourRecords);
#if !defined(_WIN32)
    EXPECT_TRUE(std::filesystem::is_symlink(symlinkPath));
    EXPECT_EQ(CountEntries(dir.Path()), 4u);
#else
    EXPECT_EQ(CountEntries(dir.Path()), 3u);
#endif
}

TEST(WorldCleaner, EmptyPathsAndMissingInputTouchNothing) {
    CTempDir dir;
    CScriptContext context;
    const CFreezeList list;
    const std::string output = dir.File("out.scp");
    EXPECT_FALSE(CleanWorldFile("", output, list, context).ok);
    EXPECT_FALSE(CleanWorldFile(dir.File("world.scp"), "", list, context).ok);
    const CCleanResult missing = CleanWorldFile(dir.File("missing.scp"), output, list, context);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.errorPath, dir.File("missing.scp"));
    EXPECT_EQ(missing.errorReason, SystemErrorText(FileErrorKind::NotFound));
    EXPECT_FALSE(CleanWorldFile(dir.Path(), output, list, context).ok); // a directory as input
    EXPECT_EQ(CountEntries(dir.Path()), 0u);
}

TEST(WorldCleaner, FailedWriteLeavesTheOldOutput) {
    CTempDir dir;
    const std::string input = dir.File("world.scp");
    const std::string output = dir.File("clean.scp");
    std::string world;
    for (int i = 1; i <= 100000; ++i)
        world += "[WORLDITEM 0001]\nSERIAL=" + std::to_string(i) + "\nP=1,2,3\n";
    ASSERT_TRUE(WriteFile(input, world));
    ASSERT_TRUE(WriteFile(output, "previous output"));

    // The disk fills after the first buffer of the output.
    CFailingCall failing(FileCall::Write, 2, FileErrorKind::NoSpace, "clean.scp");
    CFileFaultsScope faults(failing);
    CScriptContext context;
    const CFreezeList list = FreezeSerials({7});
    const CCleanResult result = CleanWorldFile(input, output, list, context);

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorPath, output);
    EXPECT_EQ(result.errorReason, SystemErrorText(FileErrorKind::NoSpace));
    EXPECT_EQ(ReadFile(output), "previous output");
    EXPECT_EQ(ReadFile(input), world);
    EXPECT_EQ(CountEntries(dir.Path()), 2u);
}

TEST(WorldCleaner, GeneratedWorldLosesExactlyTheFrozenRecords) {
    // A generated world with every fifth top-level item frozen. Whatever the cleaner keeps, the output
    // plus the dropped records must give back the input's lines, and a second scan of the output must
    // find none of the frozen serials.
    SWorldGenOptions options;
    options.seed = 42;
    options.itemCount = 3000;
    options.crlf = true;
    const std::string world = GenerateWorldText(options);

    CTempDir dir;
    const std::string input = dir.File("world.scp");
    const std::string output = dir.File("clean.scp");
    ASSERT_TRUE(WriteFile(input, world));
    CScriptContext context;
    CFreezeList list;
    std::set<std::uint32_t> frozenSerials;
    std::uint64_t droppedLines = 0;
    {
        CLineReader reader;
        ASSERT_TRUE(reader.Open(input));
        std::string_view line;
        std::uint64_t topLevel = 0;
        while (reader.ReadLine(line)) {
            if (!IsWorldItemHeader(line))
                continue;
            const std::uint64_t headerStart = reader.LineStart();
            auto item = std::make_unique<CWorldItem>();
            ReadWorldItemBody(reader, *item, context);
            if (item->IsTopLevel() && topLevel++ % 5 == 0) {
                // header + body lines of this record
                CLineReader counter;
                ASSERT_TRUE(counter.Open(input));
                counter.Seek(headerStart);
                std::string_view bodyLine;
                counter.ReadLine(bodyLine);
                ++droppedLines;
                while (counter.ReadLine(bodyLine) && (bodyLine.empty() || bodyLine[0] != '['))
                    ++droppedLines;
                frozenSerials.insert(item->serial);
                list.Append(std::move(item));
            }
        }
    }
    ASSERT_GT(list.Count(), 400u);
    const CCleanResult result = CleanWorldFile(input, output, list, context);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.recordsDropped, list.Count());

    const std::string cleaned = ReadFile(output);
    const auto countLines = [](const std::string& text) {
        return static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    };
    EXPECT_EQ(countLines(cleaned) + droppedLines, countLines(world));
    EXPECT_EQ(cleaned.find('\r'), std::string::npos);

    CLineReader reader;
    ASSERT_TRUE(reader.Open(output));
    std::string_view line;
    std::uint64_t records = 0;
    while (reader.ReadLine(line)) {
        if (!IsWorldItemHeader(line))
            continue;
        CWorldItem item;
        ReadWorldItemBody(reader, item, context);
        ++records;
        EXPECT_EQ(frozenSerials.count(item.serial), 0u) << std::hex << item.serial;
    }
    SWorldGenStats stats;
    GenerateWorldText(options, &stats);
    EXPECT_EQ(records + list.Count(), stats.items);
}

} // namespace
} // namespace frostmark
