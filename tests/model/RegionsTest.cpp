#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Regions.h"
#include "tests/model/ModelObjectsSupport.h"

namespace frostmark {
namespace {

using test::NextLine;
using test::OpenAtBody;
using Lines = std::vector<std::string>;

CArea Parsed(std::initializer_list<const char*> lines) {
    CArea area;
    for (const char* line : lines) {
        area.ParseKey(line);
    }
    return area;
}

TEST(AreaKeys, SeparatorsAreBlankOrEqualsAndNothingIsTrimmed) {
    EXPECT_EQ(Parsed({"RAINCHANCE 30"}).m_rainChance, 30);
    EXPECT_EQ(Parsed({"rainchance=40"}).m_rainChance, 40);
    EXPECT_EQ(Parsed({"RAINCHANCE = 50"}).m_rainChance, -1); // the key "RAINCHANCE " is unknown
    EXPECT_EQ(Parsed({"COLDCHANCE=-5x"}).m_coldChance, -5);
    EXPECT_EQ(Parsed({"COLDCHANCE=abc"}).m_coldChance, 0);
    EXPECT_EQ(Parsed({"GROUP=Towns // main"}).m_group, "Towns // main");
    EXPECT_EQ(Parsed({"GROUP= Towns"}).m_group, " Towns");
    // An "=" anywhere makes it the separator, so the key is "TITLE a b", unknown; without one, the blank.
    EXPECT_EQ(Parsed({"TITLE a b=c"}).m_title, "");
    EXPECT_EQ(Parsed({"TITLE a b"}).m_title, "a b");
    EXPECT_EQ(Parsed({"TITLE=x", "TITLE"}).m_title, ""); // the whole line as key: empty value
    EXPECT_EQ(Parsed({"TRIGGER=1a"}).m_trigger, 0x1au);
    EXPECT_EQ(Parsed({"TRIGPERIODIC=zz"}).m_trigPeriodic, 0u);
    EXPECT_EQ(
        Parsed({"MIDILIST=1 2", "LOCAL=l", "SOUNDS=s", "ANNOUNCEMENT=a", "GUARDOWNER=g", "P=1,2"}).m_point,
        "1,2");
    const CArea area = Parsed({"RECT=1,2,3,4", "unknown=1", "", "RECT 5,6,7,8"});
    EXPECT_EQ(area.m_rects, (Lines{"1,2,3,4", "5,6,7,8"}));
}

TEST(AreaKeys, FlagKeywordsOnlyAddBitsFlagsReplacesThem) {
    struct Case {
        const char* keyword;
        uint16_t bit;
    };
    const Case cases[] = {
        {"MAGIC", 0x0001},   {"MARK", 0x0002},   {"RECALLIN", 0x0002}, {"RECALLOUT", 0x0004},
        {"GATE", 0x0008},    {"GATEIN", 0x0008}, {"GATEOUT", 0x0008},  {"MAGICDAMAGE", 0x0020},
        {"NOBUILD", 0x0080}, {"GLOBAL", 0x0100}, {"ANNOUNCE", 0x0200}, {"UNDERGROUND", 0x0800},
        {"NODECAY", 0x1000}, {"SAFE", 0x2000},   {"guarded", 0x4000},
    };
    for (const Case& c : cases) {
        const std::string key = c.keyword;
        EXPECT_EQ(Parsed({(key + "=1").c_str()}).m_flags, c.bit) << key;
        EXPECT_EQ(Parsed({(key + " 7").c_str()}).m_flags, c.bit) << key;
        EXPECT_EQ(Parsed({(key + "=0").c_str()}).m_flags, 0) << key;
        EXPECT_EQ(Parsed({key.c_str()}).m_flags, 0) << key; // no value reads as 0
        EXPECT_EQ(Parsed({"FLAGS=8000", (key + "=1").c_str(), (key + "=0").c_str()}).m_flags, 0x8000 | c.bit)
            << key;
    }
    // BUILDABLE is the other way round.
    EXPECT_EQ(Parsed({"BUILDABLE=0"}).m_flags, 0x0080);
    EXPECT_EQ(Parsed({"BUILDABLE"}).m_flags, 0x0080);
    EXPECT_EQ(Parsed({"BUILDABLE=1"}).m_flags, 0);
    EXPECT_EQ(Parsed({"NOBUILD=1", "BUILDABLE=1"}).m_flags, 0x0080);

    EXPECT_EQ(Parsed({"GUARDED=1", "FLAGS=2000"}).m_flags, 0x2000);
    EXPECT_EQ(Parsed({"FLAGS=2000", "GATEIN=1"}).m_flags, 0x2008);
    EXPECT_EQ(Parsed({"FLAGS=0x10"}).m_flags, 0);       // the hex reader stops at the x
    EXPECT_EQ(Parsed({"FLAGS=1ffff"}).m_flags, 0xffff); // low 16 bits
    EXPECT_EQ(Parsed({"FLAGS 8450"}).m_flags, 0x8450);  // bits no keyword sets
}

TEST(AreaBody, SkipsCommentLinesAndStopsAtTheNextHeader) {
    CLineReader file;
    OpenAtBody(file, "[AREA Britain]\n"
                     "//GROUP=Towns\n"
                     "GROUP=Cities\n"
                     "\n"
                     " [not a header]\n"
                     "P=1,2,0 // kept\n"
                     "[ROOM Castle]\n"
                     "GROUP=Rooms\n");
    CArea area;
    EXPECT_TRUE(area.ReadBody(file));
    EXPECT_EQ(area.m_group, "Cities");
    EXPECT_EQ(area.m_point, "1,2,0 // kept");
    EXPECT_EQ(NextLine(file), "[ROOM Castle]");
    CRoom room;
    EXPECT_FALSE(room.ReadBody(file));
    EXPECT_EQ(room.m_group, "Rooms");
}

CArea& Fill(CArea& area) {
    area.m_areaName = "Britain";
    area.m_title = "City of Britain";
    area.m_group = "Towns";
    area.m_point = "1,2,0";
    area.m_rects = {"1,2,3,4", "5,6,7,8"};
    area.m_guardOwner = "the guards";
    area.m_rainChance = 30;
    area.m_local = "Brit";
    area.m_sounds = "01 02";
    area.m_announcement = "Welcome";
    area.m_flags = 0x4081;
    area.m_trigger = 0x1a;
    area.m_midiList = "12 13";
    return area;
}

const char* const kAreaSection = "[AREA Britain]\n"
                                 "TITLE=City of Britain\n"
                                 "GROUP=Towns\n"
                                 "P=1,2,0\n"
                                 "RECT=1,2,3,4\n"
                                 "RECT=5,6,7,8\n"
                                 "GUARDOWNER=the guards\n"
                                 "RAINCHANCE 30\n"
                                 "LOCAL=Brit\n"
                                 "SOUNDS=01 02\n"
                                 "ANNOUNCEMENT=Welcome\n"
                                 "FLAGS=04081\n"
                                 "TRIGGER=0001a\n"
                                 "\n";

const char* const kRoomSection = "[ROOM Britain]\n"
                                 "GROUP=Towns\n"
                                 "TITLE=City of Britain\n"
                                 "P=1,2,0\n"
                                 "RECT=1,2,3,4\n"
                                 "RECT=5,6,7,8\n"
                                 "MIDILIST=12 13\n"
                                 "GUARDOWNER=the guards\n"
                                 "RAINCHANCE 30\n"
                                 "LOCAL=Brit\n"
                                 "SOUNDS=01 02\n"
                                 "ANNOUNCEMENT=Welcome\n"
                                 "FLAGS=04081\n";

TEST(RegionWriter, AreaAndRoomSections) {
    CArea area;
    std::string out;
    Fill(area).WriteSection(out);
    EXPECT_EQ(out, kAreaSection);

    CRoom room;
    out.clear();
    Fill(room).WriteSection(out);
    // The room's FLAGS line has no line end of its own: the closing "\n" ends it, no blank line follows.
    EXPECT_EQ(out, kRoomSection);

    out.clear();
    CArea().WriteSection(out);
    EXPECT_EQ(out, "[AREA ]\nFLAGS=00000\n\n");
    out.clear();
    CRoom().WriteSection(out);
    EXPECT_EQ(out, "[ROOM ]\nFLAGS=00000\n");

    // WriteKey through the base: each class its own lines.
    const CArea& asArea = room;
    out.clear();
    asArea.WriteKey("trigger", out);
    EXPECT_EQ(out, "");
    asArea.WriteKey("FLAGS", out);
    EXPECT_EQ(out, "FLAGS=04081");
    out.clear();
    area.WriteKey("COLDCHANCE", out); // -1: none
    area.WriteKey("NOBUILD", out);    // not a key that is written
    EXPECT_EQ(out, "");
}

TEST(RegionWriter, WrittenRegionsReadBack) {
    CArea area;
    Fill(area).m_coldChance = -20;
    CRoom room;
    Fill(room).m_trigPeriodic = 0x55;
    std::string text;
    area.WriteSection(text);
    room.WriteSection(text);
    room.WriteSection(text); // two rooms in a row: the first one's FLAGS line still ends before the header

    CLineReader file;
    OpenAtBody(file, text);
    CArea areaBack;
    ASSERT_TRUE(areaBack.ReadBody(file));
    EXPECT_EQ(NextLine(file), "[ROOM Britain]");
    CRoom roomBack;
    ASSERT_TRUE(roomBack.ReadBody(file));
    EXPECT_EQ(NextLine(file), "[ROOM Britain]");
    CRoom secondBack;
    EXPECT_FALSE(secondBack.ReadBody(file));

    // The area loses only its music list, the rooms only their triggers.
    for (const CArea* back : {static_cast<const CArea*>(&areaBack), static_cast<const CArea*>(&roomBack),
                              static_cast<const CArea*>(&secondBack)}) {
        EXPECT_EQ(back->m_title, area.m_title);
        EXPECT_EQ(back->m_group, area.m_group);
        EXPECT_EQ(back->m_point, area.m_point);
        EXPECT_EQ(back->m_rects, area.m_rects);
        EXPECT_EQ(back->m_guardOwner, area.m_guardOwner);
        EXPECT_EQ(back->m_rainChance, 30);
        EXPECT_EQ(back->m_local, area.m_local);
        EXPECT_EQ(back->m_sounds, area.m_sounds);
        EXPECT_EQ(back->m_announcement, area.m_announcement);
        EXPECT_EQ(back->m_flags, 0x4081);
    }
    EXPECT_EQ(areaBack.m_coldChance, -20);
    EXPECT_EQ(areaBack.m_midiList, "");
    EXPECT_EQ(areaBack.m_trigger, 0x1au);
    EXPECT_EQ(roomBack.m_midiList, "12 13");
    EXPECT_EQ(roomBack.m_trigger, 0xFFFFFFFFu);
    EXPECT_EQ(roomBack.m_trigPeriodic, 0xFFFFFFFFu);
}

TEST(Location, CommentCutFirstAndABracketEndsTheSection) {
    CLineReader file;
    OpenAtBody(file, "[LOCATION]\n"
                     "CATEGORY=Towns\n"
                     "SUBSECTION=Britain\n"
                     "DESCRIPTION=Castle/old name\n"
                     "POINT=1,2//old\n"
                     "  POINT = x\n"
                     "noequals\n"
                     "// moved to [elsewhere]\n"
                     "CATEGORY=late\n");
    CLocation location;
    EXPECT_TRUE(location.ReadSection(file));
    EXPECT_EQ(location.m_category, "Towns");
    EXPECT_EQ(location.m_subsection, "Britain");
    EXPECT_EQ(location.m_description, "Castle");
    EXPECT_EQ(location.m_point, "1,2");
    EXPECT_EQ(NextLine(file), "// moved to [elsewhere]");

    OpenAtBody(file, "[LOCATION]\npoint=\nDescription=x=y");
    CLocation last;
    EXPECT_FALSE(last.ReadSection(file));
    EXPECT_EQ(last.m_point, "");
    EXPECT_EQ(last.m_description, "x=y");

    std::string out;
    location.WriteSection(out);
    EXPECT_EQ(out, "[LOCATION]\nCATEGORY=Towns\nSUBSECTION=Britain\nDESCRIPTION=Castle\nPOINT=1,2\n\n");
    out.clear();
    CLocation().WriteSection(out);
    EXPECT_EQ(out, "[LOCATION]\nCATEGORY=<none>\nSUBSECTION=<none>\nDESCRIPTION=<unnamed>\nPOINT=\n\n");
}

} // namespace
} // namespace frostmark
