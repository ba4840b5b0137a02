// frostmark-bench-cancel: how soon each long command returns once its cancel token is set from another
// thread, as the desktop program's Cancel button sets it.
//
//   frostmark-bench-cancel WORLD SCRIPTS OUTDIR [RUNS]
//
// Each command (the analysis, Create Patch File, Clean Worldfile, freeze) first runs to its end three times,
// for its duration; then RUNS times on a worker thread, cancelled from this thread at moments spread from a
// tenth to eight tenths of that duration. A run that ends before its cancel measures nothing: it is said so
// and run again at half the moment. It prints, per command, the duration, the time from the request to the
// command's return for every cancelled run, their median and maximum, and a line "result NAME MEDIAN MAX"
// (milliseconds) for scripts. Every cancelled run must leave OUTDIR exactly as it was, with the outputs of
// an earlier run in place: the benchmark fails otherwise.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/Analysis.h"
#include "engine/CancelToken.h"
#include "engine/Commands.h"
#include "model/ScriptObjects.h"
#include "platform/Services.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace frostmark;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Names and sizes of the directory's entries: what a cancelled command must leave as it was.
std::map<std::string, std::uintmax_t> Listing(const std::string& directory) {
    std::map<std::string, std::uintmax_t> entries;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        entries[entry.path().filename().string()] = entry.is_regular_file() ? entry.file_size() : 0;
    return entries;
}

enum class Outcome { Finished, Cancelled, Failed };

Outcome Of(const CCommandResult& result) {
    return result.cancelled ? Outcome::Cancelled : result.ok ? Outcome::Finished : Outcome::Failed;
}

// Runs command(token) to its end three times, then `runs` times cancelled at spread moments; false when a
// run failed, could not be cancelled at any moment, or changed the directory.
bool Measure(const char* name, int runs, const std::string& outDir,
             const std::function<Outcome(const CCancelToken*)>& command) {
    // The shortest of three whole runs: the first ones create what later ones replace.
    double duration = 0;
    for (int whole = 0; whole < 3; ++whole) {
        const Clock::time_point start = Clock::now();
        if (command(nullptr) != Outcome::Finished) {
            std::fprintf(stderr, "%s failed when not cancelled\n", name);
            return false;
        }
        const double seconds = Seconds(Clock::now() - start);
        duration = whole == 0 ? seconds : std::min(duration, seconds);
    }
    auto before = Listing(outDir);
    std::vector<double> latencies;
    std::string reruns;
    for (int run = 1; run <= runs; ++run) {
        double fraction = runs > 1 ? 0.1 + 0.7 * (run - 1) / (runs - 1) : 0.1;
        for (;;) {
            CCancelToken token;
            Outcome outcome = Outcome::Failed;
            Clock::time_point returned;
            std::thread worker([&] {
                outcome = command(&token);
                returned = Clock::now();
            });
            std::this_thread::sleep_for(std::chrono::duration<double>(duration * fraction));
            const Clock::time_point requested = Clock::now();
            token.Cancel();
            worker.join();
            if (outcome == Outcome::Failed) {
                std::fprintf(stderr, "%s: run %d failed instead of being cancelled\n", name, run);
                return false;
            }
            if (outcome == Outcome::Cancelled) {
                latencies.push_back(Seconds(returned - requested) * 1000);
                break;
            }
            char note[128];
            std::snprintf(note, sizeof note,
                          "; run %d ended before its cancel at %.3f, not counted: again at half that", run,
                          fraction);
            reruns += note;
            fraction /= 2;
            if (fraction < 0.01) {
                std::fprintf(stderr, "%s: run %d ends before any cancel\n", name, run);
                return false;
            }
            before = Listing(outDir); // it wrote its outputs anew
        }
        if (Listing(outDir) != before) {
            std::fprintf(stderr, "%s: run %d changed %s\n", name, run, outDir.c_str());
            return false;
        }
    }
    std::printf("%-8s duration %6.2f s   cancel to return:", name, duration);
    for (double latency : latencies)
        std::printf(" %.1f", latency);
    std::vector<double> sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    const double median = sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    std::printf(" ms   median %.1f ms   max %.1f ms   %d of %d runs cancelled%s\n", median, sorted.back(),
                runs, runs, reruns.c_str());
    std::printf("result %s %.1f %.1f\n", name, median, sorted.back());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: frostmark-bench-cancel WORLD SCRIPTS OUTDIR [RUNS]\n");
        return 2;
    }
    const std::string world = argv[1];
    const std::string outDir = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    const std::string patch = outDir + "/stat_tavrel.frz";
    const std::string out = outDir + "/clean.wsc";

    CScriptObjects scripts;
    CServices services;
    CAnalysisRequest request;
    request.worldPath = world;
    request.scriptDirectory = argv[2];
    request.options.flags = OPT_STATIC | OPT_NEVER_MOVEABLE | OPT_EXCLUDE_TYPED | OPT_EXCLUDE_DOORS |
                            OPT_EXCLUDE_SIGNS | OPT_EXCLUDE_LIGHTS | OPT_EXCLUDE_CONTAINERS;
    CFreezeList list;
    // The scripts are loaded once, as in the desktop program; the timed analyses scan the world.
    if (Analyze(scripts, request, services, list, nullptr).status != AnalysisStatus::Ok) {
        std::fprintf(stderr, "cannot analyse %s\n", world.c_str());
        return 1;
    }
    std::printf("world %s: %zu objects to freeze, %d cancelled runs per command\n", world.c_str(),
                list.Count(), runs);

    bool ok = true;
    ok &= Measure("analyze", runs, outDir, [&](const CCancelToken* cancel) {
        CFreezeList scratch;
        CAnalysisRequest cancellable = request;
        cancellable.cancel = cancel;
        const CAnalysisResult result = Analyze(scripts, cancellable, services, scratch, nullptr);
        if (result.status == AnalysisStatus::Cancelled)
            return Outcome::Cancelled;
        return result.status == AnalysisStatus::Ok && scratch.Count() == list.Count() ? Outcome::Finished
                                                                                      : Outcome::Failed;
    });
    ok &= Measure("patch", runs, outDir, [&](const CCancelToken* cancel) {
        return Of(CreatePatchFile(patch, list, scripts, nullptr, world, cancel));
    });
    ok &= Measure("clean", runs, outDir, [&](const CCancelToken* cancel) {
        CCleanOptions options;
        options.cancel = cancel;
        return Of(CleanWorldFile(world, out, list, scripts, nullptr, options));
    });
    ok &= Measure("freeze", runs, outDir, [&](const CCancelToken* cancel) {
        CCleanOptions options;
        options.cancel = cancel;
        const CFreezeResult result = FreezeWorldFiles(patch, world, out, list, scripts, nullptr, options);
        return result.cancelled() ? Outcome::Cancelled : result.ok() ? Outcome::Finished : Outcome::Failed;
    });
    return ok ? 0 : 1;
}
