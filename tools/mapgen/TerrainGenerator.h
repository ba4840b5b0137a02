#pragma once

// A made-up world for the map view: deterministic terrain (seas, coasts, grassland, forest, steppe,
// mountains, snow) with a few towns joined by roads, written as client map files of our own: a
// full-size map0.mul and a radarcol.mul whose colours make the terrain readable.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace frostmark::mapgen {

// Tile numbers of our terrain (the numbers are ours; radarcol.mul gives each its colour).
namespace tile {
inline constexpr std::uint16_t kDeepWater = 0x00A8;
inline constexpr std::uint16_t kDeepWater2 = 0x00A9;
inline constexpr std::uint16_t kShallowWater = 0x00AA;
inline constexpr std::uint16_t kSand = 0x0016;
inline constexpr std::uint16_t kSand2 = 0x0017;
inline constexpr std::uint16_t kGrass = 0x0003;
inline constexpr std::uint16_t kGrass2 = 0x0004;
inline constexpr std::uint16_t kGrass3 = 0x0005;
inline constexpr std::uint16_t kForest = 0x00C4;
inline constexpr std::uint16_t kForest2 = 0x00C5;
inline constexpr std::uint16_t kSteppe = 0x0071;
inline constexpr std::uint16_t kRock = 0x00DC;
inline constexpr std::uint16_t kHighRock = 0x00DD;
inline constexpr std::uint16_t kSnow = 0x011A;
inline constexpr std::uint16_t kSnow2 = 0x011B;
inline constexpr std::uint16_t kRoad = 0x0441;
inline constexpr std::uint16_t kBridge = 0x0442;
inline constexpr std::uint16_t kStreet = 0x0500;
inline constexpr std::uint16_t kRoof = 0x0501;
inline constexpr std::uint16_t kDarkRoof = 0x0502;
} // namespace tile

struct Town {
    int x, y;          // top-left tile
    int width, height; // in tiles
};

class CTerrainGenerator {
public:
    static constexpr int kWidth = 6144;
    static constexpr int kHeight = 4096;

    // Places the towns and roads; the terrain itself is worked out where it is asked for, so a few
    // block columns cost next to nothing. The same seed always gives the same world.
    explicit CTerrainGenerator(std::uint64_t seed);
    ~CTerrainGenerator();
    CTerrainGenerator(const CTerrainGenerator&) = delete;
    CTerrainGenerator& operator=(const CTerrainGenerator&) = delete;

    std::uint16_t Tile(int x, int y) const;
    std::int8_t Altitude(int x, int y) const;
    const std::vector<Town>& Towns() const { return m_towns; }

    // The bytes of block column `bx` of map0.mul: 512 blocks of a 4-byte header and 64 cells of tile
    // number (16 bits, little-endian) and altitude.
    void WriteBlockColumn(int bx, std::vector<std::uint8_t>& out) const;

private:
    struct Fields;
    float Elevation(int x, int y) const;
    std::uint16_t NaturalTile(int x, int y) const;
    void PlaceTowns();
    void DrawRoad(const Town& from, const Town& to);
    void DrawTown(const Town& town);
    void SetBuilt(int x, int y, std::uint16_t tile);

    std::uint64_t m_seed;
    Fields* m_fields;
    std::vector<Town> m_towns;
    // Roads and towns by block column: (tile index within the column, tile), later entries win.
    std::vector<std::vector<std::pair<std::uint32_t, std::uint16_t>>> m_built;
    std::unordered_map<std::uint32_t, std::uint16_t> m_builtAt; // the same by y * width + x
};

// radarcol.mul: 65536 16-bit little-endian colours (red bits 10-14, green 5-9, blue 0-4), our terrain's
// colours set and every other entry black.
std::vector<std::uint8_t> MakeRadarColorBytes();

struct MapFilesOptions {
    std::uint64_t seed = 1;
    int columns = 768; // block columns of map0.mul to write; fewer make a short file for tests
    bool overwrite = false;
};

// Writes map0.mul and radarcol.mul into `directory` (created when missing). Each file is written under
// a temporary name and renamed into place when complete. Existing files are left alone unless
// `overwrite` is set. False with a message in `error` on failure. `towns`, when given, receives where
// the towns are (handy for placing a sample world's objects).
bool WriteMapFiles(const std::string& directory, const MapFilesOptions& options, std::string& error,
                   std::vector<Town>* towns = nullptr);

} // namespace frostmark::mapgen
