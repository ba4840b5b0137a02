// The script loaders over a script set made from the input: a script file, the tables file and the ini
// file, in a directory of this process's own. After loading, every item definition's TYPE is read twice,
// on demand and by the file-by-file preload, which must agree, and a small world is analysed against the
// set, on one thread and on several.
//
// Input: the script file's text, then optionally a line "#TABLES" and the tables file's text, then
// optionally a line "#INI" and the ini file's text (without one the ini lists the script file).

#include "FuzzSupport.h"

#include "engine/Analysis.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "platform/Services.h"

#include <optional>
#include <string>
#include <vector>

using namespace frostmark;
using namespace frostmark::fuzz;

namespace {

constexpr const char* kDefaultIni =
    "[TAVREL]\nSCPFILES=scripts\n[RESOURCES]\nscripts/a.scp\ntavreltables.scp\n";

// Records naming definitions by number, by name and through constants, some with TYPEs.
constexpr const char* kWorld = "[WORLDITEM 0eed]\nSERIAL=1\nP=10,10,0\nATTR=8000\n"
                               "[WORLDITEM i_rock]\nSERIAL=2\nP=20,20,5\nATTR=10\nTYPE=t_door\n"
                               "[WORLDITEM 01]\nSERIAL=3\nP=30,30,0\nATTR=8000\nTYPE=12\n"
                               "[WORLDITEM d_1]\nSERIAL=4\nP=40,40,0\nATTR=8010\n"
                               "[EOF]\n";

std::vector<std::optional<std::int32_t>> Types(CScriptObjects& scripts) {
    std::vector<std::optional<std::int32_t>> types;
    for (int i = 0; i < scripts.itemDefs.GetSize(); ++i) {
        const auto* definition = dynamic_cast<const CSObject*>(scripts.itemDefs.At(i));
        types.push_back(definition ? std::optional(scripts.GetItemType(*definition)) : std::nullopt);
    }
    return types;
}

std::string Listed(const CFreezeList& list) {
    std::string text;
    for (std::size_t i = 0; i < list.Count(); ++i)
        text += list[i].GetId() + '/' + std::to_string(list[i].serial) + ';';
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view script = text;
    std::string_view tables;
    std::string_view ini = kDefaultIni;
    std::string_view parts[2];
    if (SplitParts(text, "\n#INI\n", parts, 2) == 2) {
        script = parts[0];
        ini = parts[1];
    }
    if (SplitParts(script, "\n#TABLES\n", parts, 2) == 2) {
        script = parts[0];
        tables = parts[1];
    }
    const std::filesystem::path directory = ScratchDirectory() / "set";
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    WriteScratchFile("set/scripts/a.scp", script);
    WriteScratchFile("set/tavreltables.scp", tables);
    WriteScratchFile("set/tavrel.ini", ini);
    const std::string world = WriteScratchFile("world.wsc", kWorld);

    CScriptObjects onDemand;
    onDemand.clock = [] { return std::int64_t(1); };
    FUZZ_CHECK(LoadAllScripts(onDemand, directory.string(), CServices{}));
    const auto typesOnDemand = Types(onDemand);

    CScriptObjects preloaded;
    preloaded.clock = onDemand.clock;
    FUZZ_CHECK(LoadAllScripts(preloaded, directory.string(), CServices{}));
    preloaded.PreloadItemTypes();
    FUZZ_CHECK(Types(preloaded) == typesOnDemand);

    CFreezeOptions options;
    options.flags = OPT_STATIC | OPT_NEVER_MOVEABLE | OPT_EXCLUDE_TYPED | OPT_EXCLUDE_DOORS;
    CScriptItemTypes types(onDemand);
    CFreezeList one;
    const CAnalysisResult single = AnalyzeWorldFile(world, onDemand, &types, options, one, nullptr);
    CSpinLock lock;
    const ItemTypeSourceMaker makeTypes = [&] {
        return std::make_unique<CScriptItemTypes>(preloaded, &lock);
    };
    CFreezeList many;
    const CAnalysisResult shared =
        AnalyzeWorldFile(world, preloaded, makeTypes, options, many, nullptr, CScanThreads{3, 1});
    FUZZ_CHECK(single.status == shared.status);
    FUZZ_CHECK(single.counts.toFreeze == shared.counts.toFreeze);
    FUZZ_CHECK(Listed(one) == Listed(many));
    return 0;
}
