#include "tools/mapgen/TerrainGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

namespace frostmark::mapgen {

namespace {

std::uint64_t SplitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A value in [0, 1) that depends only on the seed and the two integers.
float Hash01(std::uint64_t seed, std::int64_t a, std::int64_t b) {
    const std::uint64_t h = SplitMix(
        seed ^ SplitMix(static_cast<std::uint64_t>(a) * 0x100000001B3ULL ^ static_cast<std::uint64_t>(b)));
    return static_cast<float>(h >> 40) / static_cast<float>(1ULL << 24);
}

// Smooth value noise: random values on an integer lattice, blended with a smoothstep.
float ValueNoise(std::uint64_t seed, double x, double y) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const auto tx = static_cast<float>(x - fx), ty = static_cast<float>(y - fy);
    const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const float a = Hash01(seed, ix, iy), b = Hash01(seed, ix + 1, iy);
    const float c = Hash01(seed, ix, iy + 1), d = Hash01(seed, ix + 1, iy + 1);
    const float top = a + (b - a) * sx, bottom = c + (d - c) * sx;
    return top + (bottom - top) * sy;
}

// Fractal noise in about [-1, 1]: octaves from `period` tiles down, each half as strong.
float Fractal(std::uint64_t seed, double x, double y, double period, int octaves) {
    float sum = 0, weight = 0, amplitude = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude *
               (ValueNoise(seed + static_cast<std::uint64_t>(o) * 7919, x / period, y / period) * 2 - 1);
        weight += amplitude;
        amplitude *= 0.5f;
        period /= 2;
    }
    return sum / weight;
}

constexpr int kGridStep = 4; // the smooth fields are computed every 4 tiles and blended between

// A smooth field sampled every kGridStep tiles, each sample worked out when first needed, read back
// with bilinear blending.
class CGridField {
public:
    explicit CGridField(std::function<float(int, int)> value) : m_value(std::move(value)) {}
    float At(int x, int y) const {
        const int gx = x / kGridStep, gy = y / kGridStep;
        const float tx = static_cast<float>(x % kGridStep) / kGridStep;
        const float ty = static_cast<float>(y % kGridStep) / kGridStep;
        const float top = Sample(gx, gy) + (Sample(gx + 1, gy) - Sample(gx, gy)) * tx;
        const float bottom = Sample(gx, gy + 1) + (Sample(gx + 1, gy + 1) - Sample(gx, gy + 1)) * tx;
        return top + (bottom - top) * ty;
    }

private:
    static constexpr int kColumns = CTerrainGenerator::kWidth / kGridStep + 1;
    static constexpr int kRows = CTerrainGenerator::kHeight / kGridStep + 1;
    float Sample(int gx, int gy) const {
        float& value = m_values[static_cast<std::size_t>(gy * kColumns + gx)];
        if (std::isnan(value)) {
            value = m_value(gx * kGridStep, gy * kGridStep);
        }
        return value;
    }
    std::function<float(int, int)> m_value;
    mutable std::vector<float> m_values = std::vector<float>(static_cast<std::size_t>(kColumns * kRows),
                                                             std::numeric_limits<float>::quiet_NaN());
};

constexpr float kSeaLevel = 0.0f;
constexpr float kShallowDepth = -0.10f;
constexpr float kBeachHeight = 0.025f;
constexpr float kRockHeight = 0.30f;
constexpr float kHighRockHeight = 0.38f;
constexpr float kSnowHeight = 0.45f;

bool IsWater(std::uint16_t t) {
    return t == tile::kDeepWater || t == tile::kDeepWater2 || t == tile::kShallowWater;
}

} // namespace

struct CTerrainGenerator::Fields {
    CGridField elevation;
    CGridField moisture;
    std::uint64_t grainSeed;
};

CTerrainGenerator::CTerrainGenerator(std::uint64_t seed)
    : m_seed(seed), m_built(static_cast<std::size_t>(kWidth / 8)) {
    const std::uint64_t elevationSeed = SplitMix(seed ^ 0xE1E7);
    const std::uint64_t moistureSeed = SplitMix(seed ^ 0x3015);
    m_fields =
        new Fields{CGridField([elevationSeed](int x, int y) {
                       // Land masses fade into an ocean towards the world's edges.
                       const double edge = std::min({x, kWidth - x, y, kHeight - y}) / 700.0;
                       const double falloff = edge >= 1 ? 0 : 0.7 * (1 - edge) * (1 - edge);
                       return static_cast<float>(Fractal(elevationSeed, x, y, 1400, 8) + 0.09 - falloff);
                   }),
                   CGridField([moistureSeed](int x, int y) { return Fractal(moistureSeed, x, y, 700, 5); }),
                   SplitMix(seed ^ 0x96A1)};
    PlaceTowns();
}

CTerrainGenerator::~CTerrainGenerator() {
    delete m_fields;
}

float CTerrainGenerator::Elevation(int x, int y) const {
    // A little per-tile roughness frays coasts and tree lines.
    const float grain = Hash01(m_fields->grainSeed, x, y);
    return m_fields->elevation.At(x, y) + (grain - 0.5f) * 0.02f;
}

std::int8_t CTerrainGenerator::Altitude(int x, int y) const {
    return static_cast<std::int8_t>(std::clamp(static_cast<int>(Elevation(x, y) * 100), -127, 127));
}

std::uint16_t CTerrainGenerator::NaturalTile(int x, int y) const {
    const float grain = Hash01(m_fields->grainSeed, x, y);
    const float e = Elevation(x, y);
    const float m = m_fields->moisture.At(x, y) + (grain - 0.5f) * 0.06f;
    const bool variant = grain < 0.5f;
    const bool north = y < 500 + static_cast<int>(m * 200);
    if (e < kShallowDepth) {
        return grain < 0.8f ? tile::kDeepWater : tile::kDeepWater2;
    }
    if (e < kSeaLevel) {
        return tile::kShallowWater;
    }
    if (e < kBeachHeight) {
        return variant ? tile::kSand : tile::kSand2;
    }
    if (e > kSnowHeight || (north && e > 0.12f)) {
        return variant ? tile::kSnow : tile::kSnow2;
    }
    if (e > kHighRockHeight) {
        return tile::kHighRock;
    }
    if (e > kRockHeight) {
        return grain < 0.85f ? tile::kRock : tile::kSteppe;
    }
    if (m > 0.12f) {
        return grain < 0.9f ? (variant ? tile::kForest : tile::kForest2) : tile::kGrass;
    }
    if (m < -0.28f) {
        return grain < 0.7f ? tile::kSteppe : tile::kSand2;
    }
    return grain < 0.4f ? tile::kGrass : (grain < 0.8f ? tile::kGrass2 : tile::kGrass3);
}

std::uint16_t CTerrainGenerator::Tile(int x, int y) const {
    const auto found = m_builtAt.find(static_cast<std::uint32_t>(y * kWidth + x));
    return found != m_builtAt.end() ? found->second : NaturalTile(x, y);
}

void CTerrainGenerator::SetBuilt(int x, int y, std::uint16_t t) {
    m_built[static_cast<std::size_t>(x / 8)].emplace_back(static_cast<std::uint32_t>((x % 8) * kHeight + y),
                                                          t);
    m_builtAt[static_cast<std::uint32_t>(y * kWidth + x)] = t;
}

void CTerrainGenerator::PlaceTowns() {
    constexpr int kTownCount = 9;
    constexpr int kMinDistance = 500;
    std::uint64_t state = SplitMix(m_seed ^ 0x70C5);
    for (int attempt = 0; attempt < 20000 && static_cast<int>(m_towns.size()) < kTownCount; ++attempt) {
        state = SplitMix(state);
        const int width = 40 + static_cast<int>(state % 4) * 8;
        const int height = 32 + static_cast<int>((state >> 8) % 3) * 8;
        const int x = 64 + static_cast<int>((state >> 16) % (kWidth - 128 - width));
        const int y = 64 + static_cast<int>((state >> 40) % (kHeight - 128 - height));
        // Towns sit on dry, low ground: every corner and the middle must be land below the rocks.
        bool fits = true;
        for (const auto& [px, py] : {std::pair{x, y},
                                     {x + width, y},
                                     {x, y + height},
                                     {x + width, y + height},
                                     {x + width / 2, y + height / 2}}) {
            const float e = Elevation(px, py);
            fits =
                fits && e > kBeachHeight + 0.02f && e < kRockHeight - 0.05f && !IsWater(NaturalTile(px, py));
        }
        for (const Town& other : m_towns) {
            fits = fits && std::hypot(other.x - x, other.y - y) >= kMinDistance;
        }
        if (fits) {
            m_towns.push_back({x, y, width, height});
        }
    }
    // Roads join the towns along a spanning tree of shortest links.
    std::vector<bool> joined(m_towns.size(), false);
    if (!m_towns.empty()) {
        joined[0] = true;
    }
    for (std::size_t links = 1; links < m_towns.size(); ++links) {
        double best = std::numeric_limits<double>::max();
        std::size_t from = 0, to = 0;
        for (std::size_t a = 0; a < m_towns.size(); ++a) {
            for (std::size_t b = 0; b < m_towns.size(); ++b) {
                if (!joined[a] || joined[b]) {
                    continue;
                }
                const double d = std::hypot(m_towns[a].x - m_towns[b].x, m_towns[a].y - m_towns[b].y);
                if (d < best) {
                    best = d;
                    from = a;
                    to = b;
                }
            }
        }
        joined[to] = true;
        DrawRoad(m_towns[from], m_towns[to]);
    }
    for (const Town& town : m_towns) {
        DrawTown(town);
    }
}

void CTerrainGenerator::DrawRoad(const Town& from, const Town& to) {
    // A road three tiles wide that bends once, with a gentle wobble; bridges where it crosses water.
    const int x0 = from.x + from.width / 2, y0 = from.y + from.height / 2;
    const int x1 = to.x + to.width / 2, y1 = to.y + to.height / 2;
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int s = 0; s <= steps; ++s) {
        const double t = steps == 0 ? 0 : static_cast<double>(s) / steps;
        const double wobble = 12 * std::sin(t * 6.28318 * 2 + static_cast<double>(x0 % 7));
        const int x = static_cast<int>(x0 + (x1 - x0) * t + wobble * (y1 - y0) / std::max(steps, 1));
        const int y = static_cast<int>(y0 + (y1 - y0) * t - wobble * (x1 - x0) / std::max(steps, 1));
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = x + dx, py = y + dy;
                if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) {
                    continue;
                }
                SetBuilt(px, py, IsWater(NaturalTile(px, py)) ? tile::kBridge : tile::kRoad);
            }
        }
    }
}

void CTerrainGenerator::DrawTown(const Town& town) {
    // Streets every 10 tiles each way; the plots between them are houses with a yard of street.
    const std::uint64_t townSeed = SplitMix(m_seed ^ static_cast<std::uint64_t>(town.x * 8191 + town.y));
    for (int y = town.y; y < town.y + town.height; ++y) {
        for (int x = town.x; x < town.x + town.width; ++x) {
            const int lx = x - town.x, ly = y - town.y;
            const bool street = lx % 10 < 2 || ly % 10 < 2;
            std::uint16_t t = tile::kStreet;
            if (!street && lx % 10 >= 3 && lx % 10 <= 8 && ly % 10 >= 3 && ly % 10 <= 8) {
                const std::uint64_t plot =
                    SplitMix(townSeed + static_cast<std::uint64_t>((lx / 10) * 31 + ly / 10));
                t = (plot & 3) == 0 ? tile::kDarkRoof : tile::kRoof;
            }
            SetBuilt(x, y, t);
        }
    }
}

void CTerrainGenerator::WriteBlockColumn(int bx, std::vector<std::uint8_t>& out) const {
    // The column's tiles, x-major as the built list indexes them, then roads and towns over them.
    std::vector<std::uint16_t> tiles(static_cast<std::size_t>(8 * kHeight));
    std::vector<std::int8_t> altitude(tiles.size());
    for (int cx = 0; cx < 8; ++cx) {
        for (int y = 0; y < kHeight; ++y) {
            const auto i = static_cast<std::size_t>(cx * kHeight + y);
            tiles[i] = NaturalTile(bx * 8 + cx, y);
            altitude[i] = Altitude(bx * 8 + cx, y);
        }
    }
    for (const auto& [index, t] : m_built[static_cast<std::size_t>(bx)]) {
        tiles[index] = t;
    }
    constexpr int kBlockRows = kHeight / 8;
    out.assign(static_cast<std::size_t>(kBlockRows) * 196, 0);
    std::uint8_t* p = out.data();
    for (int by = 0; by < kBlockRows; ++by) {
        p += 4; // header: unused by readers, left 0
        for (int cy = 0; cy < 8; ++cy) {
            for (int cx = 0; cx < 8; ++cx) {
                const auto i = static_cast<std::size_t>(cx * kHeight + by * 8 + cy);
                *p++ = static_cast<std::uint8_t>(tiles[i] & 0xFF);
                *p++ = static_cast<std::uint8_t>(tiles[i] >> 8);
                *p++ = static_cast<std::uint8_t>(altitude[i]);
            }
        }
    }
}

std::vector<std::uint8_t> MakeRadarColorBytes() {
    std::vector<std::uint8_t> bytes(65536 * 2, 0);
    const auto set = [&](std::uint16_t t, int red, int green, int blue) {
        const auto value = static_cast<std::uint16_t>((red << 10) | (green << 5) | blue);
        bytes[2u * t] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[2u * t + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    set(tile::kDeepWater, 2, 5, 15);
    set(tile::kDeepWater2, 2, 6, 16);
    set(tile::kShallowWater, 5, 12, 22);
    set(tile::kSand, 27, 25, 17);
    set(tile::kSand2, 26, 23, 15);
    set(tile::kGrass, 8, 19, 5);
    set(tile::kGrass2, 9, 20, 6);
    set(tile::kGrass3, 7, 17, 4);
    set(tile::kForest, 2, 10, 3);
    set(tile::kForest2, 3, 12, 4);
    set(tile::kSteppe, 19, 17, 9);
    set(tile::kRock, 15, 13, 11);
    set(tile::kHighRock, 19, 18, 17);
    set(tile::kSnow, 29, 30, 31);
    set(tile::kSnow2, 27, 28, 30);
    set(tile::kRoad, 21, 14, 7);
    set(tile::kBridge, 16, 10, 5);
    set(tile::kStreet, 22, 21, 19);
    set(tile::kRoof, 25, 7, 5);
    set(tile::kDarkRoof, 14, 6, 6);
    return bytes;
}

namespace {

// Writes `bytes` under a temporary name beside `target` and renames it into place.
template <typename Producer>
bool WriteAtomically(const std::filesystem::path& target, Producer&& produce, std::string& error) {
    std::filesystem::path temporary = target;
    temporary += ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "Unable to open file " + temporary.string() + " for output.";
            return false;
        }
        produce(out);
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            error = "Unable to write file " + temporary.string();
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        error = "Unable to rename " + temporary.string() + " to " + target.string();
        return false;
    }
    return true;
}

} // namespace

bool WriteMapFiles(const std::string& directory, const MapFilesOptions& options, std::string& error,
                   std::vector<Town>* towns) {
    if (options.columns < 0 || options.columns > CTerrainGenerator::kWidth / 8) {
        error = "The number of block columns must be 0 to 768.";
        return false;
    }
    const std::filesystem::path folder(directory.empty() ? "." : directory);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path map = folder / "map0.mul";
    const std::filesystem::path radar = folder / "radarcol.mul";
    if (!options.overwrite) {
        for (const auto& path : {map, radar}) {
            if (std::filesystem::exists(path, ec)) {
                error = path.string() + " exists already; it is left alone (use --force to replace it)";
                return false;
            }
        }
    }
    const CTerrainGenerator world(options.seed);
    if (towns != nullptr) {
        *towns = world.Towns();
    }
    const bool mapWritten = WriteAtomically(
        map,
        [&](std::ofstream& out) {
            std::vector<std::uint8_t> column;
            for (int bx = 0; bx < options.columns && out; ++bx) {
                world.WriteBlockColumn(bx, column);
                out.write(reinterpret_cast<const char*>(column.data()),
                          static_cast<std::streamsize>(column.size()));
            }
        },
        error);
    if (!mapWritten) {
        return false;
    }
    const std::vector<std::uint8_t> colors = MakeRadarColorBytes();
    return WriteAtomically(
        radar,
        [&](std::ofstream& out) {
            out.write(reinterpret_cast<const char*>(colors.data()),
                      static_cast<std::streamsize>(colors.size()));
        },
        error);
}

} // namespace frostmark::mapgen
