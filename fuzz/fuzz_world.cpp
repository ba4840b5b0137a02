// The world file's way through the program: the analysis on one thread and on several (the same list and
// counts), the patch file of the list (written, read back, accepted and re-encoded to the same bytes),
// and the clean by each of its ways (line by line, with stretches copied file to file, by the analysis's
// plan, on threads), which all give the same world.
//
// Input: one byte of selection flags, one of scan threads, then the world file's text.

#include "FuzzSupport.h"

#include "cli/PatchFileReader.h"
#include "engine/Analysis.h"
#include "engine/Commands.h"
#include "engine/SafeOutputFile.h"
#include "engine/WorldCleaner.h"
#include "platform/Files.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <string>
#include <vector>

using namespace frostmark;
using namespace frostmark::fuzz;

namespace {

std::string Describe(const CFreezeList& list, std::size_t index) {
    const CWorldItem& item = list[index];
    return item.GetId() + '/' + std::to_string(item.serial) + '/' + std::to_string(item.x) + ',' +
           std::to_string(item.y) + ',' + std::to_string(item.z) + '/' + std::to_string(item.color) + '/' +
           std::to_string(item.type) + '/' + std::to_string(item.attr) + '@' +
           std::to_string(list.OffsetOf(index));
}

void ExpectSameLists(const CFreezeList& one, const CFreezeList& many) {
    FUZZ_CHECK(one.Count() == many.Count());
    for (std::size_t i = 0; i < one.Count(); ++i)
        FUZZ_CHECK(Describe(one, i) == Describe(many, i));
}

// A constant or two, so that IDs and TYPE values naming them take the constants' way.
void AddConstants(CScriptContext& context) {
    const char* lines[] = {"i_rock 0eed", "t_door 12", "i_range {1 3fff}"};
    for (const char* line : lines) {
        auto* def = new CDef;
        def->Set(line);
        context.AddDef(def);
    }
}

struct CCleaned {
    bool done = false;
    std::string text;
    CCleanResult result;
};

// way 0: line by line; 1: line by line, unchanged stretches copied; 2: by the plan; 3: on threads.
CCleaned Clean(int way, const std::string& world, const CFreezeList& list, CScriptContext& context) {
    CCleaned cleaned;
    const std::string out = (ScratchDirectory() / "cleaned.wsc").string();
    CSafeOutputFile output;
    FUZZ_CHECK(output.Open(out));
    CFile inputFile;
    FUZZ_CHECK(inputFile.OpenRegular(world));
    std::uint64_t size = 0;
    FUZZ_CHECK(inputFile.Size(size));
    CCleanOptions options;
    options.minCopyStretch = 0;
    options.threads.threads = 3;
    options.threads.minBytesPerThread = 1;
    if (way <= 1) {
        CLineReader input;
        FUZZ_CHECK(input.Open(world));
        CleanWorld(input, output, list, context, options, cleaned.result, nullptr,
                   way == 1 ? &inputFile : nullptr);
        FUZZ_CHECK(!input.Failed());
        cleaned.done = true;
    } else if (way == 2) {
        cleaned.done = CleanWorldByPlan(inputFile, output, list, options, cleaned.result, nullptr);
    } else {
        cleaned.done =
            CleanWorldOnThreads(world, inputFile, size, output, list, options, cleaned.result, nullptr);
    }
    if (!cleaned.done) {
        output.Abandon();
        return cleaned;
    }
    FUZZ_CHECK(cleaned.result.error.empty());
    FUZZ_CHECK(output.Commit());
    cleaned.text = ReadScratchFile(out);
    return cleaned;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CInput input(data, size);
    const std::uint8_t flagByte = input.Byte();
    const unsigned threads = 2 + input.Byte() % 4;
    std::uint32_t flags = 0;
    const std::uint32_t choices[] = {
        OPT_STATIC,        OPT_NEVER_MOVEABLE, OPT_EXCLUDE_TYPED, OPT_EXCLUDE_CONTAINERS,
        OPT_EXCLUDE_SIGNS, OPT_EXCLUDE_DOORS,  OPT_EXCLUDE_LIGHTS};
    for (std::size_t bit = 0; bit < std::size(choices); ++bit)
        if (flagByte & (1u << bit))
            flags |= choices[bit];
    // The top bit limits freezing to one patch area around the middle of the map.
    const CFreezeOptions options = ReadOptions(
        flags, "", "",
        flagByte & 0x80 ? std::vector<std::string>{"1000, 1000, 4000, 3000"} : std::vector<std::string>{});
    const std::string world = WriteScratchFile("world.wsc", input.Rest());

    CScriptContext context;
    context.clock = [] { return std::int64_t(1); };
    AddConstants(context);
    CFreezeList one;
    const CAnalysisResult single = AnalyzeWorldFile(world, context, nullptr, options, one, nullptr);
    CFreezeList many;
    const CAnalysisResult shared = AnalyzeWorldFile(world, context, ItemTypeSourceMaker{}, options, many,
                                                    nullptr, CScanThreads{threads, 1});
    FUZZ_CHECK(single.status == shared.status);
    FUZZ_CHECK(single.counts.topLevel == shared.counts.topLevel);
    FUZZ_CHECK(single.counts.toFreeze == shared.counts.toFreeze);
    FUZZ_CHECK(single.counts.outsideMap == shared.counts.outsideMap);
    FUZZ_CHECK(single.counts.sizeEstimate == shared.counts.sizeEstimate);
    ExpectSameLists(one, many);
    if (single.status != AnalysisStatus::Ok)
        return 0;
    FUZZ_CHECK(static_cast<std::size_t>(single.counts.toFreeze) == one.Count());

    // The patch file the list gives is one the reader accepts, object for object, and re-encodes exactly.
    const std::string patchPath = (ScratchDirectory() / "patch.frz").string();
    const CPatchResult patch = CreatePatchFile(patchPath, one, context);
    FUZZ_CHECK(patch.ok);
    const CPatchFileContents contents = ReadPatchFile(patchPath);
    FUZZ_CHECK(contents.ok);
    FUZZ_CHECK(contents.ObjectCount() == one.Count());
    FUZZ_CHECK(contents.groups.size() == patch.groups);
    const std::string bytes = ReadScratchFile(patchPath);
    FUZZ_CHECK(EncodePatchFile(contents) == std::vector<unsigned char>(bytes.begin(), bytes.end()));

    // Every way of cleaning that takes the work gives the line walk's world and counts.
    const CCleaned walk = Clean(0, world, one, context);
    for (int way = 1; way <= 3; ++way) {
        const CCleaned other = Clean(way, world, way == 3 ? many : one, context);
        if (!other.done)
            continue;
        FUZZ_CHECK(other.text == walk.text);
        FUZZ_CHECK(other.result.recordsDropped == walk.result.recordsDropped);
        FUZZ_CHECK(other.result.recordsExpected == walk.result.recordsExpected);
        FUZZ_CHECK(other.result.bytesWritten == walk.result.bytesWritten);
    }
    return 0;
}
