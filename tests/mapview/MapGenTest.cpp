#include "MapTestSupport.h"

#include "mapview/RadarColors.h"
#include "tools/mapgen/TerrainGenerator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace frostmark {
namespace {

namespace tile = mapgen::tile;

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One generated world shared by the tests: building it takes a moment.
const mapgen::CTerrainGenerator& World() {
    static const mapgen::CTerrainGenerator world(1);
    return world;
}

TEST(MapGen, WorldHasEveryKindOfTerrainInPlausibleShares) {
    std::map<std::uint16_t, std::size_t> counts;
    const mapgen::CTerrainGenerator& world = World();
    for (int y = 0; y < 4096; y += 4) {
        for (int x = 0; x < 6144; x += 4) {
            ++counts[world.Tile(x, y)];
        }
    }
    const double total = 1536.0 * 1024.0;
    const auto share = [&](std::initializer_list<std::uint16_t> tiles) {
        std::size_t n = 0;
        for (const std::uint16_t t : tiles) {
            n += counts[t];
        }
        return n / total;
    };
    const double water = share({tile::kDeepWater, tile::kDeepWater2, tile::kShallowWater});
    EXPECT_GT(water, 0.3);
    EXPECT_LT(water, 0.8);
    EXPECT_GT(share({tile::kSand, tile::kSand2}), 0.005);
    EXPECT_GT(share({tile::kGrass, tile::kGrass2, tile::kGrass3}), 0.05);
    EXPECT_GT(share({tile::kForest, tile::kForest2}), 0.02);
    EXPECT_GT(share({tile::kRock, tile::kHighRock}), 0.001);
    EXPECT_GT(share({tile::kSnow, tile::kSnow2}), 0.001);
    EXPECT_GT(share({tile::kRoad, tile::kBridge}), 0.0001);
    EXPECT_GT(share({tile::kStreet}), 0.00005);
    EXPECT_GT(share({tile::kRoof, tile::kDarkRoof}), 0.00005);
    // The world's rim is open sea.
    for (int i = 0; i < 6144; i += 97) {
        EXPECT_EQ(world.Tile(i, 0) == tile::kDeepWater || world.Tile(i, 0) == tile::kDeepWater2, true) << i;
    }
    // Towns lie on land, apart from each other.
    ASSERT_GE(world.Towns().size(), 4u);
    for (const mapgen::Town& town : world.Towns()) {
        EXPECT_EQ(world.Tile(town.x, town.y), tile::kStreet);
    }
}

TEST(MapGen, EveryTerrainTileHasAColourThatTellsItApart) {
    CRadarColorTable colors;
    colors.LoadFromBytes(mapgen::MakeRadarColorBytes());
    std::set<std::uint16_t> used;
    const mapgen::CTerrainGenerator& world = World();
    for (int y = 0; y < 4096; y += 5) {
        for (int x = 0; x < 6144; x += 5) {
            used.insert(world.Tile(x, y));
        }
    }
    for (const std::uint16_t t : used) {
        EXPECT_NE(colors[t], 0u) << "tile " << t << " is black";
    }
    const auto blueIsStrongest = [&](std::uint16_t t) {
        return ColorBlue(colors[t]) > ColorGreen(colors[t]) && ColorBlue(colors[t]) > ColorRed(colors[t]);
    };
    const auto greenIsStrongest = [&](std::uint16_t t) {
        return ColorGreen(colors[t]) > ColorRed(colors[t]) && ColorGreen(colors[t]) > ColorBlue(colors[t]);
    };
    EXPECT_TRUE(blueIsStrongest(tile::kDeepWater));
    EXPECT_TRUE(blueIsStrongest(tile::kShallowWater));
    EXPECT_TRUE(greenIsStrongest(tile::kGrass));
    EXPECT_TRUE(greenIsStrongest(tile::kForest));
    EXPECT_GT(ColorGreen(colors[tile::kGrass]), ColorGreen(colors[tile::kForest])); // forest is darker
    EXPECT_GT(ColorRed(colors[tile::kSnow]), 200);
    EXPECT_GT(ColorRed(colors[tile::kRoof]), ColorGreen(colors[tile::kRoof]));
    EXPECT_EQ(colors[0], 0u);
}

TEST(MapGen, FilesHaveTheClientLayoutAndAreTheSameForTheSameSeed) {
    test::CTempDir dir;
    std::string error;
    mapgen::MapFilesOptions options;
    options.columns = 3;
    ASSERT_TRUE(mapgen::WriteMapFiles(dir.Path().string(), options, error)) << error;
    const std::vector<std::uint8_t> map = ReadFile(dir.Path() / "map0.mul");
    ASSERT_EQ(map.size(), 3u * 512 * 196);
    EXPECT_EQ(ReadFile(dir.Path() / "radarcol.mul").size(), 131072u);
    // Tile (10, 20) is cell (2, 4) of block (1, 2): byte (1 * 512 + 2) * 196 + 4 + (4 * 8 + 2) * 3.
    const std::size_t at = (1 * 512 + 2) * 196 + 4 + (4 * 8 + 2) * 3;
    EXPECT_EQ(map[at] | (map[at + 1] << 8), World().Tile(10, 20));
    EXPECT_EQ(static_cast<std::int8_t>(map[at + 2]), World().Altitude(10, 20));

    // Existing files are kept unless replacing is asked for.
    options.columns = 1;
    EXPECT_FALSE(mapgen::WriteMapFiles(dir.Path().string(), options, error));
    EXPECT_NE(error.find("exists already"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.Path() / "map0.mul").size(), 3u * 512 * 196);
    options.overwrite = true;
    ASSERT_TRUE(mapgen::WriteMapFiles(dir.Path().string(), options, error)) << error;
    const std::vector<std::uint8_t> again = ReadFile(dir.Path() / "map0.mul");
    ASSERT_EQ(again.size(), 512u * 196);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), map.begin()));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "map0.mul.partial"));

    // Another seed is another world.
    const mapgen::CTerrainGenerator other(2);
    std::size_t differences = 0;
    for (int x = 0; x < 6144; x += 64) {
        for (int y = 0; y < 4096; y += 64) {
            differences += other.Tile(x, y) != World().Tile(x, y);
        }
    }
    EXPECT_GT(differences, 100u);
}

} // namespace
} // namespace frostmark
