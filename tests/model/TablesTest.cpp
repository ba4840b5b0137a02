#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Tables.h"
#include "tests/model/ModelObjectsSupport.h"

namespace frostmark {
namespace {

using test::NextLine;
using test::OpenAtBody;
using Lines = std::vector<std::string>;

TEST(StringTable, CutsCommentsKeepsBlanksAndStopsAtABracket) {
    CLineReader file;
    OpenAtBody(file, "[RESOURCES]\n"
                     "scripts/items.scp // the items\n"
                     "\n"
                     "x // [not a header]\n"
                     "  plain  \n"
                     "y [ends it] // comment\n"
                     "[NEXT]\n");
    CTStringTable table("RESOURCES");
    EXPECT_TRUE(table.ReadSection(file));
    EXPECT_EQ(table.m_lines, (Lines{"scripts/items.scp ", "", "x ", "  plain  "}));
    // The line holding "[" before any comment is left for the caller.
    EXPECT_EQ(NextLine(file), "y [ends it] // comment");

    // A second section adds to the same table; one ending at the end of the file adds an empty line.
    OpenAtBody(file, "[RESOURCES]\nmore.scp");
    EXPECT_FALSE(table.ReadSection(file));
    EXPECT_EQ(table.m_lines, (Lines{"scripts/items.scp ", "", "x ", "  plain  ", "more.scp", ""}));

    OpenAtBody(file, "[RESOURCES]\n");
    CTStringTable alone;
    EXPECT_FALSE(alone.ReadSection(file));
    EXPECT_EQ(alone.m_lines, (Lines{""}));
}

TEST(StringTable, WritesOnlyWithATitle) {
    CTStringTable table("OBSCENE");
    table.m_lines = {"a", "", "b"};
    std::string out;
    table.WriteSection(out);
    EXPECT_EQ(out, "[OBSCENE]\na\n\nb\n");

    CTStringTable untitled;
    untitled.m_lines = {"a"};
    out.clear();
    untitled.WriteSection(out);
    EXPECT_EQ(out, "");
}

TEST(ObArray, StoresByNameAndWritesByIndex) {
    CTObArray skills("SKILL");
    for (const char* name : {"3", "12", "3"}) {
        auto* entry = new CTObject;
        entry->m_name = name;
        skills.ReplaceByName(entry); // the second "3" replaces and deletes the first
    }
    auto* unnamed = new CTObject;
    EXPECT_EQ(skills.ReplaceByName(unnamed), -1); // deleted at once
    ASSERT_EQ(skills.GetSize(), 2);
    EXPECT_EQ(skills.At(0)->m_name, "12"); // names sort as text
    EXPECT_EQ(skills.At(1)->m_name, "3");
    std::string out;
    skills.WriteSection(out);
    EXPECT_EQ(out, "[SKILL 0]\n\n[SKILL 1]\n\n");
    skills.DeleteAll();
}

TEST(StartLocation, EntriesOfThreeLinesEndAtABlankLine) {
    CLineReader file;
    OpenAtBody(file, "[STARTS]\n"
                     "  Yew // the first  \n"
                     "Yew Town/comment\n"
                     "100,200,0/z\n"
                     "Britain\n"
                     "  Britain  \n"
                     "1,2,3\n"
                     "\n"
                     "Moonglow\n"
                     "M\n"
                     "4,5,6\n");
    // The STARTS reader's loop: keep entries while ReadSection says true.
    CTEntryList<CTStartLocation> starts;
    for (;;) {
        auto* entry = new CTStartLocation;
        if (!entry->ReadSection(file)) {
            delete entry;
            break;
        }
        starts.Append(entry);
    }
    ASSERT_EQ(starts.GetSize(), 2);
    // The first line is trimmed, then cut at its first "/": the blank before the comment stays.
    EXPECT_EQ(starts.At(0)->m_first, "Yew ");
    EXPECT_EQ(starts.At(0)->m_second, "Yew Town");
    EXPECT_EQ(starts.At(0)->m_third, "100,200,0");
    EXPECT_EQ(starts.At(1)->m_first, "Britain");
    EXPECT_EQ(starts.At(1)->m_second, "  Britain  "); // second and third lines are not trimmed
    // The blank line was stepped back; the later entry is not read.
    EXPECT_EQ(NextLine(file), "");
    EXPECT_EQ(NextLine(file), "Moonglow");

    std::string out;
    starts.WriteSection(out);
    EXPECT_EQ(out, "Yew \nYew Town\n100,200,0\nBritain\n  Britain  \n1,2,3\n");
    starts.DeleteAll();
}

TEST(StartLocation, CutShortOrAtAHeader) {
    CLineReader file;
    OpenAtBody(file, "[STARTS]\nOnly\nTwo lines\n");
    CTStartLocation shortEntry;
    EXPECT_FALSE(shortEntry.ReadSection(file));

    OpenAtBody(file, "[STARTS]\n [AREA x]\n");
    CTStartLocation atHeader;
    EXPECT_FALSE(atHeader.ReadSection(file));
    EXPECT_EQ(NextLine(file), " [AREA x]");
}

TEST(OreDef, FieldsByCommaCount) {
    CTOreDef iron;
    iron.ParseOreLine("Iron,Iron Ore,2,0.5,3-8,ingot");
    EXPECT_EQ(iron.m_firstText, "Iron");
    EXPECT_EQ(iron.m_secondText, "Iron Ore");
    EXPECT_EQ(iron.m_firstAmount, 20);
    EXPECT_EQ(iron.m_secondAmount, 5);
    EXPECT_EQ(iron.m_low, 3);
    EXPECT_EQ(iron.m_high, 8);
    EXPECT_EQ(iron.m_lastText, "ingot");
    std::string out;
    iron.WriteSection(out);
    EXPECT_EQ(out, "Iron,Iron Ore,2.0,0.5,3-8,ingot\n");

    CTOreDef single;
    single.ParseOreLine("a,b,1.25,3,5,x");
    EXPECT_EQ(single.m_firstAmount, 125); // every "." dropped: two decimals give ten times the tenths
    EXPECT_EQ(single.m_secondAmount, 30);
    EXPECT_EQ(single.m_low, 5);
    EXPECT_EQ(single.m_high, 5);

    CTOreDef dash;
    dash.ParseOreLine("a,b,-0.5,1,-5,x");
    EXPECT_EQ(dash.m_firstAmount, -5);
    EXPECT_EQ(dash.m_low, 0);
    EXPECT_EQ(dash.m_high, 5);
    out.clear();
    dash.WriteSection(out);
    EXPECT_EQ(out, "a,b,-0.5,1.0,0-5,x\n");

    // Six commas: the last text stays empty. Four: the range, which no comma ends, is not read either.
    CTOreDef six;
    six.ParseOreLine("a,b,1,1,2-3,x,y");
    EXPECT_EQ(six.m_low, 2);
    EXPECT_EQ(six.m_lastText, "");
    CTOreDef four;
    four.ParseOreLine("a,b,1,1,2-3");
    EXPECT_EQ(four.m_secondAmount, 10);
    EXPECT_EQ(four.m_low, 0);
    EXPECT_EQ(four.m_high, 0);
    EXPECT_EQ(four.m_lastText, "");

    CTOreDef none;
    none.ParseOreLine("no commas here");
    EXPECT_EQ(none.m_firstText, "");
    out.clear();
    none.WriteSection(out);
    EXPECT_EQ(out, ",,0.0,0.0,0-0,\n");
}

TEST(Advance, ParseTriple) {
    CAdvanceTriple t{};
    ParseTriple("1 2 3", t);
    EXPECT_EQ(t, (CAdvanceTriple{1, 2, 3}));
    ParseTriple("10, 20, 30", t); // commas win; each token read with its blanks skipped
    EXPECT_EQ(t, (CAdvanceTriple{10, 20, 30}));
    ParseTriple("4 5 6 7", t);
    EXPECT_EQ(t, (CAdvanceTriple{4, 5, 6}));
    ParseTriple("9", t); // entries the value does not reach keep their values
    EXPECT_EQ(t, (CAdvanceTriple{9, 5, 6}));
    ParseTriple("7,8", t);
    EXPECT_EQ(t, (CAdvanceTriple{7, 8, 6}));
    ParseTriple("1  2", t); // two blanks make an empty middle number
    EXPECT_EQ(t, (CAdvanceTriple{1, 0, 2}));
    ParseTriple("-1,x,+3,", t);
    EXPECT_EQ(t, (CAdvanceTriple{-1, 0, 3}));
}

TEST(TableSet, TitlesAndUnloading) {
    test::CCapturedLog log;
    {
        CTableSet tables;
        EXPECT_EQ(tables.resources.m_title, "RESOURCES");
        EXPECT_EQ(tables.notoTitles.m_title, "NOTOTITLES");
        EXPECT_EQ(tables.skillClass.m_title, "SKILLCLASS");
        EXPECT_EQ(tables.potion.m_title, "POTION");
        EXPECT_EQ(tables.tavrel.m_title, "");
        EXPECT_EQ(tables.Plevel(0), nullptr);
        EXPECT_EQ(tables.Plevel(7), nullptr);
        ASSERT_EQ(tables.Plevel(6), &tables.plevel[5]);
        EXPECT_EQ(tables.advance[2], (CAdvanceTriple{0, 0, 0}));

        tables.Plevel(2)->m_title = "PLEVEL 2 2";
        tables.Plevel(2)->m_lines = {"a"};
        tables.resources.m_lines = {"x.scp", ""};
        tables.blockIp.m_lines = {"1.2.3.4"};
        tables.ore.Append(new CTOreDef);
        tables.starts.Append(new CTStartLocation);
        for (CTObArray* array : {&tables.skill, &tables.spell, &tables.spawn, &tables.skillClass}) {
            auto* entry = new CTObject;
            entry->m_name = "5";
            array->ReplaceByName(entry);
        }
        tables.UnloadTables();
        EXPECT_TRUE(tables.resources.m_lines.empty());
        EXPECT_TRUE(tables.plevel[1].m_lines.empty());
        EXPECT_TRUE(tables.blockIp.m_lines.empty());
        EXPECT_TRUE(tables.ore.IsEmpty());
        EXPECT_TRUE(tables.starts.IsEmpty());
        EXPECT_TRUE(tables.skill.IsEmpty());
        EXPECT_TRUE(tables.spawn.IsEmpty());
        EXPECT_EQ(tables.plevel[1].m_title, "PLEVEL 2 2"); // titles stay
        EXPECT_EQ(tables.resources.m_title, "RESOURCES");

        // Filled again and destroyed without unloading: the destructor deletes (LeakSanitizer checks).
        tables.ore.Append(new CTOreDef);
        auto* spell = new CTObject;
        spell->m_name = "1";
        tables.spell.ReplaceByName(spell);
    }
    EXPECT_EQ(log.Messages(), (Lines{"Unloading tables", "Unloading tables"}));
}

} // namespace
} // namespace frostmark
