// Cancelling the long commands: wherever the request comes, an analysis leaves no list and a patch, clean
// or freeze leaves every file as it was, with nothing else in the directory.

#include "engine/Analysis.h"
#include "engine/CancelToken.h"
#include "engine/Commands.h"

#include "TempDir.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace frostmark {
namespace {

CFreezeOptions Selection() {
    CFreezeOptions options;
    options.flags = OPT_STATIC | OPT_NEVER_MOVEABLE;
    return options;
}

CScanThreads Threads(unsigned count) {
    CScanThreads threads;
    threads.threads = count;
    threads.minBytesPerThread = 1; // share out even a small world
    return threads;
}

// Cancels the token at its nth call (0: never), on the thread that runs the command: a moment inside the
// command that each run meets again. The analysis counts its chosen records (reported in file order on the
// calling thread whatever the number of threads), the other commands their progress reports and then
// their stages, the last moments before anything is put in place.
class CCancelAt : public IAnalysisObserver, public ICommandProgress {
public:
    CCancelAt(CCancelToken& token, int nth) : m_token(token), m_nth(nth) {}
    using IAnalysisObserver::OnProgress; // both bases report progress, with different arguments
    void OnChosen(const CWorldItem&, std::size_t) override { Tick(); }
    void OnProgress(std::uint64_t, std::uint64_t) override { Tick(); }
    void OnStage(CommandStage stage) override {
        if (stage == CommandStage::OutputsComplete)
            Tick();
    }
    int Calls() const { return m_calls; }

private:
    void Tick() {
        if (++m_calls == m_nth)
            m_token.Cancel();
    }
    CCancelToken& m_token;
    int m_nth;
    int m_calls = 0;
};

// The moments to cancel at, out of `calls`: the first, the last and some between.
std::vector<int> Moments(int calls) {
    std::vector<int> moments{1, 2, calls / 3, calls / 2, calls - 2, calls - 1, calls};
    std::sort(moments.begin(), moments.end());
    moments.erase(std::unique(moments.begin(), moments.end()), moments.end());
    moments.erase(std::remove_if(moments.begin(), moments.end(), [&](int k) { return k < 1 || k > calls; }),
                  moments.end());
    return moments;
}

// Every entry of the directory with its bytes.
std::map<std::string, std::string> Snapshot(const test::CTempDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files[entry.path().filename().string()] = test::ReadFile(entry.path());
    return files;
}

class CancelTest : public ::testing::Test {
protected:
    void SetUp() override {
        SWorldGenOptions gen;
        gen.seed = 11;
        gen.itemCount = 20000;
        world = dir.Write("world.wsc", GenerateWorldText(gen));
    }
    // The freeze list of the world; with several threads it carries the plan the clean follows.
    void Analyse(CFreezeList& list, unsigned threads) {
        CScriptContext context;
        const CAnalysisResult result = AnalyzeWorldFile(world, context, ItemTypeSourceMaker{}, Selection(),
                                                        list, nullptr, Threads(threads));
        ASSERT_EQ(result.status, AnalysisStatus::Ok);
        ASSERT_GT(list.Count(), 1000u);
    }

    test::CTempDir dir;
    std::string world;
};

TEST_F(CancelTest, AnalysisCancelledAtAnyMomentLeavesNoList) {
    for (unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        CScriptContext context;
        CFreezeList reference;
        CCancelToken unused;
        CCancelAt counter(unused, 0);
        const CAnalysisResult full =
            AnalyzeWorldFile(world, context, {}, Selection(), reference, &counter, Threads(threads));
        ASSERT_EQ(full.status, AnalysisStatus::Ok);
        ASSERT_EQ(static_cast<std::size_t>(counter.Calls()), reference.Count());

        for (int k : Moments(counter.Calls())) {
            SCOPED_TRACE("cancelled at chosen record " + std::to_string(k));
            CCancelToken token;
            CCancelAt cancelAt(token, k);
            CFreezeList list;
            const CAnalysisResult result =
                AnalyzeWorldFile(world, context, {}, Selection(), list, &cancelAt, Threads(threads), &token);
            EXPECT_EQ(result.status, AnalysisStatus::Cancelled);
            EXPECT_EQ(result.Message(), "Analysis cancelled");
            EXPECT_EQ(list.Count(), 0u);
            EXPECT_EQ(list.CleanPlan(), nullptr);
            EXPECT_EQ(result.counts.toFreeze, 0);
        }

        // A token cancelled before the start reads nothing; reset, it serves a whole analysis again.
        CCancelToken token;
        token.Cancel();
        CFreezeList list;
        list.Append(reference[0]);
        CCancelAt neverCalled(token, 0);
        EXPECT_EQ(
            AnalyzeWorldFile(world, context, {}, Selection(), list, &neverCalled, Threads(threads), &token)
                .status,
            AnalysisStatus::Cancelled);
        EXPECT_EQ(neverCalled.Calls(), 0);
        EXPECT_EQ(list.Count(), 0u);
        token.Reset();
        const CAnalysisResult again =
            AnalyzeWorldFile(world, context, {}, Selection(), list, nullptr, Threads(threads), &token);
        ASSERT_EQ(again.status, AnalysisStatus::Ok);
        EXPECT_EQ(again.counts.toFreeze, full.counts.toFreeze);
        EXPECT_EQ(list.Count(), reference.Count());
    }
}

// The desktop program cancels from its user-interface thread while a worker runs the analysis.
TEST_F(CancelTest, AnalysisStopsAtTheNextReportAfterACancelFromAnotherThread) {
    CCancelToken token;
    std::mutex lock;
    std::condition_variable signal;
    bool reported = false;
    bool cancelled = false;
    struct CBlockingObserver : IAnalysisObserver {
        std::function<void()> onProgress;
        int calls = 0;
        void OnProgress(const CAnalysisCounts&, std::uint64_t) override {
            if (++calls == 1)
                onProgress();
        }
    } observer;
    observer.onProgress = [&] {
        std::unique_lock<std::mutex> guard(lock);
        reported = true;
        signal.notify_all();
        signal.wait(guard, [&] { return cancelled; });
    };

    CFreezeList list;
    CAnalysisResult result;
    std::thread worker([&] {
        CScriptContext context;
        result = AnalyzeWorldFile(world, context, {}, Selection(), list, &observer, Threads(1), &token);
    });
    {
        std::unique_lock<std::mutex> guard(lock);
        signal.wait(guard, [&] { return reported; });
        token.Cancel();
        cancelled = true;
        signal.notify_all();
    }
    worker.join();
    EXPECT_EQ(result.status, AnalysisStatus::Cancelled);
    EXPECT_EQ(observer.calls, 1); // not one thousand lines further
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(CancelTest, CancelledPatchLeavesTheOldFileOrNone) {
    CFreezeList list;
    Analyse(list, 1);
    CScriptContext context;
    const std::string patch = (dir.Path() / "stat_tavrel.frz").string();
    CCancelToken unused;
    CCancelAt counter(unused, 0);
    ASSERT_TRUE(CreatePatchFile(patch, list, context, &counter, world).ok);
    const std::string newPatch = test::ReadFile(patch);

    for (bool existed : {true, false}) {
        if (existed)
            dir.Write("stat_tavrel.frz", "the patch of an earlier freeze");
        else
            std::filesystem::remove(patch);
        const auto before = Snapshot(dir);
        for (int k : Moments(counter.Calls())) {
            SCOPED_TRACE(std::string(existed ? "replacing" : "creating") + ", cancelled at report " +
                         std::to_string(k));
            CCancelToken token;
            CCancelAt cancelAt(token, k);
            const CPatchResult result = CreatePatchFile(patch, list, context, &cancelAt, world, &token);
            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.cancelled);
            EXPECT_EQ(result.error, "Cancelled: nothing written to " + patch);
            EXPECT_EQ(Snapshot(dir), before);
        }
        CCancelToken token;
        token.Cancel();
        EXPECT_TRUE(CreatePatchFile(patch, list, context, nullptr, world, &token).cancelled);
        EXPECT_EQ(Snapshot(dir), before);
        token.Reset();
        const CPatchResult written = CreatePatchFile(patch, list, context, nullptr, world, &token);
        EXPECT_TRUE(written.ok && !written.cancelled) << written.error;
        EXPECT_EQ(test::ReadFile(patch), newPatch);
    }
}

// Each of the clean's three ways (the analysis's plan, the threads' search, the walk line by line) is
// cancelled at every kind of moment it reports from.
TEST_F(CancelTest, CancelledCleanLeavesEveryFileAsItWas) {
    CFreezeList planned;
    Analyse(planned, 4);
    ASSERT_NE(planned.CleanPlan(), nullptr);
    CFreezeList unplanned;
    Analyse(unplanned, 1);
    ASSERT_EQ(unplanned.CleanPlan(), nullptr);
    struct CWay {
        const char* name;
        const CFreezeList& list;
        unsigned threads;
        std::uint64_t minCopyStretch;
    };
    const CWay ways[] = {{"plan", planned, 1, 0},
                         {"threads", unplanned, 4, 0},
                         {"walk, copying file to file", unplanned, 1, 0},
                         {"walk, line by line", unplanned, 1, UINT64_MAX}};
    const std::string out = (dir.Path() / "clean.wsc").string();
    for (const CWay& way : ways) {
        SCOPED_TRACE(way.name);
        CScriptContext context;
        CCleanOptions options;
        options.threads = Threads(way.threads);
        options.minCopyStretch = way.minCopyStretch;
        std::filesystem::remove(out);
        CCancelToken unused;
        CCancelAt counter(unused, 0);
        ASSERT_TRUE(CleanWorldFile(world, out, way.list, context, &counter, options).ok);
        const std::string cleaned = test::ReadFile(out);
        ASSERT_GE(counter.Calls(), 2);

        dir.Write("clean.wsc", "the cleaned world of an earlier freeze\n");
        const auto before = Snapshot(dir);
        for (int k : Moments(counter.Calls())) {
            SCOPED_TRACE("cancelled at report " + std::to_string(k));
            CCancelToken token;
            CCancelAt cancelAt(token, k);
            options.cancel = &token;
            const CCleanResult result = CleanWorldFile(world, out, way.list, context, &cancelAt, options);
            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.cancelled);
            EXPECT_EQ(result.errorPath, out);
            EXPECT_EQ(Snapshot(dir), before);
        }
        CCancelToken token;
        options.cancel = &token;
        const CCleanResult again = CleanWorldFile(world, out, way.list, context, nullptr, options);
        EXPECT_TRUE(again.ok) << again.error;
        EXPECT_EQ(test::ReadFile(out), cleaned);
    }
}

TEST_F(CancelTest, CancelledFreezeLeavesBothOldFiles) {
    CFreezeList list;
    Analyse(list, 4);
    const std::string patch = (dir.Path() / "stat_tavrel.frz").string();
    const std::string out = (dir.Path() / "clean.wsc").string();
    for (bool planned : {true, false}) {
        SCOPED_TRACE(planned ? "by the plan" : "by the threads' search");
        if (!planned)
            list.SetCleanPlan(nullptr);
        CScriptContext context;
        CCleanOptions options;
        options.threads = Threads(4);
        CCancelToken unused;
        CCancelAt counter(unused, 0);
        std::filesystem::remove(patch);
        std::filesystem::remove(out);
        const CFreezeResult full = FreezeWorldFiles(patch, world, out, list, context, &counter, options);
        ASSERT_TRUE(full.ok()) << full.Failure().error;
        EXPECT_FALSE(full.cancelled());
        std::filesystem::rename(patch, dir.Path() / "reference.frz");
        std::filesystem::rename(out, dir.Path() / "reference.wsc");

        dir.Write("stat_tavrel.frz", "old patch");
        dir.Write("clean.wsc", "old world\n");
        const auto before = Snapshot(dir);
        for (int k : Moments(counter.Calls())) {
            SCOPED_TRACE("cancelled at report " + std::to_string(k));
            CCancelToken token;
            CCancelAt cancelAt(token, k);
            options.cancel = &token;
            const CFreezeResult result =
                FreezeWorldFiles(patch, world, out, list, context, &cancelAt, options);
            EXPECT_TRUE(result.patch.cancelled);
            EXPECT_TRUE(result.clean.cancelled);
            EXPECT_FALSE(result.patch.ok || result.clean.ok);
            EXPECT_EQ(Snapshot(dir), before);
        }
        // Cancelled once the patch file is in place, the freeze goes on: both new files.
        struct CCancelWhenPatchInPlace : ICommandProgress {
            CCancelToken token;
            void OnProgress(std::uint64_t, std::uint64_t) override {}
            void OnStage(CommandStage stage) override {
                if (stage == CommandStage::PatchInPlace)
                    token.Cancel();
            }
        } late;
        options.cancel = &late.token;
        const CFreezeResult result = FreezeWorldFiles(patch, world, out, list, context, &late, options);
        EXPECT_TRUE(late.token.IsCancelled());
        EXPECT_TRUE(result.ok() && !result.cancelled()) << result.Failure().error;
        EXPECT_EQ(test::ReadFile(patch), test::ReadFile(dir.Path() / "reference.frz"));
        EXPECT_EQ(test::ReadFile(out), test::ReadFile(dir.Path() / "reference.wsc"));
        options.cancel = nullptr;
    }
}

} // namespace
} // namespace frostmark
