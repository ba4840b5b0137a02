#include "engine/Commands.h"

#include "TempDir.h"
#include "engine/Analysis.h"
#include "engine/SafeOutputFile.h"
#include "engine/WorldCleaner.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
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
    const int fd = ::open(world.c_str(), O_RDONLY);
    CCleanOptions options;
    options.threads.threads = threads;
    options.threads.minBytesPerThread = 1;
    CCleanResult result;
    const bool taken =
        CleanWorldOnThreads(world, fd, test::ReadFile(world).size(), output, list, options, result, nullptr);
    ::close(fd);
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
    EXPECT_FALSE(ThreadsTakeIt(early, out, list, 3));
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
