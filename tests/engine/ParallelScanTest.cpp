#include "engine/Analysis.h"

#include "TempDir.h"
#include "engine/WorldItem.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace frostmark {
namespace {

// Definition TYPEs made up from the ID text, so that rule 6 decides for some items and not for others.
class CMadeUpTypes : public CItemTypeSource {
public:
    std::optional<std::uint32_t> DefinitionType(std::string_view idText) override {
        const std::size_t h = std::hash<std::string_view>{}(idText);
        static constexpr std::uint32_t kTypes[] = {0, 3, 17, 56, 1, 9};
        if (h % 7 == 0)
            return std::nullopt;
        return kTypes[h % std::size(kTypes)];
    }
};

struct CRun {
    CAnalysisResult result;
    std::vector<std::string> listed; // every field the later steps read, per record
    std::vector<std::string> chosenLines;
    std::vector<std::size_t> chosenIndexes;
    std::uint64_t started = 0;
    std::uint64_t lastPosition = 0;
    bool positionsInRange = true;
};

struct CObserver : IAnalysisObserver {
    CRun& run;
    explicit CObserver(CRun& r) : run(r) {}
    void OnStart(std::uint64_t size) override { run.started = size; }
    void OnProgress(const CAnalysisCounts&, std::uint64_t position) override {
        run.positionsInRange = run.positionsInRange && position <= run.started;
        run.lastPosition = position;
    }
    void OnChosen(const CWorldItem& item, std::size_t index) override {
        run.chosenLines.push_back(FormatPatchObjectLine(item));
        run.chosenIndexes.push_back(index);
    }
};

std::string Describe(const CWorldItem& item) {
    return item.id.str() + "|" + std::to_string(item.serial) + "|" + std::to_string(item.type) + "|" +
           std::to_string(item.attr) + "|" + GetPointText(item) + "|" + std::to_string(item.color) + "|" +
           std::to_string(item.cont);
}

// A context with the constants the generator's names use, and one whose value is drawn at random (the
// clock is fixed, so every evaluation draws the same).
void AddConstants(CScriptContext& context) {
    context.clock = [] { return std::int64_t(1234567); };
    for (int i = 0; i < 0x4000; i += 3) {
        char line[64];
        std::snprintf(line, sizeof line, "i_gen_%04x 0%04x", i, (i * 7) & 0x3FFF);
        auto* def = new CDef;
        def->Set(line);
        context.AddDef(def);
    }
    for (int i = 0; i < 200; ++i) {
        auto* def = new CDef;
        def->Set("t_gen_" + std::to_string(i) + " " + std::to_string(i % 60));
        context.AddDef(def);
    }
    auto* random = new CDef;
    random->Set("i_gen_0001 {0e23 0e40}");
    context.AddDef(random);
}

CRun Analyse(const std::string& path, CScriptContext& context, const CFreezeOptions& options,
             unsigned threads) {
    CRun run;
    CObserver observer(run);
    CFreezeList list;
    CScanThreads scan;
    scan.threads = threads;
    scan.minBytesPerThread = 1; // cut even a small file into as many stretches as asked
    const ItemTypeSourceMaker makeTypes = [] { return std::make_unique<CMadeUpTypes>(); };
    run.result = AnalyzeWorldFile(path, context, makeTypes, options, list, &observer, scan);
    for (std::size_t i = 0; i < list.Count(); ++i)
        run.listed.push_back(Describe(list[i]));
    return run;
}

void ExpectSameAsOneThread(const std::string& path, const CFreezeOptions& options, const std::string& what) {
    CScriptContext context;
    AddConstants(context);
    const CRun one = Analyse(path, context, options, 1);
    ASSERT_EQ(one.result.status, AnalysisStatus::Ok) << what;
    for (unsigned threads : {2u, 3u, 5u, 8u}) {
        const CRun many = Analyse(path, context, options, threads);
        SCOPED_TRACE(what + ", " + std::to_string(threads) + " threads");
        ASSERT_EQ(many.result.status, AnalysisStatus::Ok);
        EXPECT_EQ(many.result.counts.topLevel, one.result.counts.topLevel);
        EXPECT_EQ(many.result.counts.toFreeze, one.result.counts.toFreeze);
        EXPECT_EQ(many.result.counts.sizeEstimate, one.result.counts.sizeEstimate);
        EXPECT_EQ(many.result.counts.lines, one.result.counts.lines);
        EXPECT_EQ(many.result.counts.outsideMap, one.result.counts.outsideMap);
        EXPECT_EQ(many.listed, one.listed);
        EXPECT_EQ(many.chosenLines, one.chosenLines);
        std::vector<std::size_t> inOrder(many.chosenIndexes.size());
        for (std::size_t i = 0; i < inOrder.size(); ++i)
            inOrder[i] = i;
        EXPECT_EQ(many.chosenIndexes, inOrder);
        EXPECT_EQ(many.started, one.started);
        EXPECT_TRUE(many.positionsInRange);
    }
}

CFreezeOptions Selection() {
    CFreezeOptions options;
    options.flags = OPT_STATIC | OPT_NEVER_MOVEABLE | OPT_EXCLUDE_DOORS | OPT_EXCLUDE_SIGNS;
    options.excludeArt = {0x0e25};
    options.includeArt = {0x0e30};
    options.areas.push_back(CPatchArea{0, 0, 5000, 3000});
    return options;
}

// Stretches begin wherever a line begins with "[" after the cut: between item records, at other sections,
// at end markers. Whatever lies where, the threads together must find exactly what one thread finds.
TEST(ParallelScan, GeneratedWorldsGiveTheOneThreadResult) {
    test::CTempDir dir;
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        for (bool crlf : {false, true}) {
            SWorldGenOptions gen;
            gen.seed = seed;
            gen.itemCount = 3000;
            gen.crlf = crlf;
            gen.namedIdShare = 200;
            gen.typeShare = 300;
            const std::string path = dir.Write("world.wsc", GenerateWorldText(gen));
            ExpectSameAsOneThread(path, Selection(), "seed " + std::to_string(seed) + (crlf ? " crlf" : ""));
        }
    }
}

TEST(ParallelScan, CutsFallingOnOddPlaces) {
    test::CTempDir dir;
    // Records whose bodies hold lines that merely contain "[", a long stretch with no "[" line at all
    // (some stretches are empty), a body line beginning with "[" that is no header, and a last line
    // without its line feed.
    std::string text;
    for (int i = 0; i < 40; ++i) {
        char record[200];
        std::snprintf(record, sizeof record,
                      "[WORLDITEM 0%04x]\nSERIAL=%x\nNAME=a [bracketed] name\nP=%d,%d,%d\nATTR=8000\n",
                      0x100 + i, 0x40000000 + i, i * 10, i * 7, i - 20);
        text += record;
        if (i == 20)
            text += std::string(5000, 'x') + "\n[WORLDCHAR c_man]\nSERIAL=5\nP=1,1,1\n[]\n";
        if (i == 30) // off the map on either axis: counted, never listed
            text += "[WORLDITEM 0eed]\nSERIAL=6\nP=7000,1,0\nATTR=8000\n[WORLDITEM 0eed]\nSERIAL=7\n"
                    "P=1,65535,0\nATTR=8000\n";
    }
    text += std::string(20000, '.') + "\n";
    text += "[WORLDITEM 0300]\nSERIAL=77\nATTR=8000\nP=3,3,3";
    const std::string path = dir.Write("odd.wsc", text);
    CFreezeOptions options;
    options.flags = OPT_STATIC;
    ExpectSameAsOneThread(path, options, "odd places");

    const std::string empty = dir.Write("empty.wsc", "");
    ExpectSameAsOneThread(empty, options, "empty file");
    const std::string noBracket = dir.Write("none.wsc", std::string(3000, 'a') + "\nSERIAL=1\n");
    ExpectSameAsOneThread(noBracket, options, "no header at all");
    // Files shorter than the number of stretches: the first cuts fall on offset 0.
    for (const char* tiny : {"[", "[\n", "x\n[", "[WORLDITEM 1\nATTR=8000\n"}) {
        const std::string path = dir.Write("tiny.wsc", tiny);
        ExpectSameAsOneThread(path, options, std::string("tiny file ") + tiny);
    }
}

} // namespace
} // namespace frostmark
