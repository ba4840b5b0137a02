#include <gtest/gtest.h>

#include <string>

#include "engine/WorldItem.h"
#include "script/LineReader.h"
#include "script/ScriptContext.h"
#include "tools/worldgen/WorldGen.h"

namespace frostmark {
namespace {

// What the engine's own reader finds in a generated world.
struct CWorldCensus {
    std::uint64_t items = 0;
    std::uint64_t topLevel = 0;
    std::uint64_t contained = 0;
    std::uint64_t namedIds = 0;
    std::uint64_t highIds = 0;
    std::uint64_t negativeZ = 0;
    std::uint64_t staticAttr = 0;
    std::uint64_t neverMoveAttr = 0;
    std::uint64_t typed = 0;
    std::uint64_t sharedCells = 0;
    std::uint64_t lowerCaseKeys = 0;
    std::uint64_t comments = 0;
    std::uint64_t otherSections = 0;
    std::uint64_t overrides = 0;
    std::string lastLine;
};

CWorldCensus Census(const std::string& world) {
    CScriptContext context;
    CLineReader reader;
    reader.OpenMemory(world);
    CWorldCensus census;
    std::string_view line;
    std::uint32_t lastKey = 0xFFFFFFFF;
    while (reader.ReadLine(line)) {
        census.lastLine = std::string(line);
        if (line.empty() || line[0] != '[')
            continue;
        if (!IsWorldItemHeader(line)) {
            if (line != "[EOF]" && line != "[WORLDSTATS]")
                ++census.otherSections;
            continue;
        }
        CWorldItem item;
        item.SetId(WorldItemHeaderId(line));
        const std::string headerId = item.id.str();
        // Look at the raw body lines too, for the lower-case keys and the overrides.
        const std::uint64_t bodyStart = reader.Position();
        ReadWorldItemBody(reader, item, context);
        const std::uint64_t bodyEnd = reader.Position();
        const std::string body = world.substr(bodyStart, bodyEnd - bodyStart);
        for (const char* key : {"\nserial=", "\np=", "\nattr=", "\ntype=", "\ncolor="})
            if (("\n" + body).find(key) != std::string::npos)
                ++census.lowerCaseKeys;
        if (item.id != headerId)
            ++census.overrides;
        ++census.items;
        if (headerId.rfind("i_gen_", 0) == 0)
            ++census.namedIds;
        if (!item.IsTopLevel()) {
            ++census.contained;
            continue;
        }
        ++census.topLevel;
        if (ArtId(item, context) >= 0x4000)
            ++census.highIds;
        if (item.z >= 0x80)
            ++census.negativeZ;
        if (item.attr & 0x8000)
            ++census.staticAttr;
        if (item.attr & 0x10)
            ++census.neverMoveAttr;
        if (item.type != 0)
            ++census.typed;
        const std::uint32_t key = (BlockIndex(item) << 6) | CellIndex(item);
        if (key == lastKey)
            ++census.sharedCells;
        lastKey = key;
    }
    // Comments sit inside record bodies, where the reader passes over them: count them in the text.
    for (std::size_t at = world.find("\n//"); at != std::string::npos; at = world.find("\n//", at + 1))
        ++census.comments;
    return census;
}

TEST(WorldGen, SameSeedSameBytesOtherSeedOtherWorld) {
    SWorldGenOptions options;
    options.itemCount = 500;
    options.seed = 7;
    const std::string first = GenerateWorldText(options);
    EXPECT_EQ(GenerateWorldText(options), first);
    options.seed = 8;
    EXPECT_NE(GenerateWorldText(options), first);
}

TEST(WorldGen, HoldsEveryFeatureTheEngineMustHandle) {
    SWorldGenOptions options;
    options.itemCount = 20000;
    options.seed = 3;
    SWorldGenStats stats;
    const std::string world = GenerateWorldText(options, &stats);
    const CWorldCensus census = Census(world);
    EXPECT_EQ(census.items, 20000u);
    EXPECT_EQ(census.items, stats.items);
    EXPECT_EQ(census.topLevel, stats.topLevel);
    EXPECT_EQ(census.contained, stats.contained);
    EXPECT_EQ(stats.bytes, world.size());
    EXPECT_EQ(census.lastLine, "[EOF]");
    EXPECT_GT(census.contained, 2000u);
    EXPECT_GT(census.namedIds, 200u);
    EXPECT_GT(census.highIds, 100u);
    EXPECT_GT(census.negativeZ, 1000u);
    EXPECT_GT(census.staticAttr, 1000u);
    EXPECT_GT(census.neverMoveAttr, 1000u);
    EXPECT_GT(census.typed, 500u);
    EXPECT_GT(census.sharedCells, 500u);
    EXPECT_GT(census.lowerCaseKeys, 100u);
    EXPECT_GT(census.comments, 50u);
    EXPECT_GT(census.otherSections, 100u);
    EXPECT_GT(census.overrides, 200u);
}

TEST(WorldGen, CrlfAndByteTarget) {
    SWorldGenOptions options;
    options.crlf = true;
    options.targetBytes = 1 << 20;
    SWorldGenStats stats;
    const std::string world = GenerateWorldText(options, &stats);
    EXPECT_GE(world.size(), 1u << 20);
    EXPECT_LT(world.size(), (1u << 20) + 2000u); // one record and the end marker past the target
    std::size_t lines = 0;
    for (std::size_t i = 0; i < world.size(); ++i) {
        if (world[i] == '\n') {
            ++lines;
            ASSERT_GT(i, 0u);
            ASSERT_EQ(world[i - 1], '\r') << "at byte " << i;
        }
    }
    EXPECT_EQ(lines, stats.lines);
    EXPECT_EQ(world.back(), '\n');
}

TEST(WorldGen, SinkFailureStopsGeneration) {
    SWorldGenOptions options;
    options.targetBytes = 64u << 20;
    int calls = 0;
    const bool ok = GenerateWorld(options, [&calls](const char*, std::size_t) {
        ++calls;
        return false;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace frostmark
