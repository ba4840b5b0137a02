// The registry's own pieces: the trigger/region/plot item store and paths of the resource table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptLoadSupport.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"

namespace frostmark {
namespace {

using test::CLoadTempDir;
using test::Names;
using test::ScriptLoadTest;

CTObject* Named(const std::string& name, uint32_t offset = 0) {
    auto* object = new CTObject;
    object->m_name = name;
    object->m_sectionOffset = offset;
    return object;
}

std::vector<std::string> SlotNames(const CScriptSlots& slots) {
    std::vector<std::string> names;
    for (const CTObject* object : slots) {
        names.push_back(object == nullptr ? "-" : object->m_name);
    }
    return names;
}

TEST(ScriptSlots, ByNameKeepsOrderAndReplacesWithoutRegardToCase) {
    CScriptSlots slots;
    EXPECT_EQ(slots.ReplaceByName(Named("m")), 0);
    EXPECT_EQ(slots.ReplaceByName(Named("C")), 0);
    EXPECT_EQ(slots.ReplaceByName(Named("x")), 2);
    EXPECT_EQ(slots.ReplaceByName(Named("c", 7)), 0); // replaces "C" (deleted: LeakSanitizer would tell)
    EXPECT_EQ(slots.ReplaceByName(Named("")), -1);    // deleted at once
    EXPECT_EQ(SlotNames(slots), (std::vector<std::string>{"c", "m", "x"}));
    EXPECT_EQ(slots.At(0)->m_sectionOffset, 7u);
    EXPECT_EQ(slots.FindIndex("X"), 2);
    EXPECT_EQ(slots.FindIndex("b"), -1);
    // Stored by number from then on, the named ones keeping their places.
    slots.SetAtGrow(4, Named("REGION 4"));
    EXPECT_EQ(SlotNames(slots), (std::vector<std::string>{"c", "m", "x", "-", "REGION 4"}));
    EXPECT_EQ(slots.FindIndex("M"), 1);
    slots.DeleteAll();
    EXPECT_TRUE(slots.IsEmpty());
}

TEST(ScriptSlots, ByNumberGrowsWithEmptySlotsAndStaysUsableByName) {
    CScriptSlots slots;
    slots.SetAtGrow(2, Named("REGION 2"));
    slots.SetAtGrow(0, Named("REGION 0"));
    slots.SetAtGrow(2, Named("REGION 2b")); // the old one is deleted
    EXPECT_EQ(SlotNames(slots), (std::vector<std::string>{"REGION 0", "-", "REGION 2b"}));
    // A later load by name must cope with the empty slot rather than stumble over it.
    EXPECT_EQ(slots.FindIndex("region 2B"), 2);
    slots.ReplaceByName(Named("REGION 1"));
    EXPECT_EQ(SlotNames(slots), (std::vector<std::string>{"REGION 0", "-", "REGION 1", "REGION 2b"}));
    slots.SetAtGrow(1, Named("filled")); // by number: no name order any more
    EXPECT_EQ(slots.FindIndex("REGION 1"), 2);
    EXPECT_EQ(slots.FindIndex("filled"), 1);
    slots.DeleteAll();
}

TEST_F(ScriptLoadTest, ResourceLinesWithAbsolutePathsAreUsedAsWritten) {
    CLoadTempDir scripts;
    const std::string elsewhere = scripts.Write("far/away.scp", "[ITEMDEF 0042]\n");
    CLoadTempDir dir;
    dir.Write("tavrel.ini", "[RESOURCES]\n" + elsewhere + "\n[TAVREL]\n");
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    EXPECT_EQ(Names(objects.itemDefs), (std::vector<std::string>{"0042"}));
    const std::vector<std::string> lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Attempting to load file " + test::NativePath(elsewhere)),
              lines.end());
}

TEST_F(ScriptLoadTest, ItemDefinitionsOutOfOrderEndAsIfReplacedOneByOne) {
    CLoadTempDir dir;
    dir.Write("tavrel.ini", "[RESOURCES]\nb.scp\na.scp\n[TAVREL]\n");
    // Long names alike in their first 16 characters, the same name in other letter cases across files.
    dir.Write("b.scp", "[ITEMDEF i_long_name_alike_2]\nDESCRIPTION=b2\n[ITEMDEF I_LONG_NAME_ALIKE_1]\n"
                       "DESCRIPTION=b1\n[ITEMDEF 0002]\nDESCRIPTION=first\n[ITEMDEF 0001]\n");
    dir.Write("a.scp",
              "[ITEMDEF i_long_name_alike_10]\nDESCRIPTION=a10\n[ITEMDEF i_Long_Name_Alike_1]\n"
              "DESCRIPTION=a1\n[ITEMDEF 0002]\nDESCRIPTION=second\n[ITEMDEF 0002]\nDESCRIPTION=third\n");
    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.String(), m_services));
    EXPECT_EQ(Names(objects.itemDefs),
              (std::vector<std::string>{"0001", "0002", "i_Long_Name_Alike_1", "i_long_name_alike_10",
                                        "i_long_name_alike_2"}));
    std::vector<std::string> descriptions;
    for (const CTObject* object : objects.itemDefs) {
        descriptions.push_back(dynamic_cast<const CSObject*>(object)->m_description);
    }
    EXPECT_EQ(descriptions, (std::vector<std::string>{"<unnamed>", "third", "a1", "a10", "b2"}));
}

TEST_F(ScriptLoadTest, FileLoaderRedrawsAtEveryTenthHeader) {
    CLoadTempDir dir;
    std::string text;
    for (int i = 0; i < 25; ++i) {
        text += "[NAMES n" + std::to_string(i) + "]\nGrunt\n";
    }
    const std::string path = dir.Write("names.scp", text);
    CScriptObjects objects;
    objects.SetServices(m_services);
    objects.LoadScriptFile(path); // with a window of its own
    EXPECT_EQ(objects.names.size(), 25u);
    ASSERT_EQ(m_views.Windows().size(), 1u);
    const CProgressRecord& window = *m_views.Windows()[0];
    EXPECT_TRUE(window.destroyed);
    EXPECT_EQ(window.statusTexts, (std::vector<std::string>{"Reading " + path}));
    // Position 0 first, then the file position after the 10th and the 20th header line.
    ASSERT_EQ(window.paints.size(), 3u);
    EXPECT_EQ(window.paints[0].percent, 0u);
    const uint64_t size = text.size();
    const uint64_t tenth = text.find("[NAMES n9]") + std::string("[NAMES n9]\n").size();
    const uint64_t twentieth = text.find("[NAMES n19]") + std::string("[NAMES n19]\n").size();
    EXPECT_EQ(window.paints[1].percent, tenth * 100 / size);
    EXPECT_EQ(window.paints[2].percent, twentieth * 100 / size);
}

} // namespace
} // namespace frostmark
