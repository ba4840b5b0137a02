#include "engine/Commands.h"

#include "TempDir.h"
#include "engine/Analysis.h"
#include "engine/SafeOutputFile.h"
#include "engine/WorldCleaner.h"
#include "platform/Files.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace frostmark {
namespace {

CFreezeOptions Selection() {
    CFreezeOptions options;
    options.flags = OPT_STATIC | OPT_NEVER_MOVEABLE;
    return options;
}

// The freeze list an analysis of the world gives, each record with its offset in the file.
void Analyse(const std::string& path, CFreezeList& list) {
    CScriptContext context;
    const CAnalysisResult result = AnalyzeWorldFile(path, context, nullptr, Selection(), list, nullptr);
    ASSERT_EQ(result.status, AnalysisStatus::Ok);
}

struct CCleaned {
    CCleanResult result;
    std::string text;
};

CCleaned Clean(const std::string& world, const std::string& out, const CFreezeList& list, unsigned threads) {
    CScriptContext context;
    CCleanOptions options;
    options.threads.threads = threads;
    options.threads.minBytesPerThread = 1; // share out even a small file
    CCleaned cleaned;
    cleaned.result = CleanWorldFile(world, out, list, context, nullptr, options);
    cleaned.text = test::ReadFile(out);
    return cleaned;
}

// Whether the threads took the work (true) or left it to the one-thread walk; the output is abandoned.
bool ThreadsTakeIt(const std::string& world, const std::string& out, const CFreezeList& list,
                   unsigned threads) {
    CSafeOutputFile output;
    EXPECT_TRUE(output.Open(out));
    CFile input;
    EXPECT_TRUE(input.OpenRead(world));
    CCleanOptions options;
    options.threads.threads = threads;
    options.threads.minBytesPerThread = 1;
    CCleanResult result;
    const bool taken = CleanWorldOnThreads(world, input, test::ReadFile(world).size(), output, list, options,
                                           result, nullptr);
    output.Abandon();
    return taken;
}

void ExpectSameAsOneThread(const std::string& world, const std::string& out, const CFreezeList& list,
                           const std::string& what) {
    const CCleaned one = Clean(world, out, list, 1);
    ASSERT_TRUE(one.result.ok) << what << ": " << one.result.error;
    for (unsigned threads : {2u, 3u, 5u, 8u}) {
        SCOPED_TRACE(what + ", " + std::to_string(threads) + " threads");
        const CCleaned many = Clean(world, out, list, threads);
        ASSERT_TRUE(many.result.ok) << many.result.error;
        EXPECT_EQ(many.text, one.text);
        EXPECT_EQ(many.result.recordsDropped, one.result.recordsDropped);
        EXPECT_EQ(many.result.recordsExpected, one.result.recordsExpected);
        EXPECT_EQ(many.result.bytesWritten, one.result.bytesWritten);
        EXPECT_EQ(many.result.linesRead, one.result.linesRead);
    }
}

std::string Generated(std::uint64_t seed, bool crlf) {
    SWorldGenOptions gen;
    gen.seed = seed;
    gen.itemCount = 4000;
    gen.crlf = crlf;
    return GenerateWorldText(gen);
}

TEST(ParallelClean, GeneratedWorldsCleanAsOnOneThread) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        const std::string world = dir.Write("world.wsc", Generated(seed, false));
        CFreezeList list;
        Analyse(world, list);
        ASSERT_GT(list.Count(), 100u);
        for (unsigned threads : {2u, 5u})
            EXPECT_TRUE(ThreadsTakeIt(world, out, list, threads)) << seed;
        ExpectSameAsOneThread(world, out, list, "seed " + std::to_string(seed));

        // Entries removed from the list (the Delete key) keep the offsets of the others.
        std::vector<std::size_t> every3rd;
        for (std::size_t i = 0; i < list.Count(); i += 3)
            every3rd.push_back(i);
        list.RemoveIndexes(every3rd);
        EXPECT_TRUE(ThreadsTakeIt(world, out, list, 3));
        ExpectSameAsOneThread(world, out, list, "seed " + std::to_string(seed) + ", entries removed");

        // Nothing frozen: the copy is the input.
        CFreezeList none;
        EXPECT_TRUE(ThreadsTakeIt(world, out, none, 4));
        EXPECT_EQ(Clean(world, out, none, 4).text, test::ReadFile(world));
    }
}

// Where the threads cannot be sure of the one-thread outcome they leave the work to it.
TEST(ParallelClean, WhatTheThreadsCannotDoIsDoneOnOne) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();

    // Lines with CR LF are rewritten.
    const std::string crlf = dir.Write("crlf.wsc", Generated(4, true));
    CFreezeList list;
    Analyse(crlf, list);
    EXPECT_FALSE(ThreadsTakeIt(crlf, out, list, 3));
    ExpectSameAsOneThread(crlf, out, list, "crlf");

    // A last line without its line feed gets one.
    std::string text = Generated(5, false);
    const std::string noEnd = dir.Write("noend.wsc", text + "[WORLDITEM 0eed]\nSERIAL=7ffffff0\nATTR=8000");
    CFreezeList noEndList;
    Analyse(noEnd, noEndList);
    EXPECT_FALSE(ThreadsTakeIt(noEnd, out, noEndList, 3));
    ExpectSameAsOneThread(noEnd, out, noEndList, "no last line feed");

    // Records without offsets (made elsewhere than by an analysis).
    const std::string world = dir.Write("world.wsc", text);
    CFreezeList analysed;
    Analyse(world, analysed);
    CFreezeList plain;
    for (std::size_t i = 0; i < analysed.Count(); ++i)
        plain.Append(std::make_unique<CWorldItem>(analysed[i]));
    EXPECT_FALSE(ThreadsTakeIt(world, out, plain, 3));
    ExpectSameAsOneThread(world, out, plain, "no offsets");
}

// The world changed since the analysis: the cursor of the one-thread walk goes elsewhere than the offsets
// say, and the outcome must still be that walk's.
TEST(ParallelClean, ChangedWorldGivesTheOneThreadOutcome) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    const std::string text = Generated(6, false);
    const std::string world = dir.Write("world.wsc", text);
    CFreezeList list;
    Analyse(world, list);
    ASSERT_GT(list.Count(), 100u);

    // A copy of the first frozen record put at the very start: the walk drops it there, moves on early,
    // and the later stretches' cursors no longer join up.
    const std::uint64_t first = list.OffsetOf(0);
    const std::uint64_t firstEnd = list.OffsetOf(1);
    const std::string copy = text.substr(first, text.find("\n[", first) + 1 - first);
    ASSERT_LE(first + copy.size(), firstEnd);
    const std::string early = dir.Write("early.wsc", copy + text);
    // The threads still do it: a stretch whose cursor does not join up is searched again from the
    // cursor the walk has there.
    EXPECT_TRUE(ThreadsTakeIt(early, out, list, 3));
    ExpectSameAsOneThread(early, out, list, "a frozen record repeated early");

    // A frozen record gone from the middle: the walk waits for it and drops nothing after it.
    const std::uint64_t middle = list.OffsetOf(list.Count() / 2);
    const std::uint64_t middleEnd = text.find("\n[", middle) + 1;
    const std::string gone = dir.Write("gone.wsc", text.substr(0, middle) + text.substr(middleEnd));
    const CCleaned cleaned = Clean(gone, out, list, 3);
    ASSERT_TRUE(cleaned.result.ok);
    EXPECT_LT(cleaned.result.recordsDropped, list.Count());
    ExpectSameAsOneThread(gone, out, list, "a frozen record gone");

    // The same records, everything shifted by a comment line at the start: the cursors still join up.
    const std::string shifted = dir.Write("shifted.wsc", "// saved again\n" + text);
    ExpectSameAsOneThread(shifted, out, list, "shifted");
    EXPECT_EQ(Clean(shifted, out, list, 3).result.recordsDropped, list.Count());
}

} // namespace
} // namespace frostmark

namespace frostmark {
namespace {

// An analysis on several threads leaves a plan for the clean with the list.
void AnalyseOnThreads(const std::string& path, CFreezeList& list, unsigned threads) {
    CScriptContext context;
    CScanThreads scan;
    scan.threads = threads;
    scan.minBytesPerThread = 1;
    const CAnalysisResult result = AnalyzeWorldFile(path, context, {}, Selection(), list, nullptr, scan);
    ASSERT_EQ(result.status, AnalysisStatus::Ok);
}

// The same records without the plan, cleaned by the walk on one thread: what the plan must give.
CCleaned WalkWithoutPlan(const std::string& world, const std::string& out, const CFreezeList& list) {
    CFreezeList copy;
    for (std::size_t i = 0; i < list.Count(); ++i)
        copy.Append(list[i], list.OffsetOf(i));
    EXPECT_EQ(copy.CleanPlan(), nullptr);
    return Clean(world, out, copy, 1);
}

bool PlanTakesIt(const std::string& world, const std::string& out, const CFreezeList& list) {
    CSafeOutputFile output;
    EXPECT_TRUE(output.Open(out));
    CFile input;
    EXPECT_TRUE(input.OpenRead(world));
    CCleanResult result;
    const bool taken = CleanWorldByPlan(input, output, list, CCleanOptions{}, result, nullptr);
    output.Abandon();
    return taken;
}

void ExpectPlanGivesTheWalk(const std::string& world, const std::string& out, const CFreezeList& list,
                            const std::string& what) {
    SCOPED_TRACE(what);
    const CCleaned walk = WalkWithoutPlan(world, out, list);
    ASSERT_TRUE(walk.result.ok) << walk.result.error;
    const CCleaned planned = Clean(world, out, list, 1);
    ASSERT_TRUE(planned.result.ok) << planned.result.error;
    EXPECT_EQ(planned.text, walk.text);
    EXPECT_EQ(planned.result.recordsDropped, walk.result.recordsDropped);
    EXPECT_EQ(planned.result.recordsExpected, walk.result.recordsExpected);
    EXPECT_EQ(planned.result.bytesWritten, walk.result.bytesWritten);
    EXPECT_EQ(planned.result.linesRead, walk.result.linesRead);
}

std::string Contained(std::uint32_t serial) {
    char record[96];
    std::snprintf(record, sizeof record, "[WORLDITEM 0eed]\nSERIAL=%x\nCONT=4fffffff\nP=1,1,1\n", serial);
    return record;
}

// Records the selection leaves alone, and one it freezes.
std::string Unfrozen(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char record[96];
        std::snprintf(record, sizeof record, "[WORLDITEM 0eee]\nSERIAL=%x\nP=%d,2,0\n", 0x100 + i, i % 4000);
        text += record;
    }
    return text;
}

std::string Frozen(std::uint32_t serial) {
    char record[96];
    std::snprintf(record, sizeof record, "[WORLDITEM 0eed]\nSERIAL=%x\nP=9,9,0\nATTR=8000\n", serial);
    return record;
}

TEST(CleanPlan, AnalysisOnThreadsLeavesAPlanThatGivesTheWalk) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    for (std::uint64_t seed : {7u, 8u}) {
        const std::string world = dir.Write("world.wsc", Generated(seed, false));
        for (unsigned threads : {2u, 3u, 8u}) {
            CFreezeList list;
            AnalyseOnThreads(world, list, threads);
            ASSERT_NE(list.CleanPlan(), nullptr) << threads;
            EXPECT_TRUE(PlanTakesIt(world, out, list));
            ExpectPlanGivesTheWalk(world, out, list, "seed " + std::to_string(seed));
        }
    }
}

// Wherever the cleaner's cursor would not drop exactly the listed records, there is no plan, and the
// clean still gives the walk's result.
TEST(CleanPlan, NoPlanWhereTheCursorWouldGoElsewhere) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    const std::string text = Generated(9, false);
    const std::string world = dir.Write("world.wsc", text);
    CFreezeList reference;
    AnalyseOnThreads(world, reference, 3);
    ASSERT_GT(reference.Count(), 10u);
    const std::uint32_t first = reference[0].serial;
    const std::uint32_t middle = reference[reference.Count() / 2].serial;
    const std::uint32_t last = reference[reference.Count() - 1].serial;
    const std::size_t middleAt = static_cast<std::size_t>(reference.OffsetOf(reference.Count() / 2));

    struct CCase {
        std::string name;
        std::string text;
    };
    const std::vector<CCase> cases = {
        // A contained record with the serial of a frozen one, before it: dropped in its place.
        {"before the first", Contained(first) + text},
        {"before one in the middle", text.substr(0, middleAt) + Contained(middle) + text.substr(middleAt)},
        // After the last frozen record the cursor stays on it, dropping any later record with its serial.
        {"after the last", text + Contained(last)},
        // Line ends to rewrite.
        {"a last line without its line feed", text + "[WORLDITEM 0eed]\nSERIAL=1"},
        {"crlf", Generated(9, true)},
        // The same far apart, with stretches between them that choose nothing: the check spans them.
        {"far before", Contained(0x4abc) + Unfrozen(3000) + Frozen(0x4abc)},
        {"far after", Frozen(0x4abc) + Unfrozen(3000) + Contained(0x4abc)},
    };
    for (const CCase& c : cases) {
        const std::string path = dir.Write("case.wsc", c.text);
        for (unsigned threads : {2u, 3u, 5u, 8u}) {
            CFreezeList list;
            AnalyseOnThreads(path, list, threads);
            EXPECT_EQ(list.CleanPlan(), nullptr) << c.name << ", " << threads << " threads";
            ExpectPlanGivesTheWalk(path, out, list, c.name);
        }
    }
}

TEST(CleanPlan, AChangedFileOrListIsCleanedWithoutThePlan) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    const std::string text = Generated(10, false);
    const std::string world = dir.Write("world.wsc", text);

    // The world saved again after the analysis, even with the same bytes.
    CFreezeList list;
    AnalyseOnThreads(world, list, 3);
    ASSERT_NE(list.CleanPlan(), nullptr);
    dir.Write("world.wsc", Contained(list[0].serial) + text);
    EXPECT_FALSE(PlanTakesIt(world, out, list));
    ExpectPlanGivesTheWalk(world, out, list, "saved again");
    dir.Write("world.wsc", text);
    EXPECT_FALSE(PlanTakesIt(world, out, list));

    // A record of the list changed, or records removed from it.
    CFreezeList edited;
    AnalyseOnThreads(world, edited, 3);
    ASSERT_NE(edited.CleanPlan(), nullptr);
    edited[1].serial += 1;
    EXPECT_FALSE(PlanTakesIt(world, out, edited));
    ExpectPlanGivesTheWalk(world, out, edited, "serial changed");
}

// Where no two records of the world share a serial, the cursor drops exactly the listed records for
// any part of the list, so the plan outlives removals (the dialog's list is edited before the clean).
TEST(CleanPlan, RemovalsKeepThePlanWhereNoSerialRepeats) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    const std::string world = dir.Write("world.wsc", Generated(11, false));
    for (unsigned threads : {2u, 5u}) {
        CFreezeList list;
        AnalyseOnThreads(world, list, threads);
        ASSERT_NE(list.CleanPlan(), nullptr);
        ASSERT_TRUE(list.CleanPlan()->serialsUnique);
        const std::size_t count = list.Count();
        ASSERT_GT(count, 20u);
        list.RemoveAt(0);
        list.RemoveIndexes({3, 4, 5, count / 2, count - 2, count + 7});
        ASSERT_EQ(list.Count(), count - 6);
        ASSERT_NE(list.CleanPlan(), nullptr);
        EXPECT_EQ(list.CleanPlan()->lengths.size(), list.Count());
        EXPECT_TRUE(PlanTakesIt(world, out, list));
        ExpectPlanGivesTheWalk(world, out, list, "removed, " + std::to_string(threads) + " threads");
        // Down to nothing: the clean copies the whole world.
        list.RemoveIndexes([&] {
            std::vector<std::size_t> all(list.Count());
            for (std::size_t i = 0; i < all.size(); ++i)
                all[i] = i;
            return all;
        }());
        ASSERT_NE(list.CleanPlan(), nullptr);
        ExpectPlanGivesTheWalk(world, out, list, "all removed");
    }
}

// A serial met twice where the whole list's plan does not care: a record before the first frozen one
// carries the second one's serial. Without the first, the cursor takes that earlier record for the
// second, so a removal must drop the plan.
TEST(CleanPlan, RemovalDropsThePlanWhereASerialRepeats) {
    test::CTempDir dir;
    const std::string out = (dir.Path() / "out.wsc").string();
    const std::string world =
        dir.Write("world.wsc", Contained(0x4b0b) + Frozen(0x4a0a) + Unfrozen(3000) + Frozen(0x4b0b));
    for (unsigned threads : {2u, 3u, 8u}) {
        CFreezeList list;
        AnalyseOnThreads(world, list, threads);
        ASSERT_EQ(list.Count(), 2u);
        ASSERT_NE(list.CleanPlan(), nullptr) << "the whole list's cursor drops just the listed records";
        EXPECT_FALSE(list.CleanPlan()->serialsUnique);
        list.RemoveAt(0);
        EXPECT_EQ(list.CleanPlan(), nullptr);
        const CCleaned cleaned = Clean(world, out, list, 1);
        ASSERT_TRUE(cleaned.result.ok);
        EXPECT_EQ(cleaned.result.recordsDropped, 2u); // the contained record and the frozen one
        ExpectPlanGivesTheWalk(world, out, list, std::to_string(threads) + " threads");
    }
}

} // namespace
} // namespace frostmark
