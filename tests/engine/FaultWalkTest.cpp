// Every file call the write commands make fails in turn: the world stays byte for byte, each output is
// either the old file or the complete new one (freeze: both old or both new), the result names the file
// and the system's reason, and only this program's temporary files can stay, where removing them failed.

#include "engine/Analysis.h"
#include "engine/Commands.h"
#include "engine/SafeOutputFile.h"

#include "TempDir.h"
#include "platform/FileFaults.h"
#include "platform/System.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace frostmark {
namespace {

const char* CallName(FileCall call) {
    switch (call) {
    case FileCall::Open:
        return "open";
    case FileCall::Read:
        return "read";
    case FileCall::Write:
        return "write";
    case FileCall::Sync:
        return "sync";
    case FileCall::Truncate:
        return "truncate";
    case FileCall::Reserve:
        return "reserve";
    case FileCall::Close:
        return "close";
    case FileCall::Replace:
        return "rename";
    case FileCall::Remove:
        return "remove";
    case FileCall::Link:
        return "link";
    }
    return "?";
}

// Notes how many calls of each kind a run makes on files below a directory, failing none.
class CCallCounter : public IFileFaults {
public:
    explicit CCallCounter(std::string directory) : m_directory(std::move(directory)) {}
    FileErrorKind Before(FileCall call, const std::string& path) override {
        if (path.find(m_directory) != std::string::npos) {
            std::lock_guard<std::mutex> guard(m_lock);
            ++m_counts[call];
        }
        return FileErrorKind::None;
    }
    const std::map<FileCall, int>& Counts() const { return m_counts; }

private:
    std::string m_directory;
    std::mutex m_lock;
    std::map<FileCall, int> m_counts;
};

// The error a failing call of each kind gets: what a user meets most with it.
FileErrorKind KindFor(FileCall call) {
    switch (call) {
    case FileCall::Write:
    case FileCall::Reserve:
    case FileCall::Truncate:
    case FileCall::Close:
        return FileErrorKind::NoSpace;
    case FileCall::Open:
    case FileCall::Replace:
    case FileCall::Link:
    case FileCall::Remove:
        return FileErrorKind::AccessDenied;
    default:
        return FileErrorKind::IoError;
    }
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        files[entry.path().filename().string()] = test::ReadFile(entry.path());
    return files;
}

bool IsOurTemporary(const std::string& name) {
    const std::string owner = TemporaryOwner(ProcessId());
    return name.find(".frostmark-tmp-" + owner) != std::string::npos ||
           name.find(".frostmark-old-" + owner) != std::string::npos;
}

class FaultWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        SWorldGenOptions gen;
        gen.seed = 5;
        gen.itemCount = 3000;
        world = dir.Write("world.wsc", GenerateWorldText(gen));
        worldBytes = test::ReadFile(world);
        patch = (dir.Path() / "stat_tavrel.frz").string();
        out = (dir.Path() / "clean.wsc").string();
        CFreezeOptions selection;
        selection.flags = OPT_STATIC | OPT_NEVER_MOVEABLE;
        CScanThreads threads;
        threads.threads = 3;
        threads.minBytesPerThread = 1;
        ASSERT_EQ(
            AnalyzeWorldFile(world, context, ItemTypeSourceMaker{}, selection, list, nullptr, threads).status,
            AnalysisStatus::Ok);
        ASSERT_NE(list.CleanPlan(), nullptr);
    }

    // Runs `command` (true: it succeeded; the strings: its error, path and reason) once to learn the new
    // files and its calls, then again with each call failing in turn, checking every run.
    void Walk(const std::function<bool(std::string&, std::string&, std::string&)>& command,
              const std::vector<std::string>& outputs, bool together) {
        const auto clear = [&] {
            for (const auto& entry : Snapshot(dir.Path()))
                if (entry.first != "world.wsc")
                    std::filesystem::remove(dir.Path() / entry.first);
        };
        clear();
        CCallCounter counter(dir.String());
        {
            CFileFaultsScope faults(counter);
            std::string error, path, reason;
            ASSERT_TRUE(command(error, path, reason)) << error;
        }
        std::map<std::string, std::string> fresh;
        for (const std::string& name : outputs)
            fresh[name] = test::ReadFile(dir.Path() / name);
        for (FileCall call :
             {FileCall::Open, FileCall::Write, FileCall::Sync, FileCall::Close, FileCall::Replace})
            EXPECT_GT(counter.Counts().count(call), 0u) << CallName(call) << " is never called";

        for (const auto& [call, calls] : counter.Counts()) {
            for (int nth = 1; nth <= calls; ++nth) {
                SCOPED_TRACE(std::string(CallName(call)) + " #" + std::to_string(nth) + " of " +
                             std::to_string(calls) + " fails");
                clear();
                for (const std::string& name : outputs)
                    dir.Write(name, "the earlier " + name + "\n");
                const auto before = Snapshot(dir.Path());
                CFailingCall failing(call, nth, KindFor(call), dir.String(), false);
                std::string error, path, reason;
                bool ok = false;
                {
                    CFileFaultsScope faults(failing);
                    ok = command(error, path, reason);
                }
                EXPECT_GE(failing.Seen(), nth);
                EXPECT_EQ(test::ReadFile(world), worldBytes);
                int renewed = 0;
                for (const std::string& name : outputs) {
                    const std::string now = test::ReadFile(dir.Path() / name);
                    EXPECT_TRUE(now == before.at(name) || now == fresh.at(name)) << name << " is neither";
                    renewed += now == fresh.at(name);
                }
                if (together) {
                    EXPECT_TRUE(renewed == 0 || renewed == static_cast<int>(outputs.size()))
                        << "a new file beside an old one";
                }
                if (ok) {
                    EXPECT_EQ(renewed, static_cast<int>(outputs.size()));
                } else {
                    EXPECT_EQ(renewed, 0);
                    EXPECT_FALSE(path.empty());
                    EXPECT_NE(error.find(path), std::string::npos) << error;
                    EXPECT_EQ(reason, SystemErrorText(KindFor(call))) << error;
                }
                // Only a failed removal may leave a file behind, and then one that names itself as ours.
                for (const auto& [name, bytes] : Snapshot(dir.Path())) {
                    if (!before.count(name)) {
                        EXPECT_TRUE(call == FileCall::Remove && IsOurTemporary(name))
                            << "left behind: " << name;
                    }
                }
            }
        }
    }

    test::CTempDir dir;
    CScriptContext context;
    CFreezeList list;
    std::string world, worldBytes, patch, out;
};

TEST_F(FaultWalkTest, FreezeKeepsBothOldFilesOrPutsBothNewOnes) {
    for (bool planned : {true, false}) {
        SCOPED_TRACE(planned ? "clean by the plan" : "clean by the walk");
        if (!planned)
            list.SetCleanPlan(nullptr);
        Walk(
            [&](std::string& error, std::string& path, std::string& reason) {
                const CFreezeResult result = FreezeWorldFiles(patch, world, out, list, context);
                EXPECT_FALSE(result.pairBroken);
                error = result.Failure().error;
                path = result.Failure().errorPath;
                reason = result.Failure().errorReason;
                return result.ok();
            },
            {"stat_tavrel.frz", "clean.wsc"}, true);
    }
}

TEST_F(FaultWalkTest, PatchAndCleanKeepTheOldFileOrWriteAWholeNewOne) {
    Walk(
        [&](std::string& error, std::string& path, std::string& reason) {
            const CPatchResult result = CreatePatchFile(patch, list, context, nullptr, world);
            error = result.error;
            path = result.errorPath;
            reason = result.errorReason;
            return result.ok;
        },
        {"stat_tavrel.frz"}, false);
    list.SetCleanPlan(nullptr);
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        Walk(
            [&](std::string& error, std::string& path, std::string& reason) {
                CCleanOptions options;
                options.threads.threads = threads;
                options.threads.minBytesPerThread = 1;
                const CCleanResult result = CleanWorldFile(world, out, list, context, nullptr, options);
                error = result.error;
                path = result.errorPath;
                reason = result.errorReason;
                return result.ok;
            },
            {"clean.wsc"}, false);
    }
}

// When the cleaned world cannot be put in place after the patch file was, the earlier patch file goes
// back; when even that is refused, the result says that the two files do not belong together.
TEST_F(FaultWalkTest, FailedSecondRenameOfFreezePutsTheFirstBack) {
    for (bool restoreFails : {false, true}) {
        SCOPED_TRACE(restoreFails ? "putting back fails too" : "putting back works");
        dir.Write("stat_tavrel.frz", "the earlier patch");
        dir.Write("clean.wsc", "the earlier world\n");
        // The second rename is the cleaned world's, the third the earlier patch file's way back.
        CFailingCall failing(FileCall::Replace, 2, FileErrorKind::AccessDenied, dir.String(), restoreFails);
        CFreezeResult result;
        {
            CFileFaultsScope faults(failing);
            result = FreezeWorldFiles(patch, world, out, list, context);
        }
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.pairBroken, restoreFails);
        EXPECT_EQ(test::ReadFile(out), "the earlier world\n");
        EXPECT_EQ(result.clean.error,
                  "Unable to write " + out + ": " + SystemErrorText(FileErrorKind::AccessDenied));
        if (restoreFails) {
            EXPECT_NE(test::ReadFile(patch), "the earlier patch");
            EXPECT_NE(result.patch.error.find("do not start the server"), std::string::npos)
                << result.patch.error;
        } else {
            EXPECT_EQ(test::ReadFile(patch), "the earlier patch");
            EXPECT_EQ(Snapshot(dir.Path()).size(), 3u);
        }
    }
}

// A process killed outright leaves its temporary files; the next output written in that directory
// removes those of this machine's processes that no longer run, and nothing else.
TEST_F(FaultWalkTest, TemporaryFilesOfProcessesThatAreGoneAreRemoved) {
    const std::string gone = TemporaryOwner(0x7FFFFFF0); // above any process id the system hands out
    const std::string alive = TemporaryOwner(ProcessId());
    std::string elsewhere = gone; // the same process id on another machine sharing the directory
    elsewhere[0] = elsewhere[0] == '0' ? '1' : '0';
    const std::vector<std::string> stale = {".clean.wsc.frostmark-tmp-" + gone + "Ab12Cd",
                                            ".stat_tavrel.frz.frostmark-old-" + gone + "xyZ789",
                                            ".other.wsc.frostmark-tmp-" + gone + "000000"};
    const std::vector<std::string> kept = {".clean.wsc.frostmark-tmp-" + alive + "Ab12Cd",
                                           ".clean.wsc.frostmark-tmp-" + elsewhere + "Ab12Cd",
                                           ".clean.wsc.tmp-Ab12Cd",
                                           "clean.wsc.frostmark-tmp-" + gone + "Ab12Cd",
                                           ".clean.wsc.frostmark-tmp-" + gone + "Ab12C",
                                           ".clean.wsc.frostmark-tmp-" + gone + "Ab12C!",
                                           "notes.txt"};
    for (const std::string& name : stale)
        dir.Write(name, "left behind");
    for (const std::string& name : kept)
        dir.Write(name, "someone's");
    const CFreezeResult result = FreezeWorldFiles(patch, world, out, list, context);
    ASSERT_TRUE(result.ok()) << result.Failure().error;
    const auto files = Snapshot(dir.Path());
    for (const std::string& name : stale)
        EXPECT_EQ(files.count(name), 0u) << name;
    for (const std::string& name : kept)
        EXPECT_EQ(files.count(name), 1u) << name;
    EXPECT_EQ(files.size(), kept.size() + 3); // and the world, the patch and the cleaned world
}

} // namespace
} // namespace frostmark
