#include <gtest/gtest.h>

#include <string>

#include "ScriptTestFiles.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/SObject.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"
#include "script/ScriptFile.h"

namespace frostmark {
namespace {

// A definition whose reader notes that it ran, to see that LoadDefinition reads through the derived class.
class CTracingObject : public CSObject {
public:
    using CSObject::CSObject;
    bool ReadSection(CLineReader& file) override {
        ++m_reads;
        return CSObject::ReadSection(file);
    }
    int m_reads = 0;
};

// The loaders' section loop over a whole file: one index entry per header, stored by replace-by-name or by
// AddSorted alone.
void LoadIndex(const std::string& path, ScriptKind kind, CScriptContext& context, CScriptArray& into,
               bool replace) {
    CLineReader file;
    ASSERT_TRUE(file.Open(path));
    std::string_view header;
    uint64_t offset = 0;
    while (FindNextHeader(file, header, offset)) {
        auto* object = new CSObject(&context);
        const size_t blank = header.find(' ');
        object->m_name = std::string(blank == std::string_view::npos ? header : header.substr(blank + 1));
        object->m_kind = kind;
        object->m_sectionOffset = uint32_t(offset);
        object->m_sourcePath = path;
        const bool more = object->ReadSection(file);
        if (replace) {
            into.ReplaceByName(object);
        } else {
            into.AddSorted(object);
        }
        if (!more) {
            break;
        }
    }
}

TEST(SObject, DefaultsAndCopy) {
    CScriptContext context;
    CSObject entry(&context);
    EXPECT_EQ(entry.m_description, "<unnamed>");
    EXPECT_EQ(entry.m_subsection, "<none>");
    EXPECT_EQ(entry.m_category, "<none>");
    EXPECT_EQ(entry.m_dupeItem, "");
    EXPECT_EQ(entry.m_noIndex, 0);
    EXPECT_EQ(entry.m_kind, kKindNone);
    EXPECT_EQ(entry.m_sectionOffset, 0u);

    entry.m_name = "0eed";
    entry.m_sourcePath = "items.scp";
    entry.m_kind = kKindItemDef;
    entry.m_sectionOffset = 99;
    entry.m_description = "wall";
    entry.m_subsection = "Stone";
    entry.m_category = "Walls";
    entry.m_dupeItem = "0eee";
    entry.m_noIndex = 1;
    CTracingObject full;
    static_cast<CSObject&>(full) = entry;
    EXPECT_EQ(full.m_name, "0eed");
    EXPECT_EQ(full.m_sourcePath, "items.scp");
    EXPECT_EQ(full.m_kind, kKindItemDef);
    EXPECT_EQ(full.m_sectionOffset, 99u);
    EXPECT_EQ(full.m_description, "wall");
    EXPECT_EQ(full.m_subsection, "Stone");
    EXPECT_EQ(full.m_category, "Walls");
    EXPECT_EQ(full.m_dupeItem, "0eee");
    EXPECT_EQ(full.m_noIndex, 1);
    EXPECT_EQ(full.Context(), &context);
}

TEST(SObject, GenericReaderKeysAndStop) {
    CScriptContext context;
    CLineReader file;
    ASSERT_TRUE(file.OpenMemory("category = Walls \n"
                                "SUBSECTION=Stone\n"
                                "DESCRIPTION=wall = big\n"
                                "dupeitem=0eee\n"
                                " [indented, read on]\n"
                                "// a comment is just a line\n"
                                "DESCRIPTION=\n"
                                "[ITEMDEF 0eef]\n"
                                "CATEGORY=Other\n"));
    CSObject object(&context);
    object.m_name = "0eed";
    EXPECT_TRUE(object.ReadSection(file));
    EXPECT_EQ(object.m_category, "Walls");
    EXPECT_EQ(object.m_subsection, "Stone");
    // Split at the first "="; a later empty value wins.
    EXPECT_EQ(object.m_description, "");
    EXPECT_EQ(object.m_dupeItem, "0eee");
    EXPECT_EQ(object.m_noIndex, 0);
    // The next header is left for the caller.
    std::string_view line;
    ASSERT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "[ITEMDEF 0eef]");
    // End of file inside a section: false, and what was read stays.
    CSObject last(&context);
    EXPECT_FALSE(last.ReadSection(file));
    EXPECT_EQ(last.m_category, "Other");
}

TEST(SObject, NoIndexOnlyAsTheWholeBareLine) {
    struct Case {
        const char* body;
        uint8_t flag;
    } cases[] = {{"noindex\n", 1}, {"NOINDEX", 1}, {" NOINDEX\n", 0}, {"NOINDEX=1\n", 0}, {"NOINDEX \n", 0}};
    for (const Case& c : cases) {
        CLineReader file;
        ASSERT_TRUE(file.OpenMemory(c.body));
        CSObject object;
        object.ReadSection(file);
        EXPECT_EQ(object.m_noIndex, c.flag) << c.body;
    }
}

TEST(SObject, DefNameKeysMakeConstantsOfTheDefinitionName) {
    CScriptContext context;
    auto* old = new CDef;
    old->Set("i_wall 5");
    context.AddDef(old);

    CLineReader file;
    ASSERT_TRUE(file.OpenMemory("DEFNAME=i_wall\n"
                                "DEFNAME2 = i_wall_alt\n"
                                "defname=i_lower\n"
                                "DEFNAME=\n"
                                "XDEFNAME=i_not\n"));
    CSObject object(&context);
    object.m_name = "0eed";
    object.m_sourcePath = "walls.scp";
    EXPECT_FALSE(object.ReadSection(file));

    // The earlier I_WALL is replaced; both constants evaluate to the definition's name read as a number.
    EXPECT_EQ(context.defnames.GetSize(), 2);
    EXPECT_EQ(GetNumber("I_WALL", context), 0xEED);
    EXPECT_EQ(GetNumber("i_wall_alt", context), 0xEED);
    const CDef* def = context.FindDef("i_wall_alt");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->m_name, "i_wall_alt");
    EXPECT_EQ(def->m_sourcePath, "walls.scp");
    EXPECT_EQ(context.FindDef("i_lower"), nullptr);
    EXPECT_EQ(context.FindDef("i_not"), nullptr);

    // Without a context the keys register nothing.
    CLineReader again;
    ASSERT_TRUE(again.OpenMemory("DEFNAME=i_free\n"));
    CSObject loose;
    loose.m_name = "0eef";
    loose.ReadSection(again);
    EXPECT_EQ(context.FindDef("i_free"), nullptr);
}

TEST(SObject, DefinitionHeaderByKind) {
    EXPECT_EQ(DefinitionHeader(kKindNone, "x", true), "");
    EXPECT_EQ(DefinitionHeader(kKindItemDef, "0eed", true), "[ITEMDEF 0EED]");
    EXPECT_EQ(DefinitionHeader(kKindItemDef, "0eed", false), "[0EED]");
    EXPECT_EQ(DefinitionHeader(kKindCharDef, "c_man", true), "[CHARDEF C_MAN]");
    EXPECT_EQ(DefinitionHeader(kKindCharDef, "c_man", false), "[C_MAN]");
    EXPECT_EQ(DefinitionHeader(kKindSkill, "1", false), "[SKILL 1]");
    EXPECT_EQ(DefinitionHeader(kKindSkillClass, "1", false), "[SKILLCLASS 1]");
    EXPECT_EQ(DefinitionHeader(kKindSpell, "fire", false), "[SPELL FIRE]");
    EXPECT_EQ(DefinitionHeader(kKindSpawn, "a", false), "[SPAWN A]");
    EXPECT_EQ(DefinitionHeader(kKindPotion, "a", false), "[POTION A]");
    EXPECT_EQ(DefinitionHeader(kKindNames, "a", false), "[NAMES A]");
    EXPECT_EQ(DefinitionHeader(kKindTemplate, "t1", true), "[T1]");
    EXPECT_EQ(DefinitionHeader(kKindRegion, "t1", true), "[T1]");
}

TEST(SObject, SameNameTwiceInOneFile) {
    test::CScriptTempDir dir;
    const std::string path =
        dir.Write("dup.scp", "[ITEMDEF 0eed]\nCATEGORY=First\n[ITEMDEF 0EED]\nCATEGORY=Second");
    CScriptContext context;
    CScriptArray replaced;
    LoadIndex(path, kKindItemDef, context, replaced, true);
    ASSERT_EQ(replaced.GetSize(), 1);
    EXPECT_EQ(static_cast<CSObject*>(replaced[0])->m_category, "Second");
    CScriptArray both;
    LoadIndex(path, kKindItemDef, context, both, false);
    ASSERT_EQ(both.GetSize(), 2);
    EXPECT_EQ(static_cast<CSObject*>(both[0])->m_category, "First");
    EXPECT_EQ(static_cast<CSObject*>(both[1])->m_category, "Second");
    replaced.DeleteAll();
    both.DeleteAll();
}

TEST(SObject, LoadDefinitionReadsTheSectionAgain) {
    test::CScriptTempDir dir;
    const std::string text = "// items\r\n"
                             "[ITEMDEF 0eed]\r\n"
                             "CATEGORY=Walls\r\n"
                             "[ITEMDEF 0eef]\r\n"
                             "CATEGORY=Doors\r\n"
                             "DESCRIPTION=door\r\n"
                             "NOINDEX\r\n"
                             "[ITEMDEF 0ef0]\r\n"
                             "CATEGORY=Signs\r\n";
    const std::string path = dir.Write("items.scp", text);
    CScriptContext context;
    context.newerLayout = true;
    CScriptArray index;
    LoadIndex(path, kKindItemDef, context, index, true);
    ASSERT_EQ(index.GetSize(), 3);
    const auto* entry = static_cast<CSObject*>(index[index.FindIndex("0EEF")]);
    EXPECT_EQ(entry->m_sectionOffset, text.find("[ITEMDEF 0eef]"));

    CTracingObject full;
    static_cast<CSObject&>(full) = *entry;
    full.m_category = "<none>";
    full.m_noIndex = 0;
    ASSERT_TRUE(full.LoadDefinition());
    EXPECT_EQ(full.m_reads, 1);
    EXPECT_EQ(full.m_category, "Doors");
    EXPECT_EQ(full.m_description, "door");
    EXPECT_EQ(full.m_noIndex, 1);

    // The older layout looks for "[0eef]", which is not in this file.
    context.newerLayout = false;
    EXPECT_FALSE(full.LoadDefinition());
    context.newerLayout = true;

    // Failures: no name, no path, kind 0, a missing file, an offset past the end.
    CTracingObject broken;
    static_cast<CSObject&>(broken) = *entry;
    broken.m_name.clear();
    EXPECT_FALSE(broken.LoadDefinition());
    static_cast<CSObject&>(broken) = *entry;
    broken.m_sourcePath.clear();
    EXPECT_FALSE(broken.LoadDefinition());
    static_cast<CSObject&>(broken) = *entry;
    broken.m_kind = kKindNone;
    EXPECT_FALSE(broken.LoadDefinition());
    static_cast<CSObject&>(broken) = *entry;
    broken.m_sourcePath = (dir.Path() / "gone.scp").string();
    EXPECT_FALSE(broken.LoadDefinition());
    static_cast<CSObject&>(broken) = *entry;
    broken.m_sectionOffset = uint32_t(text.size() + 10);
    EXPECT_FALSE(broken.LoadDefinition());
    EXPECT_EQ(broken.m_reads, 0);
    index.DeleteAll();
}

TEST(SObject, LoadDefinitionAfterTheFileWasEdited) {
    test::CScriptTempDir dir;
    const std::string original = "[0a00]\nCATEGORY=A\n[0b00]\nCATEGORY=B\n[0c00]\nCATEGORY=C\n";
    const std::string path = dir.Write("items.scp", original);
    CScriptContext context;
    CScriptArray index;
    LoadIndex(path, kKindItemDef, context, index, true);
    const auto* entry = static_cast<CSObject*>(index[index.FindIndex("0b00")]);

    // Lines added in front: the header now stands behind the recorded offset and is found by reading on.
    dir.Write("items.scp", "// new line\n// another\n" + original);
    CSObject moved(&context);
    moved = *entry;
    moved.m_category.clear();
    ASSERT_TRUE(moved.LoadDefinition());
    EXPECT_EQ(moved.m_category, "B");

    // Lines removed in front: the header now stands before the offset and is not found.
    dir.Write("items.scp", "[0b00]\nCATEGORY=B\n[0c00]\nCATEGORY=C\n");
    CSObject lost(&context);
    lost = *entry;
    EXPECT_FALSE(lost.LoadDefinition());
    index.DeleteAll();
}

} // namespace
} // namespace frostmark
