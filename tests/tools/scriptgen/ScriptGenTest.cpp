// The script-set generator, checked by loading what it writes with the real loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "platform/Paths.h"
#include "script/Numbers.h"
#include "tools/scriptgen/ScriptGen.h"

namespace frostmark {
namespace {

class CGenDir {
public:
    CGenDir() {
        std::random_device device;
        m_path = std::filesystem::temp_directory_path() / ("frostmark-scriptgen-" + std::to_string(device()));
    }
    ~CGenDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Hex4(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

TEST(ScriptGen, GeneratedSetLoadsCompletelyWithTheWrittenTypes) {
    SScriptGenOptions options;
    options.seed = 7;
    options.itemDefs = 0x3FFF + 2000; // beyond the art IDs: named definitions too
    options.itemsPerFile = 4000;
    options.areas = 12;
    CGenDir dir;
    SScriptGenStats stats;
    std::string error;
    ASSERT_TRUE(GenerateScriptSet(options, dir.Path(), false, &stats, &error)) << error;
    EXPECT_EQ(stats.itemDefs, options.itemDefs);
    EXPECT_EQ(stats.namedItemDefs, 2000u);

    CScriptObjects objects;
    ASSERT_TRUE(LoadAllScripts(objects, dir.Path().string(), CServices()));
    EXPECT_TRUE(objects.newerLayout);
    EXPECT_EQ(static_cast<uint64_t>(objects.itemDefs.GetSize()), stats.itemDefs);
    EXPECT_EQ(static_cast<uint64_t>(objects.charDefs.GetSize()), stats.charDefs);
    EXPECT_EQ(static_cast<uint64_t>(objects.templates.GetSize()), stats.templates);
    EXPECT_EQ(objects.areas.size(), stats.areas);
    EXPECT_EQ(objects.rooms.size(), stats.rooms);
    EXPECT_EQ(objects.locations.size(), stats.locations); // the map's and hoglocs.scp's
    EXPECT_EQ(objects.names.size(), 20u);
    EXPECT_EQ(objects.tables.resources.GetSize(), static_cast<int>(stats.resourceLines));
    EXPECT_EQ(GetNumber("c_unlisted", objects), 1); // found by the scan, not by the resource table
    EXPECT_EQ(objects.tables.ore.GetSize(), 1);

    // Every art ID's definition is found the way the world names it, directly and through its constant,
    // and its TYPE is the one written.
    for (uint64_t index = 0; index < options.itemDefs; index += 97) {
        const uint32_t art = GeneratedItemArtId(index);
        const int32_t written = GeneratedItemType(options, index);
        const CSObject* definition = nullptr;
        if (art != 0) {
            const std::string hex = Hex4(art);
            definition = objects.FindItemDefinition("0" + hex);
            ASSERT_NE(definition, nullptr) << index;
            EXPECT_EQ(objects.FindItemDefinition("i_gen_" + hex), definition);
            EXPECT_EQ(GetNumber("i_gen_" + hex, objects), static_cast<int32_t>(art));
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "i_scn_%06llu", static_cast<unsigned long long>(index));
            definition = objects.FindItemDefinition(name);
            ASSERT_NE(definition, nullptr) << name;
        }
        EXPECT_EQ(objects.GetItemType(*definition), written < 0 ? 0 : written) << index;
    }

    // Hidden definitions are kept out of the index; the others are filed.
    size_t filed = 0;
    for (const CCategory* category : objects.itemCategories) {
        for (const CSubsection* subsection : category->m_subsections) {
            filed += subsection->m_members.size();
        }
    }
    EXPECT_LE(filed, stats.itemDefs - stats.noIndexItemDefs + stats.templates);
    EXPECT_GT(filed, (stats.itemDefs - stats.noIndexItemDefs) * 9 / 10);
}

TEST(ScriptGen, SameSeedSameBytesAndNoOverwrite) {
    SScriptGenOptions options;
    options.itemDefs = 300;
    options.itemsPerFile = 100;
    options.crlf = true;
    CGenDir first;
    CGenDir second;
    SScriptGenStats stats;
    ASSERT_TRUE(GenerateScriptSet(options, first.Path(), false, &stats, nullptr));
    ASSERT_TRUE(GenerateScriptSet(options, second.Path(), false, nullptr, nullptr));
    uint64_t files = 0;
    uint64_t bytes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(first.Path())) {
        if (!entry.is_regular_file()) {
            continue;
        }
        ++files;
        bytes += entry.file_size();
        const auto relative = std::filesystem::relative(entry.path(), first.Path());
        EXPECT_EQ(ReadAll(entry.path()), ReadAll(second.Path() / relative)) << relative;
        EXPECT_EQ(entry.path().extension(), relative.filename() == "tavrel.ini" ? ".ini" : ".scp");
    }
    EXPECT_EQ(files, stats.files);
    EXPECT_EQ(bytes, stats.bytes);
    EXPECT_NE(ReadAll(first.Path() / "scripts/items_000.scp").find("[ITEMDEF 00001]\r\n"), std::string::npos);

    // An existing script set is not written over unless asked.
    const std::string before = ReadAll(first.Path() / "tavrel.ini");
    options.seed = 99;
    std::string error;
    EXPECT_FALSE(GenerateScriptSet(options, first.Path(), false, nullptr, &error));
    EXPECT_NE(error.find("exists already"), std::string::npos);
    EXPECT_EQ(ReadAll(first.Path() / "tavrel.ini"), before);
    EXPECT_TRUE(GenerateScriptSet(options, first.Path(), true, nullptr, nullptr));
    EXPECT_NE(ReadAll(first.Path() / "scripts/items_000.scp"),
              ReadAll(second.Path() / "scripts/items_000.scp"));
}

TEST(ScriptGen, ShuffledOrderLoadsTheSameDefinitions) {
    SScriptGenOptions options;
    options.itemDefs = 1500;
    options.itemsPerFile = 400;
    CGenDir sortedDir;
    CGenDir shuffledDir;
    ASSERT_TRUE(GenerateScriptSet(options, sortedDir.Path(), false, nullptr, nullptr));
    options.shuffle = true;
    ASSERT_TRUE(GenerateScriptSet(options, shuffledDir.Path(), false, nullptr, nullptr));
    EXPECT_NE(ReadAll(sortedDir.Path() / "scripts/items_000.scp"),
              ReadAll(shuffledDir.Path() / "scripts/items_000.scp"));

    CScriptObjects sorted;
    CScriptObjects shuffled;
    ASSERT_TRUE(LoadAllScripts(sorted, sortedDir.Path().string(), CServices()));
    ASSERT_TRUE(LoadAllScripts(shuffled, shuffledDir.Path().string(), CServices()));
    ASSERT_EQ(sorted.itemDefs.GetSize(), 1500);
    ASSERT_EQ(shuffled.itemDefs.GetSize(), 1500);
    for (int i = 0; i < sorted.itemDefs.GetSize(); ++i) {
        const auto* a = dynamic_cast<const CSObject*>(sorted.itemDefs.At(i));
        const auto* b = dynamic_cast<const CSObject*>(shuffled.itemDefs.At(i));
        ASSERT_EQ(a->m_name, b->m_name) << i;
        EXPECT_EQ(a->m_description, b->m_description) << i;
        if (i % 50 == 0) {
            EXPECT_EQ(sorted.GetItemType(*a), shuffled.GetItemType(*b)) << i;
        }
    }
}

} // namespace
} // namespace frostmark
