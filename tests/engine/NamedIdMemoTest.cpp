#include "engine/NamedIdMemo.h"

#include "engine/Analysis.h"
#include "engine/WorldItem.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace frostmark {
namespace {

void Define(CScriptContext& context, const std::string& line) {
    auto* def = new CDef;
    def->Set(line);
    context.AddDef(def);
}

// Answers from a table and counts the questions per text.
struct CCountingTypes : CItemTypeSource {
    std::map<std::string, std::uint32_t> types;
    std::map<std::string, int> asked;
    std::optional<std::uint32_t> DefinitionType(std::string_view idText) override {
        ++asked[std::string(idText)];
        auto found = types.find(std::string(idText));
        return found == types.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
    }
};

// A name is kept with the art ID its constant gives, whatever the table has grown to; only texts whose
// value cannot change between evaluations are kept.
TEST(NamedIdMemo, KeepsFixedNamesOnlyWithTheirArtIds) {
    CScriptContext context;
    for (int i = 0; i < 5000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "i_n%d 0%04x", i, (i * 13) & 0x3FFF);
        Define(context, line);
    }
    Define(context, "i_coin {0 1}");
    Define(context, "i_alias {i_n7}");
    CNamedIdMemo memo;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 5000; ++i) {
            const std::string name = "i_n" + std::to_string(i);
            CNamedIdMemo::CEntry* entry = memo.Find(name, context);
            ASSERT_NE(entry, nullptr) << name;
            ASSERT_EQ(entry->art, static_cast<std::uint32_t>((i * 13) & 0x3FFF)) << name;
        }
    }
    EXPECT_EQ(memo.Size(), 5000u);
    // No constant of that name: it reads 0, always.
    ASSERT_NE(memo.Find("no_such_name", context), nullptr);
    EXPECT_EQ(memo.Find("no_such_name", context)->art, 0u);
    // Values that may differ from one evaluation to the next, and texts the table does not read as a
    // name (hexadecimal, decimal, empty, too long to keep).
    EXPECT_EQ(memo.Find("i_coin", context), nullptr);
    EXPECT_EQ(memo.Find("i_alias", context), nullptr);
    EXPECT_EQ(memo.Find("0eed", context), nullptr);
    EXPECT_EQ(memo.Find("1234", context), nullptr);
    EXPECT_EQ(memo.Find("", context), nullptr);
    EXPECT_EQ(memo.Find("i_a_name_much_longer_than_kept", context), nullptr);
    EXPECT_EQ(memo.Size(), 5001u);
}

TEST(NamedIdMemo, DefinitionTypeIsAskedOncePerName) {
    CScriptContext context;
    Define(context, "i_chair 0b5f");
    CCountingTypes source;
    source.types["i_chair"] = 0;
    CNamedIdMemo memo;
    CMemoItemTypes types(source);
    for (int i = 0; i < 3; ++i) {
        types.Use(memo.Find("i_chair", context));
        EXPECT_EQ(types.DefinitionType("i_chair"), std::optional<std::uint32_t>(0));
        types.Use(memo.Find("i_nothing", context));
        EXPECT_EQ(types.DefinitionType("i_nothing"), std::nullopt);
        types.Use(nullptr); // a text the memo does not keep is asked every time
        EXPECT_EQ(types.DefinitionType("0b5f"), std::nullopt);
    }
    EXPECT_EQ(source.asked["i_chair"], 1);
    EXPECT_EQ(source.asked["i_nothing"], 1);
    EXPECT_EQ(source.asked["0b5f"], 3);
}

// A named ID whose constant is drawn anew at every evaluation is judged record by record: remembering
// its first value would freeze all of its records or none.
TEST(NamedIdMemo, ScanDrawsRandomNamesForEveryRecord) {
    CScriptContext context;
    // Draws start from a generator seeded with the clock: one that moves on at every reading makes
    // them differ.
    context.clock = [tick = std::int64_t(0)]() mutable { return tick += 7919; };
    Define(context, "i_coin {0 4}"); // art 0 (never listed) now and then
    Define(context, "i_lamp 0a22");
    std::string world;
    for (int i = 1; i <= 400; ++i)
        world += "[WORLDITEM " + std::string(i % 2 ? "i_coin" : "i_lamp") + "]\nSERIAL=" + std::to_string(i) +
                 "\nATTR=8000\n";
    CLineReader reader;
    reader.OpenMemory(world);
    CFreezeOptions options;
    options.flags = OPT_STATIC;
    CFreezeList list;
    const CAnalysisResult result = ScanWorld(reader, context, nullptr, options, list, nullptr);
    ASSERT_EQ(result.status, AnalysisStatus::Ok);
    std::size_t coins = 0;
    for (std::size_t i = 0; i < list.Count(); ++i)
        coins += list[i].id == std::string_view("i_coin");
    EXPECT_EQ(list.Count() - coins, 200u); // every lamp
    EXPECT_GT(coins, 20u);                 // some of the 200 coins come up 0, most do not
    EXPECT_LT(coins, 190u);
}

} // namespace
} // namespace frostmark
