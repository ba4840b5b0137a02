#include "engine/Selection.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace frostmark {
namespace {

// Definition TYPEs by ID text, counting how often each is asked for.
class FakeTypes : public CItemTypeSource {
public:
    std::map<std::string, std::uint32_t, std::less<>> types;
    int calls = 0;
    std::optional<std::uint32_t> DefinitionType(std::string_view idText) override {
        ++calls;
        auto it = types.find(idText);
        if (it == types.end())
            return std::nullopt;
        return it->second;
    }
};

// The ID texts live as long as the test binary, since candidates only view them.
std::string_view IdText(std::uint32_t art) {
    static std::map<std::uint32_t, std::string> texts;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0%04x", art);
    return texts.emplace(art, buffer).first->second;
}

CFreezeCandidate Item(std::uint32_t art, std::uint32_t type, std::uint32_t attr, long x = 10, long y = 10) {
    CFreezeCandidate c;
    c.idText = IdText(art);
    c.artId = art;
    c.type = type;
    c.attr = attr;
    c.x = x;
    c.y = y;
    return c;
}

TEST(ArtIdLines, HexPerLineZeroAndTextSkipped) {
    EXPECT_EQ(ParseArtIdLines("0eed\n0eee\n"), (std::vector<std::uint16_t>{0x0EED, 0x0EEE}));
    EXPECT_EQ(ParseArtIdLines("0eed\r\n0eee\r\n\r\n"), (std::vector<std::uint16_t>{0x0EED, 0x0EEE}));
    // Leading blanks and tabs skipped, no 0x prefix, letters end the number, zero adds nothing.
    EXPECT_EQ(ParseArtIdLines(" \t1A2b\n0x55\nlamp\nzz\n0\n0000"), (std::vector<std::uint16_t>{0x1A2B}));
    // Low 16 bits kept: 12345 -> 0x2345; duplicates are kept.
    EXPECT_EQ(ParseArtIdLines("12345\n0eed\n0EED"), (std::vector<std::uint16_t>{0x2345, 0x0EED, 0x0EED}));
    // Only the first 255 characters of a line are looked at.
    std::string longLine(255, '0');
    EXPECT_EQ(ParseArtIdLine(longLine + "7"), 0);
    EXPECT_EQ(ParseArtIdLine(std::string(254, '0') + "7"), 7);
    EXPECT_TRUE(ParseArtIdLines("").empty());
}

TEST(ArtIdLines, LinesThatAreNotPlainHexAreNoted) {
    // Blank lines and plain numbers (blanks around them allowed) are not worth a word; "0" gives no art ID.
    const std::string box = "0eed\n\n  0F3F\t\n0xzz\nlamp\r\n12zz\n0\n 1A2b \n";
    const std::vector<CArtIdLineNote> notes = CheckArtIdLines(box);
    EXPECT_EQ(notes,
              (std::vector<CArtIdLineNote>{{4, "0xzz", 0}, {5, "lamp", 0}, {6, "12zz", 0x12}, {7, "0", 0}}));
    // What is noted agrees with what the rules read: the skipped lines give nothing, the others their value.
    const std::vector<std::uint16_t> read = ParseArtIdLines(box);
    EXPECT_EQ(read, (std::vector<std::uint16_t>{0x0EED, 0x0F3F, 0x12, 0x1A2B}));
    EXPECT_TRUE(CheckArtIdLines("").empty());
    EXPECT_TRUE(CheckArtIdLines("0eed\r\n0eee").empty());
}

TEST(PatchAreas, ParsingAndEdges) {
    CPatchArea area = ParsePatchAreaText("100, 100, 200, 200");
    EXPECT_EQ(area, (CPatchArea{100, 100, 200, 200}));
    EXPECT_TRUE(area.Contains(100, 100));
    EXPECT_TRUE(area.Contains(199, 199));
    EXPECT_FALSE(area.Contains(200, 150));
    EXPECT_FALSE(area.Contains(150, 200));
    EXPECT_FALSE(area.Contains(99, 150));
    // Missing numbers read as 0: an empty rectangle.
    EXPECT_EQ(ParsePatchAreaText("5, 6"), (CPatchArea{5, 6, 0, 0}));
    EXPECT_FALSE(ParsePatchAreaText("5, 6").Contains(5, 6));
    EXPECT_EQ(ParsePatchAreaText("-3,  +4,x,12abc"), (CPatchArea{-3, 4, 0, 12}));
    // Reversed rectangle holds nothing.
    EXPECT_FALSE((CPatchArea{200, 200, 100, 100}).Contains(150, 150));
    EXPECT_EQ(FormatPatchAreaText({1, 2, 3, 4}), "1, 2, 3, 4");
    EXPECT_EQ(ParsePatchAreaText(FormatPatchAreaText({1000, 2000, 1500, 2600})),
              (CPatchArea{1000, 2000, 1500, 2600}));
}

TEST(ReadOptionsTest, BuildsListsAndDropsUnknownBits) {
    CFreezeOptions o = ReadOptions(0xFFFFFFFFu, "0eed\n\n0eee", "0f3f", {"1, 2, 3, 4"});
    EXPECT_EQ(o.flags, OPT_ALL);
    EXPECT_EQ(o.flags, 0x378010u);
    EXPECT_EQ(o.excludeArt, (std::vector<std::uint16_t>{0x0EED, 0x0EEE}));
    EXPECT_EQ(o.includeArt, (std::vector<std::uint16_t>{0x0F3F}));
    ASSERT_EQ(o.areas.size(), 1u);
    EXPECT_EQ(o.areas[0], (CPatchArea{1, 2, 3, 4}));
}

// Each case is decided by one rule and would be decided differently if that rule were missing or
// moved after its neighbour.
TEST(FreezeRules, EachRuleDecidesInOrder) {
    FakeTypes types;
    types.types["00eed"] = 3; // a door by its definition
    CFreezeOptions o;
    o.flags = OPT_STATIC | OPT_EXCLUDE_DOORS;
    o.areas = {{0, 0, 100, 100}};
    o.excludeArt = {0x0F00};
    o.includeArt = {0x0F00, 0x0F01};

    // Rule 1 before 3: an included art ID outside every area is not frozen.
    EXPECT_EQ(JudgeFreeze(Item(0x0F01, 0, 0x8000, 150, 10), o, &types), FreezeRule::OutsideAreas);
    // Rule 2 before 3: in both lists, exclude wins.
    EXPECT_EQ(JudgeFreeze(Item(0x0F00, 0, 0x8000), o, &types), FreezeRule::ExcludedArt);
    // Rule 3 before 4, 5, 7 and 8: included art ID of a door TYPE, with no include bit, is frozen.
    EXPECT_EQ(JudgeFreeze(Item(0x0F01, 3, 0), o, &types), FreezeRule::IncludedArt);
    EXPECT_TRUE(IsFreezable(Item(0x0F01, 1001, 0), o, &types));
    EXPECT_TRUE(IsFreezable(Item(0x0F01, 17, 0), o, &types));
    // Rule 4 before 5: TYPE 4 (locked door) with doors excluded.
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 4, 0x8000), o, &types), FreezeRule::RecordType);
    // Rule 4 never-frozen TYPEs whatever the options.
    for (std::uint32_t t : {17u, 18u, 34u, 39u, 69u})
        EXPECT_EQ(JudgeFreeze(Item(0x1000, t, 0x8000), o, &types), FreezeRule::RecordType) << t;
    // Rule 5: above 1000, even without any exclude flag; 1000 itself passes.
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 1001, 0x8000), o, &types), FreezeRule::TypeAbove1000);
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 1000, 0x8000), o, &types), FreezeRule::Frozen);
    // Rule 6 before 7: the record's TYPE is 0 but its definition says door; the art ID is no door.
    int before = types.calls;
    EXPECT_EQ(JudgeFreeze(Item(0x0EED, 0, 0x8000), o, &types), FreezeRule::DefinitionType);
    EXPECT_EQ(types.calls, before + 1);
    // Rule 7: door art ID, TYPE 0, no definition.
    EXPECT_EQ(JudgeFreeze(Item(0x0675, 0, 0x8000), o, &types), FreezeRule::CategoryArt);
    // Rule 8: an ordinary object without the chosen attribute bit.
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 0, 0x0010), o, &types), FreezeRule::NoIncludeAttr);
    // Rule 9 only with OPT_EXCLUDE_TYPED.
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 5, 0x8000), o, &types), FreezeRule::Frozen);
    o.flags |= OPT_EXCLUDE_TYPED;
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 5, 0x8000), o, &types), FreezeRule::Typed);
    EXPECT_EQ(JudgeFreeze(Item(0x1000, 0, 0x8000), o, &types), FreezeRule::Frozen);
}

TEST(FreezeRules, DefinitionLookupSkippedWhenEarlierRuleDecides) {
    FakeTypes types;
    CFreezeOptions o;
    o.flags = OPT_STATIC;
    o.excludeArt = {0x0EED};
    EXPECT_FALSE(IsFreezable(Item(0x0EED, 0, 0x8000), o, &types));
    EXPECT_FALSE(IsFreezable(Item(0x0EEE, 3000, 0x8000), o, &types));
    EXPECT_EQ(types.calls, 0);
    // Without scripts rule 6 takes no part.
    EXPECT_TRUE(IsFreezable(Item(0x0EEE, 0, 0x8000), o, nullptr));
}

TEST(FreezeRules, CategoriesFollowTheirFlags) {
    FakeTypes types;
    types.types["00a22"] = 6;
    CFreezeOptions o;
    o.flags = OPT_STATIC | OPT_EXCLUDE_DOORS;
    // Doors alone: TYPE 3 and door art are out; a light of TYPE 6 with 0x8000 is frozen.
    EXPECT_FALSE(IsFreezable(Item(0x1000, 3, 0x8000), o, &types));
    EXPECT_FALSE(IsFreezable(Item(0x0675, 0, 0x8000), o, &types));
    EXPECT_TRUE(IsFreezable(Item(0x0A22, 6, 0x8000), o, &types));
    // A definition's never-frozen TYPE keeps the object out whatever the flags.
    types.types["01000"] = 39;
    EXPECT_FALSE(IsFreezable(Item(0x1000, 0, 0x8000), o, &types));
    // A definition TYPE above 1000 is no reason by itself (rule 5 looks at the record only).
    types.types["01000"] = 2000;
    EXPECT_TRUE(IsFreezable(Item(0x1000, 0, 0x8000), o, &types));

    o.flags = OPT_STATIC | OPT_EXCLUDE_SIGNS;
    EXPECT_FALSE(IsFreezable(Item(0x0B95, 0, 0x8000), o, nullptr));
    EXPECT_TRUE(IsFreezable(Item(0x0B97, 0, 0x8000), o, nullptr));
    EXPECT_FALSE(IsFreezable(Item(0x1000, 56, 0x8000), o, nullptr));

    // Range ends are inside, their neighbours outside.
    struct Probe {
        std::uint32_t flag, inside, outside;
    } probes[] = {
        {OPT_EXCLUDE_DOORS, 0x1FFC, 0x1FFD},      {OPT_EXCLUDE_DOORS, 0x0839, 0x0838},
        {OPT_EXCLUDE_LIGHTS, 0x0A22, 0x0A21},     {OPT_EXCLUDE_LIGHTS, 0x185A, 0x185B},
        {OPT_EXCLUDE_CONTAINERS, 0x0990, 0x0991}, {OPT_EXCLUDE_CONTAINERS, 0x0FAE, 0x0FAF},
        {OPT_EXCLUDE_CONTAINERS, 0x0E83, 0x0E84}, {OPT_EXCLUDE_SIGNS, 0x0C44, 0x0C45},
    };
    for (const Probe& p : probes) {
        EXPECT_TRUE(IsExcludedCategoryArt(p.inside, p.flag)) << std::hex << p.inside;
        EXPECT_FALSE(IsExcludedCategoryArt(p.outside, p.flag)) << std::hex << p.outside;
        EXPECT_FALSE(IsExcludedCategoryArt(p.inside, OPT_ALL & ~p.flag)) << std::hex << p.inside;
    }
    EXPECT_TRUE(IsExcludedCategoryType(1, OPT_EXCLUDE_CONTAINERS));
    EXPECT_TRUE(IsExcludedCategoryType(2, OPT_EXCLUDE_CONTAINERS));
    EXPECT_TRUE(IsExcludedCategoryType(7, OPT_EXCLUDE_LIGHTS));
    EXPECT_FALSE(IsExcludedCategoryType(5, OPT_ALL));
}

TEST(FreezeRules, NothingFrozenWithoutAnIncludeRule) {
    CFreezeOptions o;
    o.flags = OPT_ALL & ~(OPT_STATIC | OPT_NEVER_MOVEABLE);
    for (std::uint32_t attr : {0u, 0x10u, 0x8000u, 0xFFFFu})
        EXPECT_FALSE(IsFreezable(Item(0x1000, 0, attr), o, nullptr)) << attr;
    // The options say so, and that the include list alone still chooses.
    EXPECT_NE(IncludeRuleNote(o).find("Nothing can be chosen"), std::string::npos);
    o.includeArt = {0x1000};
    EXPECT_TRUE(IsFreezable(Item(0x1000, 0, 0), o, nullptr));
    EXPECT_NE(IncludeRuleNote(o).find("Only the objects of Include Art IDs"), std::string::npos);
    o.includeArt.clear();
    o.flags = OPT_NEVER_MOVEABLE;
    EXPECT_EQ(IncludeRuleNote(o), "");
    EXPECT_TRUE(IsFreezable(Item(0x1000, 0, 0x10), o, nullptr));
    EXPECT_FALSE(IsFreezable(Item(0x1000, 0, 0x8000), o, nullptr));
}

// IsFreezable takes the rules in another order to ask for the definition last; over every mix of
// options, attributes, TYPEs, categories, areas and lists, it must answer what the rules in their
// own order decide.
TEST(FreezeRules, IsFreezableAgreesWithTheRulesInOrder) {
    std::mt19937 random(20261207);
    const auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    // TYPEs that matter to some rule: categories', never frozen ones, 0, above 1000, others.
    const std::uint32_t kTypes[] = {0, 1, 2, 3, 4, 6, 7, 17, 18, 34, 39, 56, 69, 12, 1000, 1001, 65535};
    // Art IDs in and around the category ranges, and plain ones.
    const std::uint16_t kArts[] = {0x0675, 0x06F6, 0x0B95, 0x0A22, 0x09A8, 0x0E83, 0x0FAE,
                                   0x1FFC, 0x0100, 0x0EED, 0x3FFF, 0x0001, 0x0A1E, 0x0B29};
    int frozen = 0, definitionDecided = 0;
    for (int round = 0; round < 20000; ++round) {
        CFreezeOptions o;
        o.flags = pick(OPT_ALL + 1) & OPT_ALL;
        if (pick(4) == 0)
            o.areas.push_back(CPatchArea{0, 0, 100, 100});
        if (pick(4) == 0)
            o.excludeArt = {kArts[pick(std::size(kArts))]};
        if (pick(4) == 0)
            o.includeArt = {kArts[pick(std::size(kArts))]};
        FakeTypes types;
        const std::uint32_t art = kArts[pick(std::size(kArts))];
        if (pick(3) != 0)
            types.types[std::string(IdText(art))] = kTypes[pick(std::size(kTypes))];
        const std::uint32_t attrs[] = {0, 0x10, 0x8000, 0x8010};
        const CFreezeCandidate item = Item(art, pick(3) == 0 ? kTypes[pick(std::size(kTypes))] : 0,
                                           attrs[pick(4)], pick(200), pick(200));
        const bool withTypes = pick(5) != 0;
        const FreezeRule rule = JudgeFreeze(item, o, withTypes ? &types : nullptr);
        const bool expected = rule == FreezeRule::IncludedArt || rule == FreezeRule::Frozen;
        ASSERT_EQ(IsFreezable(item, o, withTypes ? &types : nullptr), expected)
            << "round " << round << ", rule " << static_cast<int>(rule);
        frozen += expected;
        definitionDecided += rule == FreezeRule::DefinitionType;
    }
    // The mix reaches both answers and the definition's rule.
    EXPECT_GT(frozen, 500);
    EXPECT_GT(definitionDecided, 100);
}

} // namespace
} // namespace frostmark
