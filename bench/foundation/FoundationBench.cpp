// frostmark-bench-foundation: the engine's foundation measured on a real file, one phase per run so
// that run.sh can put each beside the system tool that does the same amount of I/O.
//
//   scan WORLD                 read every record, compute every ArtId
//   scan-threads WORLD         the same on one thread per processor (at most 8), as the analysis does
//   clean WORLD OUT [EVERY]    freeze every EVERY-th top-level item (default 5, i.e. 20%), then time
//                              only the clean of WORLD into OUT
//   clean-analysed WORLD OUT   analyse WORLD on all processors with a selection that freezes about a
//                              fifth of its top-level items, then time only the clean of WORLD into OUT,
//                              which follows the analysis's plan, as the programs' clean does
//   patch WORLD OUT [COUNT]    take the first COUNT top-level items (default 1,000,000), then time only
//                              the writing of their patch file
//
// Each run prints "seconds=<time of the measured phase>" and the counts it saw.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/Analysis.h"
#include "engine/Commands.h"
#include "engine/NamedIdMemo.h"
#include "engine/Stretches.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process (user and system), to compare on a machine shared with other work.
double CpuSince(std::clock_t start) {
    return double(std::clock() - start) / CLOCKS_PER_SEC;
}

// The constants a script set made by frostmark-scriptgen defines for the generator's named IDs, so
// that named IDs cost what they cost in a real analysis.
void DefineGeneratedNames(frostmark::CScriptContext& context) {
    for (unsigned art = 1; art < 0x4000; ++art) {
        char line[32];
        std::snprintf(line, sizeof line, "i_gen_%04x 0%04x", art, art);
        auto* def = new frostmark::CDef;
        def->Set(line);
        context.AddDef(def);
    }
}

struct CScanCounts {
    std::uint64_t lines = 0, records = 0, topLevel = 0, scenery = 0, artSum = 0;
    bool ok = true;
};

// Reads every record whose header lies in [begin, end) and computes its art ID, the way the analysis
// does (named IDs through the scanning thread's memo).
void ScanRange(const std::string& path, std::uint64_t begin, std::uint64_t end,
               frostmark::CScriptContext& context, CScanCounts& counts) {
    frostmark::CLineReader reader;
    if (!reader.Open(path) || !reader.Seek(begin)) {
        counts.ok = false;
        return;
    }
    frostmark::CNamedIdMemo memo;
    frostmark::CWorldItem item; // one record at a time, reused
    std::string_view line;
    while (reader.ReadLine(line)) {
        if (reader.LineStart() >= end)
            break;
        ++counts.lines;
        if (!frostmark::IsWorldItemHeader(line))
            continue;
        item.Reset();
        item.SetId(frostmark::WorldItemHeaderId(line));
        frostmark::ReadWorldItemBody(reader, item, context);
        ++counts.records;
        const frostmark::CNamedIdMemo::CEntry* named = memo.Find(item.id, context);
        const std::uint32_t art = named ? named->art : frostmark::ArtId(item, context);
        counts.artSum += art;
        if (item.IsTopLevel()) {
            ++counts.topLevel;
            if (art >= 1 && art <= 0x3FFF)
                ++counts.scenery;
        }
    }
    counts.ok = !reader.Failed();
}

// threads 1: the scan on this thread; more: the file cut into stretches between records as the analysis
// cuts it, one thread each, every thread with its own evaluation context over the shared constants.
int Scan(const std::string& path, bool withNames, unsigned threads) {
    frostmark::CScriptContext context;
    if (withNames)
        DefineGeneratedNames(context);
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    CScanCounts total;
    if (threads <= 1) {
        ScanRange(path, 0, UINT64_MAX, context, total);
    } else {
        frostmark::CLineReader probe;
        if (!probe.Open(path)) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            return 1;
        }
        std::vector<std::uint64_t> bounds;
        if (!frostmark::CutIntoStretches(path, probe.Size(), threads, bounds)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        std::vector<CScanCounts> counts(threads);
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < threads; ++i)
            workers.emplace_back([&, i] {
                frostmark::CScriptContext own;
                own.FindDefsIn(context);
                // Counted on this thread's own stack: neighbouring counters in one vector would share a
                // cache line between the threads and slow every count down.
                CScanCounts mine;
                ScanRange(path, bounds[i], i + 1 == threads ? UINT64_MAX : bounds[i + 1], own, mine);
                counts[i] = mine;
            });
        for (std::thread& worker : workers)
            worker.join();
        for (const CScanCounts& part : counts) {
            total.lines += part.lines;
            total.records += part.records;
            total.topLevel += part.topLevel;
            total.scenery += part.scenery;
            total.artSum += part.artSum;
            total.ok = total.ok && part.ok;
        }
    }
    if (!total.ok) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const double seconds = Since(start);
    const double cpu = CpuSince(cpuStart);
    std::printf("seconds=%.4f cpu=%.4f lines=%llu records=%llu toplevel=%llu scenery=%llu artsum=%llu\n",
                seconds, cpu, (unsigned long long)total.lines, (unsigned long long)total.records,
                (unsigned long long)total.topLevel, (unsigned long long)total.scenery,
                (unsigned long long)total.artSum);
    return 0;
}

// Top-level scenery items of the world: every `every`-th one, at most `limit`.
bool Collect(const std::string& path, frostmark::CScriptContext& context, std::uint64_t every,
             std::uint64_t limit, frostmark::CFreezeList& list) {
    frostmark::CLineReader reader;
    if (!reader.Open(path))
        return false;
    std::string_view line;
    std::uint64_t seen = 0;
    frostmark::CWorldItem item;
    while (reader.ReadLine(line) && list.Count() < limit) {
        if (!frostmark::IsWorldItemHeader(line))
            continue;
        // Where the record begins, as an analysis notes it: the clean shares its work out by it.
        const std::uint64_t offset = reader.LineStart();
        item.Reset();
        item.SetId(frostmark::WorldItemHeaderId(line));
        frostmark::ReadWorldItemBody(reader, item, context);
        if (!item.IsTopLevel())
            continue;
        if (seen++ % every == 0)
            list.Append(item, offset);
    }
    return true;
}

// Times only the clean of world into out with the list, and prints the figures and `details`.
int TimedClean(const std::string& world, const std::string& out, const frostmark::CFreezeList& list,
               frostmark::CScriptContext& context, const std::string& details) {
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    const frostmark::CCleanResult result = frostmark::CleanWorldFile(world, out, list, context);
    const double seconds = Since(start);
    const double cpu = CpuSince(cpuStart);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return 1;
    }
    std::printf("seconds=%.4f cpu=%.4f frozen=%zu %sdropped=%llu written=%llu\n", seconds, cpu, list.Count(),
                details.c_str(), (unsigned long long)result.recordsDropped,
                (unsigned long long)result.bytesWritten);
    return 0;
}

int Clean(const std::string& world, const std::string& out, std::uint64_t every) {
    frostmark::CScriptContext context;
    DefineGeneratedNames(context);
    frostmark::CFreezeList list;
    if (!Collect(world, context, every, UINT64_MAX, list))
        return 1;
    return TimedClean(world, out, list, context, "");
}

int CleanAnalysed(const std::string& world, const std::string& out) {
    frostmark::CScriptContext context;
    DefineGeneratedNames(context);
    // The static, untyped objects outside the excluded categories in the western 86% of the map.
    frostmark::CFreezeOptions options;
    options.flags = frostmark::OPT_STATIC | frostmark::OPT_EXCLUDE_TYPED | frostmark::OPT_EXCLUDE_DOORS |
                    frostmark::OPT_EXCLUDE_SIGNS | frostmark::OPT_EXCLUDE_LIGHTS |
                    frostmark::OPT_EXCLUDE_CONTAINERS;
    options.areas.push_back(frostmark::CPatchArea{0, 0, 5312, 4096});
    frostmark::CFreezeList list;
    const frostmark::CAnalysisResult analysis = frostmark::AnalyzeWorldFile(
        world, context, frostmark::ItemTypeSourceMaker(), options, list, nullptr, frostmark::CScanThreads());
    if (analysis.status != frostmark::AnalysisStatus::Ok) {
        std::fprintf(stderr, "%s\n", analysis.Message().c_str());
        return 1;
    }
    const frostmark::CCleanPlan* plan = list.CleanPlan();
    const std::string details = "of=" + std::to_string(analysis.counts.topLevel) +
                                " planned=" + std::to_string(plan != nullptr) +
                                " unique=" + std::to_string(plan != nullptr && plan->serialsUnique) + " ";
    return TimedClean(world, out, list, context, details);
}

int Patch(const std::string& world, const std::string& out, std::uint64_t count) {
    frostmark::CScriptContext context;
    DefineGeneratedNames(context);
    frostmark::CFreezeList list;
    if (!Collect(world, context, 1, count, list))
        return 1;
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    const frostmark::CPatchResult result = frostmark::CreatePatchFile(out, list, context);
    const double seconds = Since(start);
    const double cpu = CpuSince(cpuStart);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return 1;
    }
    std::printf("seconds=%.4f cpu=%.4f objects=%llu groups=%llu bytes=%llu\n", seconds, cpu,
                (unsigned long long)result.objects, (unsigned long long)result.groups,
                (unsigned long long)result.bytes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "scan") == 0)
        return Scan(argv[2], true, 1);
    // The same scan without script constants: named IDs and TYPEs then cost one failed lookup each.
    if (argc >= 3 && std::strcmp(argv[1], "scan-nonames") == 0)
        return Scan(argv[2], false, 1);
    // The scan on one thread per processor (at most 8), as the analysis runs it.
    if (argc >= 3 && std::strcmp(argv[1], "scan-threads") == 0)
        return Scan(argv[2], true, frostmark::ThreadsFor(UINT64_MAX, frostmark::CScanThreads{}));
    if (argc >= 4 && std::strcmp(argv[1], "clean-analysed") == 0)
        return CleanAnalysed(argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "clean") == 0)
        return Clean(argv[2], argv[3], argc >= 5 ? std::strtoull(argv[4], nullptr, 10) : 5);
    if (argc >= 4 && std::strcmp(argv[1], "patch") == 0)
        return Patch(argv[2], argv[3], argc >= 5 ? std::strtoull(argv[4], nullptr, 10) : 1000000);
    std::fprintf(stderr, "usage: frostmark-bench-foundation scan|scan-nonames|scan-threads WORLD | clean "
                         "WORLD OUT [EVERY] | clean-analysed WORLD OUT | "
                         "patch WORLD OUT [COUNT]\n");
    return 2;
}
