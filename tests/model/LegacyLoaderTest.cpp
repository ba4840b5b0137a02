// Loading script sets of the older layout: the hand-written set under tests/data/scripts-old and small
// sets written by the tests for single rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ScriptLoadSupport.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "platform/Paths.h"
#include "script/Numbers.h"

namespace frostmark {
namespace {

using test::CLoadTempDir;
using test::DumpTree;
using test::Names;
using test::ScriptLoadTest;

const std::filesystem::path kOldSet = std::filesystem::path(FROSTMARK_TEST_DATA) / "scripts-old";

TEST_F(ScriptLoadTest, OldLayoutSetLogsEveryStepInOrder) {
    const std::string base = std::filesystem::canonical(kOldSet).string();
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, kOldSet.string(), m_services));
    const std::vector<std::string> expected = {
        "Current working directory is " + base,
        "Loading table file from working directory",
        "Attempting to load file " + base + test::NativePath("/tavreltables.scp"),
        "Reading server INI file from working directory",
        "Attempting to load file " + base + test::NativePath("/tavrel.ini"),
        "No entries in the resource table.  Assuming scripts are in 0.52 format",
        "Loading defs",
        "Loading items",
        "Loading Locations",
        "Loading map",
        "Loading Triggers",
        // Missing second files are only logged; the directory comes from SCPFILES, as written.
        "Unable to open file " + test::NativePath("Legacy/tavrelmap2.scp"),
        "Loading names",
        "Loading NPCs",
        "Unable to open file " + test::NativePath("Legacy/tavrelchar2.scp"),
        "Loading speech",
        "Loading templates",
        "Unable to open file " + test::NativePath("Legacy/tavreltemplate2.scp"),
        "Categorizing Items",
        "Categorizing Locations",
        "Clearing NPC categories",
        "Categorizing NPCs",
        "Finished loading scripts",
    };
    EXPECT_EQ(LogLines(), expected);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_FALSE(objects.newerLayout);
    // Relative and in the letter case SCPFILES gives it, whatever the working directory.
    EXPECT_EQ(objects.GetScriptPath(), test::NativePath("Legacy/"));
}

TEST_F(ScriptLoadTest, OldLayoutSetFillsEveryCollection) {
    const std::string base = std::filesystem::canonical(kOldSet).string();
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, kOldSet.string(), m_services));

    // [0eed] is replaced by the later [0EED]; [eof] makes no character definition.
    EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0675", "0676", "0b00", "0b01", "0EED"}));
    EXPECT_EQ(Names(objects.charDefs), (std::vector<std::string>{"0190", "0191"}));
    EXPECT_EQ(Names(objects.templates), (std::vector<std::string>{"tm_bag"}));
    const auto* door = dynamic_cast<const CSObject*>(objects.itemDefs.At(0));
    EXPECT_EQ(door->m_kind, kKindItemDef);
    EXPECT_EQ(door->m_sourcePath, base + test::NativePath("/Legacy/tavrelitem.scp"));

    // Constants: groups from DEFNAME headers and from other bracket lines; "/" starts a comment; the
    // second file replaces and is marked.
    ASSERT_NE(objects.FindDef("i_door"), nullptr);
    EXPECT_EQ(objects.FindDef("i_door")->m_group, "ITEMS");
    EXPECT_EQ(objects.FindDef("color_red")->m_group, "COLORS");
    EXPECT_EQ(GetNumber("t_door", objects), 3);
    EXPECT_EQ(objects.FindDef("t_sign")->m_group, "TYPES");
    EXPECT_EQ(GetNumber("i_gold", objects), 0xeee);
    EXPECT_EQ(objects.FindDef("i_gold")->m_secondFile, 1);
    EXPECT_EQ(objects.FindDef("i_door")->m_secondFile, 0);
    EXPECT_EQ(GetNumber("i_lamp", objects), 0xa22);
    EXPECT_EQ(GetNumber("i_gold_item", objects), 0xeed); // a DEFNAME key of an item section
    const int32_t random = GetNumber("t_random", objects);
    EXPECT_GE(random, 10);
    EXPECT_LT(random, 20);

    // Regions, names, speech.
    ASSERT_EQ(objects.areas.size(), 3u);
    EXPECT_EQ(objects.areas[0]->m_areaName, "Britain");
    EXPECT_EQ(objects.areas[0]->m_flags, 0x4000);
    EXPECT_EQ(objects.areas[2]->m_areaName, "[AREA"); // no blank: the name runs from the line's start
    ASSERT_EQ(objects.rooms.size(), 1u);
    EXPECT_EQ(objects.rooms[0]->m_description, "Britain Bank");
    ASSERT_EQ(objects.locations.size(), 3u); // hoglocs.scp and custloc.scp first, then the map's
    EXPECT_EQ(objects.locations[0]->m_point, "2499,919");
    EXPECT_EQ(objects.locations[1]->m_description, "Staff room");
    EXPECT_EQ(objects.locations[2]->m_description, "Britain gate");
    ASSERT_EQ(objects.names.size(), 2u);
    EXPECT_EQ(objects.names[1]->m_name, "HUMAN_NAMES"); // "[" anywhere in the line starts a section
    EXPECT_EQ(objects.names[1]->m_kind, kKindNone);
    ASSERT_EQ(objects.speech.size(), 1u);
    EXPECT_EQ(objects.speech[0]->m_name, "SPEECH_GREET");

    // Trigger sections by number: [TRIG] is number 0, [TRIG -1] and [BOGUS 1] are dropped, [REGION 12]
    // grows the regions to 13 slots, the second [REGION 5] replaces the first.
    ASSERT_EQ(objects.triggers.GetSize(), 2);
    EXPECT_EQ(objects.triggers.At(0)->m_name, "TRIG");
    EXPECT_EQ(objects.triggers.At(1)->m_name, "TRIG 1");
    ASSERT_EQ(objects.regions.GetSize(), 13);
    EXPECT_EQ(objects.regions.At(0), nullptr);
    EXPECT_EQ(objects.regions.At(2)->m_name, "REGION 2");
    ASSERT_NE(objects.regions.At(5), nullptr);
    const std::string trig2 = test::ReadWholeFile(kOldSet / "Legacy/tavreltrig2.scp");
    EXPECT_EQ(objects.regions.At(5)->m_sectionOffset, trig2.find("[REGION 5]", 1));
    EXPECT_EQ(objects.regions.At(12)->m_name, "REGION 12");
    EXPECT_EQ(objects.plotItems.GetSize(), 1);

    // Categories: the dupe item is found by its hexadecimal value in four digits; a copy of a hidden
    // definition stays hidden; "@" shows the subsection.
    EXPECT_EQ(DumpTree(objects.itemCategories),
              "Buildings{Doors[0675,0676]} Provisions{Money[0EED]} Containers{Bags[tm_bag]}");
    EXPECT_EQ(dynamic_cast<const CSObject*>(objects.itemDefs.At(4))->m_description, "Gold pieces Money");
    EXPECT_EQ(dynamic_cast<const CSObject*>(objects.itemDefs.At(1))->m_description, "Metal door");
    EXPECT_EQ(DumpTree(objects.npcCategories), "Animals{Birds[0190]}");
    EXPECT_EQ(DumpTree(objects.locationCategories),
              "Map Regions{Towns[Britain,Britain Bank],Nowhere[[AREA]} Dungeons{Covetous[Covetous entrance]} "
              "Custom{Staff[Staff room]} Towns{Britain[Britain gate]}");

    EXPECT_TRUE(objects.defsLoaded && objects.itemsLoaded && objects.npcsLoaded && objects.templatesLoaded &&
                objects.spawnGroupsLoaded && objects.mapLoaded && objects.triggersLoaded &&
                objects.locationsLoaded && objects.namesLoaded && objects.speechLoaded);

    // Every loader had a window of its own, closed at its end; templates, names and speech start with
    // "Initializing storage".
    bool templatesSeen = false;
    for (const auto& window : m_views.Windows()) {
        EXPECT_TRUE(window->destroyed);
        if (window->statusTexts.size() >= 2 &&
            window->statusTexts[1] == "Reading " + test::NativePath("Legacy/tavreltemplate.scp")) {
            templatesSeen = true;
            EXPECT_EQ(window->statusTexts[0], "Initializing storage");
        }
    }
    EXPECT_TRUE(templatesSeen);
}

TEST_F(ScriptLoadTest, OldLayoutWithoutFilesReportsEachFirstFileOnce) {
    CLoadTempDir dir;
    dir.Write("tavrel.ini", "[TAVREL]\nSERVNAME=empty\n"); // no SCPFILES: the working directory
    const std::string base = dir.String();
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, base, m_services));
    const std::vector<std::string> expectedMessages = {
        "Unable to open file " + base + test::NativePath("/tavreldefs.scp for input."),
        "Unable to open file " + base + test::NativePath("/tavrelitem.scp for input."),
        "Unable to open file hoglocs.scp for input.",
        "Unable to open file " + base + test::NativePath("/tavreltrig.scp for input."),
        "Unable to open file " + base + test::NativePath("/tavrelmap.scp for input."),
        "Unable to open file " + base + test::NativePath("/tavrelname.scp for input."),
        "Unable to open file " + base + test::NativePath("/tavrelchar.scp for input."),
        "Unable to open file " + base + test::NativePath("/tavrelspee.scp for input."),
        "Unable to open file " + base + test::NativePath("/tavreltemplate.scp for input."),
    };
    EXPECT_EQ(MessageTexts(), expectedMessages);
    for (const auto& shown : m_messages.Messages()) {
        EXPECT_EQ(shown.icon, MessageIcon::Warning);
    }
    // The two-file loaders count as done; the category passes do not try them again.
    EXPECT_TRUE(objects.itemsLoaded);
    EXPECT_TRUE(objects.itemCategoriesBuilt);
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Loading items"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Unable to open file " + base + test::NativePath("/tavrelitem.scp")),
              1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Unable to open file " + base + test::NativePath("/tavrelitem2.scp")),
              0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Unable to open file hoglocs.scp"), 1);

    // Names and speech stay undone and try again, with a message each time.
    EXPECT_FALSE(objects.namesLoaded);
    m_messages.Clear();
    objects.LoadNames();
    objects.LoadItems();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Unable to open file " + base +
                                                        test::NativePath("/tavrelname.scp for input.")}));
}

TEST_F(ScriptLoadTest, OldLayoutEdgeCasesOfSingleFiles) {
    CLoadTempDir dir;
    dir.Write("tavrel.ini", "SCPFILES=scripts\n");
    dir.Write("scripts/tavrelitem.scp", "[0eed]\nDESCRIPTION=first\n[0EED]\nDESCRIPTION=second\n"
                                        "[0b00]\nNOINDEX\n[0b01]\nDUPEITEM=b00\nCATEGORY=Odd\n"
                                        "[0c00]\nDUPEITEM=0fff\nDESCRIPTION=<unnamed> copy of nothing\n");
    dir.Write("scripts/tavrelchar.scp", "[0190]\nCATEGORY=Animals\n[EOF]\n");
    // Numbers far beyond any real trigger would grow an array to that size: they are dropped.
    dir.Write("scripts/tavreltrig.scp", "[REGION 3]\n[REGION 2000000000]\n[TRIG -2]\n[PLOTITEM x]\n");
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0b00", "0b01", "0c00", "0EED"}));
    EXPECT_EQ(dynamic_cast<const CSObject*>(objects.itemDefs.At(3))->m_description, "second");
    EXPECT_EQ(Names(objects.charDefs), (std::vector<std::string>{"0190"}));
    EXPECT_EQ(objects.regions.GetSize(), 4);
    EXPECT_TRUE(objects.triggers.IsEmpty());
    ASSERT_EQ(objects.plotItems.GetSize(), 1); // no blank: number 0
    EXPECT_EQ(objects.plotItems.At(0)->m_name, "PLOTITEM x");
    // A dupe item that names nothing leaves the definition as it is; it is still filed.
    EXPECT_EQ(DumpTree(objects.itemCategories), "<none>{<none>[0c00,0EED]}");
    EXPECT_EQ(dynamic_cast<const CSObject*>(objects.itemDefs.At(2))->m_description,
              "<unnamed> copy of nothing");
}

} // namespace
} // namespace frostmark
