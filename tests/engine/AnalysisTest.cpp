#include "engine/Analysis.h"

#include "engine/WorldItem.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <gtest/gtest.h>

#include "platform/Files.h"

#include <filesystem>
#include <fstream>

namespace frostmark {
namespace {

struct Recorder : IAnalysisObserver {
    std::uint64_t started = 0;
    std::vector<std::pair<CAnalysisCounts, std::uint64_t>> progress;
    std::vector<std::string> lines;
    std::vector<std::size_t> indexes;
    void OnStart(std::uint64_t size) override { started = size; }
    void OnProgress(const CAnalysisCounts& c, std::uint64_t pos) override { progress.emplace_back(c, pos); }
    void OnChosen(const CWorldItem& item, std::size_t index) override {
        lines.push_back(FormatPatchObjectLine(item));
        indexes.push_back(index);
    }
};

CAnalysisResult Scan(const std::string& text, const CFreezeOptions& options, CFreezeList& list,
                     CScriptContext& context, IAnalysisObserver* observer = nullptr) {
    CLineReader reader;
    reader.OpenMemory(text);
    return ScanWorld(reader, context, nullptr, options, list, observer);
}

CFreezeOptions StaticOnly() {
    CFreezeOptions o;
    o.flags = OPT_STATIC;
    return o;
}

TEST(Analysis, EmptyAndContainedOnlyWorlds) {
    CScriptContext context;
    CFreezeList list;
    CAnalysisResult r = Scan("", StaticOnly(), list, context);
    EXPECT_EQ(r.status, AnalysisStatus::Ok);
    EXPECT_EQ(FormatTopLevelCount(r.counts), "0");
    EXPECT_EQ(FormatFreezeCount(r.counts), "0");
    EXPECT_EQ(FormatSizeEstimate(r.counts), "0 bytes");

    r = Scan("[WORLDITEM 0eed]\nSERIAL=1\nCONT=40000001\nATTR=8000\n[WORLDITEM 0eee]\nCONT=5\nATTR=8000\n",
             StaticOnly(), list, context);
    EXPECT_EQ(r.counts.topLevel, 0);
    EXPECT_EQ(list.Count(), 0u);
}

TEST(Analysis, ArtIdsOutsideRangeCountButAreNotListed) {
    CScriptContext context;
    CDef* def = new CDef;
    def->Set("i_lamp 0a22");
    context.AddDef(def);
    CFreezeList list;
    Recorder rec;
    const std::string world =
        "[WORLDSCRIPT]\nVERSION=1\n"
        "[WORLDITEM unknown_name]\nSERIAL=1\nATTR=8000\n" // art 0: top-level, not listed
        "[WORLDITEM 04000]\nSERIAL=2\nATTR=8000\n"        // 0x4000: not listed
        "[WORLDITEM 03fff]\nSERIAL=3\nATTR=8000\nP=5,3,-5\nCOLOR=481\n"
        "[WORLDITEM 0eed]\nSERIAL=4\nATTR=8000\nID=04001\n" // body ID decides: 0x4001
        "[WORLDITEM 04001]\nSERIAL=5\nDISPID=0eed\nATTR=8000\n"
        "[WORLDITEM i_lamp]\nSERIAL=6\nATTR=8000\nP=1000,2000,0\n"
        "[WORLDITEM 0eee]\nSERIAL=7\nATTR=0010\n" // no include bit chosen
        "[EOF]\n";
    CAnalysisResult r = Scan(world, StaticOnly(), list, context, &rec);
    ASSERT_EQ(r.status, AnalysisStatus::Ok);
    EXPECT_EQ(r.counts.topLevel, 7);
    EXPECT_EQ(r.counts.toFreeze, 3);
    EXPECT_EQ(FormatSizeEstimate(r.counts), "27 bytes");
    EXPECT_EQ(rec.started, world.size());
    ASSERT_EQ(list.Count(), 3u);
    // File order, serials 3, 5, 6.
    EXPECT_EQ(list[0].serial, 3u);
    EXPECT_EQ(list[1].serial, 5u);
    EXPECT_EQ(list[2].serial, 6u);
    ASSERT_EQ(rec.lines.size(), 3u);
    EXPECT_EQ(rec.lines[0], "03fff\t5, 3, 251\t 481");
    EXPECT_EQ(rec.lines[1], "0eed\t0, 0, 0\t   0");
    EXPECT_EQ(rec.lines[2], "i_lamp\t1000, 2000, 0\t   0");
    EXPECT_EQ(rec.indexes, (std::vector<std::size_t>{0, 1, 2}));
}

TEST(Analysis, ObjectsOffTheMapAreCountedAndStayInTheWorld) {
    CScriptContext context;
    CFreezeList list;
    // The corners of the map are on it; one tile beyond either edge is not. A header without an ID (the
    // ID text is empty, and must be copied as such) reads as art 0.
    const std::string world = "[WORLDITEM 0eed]\nSERIAL=1\nATTR=8000\nP=6143,4095,0\n"
                              "[WORLDITEM 0eed]\nSERIAL=2\nATTR=8000\nP=6144,0,0\n"
                              "[WORLDITEM 0eed]\nSERIAL=3\nATTR=8000\nP=0,4096,0\n"
                              "[WORLDITEM 0eed]\nSERIAL=4\nATTR=8000\nP=100,65535,0\n"
                              "[WORLDITEM 0eed]\nSERIAL=5\nATTR=0\nP=7000,1,0\n" // not chosen anyway
                              "[WORLDITEM 0eed]\nSERIAL=6\nATTR=8000\nP=0,0,0\n"
                              "[WORLDITEM\nSERIAL=7\nATTR=8000\n[WORLDITEM]\nSERIAL=8\n";
    CAnalysisResult r = Scan(world, StaticOnly(), list, context);
    ASSERT_EQ(r.status, AnalysisStatus::Ok);
    EXPECT_EQ(r.counts.topLevel, 8);
    EXPECT_EQ(r.counts.toFreeze, 2);
    EXPECT_EQ(r.counts.outsideMap, 3);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list[0].serial, 1u);
    EXPECT_EQ(list[1].serial, 6u);
    EXPECT_EQ(FormatOutsideMapNote(r.counts), "3 objects lie outside the map and stay in the world file");
    r.counts.outsideMap = 1;
    EXPECT_EQ(FormatOutsideMapNote(r.counts), "1 object lies outside the map and stays in the world file");
    r.counts.outsideMap = 0;
    EXPECT_EQ(FormatOutsideMapNote(r.counts), "");
}

TEST(Analysis, ProgressEveryThousandScannedLines) {
    CScriptContext context;
    CFreezeList list;
    Recorder rec;
    // 2500 records of 3 lines: the scanning loop sees only the 2500 headers (body lines are read by the
    // record reader), so two reports come, after headers 1000 and 2000.
    std::string world;
    for (int i = 1; i <= 2500; ++i)
        world += "[WORLDITEM 0eed]\nSERIAL=" + std::to_string(i) + "\nATTR=8000\n";
    CAnalysisResult r = Scan(world, StaticOnly(), list, context, &rec);
    EXPECT_EQ(r.counts.lines, 2500);
    ASSERT_EQ(rec.progress.size(), 2u);
    EXPECT_EQ(rec.progress[0].first.topLevel, 1000);
    EXPECT_EQ(rec.progress[0].first.toFreeze, 1000);
    EXPECT_EQ(rec.progress[0].first.sizeEstimate, 9000);
    // The byte position after record 1000: the records 1..1000 in full.
    std::size_t bytes = 0;
    for (int i = 1; i <= 1000; ++i)
        bytes += std::string("[WORLDITEM 0eed]\nSERIAL=" + std::to_string(i) + "\nATTR=8000\n").size();
    EXPECT_EQ(rec.progress[0].second, bytes);
    EXPECT_EQ(rec.progress[1].first.topLevel, 2000);
    EXPECT_EQ(r.counts.toFreeze, 2500);
}

TEST(Analysis, SecondPassReplacesTheListAndRemovalUpdatesCounts) {
    CScriptContext context;
    CFreezeList list;
    std::string world;
    for (int i = 1; i <= 6; ++i)
        world += "[WORLDITEM 0eed]\nSERIAL=" + std::to_string(i) + "\nATTR=" + (i % 2 ? "8000" : "10") + "\n";
    CAnalysisResult r = Scan(world, StaticOnly(), list, context);
    EXPECT_EQ(list.Count(), 3u);
    CFreezeOptions both = StaticOnly();
    both.flags |= OPT_NEVER_MOVEABLE;
    r = Scan(world, both, list, context);
    ASSERT_EQ(list.Count(), 6u);
    EXPECT_EQ(r.counts.toFreeze, 6);

    std::size_t removed = RemoveFreezeEntries(list, {4, 0, 2}, r.counts);
    EXPECT_EQ(removed, 3u);
    EXPECT_EQ(r.counts.toFreeze, 3);
    EXPECT_EQ(r.counts.sizeEstimate, 27);
    EXPECT_EQ(r.counts.topLevel, 6);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list[0].serial, 2u);
    EXPECT_EQ(list[1].serial, 4u);
    EXPECT_EQ(list[2].serial, 6u);
}

TEST(Analysis, FileProblems) {
    CScriptContext context;
    CFreezeList list;
    CFreezeOptions o = StaticOnly();
    list.Append(std::make_unique<CWorldItem>());

    CAnalysisResult r = AnalyzeWorldFile("", context, nullptr, o, list, nullptr);
    EXPECT_EQ(r.status, AnalysisStatus::NoWorldPath);
    EXPECT_EQ(r.Message(), "Please enter the path to your worldfile");
    EXPECT_EQ(list.Count(), 1u); // nothing changes without a path

    r = AnalyzeWorldFile("/nonexistent/dir/world.wsc", context, nullptr, o, list, nullptr);
    EXPECT_EQ(r.status, AnalysisStatus::WorldUnreadable);
    EXPECT_EQ(r.Message(), "Unable to open file /nonexistent/dir/world.wsc");
    CPathInfo missing;
    CFileError reason;
    QueryPath("/nonexistent/dir/world.wsc", missing, &reason);
    EXPECT_EQ(r.errorReason, reason.message); // the system's own words
    EXPECT_FALSE(r.errorReason.empty());
    EXPECT_EQ(list.Count(), 0u);

    std::filesystem::path dir = std::filesystem::temp_directory_path() / "frostmark-analysis-dir";
    std::filesystem::create_directories(dir);
    r = AnalyzeWorldFile(dir.string(), context, nullptr, o, list, nullptr);
    EXPECT_EQ(r.status, AnalysisStatus::WorldUnreadable);
    EXPECT_EQ(r.errorReason, "is a directory");
#if defined(_WIN32)
    r = AnalyzeWorldFile("NUL", context, nullptr, o, list, nullptr);
#else
    r = AnalyzeWorldFile("/dev/zero", context, nullptr, o, list, nullptr);
#endif
    EXPECT_EQ(r.status, AnalysisStatus::WorldUnreadable);
    EXPECT_EQ(r.errorReason, "is not a regular file");

    // CRLF line ends and NUL bytes read like any other text.
    std::filesystem::path file = dir / "crlf.wsc";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[WORLDITEM 0eed]\r\nSERIAL=1\r\nATTR=8000\r\nP=10,20,0\r\n";
        out << std::string("\0\0garbage\0", 10) << "\r\n";
        out << "[WORLDITEM 0eee]\r\nSERIAL=2\r\nATTR=8000\r\nP=11,21,0\r\n";
    }
    r = AnalyzeWorldFile(file.string(), context, nullptr, o, list, nullptr);
    EXPECT_EQ(r.status, AnalysisStatus::Ok);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list[0].x, 10);
    EXPECT_EQ(list[1].y, 21);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace frostmark

#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"

namespace frostmark {
namespace {

TEST(AnalysisWithScripts, LoadsOnceAndRestoresTheWorkingDirectory) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "frostmark-analysis-scripts";
    std::filesystem::create_directories(dir);
    const std::string world = (dir / "w.wsc").string();
    {
        std::ofstream out(world, std::ios::binary);
        // i_gen_0001 is the DEFNAME of the sample's [ITEMDEF 00001]; 0033e's definition has TYPE t_gen_69.
        out << "[WORLDITEM i_gen_0001]\nSERIAL=1\nATTR=8000\n[WORLDITEM 0033e]\nSERIAL=2\nATTR=8000\n";
    }
    CScriptObjects scripts;
    CFreezeList list;
    CAnalysisRequest request;
    request.worldPath = world;
    request.scriptDirectory = std::string(FROSTMARK_SOURCE_DIR) + "/samples/scripts";
    request.options = StaticOnly();
    const std::filesystem::path before = std::filesystem::current_path();

    bool loaded = false;
    CAnalysisResult r = Analyze(scripts, request, CServices{}, list, nullptr, &loaded);
    ASSERT_EQ(r.status, AnalysisStatus::Ok) << r.Message();
    EXPECT_TRUE(loaded);
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(scripts.itemDefs.GetSize(), 1200);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list[0].serial, 1u);
    EXPECT_EQ(r.counts.topLevel, 2);

    // The second analysis keeps the loaded scripts, even when pointed elsewhere.
    request.scriptDirectory = "/nonexistent";
    r = Analyze(scripts, request, CServices{}, list, nullptr, &loaded);
    EXPECT_EQ(r.status, AnalysisStatus::Ok);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(list.Count(), 1u);

    // A script directory that cannot be entered is an error while nothing is loaded.
    CScriptObjects fresh;
    list.Append(std::make_unique<CWorldItem>());
    r = Analyze(fresh, request, CServices{}, list, nullptr, &loaded);
    EXPECT_EQ(r.status, AnalysisStatus::ScriptsUnreadable);
    EXPECT_EQ(r.Message(), "Unable to open the script directory /nonexistent: No such file or directory");
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(std::filesystem::current_path(), before);

    // A directory holding none of the files a script set is read from is refused the same way, naming
    // it, with nothing read and the list left empty.
    const std::string empty = (dir / "empty").string();
    std::filesystem::create_directory(empty);
    request.scriptDirectory = empty;
    list.Append(std::make_unique<CWorldItem>());
    r = Analyze(fresh, request, CServices{}, list, nullptr, &loaded);
    EXPECT_EQ(r.status, AnalysisStatus::NoScriptFiles);
    EXPECT_EQ(r.Message().rfind("no script files in " + empty + " (", 0), 0u) << r.Message();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(list.Count(), 0u);

    // Without a script directory the analysis runs without definitions and constants.
    request.scriptDirectory.clear();
    r = Analyze(fresh, request, CServices{}, list, nullptr, &loaded);
    EXPECT_EQ(r.status, AnalysisStatus::Ok);
    EXPECT_EQ(r.counts.toFreeze, 1); // i_gen_0001 names nothing now: art 0, not listed
    EXPECT_EQ(list[0].serial, 2u);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace frostmark

namespace frostmark {
namespace {

TEST(AnalysisWithScripts, DefinitionTypesByEverySpelling) {
    CScriptObjects scripts;
    ASSERT_TRUE(LoadAllScripts(scripts, std::string(FROSTMARK_SOURCE_DIR) + "/samples/scripts", CServices{}));
    CScriptItemTypes types(scripts);
    // [ITEMDEF 0033e] has TYPE=t_gen_69; [ITEMDEF 00001] has no TYPE line; 0ffff is not defined.
    for (int pass = 0; pass < 2; ++pass) { // the second pass is answered from memory
        EXPECT_EQ(types.DefinitionType("0033e"), std::optional<std::uint32_t>(69));
        EXPECT_EQ(types.DefinitionType("0033E"), std::optional<std::uint32_t>(69));
        EXPECT_EQ(types.DefinitionType("033e"), std::optional<std::uint32_t>(69)); // "0%04x" of its number
        EXPECT_EQ(types.DefinitionType("i_gen_033e"), std::optional<std::uint32_t>(69));
        EXPECT_EQ(types.DefinitionType("00001"), std::optional<std::uint32_t>(0));
        EXPECT_EQ(types.DefinitionType("0ffff"), std::nullopt);
        EXPECT_EQ(types.DefinitionType("no_such_name"), std::nullopt);
        EXPECT_EQ(types.DefinitionType(""), std::nullopt);
    }
    // Many remembered texts (the table grows several times) each keep their own answer.
    std::vector<std::optional<std::uint32_t>> truth;
    for (int n = 0; n < 3000; ++n) {
        const CSObject* definition = scripts.FindItemDefinition(std::to_string(n));
        truth.push_back(definition ? std::optional<std::uint32_t>(scripts.GetItemType(*definition))
                                   : std::nullopt);
    }
    ASSERT_NE(std::count(truth.begin(), truth.end(), std::nullopt), 3000);
    for (int pass = 0; pass < 2; ++pass)
        for (int n = 0; n < 3000; ++n)
            ASSERT_EQ(types.DefinitionType(std::to_string(n)), truth[static_cast<std::size_t>(n)]) << n;

    // A constant that names another constant may change its value: it is looked up every time.
    auto define = [&](const char* line) {
        CDef* def = new CDef;
        def->Set(line);
        scripts.AddDef(def);
    };
    define("c_target 0033e");
    define("c_pick {c_target}");
    EXPECT_EQ(types.DefinitionType("c_pick"), std::optional<std::uint32_t>(69));
    define("c_target 00001");
    EXPECT_EQ(types.DefinitionType("c_pick"), std::optional<std::uint32_t>(0));
}

} // namespace
} // namespace frostmark
