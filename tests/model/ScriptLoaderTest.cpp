// Loading whole script sets of the newer layout: the hand-written set under tests/data/scripts-new and
// small sets written by the tests for single rules.
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
using test::ReadWholeFile;
using test::ScriptLoadTest;

const std::filesystem::path kNewSet = std::filesystem::path(FROSTMARK_TEST_DATA) / "scripts-new";

std::string NewSetBase() {
    return std::filesystem::canonical(kNewSet).string();
}

// Byte offset of the n-th (0-based) occurrence of a line in a file, found in the file's own text.
uint32_t OffsetOf(const std::filesystem::path& file, const std::string& line, int occurrence = 0) {
    const std::string text = ReadWholeFile(file);
    size_t at = std::string::npos;
    size_t from = 0;
    for (int i = 0; i <= occurrence; ++i) {
        at = text.find(line, from);
        if (at == std::string::npos) {
            ADD_FAILURE() << line << " not in " << file;
            return 0;
        }
        from = at + 1;
    }
    return static_cast<uint32_t>(at);
}

TEST_F(ScriptLoadTest, NewLayoutSetLogsEveryStepInOrder) {
    const std::string base = NewSetBase();
    {
        CScriptObjects objects;
        ASSERT_TRUE(LoadAllScripts(objects, kNewSet.string(), m_services));
    }
    const std::vector<std::string> expected = {
        "Current working directory is " + base,
        "Loading table file from working directory",
        "Attempting to load file " + base + test::NativePath("/tavreltables.scp"),
        "Unknown section [PLEVEL 7] in file " + base + test::NativePath("/tavreltables.scp"),
        "Reading server INI file from working directory",
        "Attempting to load file " + base + test::NativePath("/tavrel.ini"),
        "Found 8 scripts in the resources table.",
        "Assuming scripts are in the 0.53+ format",
        // The blank before the comment stays in the name; the file is found all the same.
        "Attempting to load file " + base + test::NativePath("/scripts/items.scp "),
        "Attempting to load file " + base + test::NativePath("/scripts/chars.scp"),
        "Unknown section [EOF] in file " + base + test::NativePath("/scripts/chars.scp"),
        "Attempting to load file " + base + test::NativePath("/scripts/map.scp"),
        "Attempting to load file " + base + test::NativePath("/scripts/misc.scp"),
        "Unknown section [FROBNICATE 3] in file " + base + test::NativePath("/scripts/misc.scp"),
        "Attempting to load file " + test::NativePath("C:/shard/scripts/absent.scp"),
        "Unable to open file " + test::NativePath("C:/shard/scripts/absent.scp"),
        "Attempting to load file " + base + test::NativePath("/scripts/missing.scp"),
        "Unable to open file " + base + test::NativePath("/scripts/missing.scp"),
        "Checking for non-resource scripts in the current working directory",
        // Listed files, the directory named .scp and names holding "hoglocs.scp" are passed over.
        "Attempting to load file " + test::NativePath("scripts/EXTRA.SCP"),
        "Attempting to load file " + test::NativePath("scripts/unlisted.scp"),
        "Attempting to load file hoglocs.scp",
        "Attempting to load file custloc.scp",
        "Categorizing Items",
        "Categorizing Locations",
        "Clearing NPC categories",
        "Categorizing NPCs",
        "Finished loading scripts",
        "Unloading scripts",
        "Clearing NPC categories",
        "Clearing item categories",
        "Clearing location categories",
        "Unloading items",
        "Unloading NPCs",
        "Unloading templates",
        "Unloading names",
        "Unloading tables",
        // The table set's own destruction empties it once more.
        "Unloading tables",
    };
    EXPECT_EQ(LogLines(), expected);
    // The newer layout never shows a message box, whatever fails to open.
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ScriptLoadTest, NewLayoutSetFillsEveryCollection) {
    const std::string base = NewSetBase();
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, kNewSet.string(), m_services));
    EXPECT_TRUE(objects.newerLayout);

    // [ITEMDEF] without a name is dropped, 0eed is replaced by the later 0EED, 7777 sits in a file the scan
    // passes over, and the indented " [ITEMDEF 0999]" is a body line of 0bd2.
    EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0675", "0676", "0a22", "0b00", "0b01",
                                                                 "0bd2", "0EED", "1001", "i_wall_stone"}));
    EXPECT_EQ(Names(objects.charDefs), (std::vector<std::string>{"0190", "0191"}));
    EXPECT_EQ(Names(objects.templates), (std::vector<std::string>{"tm_chest"}));
    const auto* gold = dynamic_cast<const CSObject*>(objects.itemDefs.At(objects.itemDefs.FindIndex("0eed")));
    ASSERT_NE(gold, nullptr);
    EXPECT_EQ(gold->m_description, "Gold pieces");
    EXPECT_EQ(gold->m_kind, kKindItemDef);
    EXPECT_EQ(gold->m_sourcePath, base + test::NativePath("/scripts/misc.scp"));
    EXPECT_EQ(gold->m_sectionOffset, OffsetOf(kNewSet / "scripts/misc.scp", "[ITEMDEF 0EED]"));
    // Read through the trailing-blank name, kept under the name of the file actually opened.
    const auto* door = dynamic_cast<const CSObject*>(objects.itemDefs.At(objects.itemDefs.FindIndex("0675")));
#if defined(_WIN32)
    // Windows itself drops a name's trailing blanks, so the name opens as the resource table writes it.
    EXPECT_EQ(door->m_sourcePath, base + test::NativePath("/scripts/items.scp "));
#else
    EXPECT_EQ(door->m_sourcePath, base + test::NativePath("/scripts/items.scp"));
#endif
    const auto* sign = dynamic_cast<const CSObject*>(objects.itemDefs.At(objects.itemDefs.FindIndex("0bd2")));
    EXPECT_EQ(sign->m_description, "Signs (brass)"); // set after the indented header, "@" replaced
    EXPECT_EQ(
        dynamic_cast<const CSObject*>(objects.itemDefs.At(objects.itemDefs.FindIndex("0a22")))->m_noIndex, 1);

    // Constants: DEFNAME sections with their group, and DEFNAME keys of definitions (upper-case keys only).
    EXPECT_EQ(GetNumber("i_gold", objects), 0xeed);
    EXPECT_EQ(GetNumber("I_DOOR", objects), 0x675);
    EXPECT_EQ(GetNumber("i_door_metal", objects), 0x675);
    EXPECT_EQ(GetNumber("i_hidden_base", objects), 0xb00);
    EXPECT_EQ(GetNumber("c_bird", objects), 0x190);
    EXPECT_EQ(GetNumber("color_red", objects), 0x21);
    EXPECT_EQ(GetNumber("t_sign", objects), 56);
    EXPECT_EQ(objects.FindDef("i_not_a_constant"), nullptr);
    ASSERT_NE(objects.FindDef("color_red"), nullptr);
    EXPECT_EQ(objects.FindDef("color_red")->m_group, "colors");
    EXPECT_EQ(objects.FindDef("t_door")->m_group, "types");
    EXPECT_EQ(objects.FindDef("t_door")->m_sourcePath, base + test::NativePath("/scripts/misc.scp"));

    // Tables.
    EXPECT_EQ(objects.tables.resources.GetSize(), 8);
    EXPECT_EQ(objects.tables.resources.m_lines[0], "scripts/items.scp ");
    EXPECT_EQ(objects.tables.obscene.m_lines, (std::vector<std::string>{"darn", "heck ", ""}));
    EXPECT_EQ(objects.tables.Plevel(1)->m_title, "PLEVEL 1 1");
    EXPECT_EQ(objects.tables.Plevel(2)->m_lines, (std::vector<std::string>{"GO"}));
    EXPECT_EQ(objects.tables.advance[0], (CAdvanceTriple{1, 2, 3}));
    EXPECT_EQ(objects.tables.advance[1], (CAdvanceTriple{4, 5, 6}));
    EXPECT_EQ(objects.tables.advance[2], (CAdvanceTriple{7, 8, 9}));
    ASSERT_EQ(objects.tables.starts.GetSize(), 1); // the blank line ends the section before "Moonglow"
    EXPECT_EQ(objects.tables.starts.At(0)->m_third, "1500,1600,0");
    EXPECT_EQ(objects.tables.starts.m_sectionOffset, OffsetOf(kNewSet / "TAVRELTABLES.SCP", "[STARTS]"));
    ASSERT_EQ(objects.tables.ore.GetSize(), 2);
    EXPECT_EQ(objects.tables.ore.At(0)->m_firstAmount, 20);
    EXPECT_EQ(objects.tables.ore.At(0)->m_secondAmount, 5);
    EXPECT_EQ(objects.tables.ore.At(0)->m_high, 8);
    EXPECT_EQ(objects.tables.ore.At(1)->m_lastText, "i_ore_gold");
    EXPECT_EQ(Names(objects.tables.skillClass), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(Names(objects.tables.skill), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Names(objects.tables.spell), (std::vector<std::string>{"1", "4"})); // [SPELL] dropped
    EXPECT_EQ(Names(objects.tables.spawn), (std::vector<std::string>{"sg_bears", "sg_orcs"}));
    EXPECT_EQ(objects.tables.tavrel.m_lines[0], "SCPFILES=scripts");
    EXPECT_EQ(objects.tables.servers.m_lines[0], "TestShard");
    // The section ends the file: the end-of-file read adds an empty line.
    EXPECT_EQ(objects.tables.blockIp.m_lines, (std::vector<std::string>{"10.0.0.1", ""}));

    // Regions: areas keep their names out of the CTObject name; [AREA] without a name stays.
    ASSERT_EQ(objects.areas.size(), 3u);
    EXPECT_EQ(objects.areas[0]->m_areaName, "Britain");
    EXPECT_EQ(objects.areas[0]->m_description, "Britain");
    EXPECT_TRUE(objects.areas[0]->m_name.empty());
    EXPECT_EQ(objects.areas[0]->m_group, "Towns"); // the "//GROUP=" line is skipped
    EXPECT_EQ(objects.areas[0]->m_flags, 0x4000);
    EXPECT_EQ(objects.areas[2]->m_areaName, "");
    ASSERT_EQ(objects.rooms.size(), 1u);
    EXPECT_EQ(objects.rooms[0]->m_rainChance, 30);
    ASSERT_EQ(objects.locations.size(), 3u);
    EXPECT_EQ(objects.locations[0]->m_point, "1495,1600");
    EXPECT_EQ(objects.locations[1]->m_description, "Covetous entrance");
    EXPECT_EQ(objects.locations[2]->m_sourcePath, base + test::NativePath("/custloc.scp"));

    // Appended collections keep sections of the same name; replace-by-name ones keep the later.
    ASSERT_EQ(objects.names.size(), 2u);
    EXPECT_EQ(objects.names[0]->m_name, "orc");
    EXPECT_EQ(objects.names[0]->m_kind, kKindNames);
    ASSERT_EQ(objects.webPages.size(), 3u);
    EXPECT_EQ(objects.webPages[2]->m_sourcePath, base + test::NativePath("/scripts/EXTRA.SCP"));
    ASSERT_EQ(objects.regions.GetSize(), 1);
    EXPECT_EQ(objects.regions.At(0)->m_sectionOffset,
              OffsetOf(kNewSet / "scripts/misc.scp", "[REGION 12]", 1));
    EXPECT_EQ(objects.triggers.GetSize(), 1);
    EXPECT_EQ(objects.plotItems.GetSize(), 1);
    EXPECT_TRUE(objects.speech.empty());

    // The category trees, built in collection order.
    EXPECT_EQ(DumpTree(objects.itemCategories), "Buildings{Doors[0675,0676],Walls[i_wall_stone]} "
                                                "Decoration{Signs[0bd2,1001]} Provisions{Money[0EED]} "
                                                "Containers{Chests[tm_chest]}");
    // The duplicate took the category, subsection and description of the definition it copies.
    const auto* copy = dynamic_cast<const CSObject*>(objects.itemDefs.At(objects.itemDefs.FindIndex("0676")));
    EXPECT_EQ(copy->m_description, "Metal door");
    EXPECT_EQ(DumpTree(objects.npcCategories), "Animals{Birds[0190]} Spawns{Bears[sg_bears],Orcs[sg_orcs]}");
    EXPECT_EQ(dynamic_cast<const CSObject*>(objects.charDefs.At(0))->m_description, "A bird of the Birds");
    EXPECT_EQ(DumpTree(objects.locationCategories),
              "Map Regions{Towns[Britain,Britain Bank],Nowhere[(unnamed)]} Towns{Britain[Britain main gate]} "
              "Dungeons{Covetous[Covetous entrance]} Custom{Staff[Staff meeting room]}");

    // Flags: the older layout's loaders never ran; the passes did.
    EXPECT_FALSE(objects.itemsLoaded);
    EXPECT_FALSE(objects.mapLoaded);
    EXPECT_FALSE(objects.defsLoaded);
    EXPECT_TRUE(objects.spawnGroupsLoaded);
    EXPECT_TRUE(objects.itemCategoriesBuilt);
    EXPECT_TRUE(objects.npcCategoriesBuilt);
    EXPECT_TRUE(objects.locationCategoriesBuilt);

    // One progress window for the whole load, gone at the end.
    ASSERT_EQ(m_views.Windows().size(), 1u);
    const auto& statuses = m_views.Windows()[0]->statusTexts;
    EXPECT_EQ(statuses.front(), "Reading " + base + test::NativePath("/tavreltables.scp"));
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Checking for non-resource scripts"),
              statuses.end());
    EXPECT_EQ(statuses.back(), "Categorizing Spawn Groups");
    EXPECT_EQ(m_views.Windows()[0]->captions.back(), "Loading");
    EXPECT_GT(m_cursor.Begins(), 0);
}

TEST_F(ScriptLoadTest, ItemTypesAreReadFromAnyWorkingDirectory) {
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, kNewSet.string(), m_services));
    // The load is over and the working directory is back: the sections are read again by absolute path,
    // also for files the scan found by a relative name.
    struct Case {
        const char* id;
        const char* definition;
        int32_t type;
    } cases[] = {
        {"0bd2", "0bd2", 56},  {"01001", "1001", 56}, {"0eed", "0EED", 64},
        {"i_door", "0675", 3}, {"0676", "0676", 3},   {"i_wall_stone", "i_wall_stone", 0},
        {"0a22", "0a22", 6},
    };
    for (const Case& c : cases) {
        const CSObject* definition = objects.FindItemDefinition(c.id);
        ASSERT_NE(definition, nullptr) << c.id;
        EXPECT_EQ(definition->m_name, c.definition);
        EXPECT_EQ(objects.GetItemType(*definition), c.type) << c.id;
    }
    EXPECT_EQ(objects.FindItemDefinition("0999"), nullptr);
    EXPECT_EQ(objects.FindItemDefinition("i_unknown"), nullptr);
}

// Notes the working directory whenever a loader shows the wait cursor, which it does for every file.
class CWatchingCursor : public IWaitCursor {
public:
    void Begin() override { seen.push_back(std::filesystem::current_path()); }
    void End() override {}
    std::vector<std::filesystem::path> seen;
};

TEST_F(ScriptLoadTest, LoadingNeitherReadsNorChangesTheWorkingDirectory) {
    const std::filesystem::path oldSet = std::filesystem::path(FROSTMARK_TEST_DATA) / "scripts-old";
    // Decoys for every name the loaders resolve relative to the script directory.
    CLoadTempDir elsewhere;
    elsewhere.Write("tavrel.ini", "SCPFILES=Legacy\n[RESOURCES]\ndecoy.scp\n[TAVREL]\nSCPFILES=Legacy\n");
    elsewhere.Write("tavreltables.scp", "[ITEMDEF 0dec]\n");
    elsewhere.Write("decoy.scp", "[ITEMDEF 0dec]\n");
    elsewhere.Write("hoglocs.scp", "[LOCATION decoy]\nCATEGORY=Decoy\n");
    elsewhere.Write("custloc.scp", "[LOCATION decoy]\nCATEGORY=Decoy\n");
    elsewhere.Write("scripts/unlisted.scp", "[ITEMDEF 0dec]\n");
    elsewhere.Write("Legacy/tavrelitem.scp", "[0dec]\n");
    for (const std::filesystem::path& set : {kNewSet, oldSet}) {
        CScriptObjects reference;
        ASSERT_TRUE(LoadAllScripts(reference, set.string(), m_services));

        CWatchingCursor cursor;
        CServices services = m_services;
        services.waitCursor = &cursor;
        CScriptObjects objects;
        std::filesystem::current_path(elsewhere.Path());
        const bool loaded = LoadAllScripts(objects, std::filesystem::absolute(set).string(), services);
        std::filesystem::current_path(m_startDirectory);
        ASSERT_TRUE(loaded) << set;

        ASSERT_GT(cursor.seen.size(), 2u) << set;
        for (const std::filesystem::path& directory : cursor.seen) {
            EXPECT_EQ(directory, elsewhere.Path()) << set;
        }
        EXPECT_EQ(Names(objects.itemDefs), Names(reference.itemDefs)) << set;
        EXPECT_EQ(objects.FindItemDefinition("0dec"), nullptr) << set;
        EXPECT_EQ(objects.locations.size(), reference.locations.size()) << set;
        EXPECT_EQ(DumpTree(objects.locationCategories), DumpTree(reference.locationCategories)) << set;
    }
}

TEST_F(ScriptLoadTest, ItemTypeIsReadOncePerLoad) {
    CLoadTempDir dir;
    dir.Write("tavrel.ini", "[RESOURCES]\nitems.scp\n[TAVREL]\n");
    const std::string items = dir.Write("items.scp", "[ITEMDEF 0f00]\nTYPE=3\n");
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    const CSObject* definition = objects.FindItemDefinition("0f00");
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(objects.GetItemType(*definition), 3);
    dir.Write("items.scp", "[ITEMDEF 0f00]\nTYPE=4\n");
    EXPECT_EQ(objects.GetItemType(*definition), 3); // remembered, not read again

    objects.UnloadScripts();
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    definition = objects.FindItemDefinition("0f00");
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(objects.GetItemType(*definition), 4);
}

TEST_F(ScriptLoadTest, ResourceTableCountsEveryStoredLine) {
    struct Case {
        const char* ini;
        long count;
    } cases[] = {
        // One line, directly followed by the next header.
        {"[RESOURCES]\nlisted.scp\n[TAVREL]\n", 1},
        // A blank line before the next header is a line of the table.
        {"[RESOURCES]\nlisted.scp\n\n[TAVREL]\n", 2},
        // At the end of the file the end-of-file read adds an empty line.
        {"[TAVREL]\n[RESOURCES]\nlisted.scp\n", 2},
    };
    for (const Case& c : cases) {
        CLoadTempDir dir;
        dir.Write("tavrel.ini", c.ini);
        dir.Write("listed.scp", "[ITEMDEF 0001]\n");
        ClearLog();
        CScriptObjects objects;
        ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
        const std::vector<std::string> lines = LogLines();
        const std::string found = "Found " + std::to_string(c.count) + " scripts in the resources table.";
        EXPECT_NE(std::find(lines.begin(), lines.end(), found), lines.end()) << c.ini;
        // The listed file is read once: the scan of "." passes over it.
        EXPECT_EQ(std::count(lines.begin(), lines.end(),
                             "Attempting to load file " + dir.String() + test::NativePath("/listed.scp")),
                  1);
        EXPECT_EQ(
            std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("Attempting to load file ./") == 0; }),
            0);
        EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0001"}));
    }
}

TEST_F(ScriptLoadTest, SectionRulesOfTheFileLoader) {
    CLoadTempDir dir;
    dir.Write("tavrel.ini", "[RESOURCES]\na.scp\n[TAVREL]\n");
    // ADVANCE takes exactly three lines: with two body lines the next header is its third line, so that
    // section is not recognised. Lower-case kind words dispatch like upper-case ones; an indented "[" is
    // no header.
    dir.Write("a.scp",
              "[ADVANCE]\nSTR=1,2,3\nINT=4 5 6\n[ITEMDEF 0001]\nNAME=lost\n"
              "[itemdef 0002]\n  [ITEMDEF 0003]\n[DEFNAME g]\nc_one 1 // one\n\nc_two\t2/two\n[names x]\n"
              "[NAMES x]\n[TRIG 1]\n[TRIG 1]\n[WEBPAGE]\n[ITEMDEF]\n[PLEVEL 0]\n");
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    EXPECT_EQ(objects.tables.advance[0], (CAdvanceTriple{1, 2, 3}));
    EXPECT_EQ(objects.tables.advance[1], (CAdvanceTriple{4, 5, 6}));
    EXPECT_EQ(objects.tables.advance[2], (CAdvanceTriple{0, 0, 0}));
    EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0002"}));
    EXPECT_EQ(GetNumber("c_one", objects), 1);
    EXPECT_EQ(GetNumber("c_two", objects), 2);
    EXPECT_EQ(objects.FindDef("c_two")->m_group, "g");
    ASSERT_EQ(objects.names.size(), 2u);
    EXPECT_EQ(objects.triggers.GetSize(), 1);
    ASSERT_EQ(objects.webPages.size(), 1u); // appended even without a name
    const std::vector<std::string> lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Unknown section [PLEVEL 0] in file " + dir.String() + test::NativePath("/a.scp")),
              lines.end());
}

TEST_F(ScriptLoadTest, UnlistedFilesOfTheScanDirectoryAreReadOnce) {
    CLoadTempDir dir;
    // SCPFILES names the scan directory with "\" and a trailing separator, in another letter case.
    dir.Write("tavrel.ini", "[TAVREL]\nSCPFILES=Sub\\Dir\\\n[RESOURCES]\nsub\\dir\\listed.scp\n"
                            "SUB/DIR/UPPER.SCP\n[SERVERS]\n");
    dir.Write("sub/dir/listed.scp", "[ITEMDEF 0001]\n");
    dir.Write("sub/dir/upper.scp", "[ITEMDEF 0002]\n");
    dir.Write("sub/dir/other.scp", "[ITEMDEF 0003]\n");
    dir.Write("sub/dir/custloc.scp", "[ITEMDEF 0004]\n");
    dir.Write("sub/dir/notes.txt", "[ITEMDEF 0005]\n");
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0001", "0002", "0003"}));
    const std::vector<std::string> lines = LogLines();
    std::vector<std::string> attempts;
    for (const std::string& line : lines) {
        if (line.rfind("Attempting to load file ", 0) == 0) {
            attempts.push_back(line.substr(24));
        }
    }
    const std::string base = dir.String();
    EXPECT_EQ(attempts, (std::vector<std::string>{base + test::NativePath("/tavreltables.scp"),
                                                  base + test::NativePath("/tavrel.ini"),
                                                  base + test::NativePath("/sub/dir/listed.scp"),
                                                  base + test::NativePath("/SUB/DIR/UPPER.SCP"),
                                                  test::NativePath("Sub/Dir/other.scp"), "hoglocs.scp",
                                                  "custloc.scp"}));
}

TEST_F(ScriptLoadTest, UnreachableScriptDirectoryLoadsNothing) {
    CLoadTempDir dir;
    CScriptObjects objects;
    const std::string missing = dir.String() + "/no such directory";
    EXPECT_FALSE(LoadAllScripts(objects, missing, m_services));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Unable to change to script directory " + missing}));
    EXPECT_TRUE(objects.itemDefs.IsEmpty());
    EXPECT_FALSE(objects.newerLayout);
}

TEST_F(ScriptLoadTest, UnloadFreesEverythingAndKeepsTheLayout) {
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, kNewSet.string(), m_services));
    objects.UnloadScripts();
    EXPECT_TRUE(objects.itemDefs.IsEmpty());
    EXPECT_TRUE(objects.charDefs.IsEmpty());
    EXPECT_TRUE(objects.templates.IsEmpty());
    EXPECT_TRUE(objects.defnames.IsEmpty());
    EXPECT_TRUE(objects.areas.empty());
    EXPECT_TRUE(objects.rooms.empty());
    EXPECT_TRUE(objects.locations.empty());
    EXPECT_TRUE(objects.names.empty());
    EXPECT_TRUE(objects.webPages.empty());
    EXPECT_TRUE(objects.regions.IsEmpty());
    EXPECT_TRUE(objects.triggers.IsEmpty());
    EXPECT_TRUE(objects.plotItems.IsEmpty());
    EXPECT_TRUE(objects.itemCategories.empty());
    EXPECT_TRUE(objects.npcCategories.empty());
    EXPECT_TRUE(objects.locationCategories.empty());
    EXPECT_TRUE(objects.tables.resources.m_lines.empty());
    EXPECT_TRUE(objects.tables.spawn.IsEmpty());
    EXPECT_TRUE(objects.tables.ore.IsEmpty());
    EXPECT_FALSE(objects.itemCategoriesBuilt);
    EXPECT_FALSE(objects.spawnGroupsLoaded);
    EXPECT_TRUE(objects.newerLayout);

    // With the newer layout found once, the older layout's loaders do nothing and touch no flag.
    ClearLog();
    objects.LoadDefs();
    objects.LoadItems();
    objects.LoadMap();
    objects.LoadTriggers();
    objects.LoadLocations();
    objects.LoadNames();
    EXPECT_TRUE(LogLines().empty());
    EXPECT_FALSE(objects.itemsLoaded || objects.mapLoaded || objects.triggersLoaded ||
                 objects.locationsLoaded || objects.defsLoaded || objects.namesLoaded);
    EXPECT_TRUE(objects.itemDefs.IsEmpty());
}

TEST_F(ScriptLoadTest, UnloadingAnEmptyRegistryLogsEachStep) {
    CScriptObjects objects;
    objects.UnloadScripts();
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "Unloading scripts", "Clearing NPC categories", "Clearing item categories",
                              "Clearing location categories", "Unloading items", "Unloading NPCs",
                              "Unloading templates", "Unloading names", "Unloading tables"}));
}

TEST_F(ScriptLoadTest, UnloadingItemsAloneLeavesNoReferenceInTheTree) {
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, kNewSet.string(), m_services));
    ClearLog();
    objects.UnloadItems();
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Unloading items", "Clearing item categories"}));
    EXPECT_TRUE(objects.itemCategories.empty());
    EXPECT_FALSE(objects.itemCategoriesBuilt);
    EXPECT_FALSE(objects.npcCategories.empty()); // the other trees refer to objects still alive
}

} // namespace
} // namespace frostmark
