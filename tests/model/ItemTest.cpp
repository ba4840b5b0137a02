#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <set>
#include <string>
#include <vector>

#include "model/Item.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"
#include "tests/model/ModelObjectsSupport.h"

namespace frostmark {
namespace {

using test::NextLine;
using test::OpenAtBody;
using Lines = std::vector<std::string>;

class ItemTest : public ::testing::Test {
protected:
    ItemTest() {
        m_context.clock = [] { return int64_t(1000); };
        AddConstant("T_COIN 040");
        AddConstant("I_THING 01234");
    }
    void AddConstant(const std::string& line) {
        auto* def = new CDef;
        def->Set(line);
        m_context.AddDef(def);
    }
    // Reads one item section from text (its first line the header); returns what ReadSection returned.
    bool Read(CItem& item, const std::string& text) {
        OpenAtBody(m_file, text);
        item.m_name = text.substr(1, text.find(']') - 1);
        item.SetContext(&m_context);
        return item.ReadSection(m_file);
    }

    CScriptContext m_context;
    CLineReader m_file;
};

TEST_F(ItemTest, ReaderFillsEveryKindOfKeyAndKeepsTheRest) {
    CItem item;
    const bool atHeader = Read(item, "[0eed]\n"
                                     "NAME=Gold Coin\n"
                                     "  // a kept comment  \n"
                                     "TYPE=t_coin\n"
                                     "ID=0eed\n"
                                     "WEIGHT=0.1\n"
                                     "DAM=1-5\n"
                                     "ATT=2 6\n"
                                     "ARMOR={3 9}\n"
                                     "BUYVALUE=20 10\n"
                                     "SELLVALUE=7\n"
                                     "HITPOINTS=40\n"
                                     "ATTR=8010\n"
                                     "MORE=0123\n"
                                     "MORE2=ff\n"
                                     "SPEED=-3\n"
                                     "REQSTR=300\n"
                                     "DYE=2\n"
                                     "REPAIR=0\n"
                                     "TIMER=17\n"
                                     "COLOR=0481\n"
                                     "SKILL=Mining\n"
                                     "DUPEITEM=0eee\n"
                                     "DUPELIST=0eee,0eef\n"
                                     "DEFNAME=i_gold\n"
                                     "MULTIREGION=-1,-1,1,1\n"
                                     "MATERIAL=gold\n"
                                     "COMPONENT=0f3f\n"
                                     "component = 0f40\n"
                                     "COMPONENT=0f40\n"
                                     "TwoHands=y\n"
                                     "NAME = spaced\n"
                                     "UNKNOWN=5\n"
                                     "=orphan value\n"
                                     "\n"
                                     "CATEGORY=Items\n"
                                     "SUBSECTION=Coins\n"
                                     "DESCRIPTION=gold coin\n"
                                     "ONTRIGGER=DCLICK\n"
                                     "SAY hi\n"
                                     "\n"
                                     "TYPE=3\n"
                                     "category=Later\n"
                                     "// trigger comment\n"
                                     "[0eee]\n");
    EXPECT_TRUE(atHeader);
    EXPECT_EQ(NextLine(m_file), "[0eee]");

    EXPECT_EQ(item.m_itemName, "Gold Coin");
    EXPECT_EQ(item.m_commentLines, (Lines{"// a kept comment", "// trigger comment"}));
    EXPECT_EQ(item.m_type, 0x40); // the constant T_COIN, found without regard to case
    EXPECT_EQ(item.m_id, 0x0eed);
    EXPECT_FLOAT_EQ(item.m_weight, 0.1f);
    // ATT is another name of DAM: the later line wins.
    EXPECT_EQ(item.m_dam.m_low, 2);
    EXPECT_EQ(item.m_dam.m_high, 6);
    EXPECT_EQ(item.m_armor.m_low, 3);
    EXPECT_EQ(item.m_armor.m_high, 9);
    EXPECT_EQ(item.m_buyValue.m_low, 10); // reversed bounds are swapped
    EXPECT_EQ(item.m_buyValue.m_high, 20);
    EXPECT_EQ(item.m_sellValue.m_low, 7);
    EXPECT_EQ(item.m_sellValue.m_high, 7);
    EXPECT_EQ(item.m_hitPoints.m_high, 40);
    EXPECT_EQ(item.m_attr, 0x8010);
    EXPECT_EQ(item.m_more1, 0x123u);
    EXPECT_EQ(item.m_more2, 0xffu);
    EXPECT_EQ(item.m_speed, -3);
    EXPECT_EQ(item.m_reqStr, 300 - 256);
    EXPECT_EQ(item.m_dye, 1);
    EXPECT_EQ(item.m_repair, 0);
    EXPECT_EQ(item.m_timer, 17);
    EXPECT_EQ(item.m_color, "0481");
    EXPECT_EQ(item.m_skill, "Mining");
    EXPECT_EQ(item.m_dupeItem, "0eee");
    EXPECT_EQ(item.m_dupeList, "0eee,0eef");
    EXPECT_EQ(item.m_defName, "i_gold");
    EXPECT_EQ(item.m_multiRegion, "-1,-1,1,1");
    EXPECT_EQ(item.m_material, "gold");
    EXPECT_EQ(item.m_components, (Lines{"0f3f", "0f40"}));
    EXPECT_EQ(item.m_twoHands, 1);
    // Keys with a blank before "=" are unknown; a line starting with "=" and a blank line are dropped.
    EXPECT_EQ(item.m_otherLines, (Lines{"component = 0f40", "NAME = spaced", "UNKNOWN=5"}));
    // After ONTRIGGER everything is a trigger line (blank lines too), except the three category keys.
    EXPECT_EQ(item.m_triggerLines, (Lines{"ONTRIGGER=DCLICK", "SAY hi", "", "TYPE=3"}));
    EXPECT_EQ(item.m_category, "Later");
    EXPECT_EQ(item.m_subsection, "Coins");
    EXPECT_EQ(item.m_description, "gold coin");
    EXPECT_EQ(item.m_noIndex, 0);
    // The item reader keeps DEFNAME as text; only the generic reader makes constants.
    EXPECT_EQ(m_context.FindDef("i_gold"), nullptr);
}

TEST_F(ItemTest, IdIsHexUnlessItHoldsOtherCharacters) {
    struct Case {
        const char* value;
        uint16_t id;
    };
    const Case cases[] = {
        {"i_thing", 0x1234}, // a constant
        {"eed", 0x0eed},     // hex letters only: hexadecimal without a leading zero
        {"12ab", 0x12ab},    // digits and hex letters: hexadecimal, not the decimal 12
        {"1234", 0x1234},    // digits only: hexadecimal too
        {"0x10", 0},         // through GetNumber: the hex reader stops at the x
        {"fog", 0},          // letters beyond f: an unknown constant
        {"1ffff", 0xffff},   // kept in 16 bits
        {"", 0},
    };
    for (const Case& c : cases) {
        CItem item;
        Read(item, std::string("[1]\nID=") + c.value + "\n");
        EXPECT_EQ(item.m_id, c.id) << c.value;
    }
}

TEST_F(ItemTest, MorepNeedsTwoSeparators) {
    struct Case {
        const char* lines;
        int first, second, third;
    };
    const Case cases[] = {
        {"MOREP=1 2 3\n", 1, 2, 3},
        {"MOREP=4,5,6\n", 4, 5, 6},
        {"MOREP=1, 2, 3\n", 1, 2, 3},            // blanks win over commas
        {"MOREP=1 2 3\nMOREP=7 8\n", 1, 2, 3},   // two numbers: unchanged
        {"MOREP=9\n", 0, 0, 0},                  // one number: unchanged
        {"MOREP=300 -2 70000\n", 44, -2, 70000}, // the first number wraps in 8 bits
        {"MOREP=1 2 3 4\n", 1, 2, 4},            // the middle text "2 3" reads as decimal 2
    };
    for (const Case& c : cases) {
        CItem item;
        Read(item, std::string("[1]\n") + c.lines);
        SCOPED_TRACE(c.lines);
        EXPECT_EQ(item.m_morepFirst, c.first);
        EXPECT_EQ(item.m_morepSecond, c.second);
        EXPECT_EQ(item.m_morepThird, c.third);
    }
}

TEST_F(ItemTest, FlagsTwoHandsAndNoIndex) {
    CItem both;
    Read(both, "[1]\nTWOHANDS=Y\nNOINDEX\n");
    EXPECT_EQ(both.m_twoHands, 1);
    EXPECT_EQ(both.m_noIndex, 1);

    CItem cleared;
    Read(cleared, "[1]\nTWOHANDS=Y\nTWOHANDS=yes\n");
    EXPECT_EQ(cleared.m_twoHands, 0);

    CItem valued;
    Read(valued, "[1]\nnoindex=0\n");
    EXPECT_EQ(valued.m_noIndex, 1); // with a value, even 0
}

TEST_F(ItemTest, SectionEnds) {
    // End of file on a last line without a line feed: the line counts.
    CItem last;
    EXPECT_FALSE(Read(last, "[1]\nTYPE=5"));
    EXPECT_EQ(last.m_type, 5);

    // A header indented by blanks ends the section, consumed; it is kept as an other line.
    CItem indented;
    EXPECT_TRUE(Read(indented, "[1]\nTYPE=5\n   [2]\nTYPE=7\n"));
    EXPECT_EQ(indented.m_type, 5);
    EXPECT_EQ(indented.m_otherLines, (Lines{"[2]"}));
    EXPECT_EQ(NextLine(m_file), "TYPE=7");

    // In trigger mode such a line is just another trigger line.
    CItem trigger;
    EXPECT_TRUE(Read(trigger, "[1]\nONTRIGGER=X\n  [2]\nTYPE=7\n[3]\n"));
    EXPECT_EQ(trigger.m_triggerLines, (Lines{"ONTRIGGER=X", "[2]", "TYPE=7"}));
    EXPECT_EQ(trigger.m_type, 0);
    EXPECT_EQ(NextLine(m_file), "[3]");

    // Blank lines inside the triggers stay; those that close the section do not.
    CItem blanks;
    EXPECT_TRUE(Read(blanks, "[1]\nONTRIGGER=X\nA\n\nB\n\n\n[3]\n"));
    EXPECT_EQ(blanks.m_triggerLines, (Lines{"ONTRIGGER=X", "A", "", "B"}));
}

TEST(ItemWeight, ParseAndFormat) {
    EXPECT_FLOAT_EQ(ParseWeight("2"), 2.0f);
    EXPECT_FLOAT_EQ(ParseWeight("+2.5"), 2.5f);
    EXPECT_FLOAT_EQ(ParseWeight("-.5"), -0.5f);
    EXPECT_FLOAT_EQ(ParseWeight("1.5e1"), 15.0f);
    EXPECT_FLOAT_EQ(ParseWeight("3kg"), 3.0f);
    EXPECT_FLOAT_EQ(ParseWeight("abc"), 0.0f);
    EXPECT_FLOAT_EQ(ParseWeight("inf"), 0.0f);
    EXPECT_FLOAT_EQ(ParseWeight("nan"), 0.0f);
    EXPECT_FLOAT_EQ(ParseWeight(""), 0.0f);
    // Beyond any float: the largest weight, never an infinity the writer could not write back.
    EXPECT_FLOAT_EQ(ParseWeight("1e999"), FLT_MAX);
    EXPECT_FLOAT_EQ(ParseWeight("1e-999"), 0.0f);

    EXPECT_EQ(FormatWeight(3.0f), "3");
    EXPECT_EQ(FormatWeight(-2.0f), "-2");
    EXPECT_EQ(FormatWeight(2.5f), "2.5");
    EXPECT_EQ(FormatWeight(0.06f), "0.1"); // one decimal, rounded
    EXPECT_EQ(FormatWeight(12.96f), "13.0");
    EXPECT_EQ(FormatWeight(-1.25f), "-1.2");
    EXPECT_EQ(FormatWeight(1e10f), "10000000000");
    // A whole number far beyond 64 bits still round-trips.
    EXPECT_FLOAT_EQ(ParseWeight(FormatWeight(FLT_MAX)), FLT_MAX);
}

TEST(ItemWeight, DecimalPointIgnoresTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr && *std::localeconv()->decimal_point == ',') {
            switched = true;
            break;
        }
    }
    const std::string written = FormatWeight(2.5f);
    const float read = ParseWeight("2.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(written, "2.5");
    EXPECT_FLOAT_EQ(read, 2.5f);
    if (!switched) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
}

// A hand-made item with every field set: the exact section the writer gives.
CItem MakeFullItem() {
    CItem it;
    it.m_name = "0eed";
    it.m_commentLines = {"// c1"};
    it.m_itemName = "Lamp";
    it.m_dupeItem = "0eee";
    it.m_type = 6;
    it.m_id = 0x0a22;
    it.m_color = "0481";
    it.m_weight = 2.5f;
    it.m_buyValue.Set("10 20");
    it.m_sellValue.Set("5");
    it.m_dye = 1;
    it.m_repair = 1;
    it.m_skill = "Tinkering";
    it.m_dam.Set("1 4");
    it.m_armor.Set("3");
    it.m_reqStr = 255;
    it.m_speed = -3;
    it.m_hitPoints.Set("50 60");
    it.m_attr = 0x10;
    it.m_morepFirst = 1;
    it.m_morepSecond = 2;
    it.m_morepThird = 3;
    it.m_more1 = 0x123;
    it.m_more2 = 0xabc;
    it.m_dupeList = "0eef";
    it.m_defName = "i_lamp";
    it.m_timer = 5;
    it.m_twoHands = 1;
    it.m_multiRegion = "-1,-1,1,1";
    it.m_components = {"0f3f", "", "0f40"};
    it.m_material = "brass";
    it.m_otherLines = {"FOO=1", "", "BAR = 2"};
    it.m_category = "Lights";
    it.m_subsection = "Lamps";
    it.m_description = "brass lamp";
    it.m_triggerLines = {"ONTRIGGER=DCLICK", "SAY hi"};
    return it;
}

const char* const kFullItemSection = "[0eed]\n"
                                     "// c1\n"
                                     "NAME=Lamp\n"
                                     "DUPEITEM=0eee\n"
                                     "TYPE=6\n"
                                     "ID=00a22\n"
                                     "COLOR=0481\n"
                                     "WEIGHT=2.5\n"
                                     "BUYVALUE={10 20}\n"
                                     "SELLVALUE=5\n"
                                     "DYE=1\n"
                                     "REPAIR=1\n"
                                     "SKILL=Tinkering\n"
                                     "DAM={1 4}\n"
                                     "ARMOR=3\n"
                                     "REQSTR=255\n"
                                     "SPEED=-3\n"
                                     "HITPOINTS={50 60}\n"
                                     "ATTR=0010\n"
                                     "MOREP=1 2 3\n"
                                     "MORE1=0123\n"
                                     "MORE2=0abc\n"
                                     "DUPELIST=0eef\n"
                                     "DEFNAME=i_lamp\n"
                                     "TIMER=5\n"
                                     "TWOHANDS=Y\n"
                                     "MULTIREGION=-1,-1,1,1\n"
                                     "COMPONENT=0f3f\n"
                                     "COMPONENT=0f40\n"
                                     "MATERIAL=brass\n"
                                     "FOO=1\n"
                                     "BAR = 2\n"
                                     "CATEGORY=Lights\n"
                                     "SUBSECTION=Lamps\n"
                                     "DESCRIPTION=brass lamp\n"
                                     "ONTRIGGER=DCLICK\n"
                                     "SAY hi\n"
                                     "\n";

TEST(ItemWriter, WritesEveryKeyInOrder) {
    std::string out;
    MakeFullItem().WriteSection(out);
    EXPECT_EQ(out, kFullItemSection);
}

TEST(ItemWriter, DefaultsAndNoIndex) {
    CItem plain;
    plain.m_name = "0abc";
    std::string out;
    plain.WriteSection(out);
    // The category keys' defaults are not empty, so they are written.
    EXPECT_EQ(out, "[0abc]\nCATEGORY=<none>\nSUBSECTION=<none>\nDESCRIPTION=<unnamed>\n\n");

    CItem hidden;
    hidden.m_name = "0abc";
    hidden.m_noIndex = 1;
    hidden.m_category = "Shown?";
    hidden.m_weight = 3.0f;
    hidden.m_armor.Set("-5 0"); // high bound 0: not written
    hidden.m_morepThird = 9;
    out.clear();
    hidden.WriteSection(out);
    EXPECT_EQ(out, "[0abc]\nWEIGHT=3\nMOREP=0 0 9\nNOINDEX\n\n");
}

TEST_F(ItemTest, WhatTheWriterWritesReadsBackTheSame) {
    const CItem original = MakeFullItem();
    CItem again;
    Read(again, kFullItemSection);
    EXPECT_EQ(again.m_itemName, original.m_itemName);
    EXPECT_EQ(again.m_commentLines, original.m_commentLines);
    EXPECT_EQ(again.m_type, original.m_type);
    EXPECT_EQ(again.m_id, original.m_id);
    EXPECT_EQ(again.m_color, original.m_color);
    EXPECT_FLOAT_EQ(again.m_weight, original.m_weight);
    EXPECT_EQ(again.m_buyValue.ToString(), original.m_buyValue.ToString());
    EXPECT_EQ(again.m_sellValue.ToString(), original.m_sellValue.ToString());
    EXPECT_EQ(again.m_dam.ToString(), original.m_dam.ToString());
    EXPECT_EQ(again.m_armor.ToString(), original.m_armor.ToString());
    EXPECT_EQ(again.m_hitPoints.ToString(), original.m_hitPoints.ToString());
    EXPECT_EQ(again.m_dye, 1);
    EXPECT_EQ(again.m_repair, 1);
    EXPECT_EQ(again.m_reqStr, 255);
    EXPECT_EQ(again.m_speed, -3);
    EXPECT_EQ(again.m_attr, 0x10);
    EXPECT_EQ(again.m_morepFirst, 1);
    EXPECT_EQ(again.m_morepSecond, 2);
    EXPECT_EQ(again.m_morepThird, 3);
    EXPECT_EQ(again.m_more1, 0x123u);
    EXPECT_EQ(again.m_more2, 0xabcu);
    EXPECT_EQ(again.m_dupeItem, "0eee");
    EXPECT_EQ(again.m_dupeList, "0eef");
    EXPECT_EQ(again.m_defName, "i_lamp");
    EXPECT_EQ(again.m_timer, 5);
    EXPECT_EQ(again.m_twoHands, 1);
    EXPECT_EQ(again.m_multiRegion, "-1,-1,1,1");
    EXPECT_EQ(again.m_components, (Lines{"0f3f", "0f40"})); // empty entries are not written
    EXPECT_EQ(again.m_material, "brass");
    EXPECT_EQ(again.m_otherLines, (Lines{"FOO=1", "BAR = 2"}));
    EXPECT_EQ(again.m_category, "Lights");
    EXPECT_EQ(again.m_subsection, "Lamps");
    EXPECT_EQ(again.m_description, "brass lamp");
    EXPECT_EQ(again.m_triggerLines, original.m_triggerLines);

    std::string second;
    again.WriteSection(second);
    EXPECT_EQ(second, kFullItemSection);
}

TEST_F(ItemTest, ScriptTextSettlesAfterOneRoundTrip) {
    // Comment lines move to the top and the weight keeps one decimal; after that, writing and reading
    // change nothing more.
    const std::string text = "[0f00]\n"
                             "NAME=odd\n"
                             "WEIGHT=1.26\n"
                             "// moved up\n"
                             "ID=i_thing\n"
                             "TYPE=-7\n"
                             "MORE=0x5\n"
                             "ONTRIGGER=STEP\n"
                             "  indented trigger line  \n"
                             "DESCRIPTION=@odd\n";
    CItem first;
    Read(first, text);
    std::string written;
    first.WriteSection(written);
    EXPECT_EQ(written, "[0f00]\n// moved up\nNAME=odd\nTYPE=-7\nID=01234\nWEIGHT=1.3\nCATEGORY=<none>\n"
                       "SUBSECTION=<none>\nDESCRIPTION=@odd\nONTRIGGER=STEP\nindented trigger line\n\n");
    CItem second;
    Read(second, written);
    std::string rewritten;
    second.WriteSection(rewritten);
    EXPECT_EQ(rewritten, written);
    EXPECT_FLOAT_EQ(second.m_weight, 1.3f);
    EXPECT_EQ(second.m_more1, 0u); // "0x5" read as hex stops at the x
}

TEST_F(ItemTest, AssignmentFromAnIndexEntryKeepsItemFields) {
    CSObject entry(&m_context);
    entry.m_name = "0eed";
    entry.m_sourcePath = "/nowhere/items.scp";
    entry.m_kind = kKindItemDef;
    entry.m_sectionOffset = 42;
    entry.m_description = "desc";
    entry.m_category = "cat";
    entry.m_subsection = "sub";
    entry.m_dupeItem = "0eee";
    entry.m_noIndex = 1;
    CItem item;
    item.m_type = 9;
    item = entry;
    EXPECT_EQ(item.m_name, "0eed");
    EXPECT_EQ(item.m_sourcePath, "/nowhere/items.scp");
    EXPECT_EQ(item.m_kind, kKindItemDef);
    EXPECT_EQ(item.m_sectionOffset, 42u);
    EXPECT_EQ(item.m_description, "desc");
    EXPECT_EQ(item.m_category, "cat");
    EXPECT_EQ(item.m_subsection, "sub");
    EXPECT_EQ(item.m_dupeItem, "0eee");
    EXPECT_EQ(item.m_noIndex, 1);
    EXPECT_EQ(item.Context(), &m_context);
    EXPECT_EQ(item.m_type, 9);
    EXPECT_EQ(CItem().m_kind, kKindItemDef);
}

TEST(ItemTypeNames, EveryNumberHasItsName) {
    EXPECT_STREQ(ItemTypeName(0), "  NORMAL  ");
    EXPECT_STREQ(ItemTypeName(1), "CONTAINER");
    EXPECT_STREQ(ItemTypeName(4), "DOOR_LOCKED");
    EXPECT_STREQ(ItemTypeName(17), "TELEPAD");
    EXPECT_STREQ(ItemTypeName(39), "MOONGATE");
    EXPECT_STREQ(ItemTypeName(56), "SIGN_GUMP");
    EXPECT_STREQ(ItemTypeName(69), "SPAWN_ITEM");
    EXPECT_STREQ(ItemTypeName(100), "SOUND");
    EXPECT_STREQ(ItemTypeName(172), "WALL");
    EXPECT_STREQ(ItemTypeName(182), "DIRT");
    EXPECT_EQ(ItemTypeName(183), nullptr);
    EXPECT_EQ(ItemTypeName(-1), nullptr);
    // No gaps and no duplicates: each name stands for one number.
    std::set<std::string> seen;
    for (const char* name : kItemTypeNames) {
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
}

} // namespace
} // namespace frostmark
