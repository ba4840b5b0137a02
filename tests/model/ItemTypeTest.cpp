#include <gtest/gtest.h>

#include <map>
#include <string>

#include "model/Item.h"
#include "model/ItemType.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"
#include "script/ScriptFile.h"
#include "script/ScriptText.h"
#include "tests/model/ModelObjectsSupport.h"

namespace frostmark {
namespace {

using test::ModelObjectsData;

// Builds the item index of one script file the way the loaders do: a CSObject per item section (kind 1,
// name, source path, section offset), read by the generic reader (which registers DEFNAME keys) and stored
// by replace-by-name.
class ItemTypeTest : public ::testing::Test {
protected:
    ItemTypeTest() {
        m_context.clock = [] { return int64_t(5000); };
        auto* def = new CDef;
        def->Set("t_container 1");
        m_context.AddDef(def);
    }
    ~ItemTypeTest() override { m_index.DeleteAll(); }

    void Index(const std::string& path, bool newerLayout) {
        m_context.newerLayout = newerLayout;
        CLineReader file;
        ASSERT_TRUE(file.Open(path));
        std::string_view header;
        uint64_t offset = 0;
        while (FindNextHeader(file, header, offset)) {
            std::string_view kind;
            std::string_view argument;
            SplitHeader(header, kind, argument);
            std::string name;
            if (newerLayout) {
                if (!EqualNames(kind, "ITEMDEF")) {
                    continue;
                }
                name = std::string(argument);
            } else {
                name = std::string(header);
            }
            auto* entry = new CSObject(&m_context);
            entry->m_name = name;
            entry->m_kind = kKindItemDef;
            entry->m_sectionOffset = uint32_t(offset);
            entry->m_sourcePath = path;
            const bool more = entry->ReadSection(file);
            m_index.ReplaceByName(entry);
            if (!more) {
                break;
            }
        }
    }

    const CSObject& Entry(const std::string& name) {
        const int index = m_index.FindIndex(name);
        EXPECT_GE(index, 0) << name;
        return *static_cast<const CSObject*>(m_index.At(index < 0 ? 0 : index));
    }

    // The TYPE the full route gives: a CItem with the entry's identity, read again by LoadDefinition.
    static bool FullRoute(const CSObject& entry, CScriptContext& context, int32_t& type) {
        CItem item;
        item = entry;
        item.SetContext(&context);
        const bool found = item.LoadDefinition();
        type = item.m_type;
        return found;
    }

    // Every definition of the index: the light routes agree with the full one, and with the value derived
    // by hand from the file.
    void ExpectAllAgree(const std::map<std::string, int32_t>& expected) {
        CItemTypeReader reader(&m_context);
        EXPECT_EQ(size_t(m_index.GetSize()), expected.size());
        for (const CTObject* object : m_index) {
            const auto& entry = *static_cast<const CSObject*>(object);
            SCOPED_TRACE(entry.m_name);
            int32_t full = -99;
            const bool fullFound = FullRoute(entry, m_context, full);
            int32_t light = -99;
            const bool lightFound = ReadItemType(entry, light, &m_context);
            EXPECT_TRUE(fullFound);
            EXPECT_EQ(lightFound, fullFound);
            EXPECT_EQ(light, full);
            EXPECT_EQ(reader.GetType(entry), full);
            const auto it = expected.find(entry.m_name);
            ASSERT_NE(it, expected.end());
            EXPECT_EQ(full, it->second);
        }
    }

    CScriptContext m_context;
    CScriptArray m_index;
};

TEST_F(ItemTypeTest, NewerLayoutEveryRouteGivesTheSameType) {
    Index(ModelObjectsData("itemdefs.scp"), true);
    // The DEFNAME keys of the index pass made constants that evaluate to their definition's name.
    ASSERT_NE(m_context.FindDef("I_CHEST"), nullptr);
    ASSERT_NE(m_context.FindDef("i_self_too"), nullptr);
    ExpectAllAgree({
        {"0100", 3},
        {"0101", 0x38},  // hexadecimal with a leading zero
        {"0102", 1},     // a constant of a DEFNAME section
        {"0103", 0},     // none
        {"0104", 6},     // the later of two
        {"0105", 0},     // a dupe item does not take its original's TYPE
        {"0106", 18},    // "TYPE = 3" is an unknown key; an indented lower-case key counts
        {"0107", 39},    // after ONTRIGGER a TYPE line is a trigger line
        {"0108", 0x102}, // a constant made from DEFNAME=i_chest of 0102: its name read as a number
        {"0109", 5},     // an indented header ends the section
        {"0111", 2},     // defined twice: the index keeps the later section
        {"0112", 0},     // unknown constant
        {"0113", 1001},
        {"0114", 0x114}, // DEFNAME2 makes a constant too
        {"0115", 0},     // CATEGORY=TYPE=12 sets the category, TYPE=13 is a trigger line
        {"0116", 10},
    });
}

TEST_F(ItemTypeTest, OlderLayoutWithCarriageReturns) {
    Index(ModelObjectsData("olditems.scp"), false);
    ExpectAllAgree({{"0eed", 64}, {"0EEE", 1}, {"0eef", 3}});
}

TEST_F(ItemTypeTest, SectionsThatCannotBeFoundAgain) {
    Index(ModelObjectsData("itemdefs.scp"), true);
    const CSObject& later = Entry("0111");

    // The first of the two 0111 sections is found when the offset points at it.
    const std::string text = test::ReadFile(ModelObjectsData("itemdefs.scp"));
    CSObject first = later;
    first.m_sectionOffset = uint32_t(text.find("[ITEMDEF 0111]"));
    ASSERT_LT(first.m_sectionOffset, later.m_sectionOffset);
    int32_t full = 0;
    int32_t light = 0;
    EXPECT_TRUE(FullRoute(first, m_context, full));
    EXPECT_TRUE(ReadItemType(first, light, &m_context));
    EXPECT_EQ(full, 1);
    EXPECT_EQ(light, 1);
    EXPECT_EQ(CItemTypeReader(&m_context).GetType(first), 1);

    // An offset behind the header: scanning forward never meets it.
    CSObject moved = Entry("0100");
    moved.m_sectionOffset = Entry("0101").m_sectionOffset;
    light = 77;
    EXPECT_FALSE(FullRoute(moved, m_context, full));
    EXPECT_FALSE(ReadItemType(moved, light, &m_context));
    EXPECT_EQ(light, 0);
    EXPECT_EQ(full, 0);
    CItemTypeReader movedReader(&m_context);
    EXPECT_EQ(movedReader.GetType(moved), 0);
    EXPECT_FALSE(movedReader.WasFound(moved));

    // The older header form is not found in a file of the newer layout.
    m_context.newerLayout = false;
    EXPECT_FALSE(FullRoute(Entry("0100"), m_context, full));
    EXPECT_FALSE(ReadItemType(Entry("0100"), light, &m_context));
    m_context.newerLayout = true;

    // Missing file, empty name, kind 0, offset past the end: not found, TYPE 0.
    CSObject missing = Entry("0100");
    missing.m_sourcePath = ModelObjectsData("no-such-file.scp");
    CSObject unnamed = Entry("0100");
    unnamed.m_name.clear();
    CSObject kindless = Entry("0100");
    kindless.m_kind = kKindNone;
    CSObject pastEnd = Entry("0100");
    pastEnd.m_sectionOffset = 0x7fffffff;
    for (const CSObject* entry : {&missing, &unnamed, &kindless, &pastEnd}) {
        light = 77;
        EXPECT_FALSE(FullRoute(*entry, m_context, full));
        EXPECT_FALSE(ReadItemType(*entry, light, &m_context));
        EXPECT_EQ(light, 0);
        CItemTypeReader reader(&m_context);
        EXPECT_EQ(reader.GetType(*entry), 0);
        EXPECT_FALSE(reader.WasFound(*entry));
    }
}

TEST_F(ItemTypeTest, ReaderReadsEachFileOnceWhateverTheOrder) {
    Index(ModelObjectsData("itemdefs.scp"), true);
    const size_t sections = 17; // lines of itemdefs.scp that begin with "["
    CItemTypeReader reader(&m_context);
    const CSObject& a = Entry("0104");
    const CSObject& b = Entry("0100");
    for (int round = 0; round < 1000; ++round) {
        EXPECT_EQ(reader.GetType(a), 6);
        EXPECT_EQ(reader.GetType(b), 3);
    }
    EXPECT_EQ(reader.OpenCount(), 1u);
    EXPECT_EQ(reader.ReadCount(), sections);

    // Every other definition of the file, and the earlier of the two 0111 sections, come from memory.
    reader.Preload(m_index);
    CSObject first = Entry("0111");
    first.m_sectionOffset = uint32_t(test::ReadFile(ModelObjectsData("itemdefs.scp")).find("[ITEMDEF 0111]"));
    EXPECT_EQ(reader.GetType(first), 1);
    EXPECT_EQ(reader.GetType(Entry("0111")), 2);
    EXPECT_EQ(reader.OpenCount(), 1u);
    EXPECT_EQ(reader.ReadCount(), sections);

    // An offset that is not on the definition's header line is read on its own, as LoadDefinition would.
    CSObject early = Entry("0113");
    early.m_sectionOffset = Entry("0112").m_sectionOffset;
    EXPECT_EQ(reader.GetType(early), 1001);
    EXPECT_TRUE(reader.WasFound(early));
    EXPECT_EQ(reader.ReadCount(), sections + 1);

    // An address reused by another definition is answered for the new one, never from the old one.
    CSObject& reused = const_cast<CSObject&>(a);
    const std::string oldName = reused.m_name;
    const uint32_t oldOffset = reused.m_sectionOffset;
    reused.m_name = "0113";
    reused.m_sectionOffset = Entry("0113").m_sectionOffset;
    EXPECT_EQ(reader.GetType(reused), 1001);
    reused.m_name = oldName;
    reused.m_sectionOffset = oldOffset;
    EXPECT_EQ(reader.GetType(a), 6);

    reader.Clear();
    EXPECT_EQ(reader.ReadCount(), 0u);
    EXPECT_EQ(reader.GetType(b), 3);
    EXPECT_EQ(reader.OpenCount(), 1u);
    EXPECT_EQ(reader.ReadCount(), sections);
}

} // namespace
} // namespace frostmark
