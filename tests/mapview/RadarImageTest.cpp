#include "MapTestSupport.h"

#include "mapview/MapView.h"
#include "mapview/RadarImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

namespace frostmark {
namespace {

using test::CProceduralMap;
using test::CTempDir;

constexpr std::uint32_t kGround = MakeColor(90, 90, 90);

TEST(RadarBlockRange, WorkedExamplesOfTheFarLevels) {
    // Level -16 always reads the whole world.
    RadarBlockRange whole = ComputeRadarBlockRange(-16, 3072, 2048);
    EXPECT_EQ(whole.x0, 0);
    EXPECT_EQ(whole.x1, 768);
    EXPECT_EQ(whole.y0, 0);
    EXPECT_EQ(whole.y1, 512);
    EXPECT_EQ(whole.originX, 0);
    EXPECT_EQ(whole.originY, 0);

    // Level -8 around the middle: 384 x 256 blocks around block (384, 256), one more on each side.
    RadarBlockRange half = ComputeRadarBlockRange(-8, 3072, 2048);
    EXPECT_EQ(half.x0, 191);
    EXPECT_EQ(half.x1, 577);
    EXPECT_EQ(half.y0, 127);
    EXPECT_EQ(half.y1, 385);
    // World x 1528 is 1544 tiles (193 pixels) left of the centre, shown at pixel 192: one pixel left of
    // the image.
    EXPECT_EQ(half.originX, -1);
    EXPECT_EQ(half.originY, -1);
}

TEST(RadarBlockRange, CloseLevelsReachPastThePlainRangeOnlyWhereTheImageNeedsIt) {
    // Level 16, centre (3071, 2047): centre block (383, 255); the plain range 381..385 covers world
    // x 3048..3079, but the image shows 3071 +- 12 tiles, so one more column is read.
    RadarBlockRange range = ComputeRadarBlockRange(16, 3071, 2047);
    EXPECT_EQ(range.x0, 381);
    EXPECT_EQ(range.x1, 386);
    EXPECT_EQ(range.y0, 253);
    EXPECT_EQ(range.y1, 257);
    EXPECT_EQ(range.originX, (3048 - 3071) * 16 + 192);
    EXPECT_EQ(range.originY, (2024 - 2047) * 16 + 128);

    // Level 32 at the left edge: centre x 6 lies in block column 0, which is read and shown at the
    // image's left edge (world x 0 is 6 tiles, 192 pixels, left of the middle).
    RadarBlockRange edge = ComputeRadarBlockRange(32, 6, 4);
    EXPECT_EQ(edge.x0, 0);
    EXPECT_EQ(edge.y0, 0);
    EXPECT_EQ(edge.originX, 0);
    EXPECT_EQ(edge.originY, 0);
    EXPECT_EQ(edge.x1, 2); // 12 tiles wide: blocks 0 and 1
    EXPECT_EQ(edge.y1, 1); // 8 tiles high: block 0
}

// Each tile shows as the colour whose red and green bytes are its number.
CRadarColorTable IdentityColors() {
    CRadarColorTable colors;
    for (std::uint32_t tile = 0; tile < kRadarColorCount; ++tile) {
        colors.Set(static_cast<std::uint16_t>(tile), tile);
    }
    return colors;
}

TEST(RadarImage, FarthestLevelShowsTheTopLeftCellOfEveryOtherBlock) {
    // Cell (0, 0) of block (2i, 2j) carries (i, j) in its tile number; every other cell carries 0xFFFF
    // and the other blocks' first cells 0xFFFE, so sampling anything else shows.
    CProceduralMap map([](int x, int y) -> std::uint16_t {
        const int bx = x / 8, by = y / 8;
        if (x % 8 != 0 || y % 8 != 0) {
            return 0xFFFF;
        }
        if (bx % 2 != 0 || by % 2 != 0) {
            return 0xFFFE;
        }
        return static_cast<std::uint16_t>(((bx / 2) & 0xFF) | (((by / 2) & 0xFF) << 8));
    });
    CRadarImage image;
    BuildRadarImageFrom(map, IdentityColors(), -16, 3072, 2048, image);
    for (int j = 0; j < CRadarImage::kHeight; ++j) {
        for (int i = 0; i < CRadarImage::kWidth; ++i) {
            ASSERT_EQ(image.Pixel(i, j), static_cast<std::uint32_t>((i & 0xFF) | ((j & 0xFF) << 8)))
                << "pixel " << i << ", " << j;
        }
    }
    // The stored bytes are blue, green, red: the tile of pixel (1, 2) is 0x0201.
    const std::uint8_t* p = image.Data() + 2 * CRadarImage::kStride + 1 * 3;
    EXPECT_EQ(p[0], 0x00);
    EXPECT_EQ(p[1], 0x02);
    EXPECT_EQ(p[2], 0x01);

    // Every other block column is read whole: one read of 512 blocks per column.
    ASSERT_EQ(map.Reads().size(), 384u);
    for (std::size_t k = 0; k < map.Reads().size(); ++k) {
        EXPECT_EQ(map.Reads()[k].offset, 2 * k * 512 * 196);
        EXPECT_EQ(map.Reads()[k].size, 512u * 196u);
    }
}

TEST(RadarImage, ReadsOneStripPerBlockColumn) {
    CProceduralMap map(1);
    CRadarImage image;
    BuildRadarImageFrom(map, IdentityColors(), -8, 3072, 2048, image);
    // Column 191 would land one pixel left of the image and is not read; 192..575 are, each from
    // block row 127 to 384.
    // Column 576 would start at pixel 384, past the image.
    ASSERT_EQ(map.Reads().size(), 384u);
    for (std::size_t k = 0; k < map.Reads().size(); ++k) {
        EXPECT_EQ(map.Reads()[k].offset, ((192 + k) * 512 + 127) * 196);
        EXPECT_EQ(map.Reads()[k].size, 258u * 196u);
    }
}

TEST(RadarImage, LevelThirtyTwoAtTheLeftEdgeShowsBlockColumnZero) {
    // Column 0 is light, everything else dark: the left of the image must be light.
    CProceduralMap map([](int x, int) -> std::uint16_t { return x < 8 ? 2 : 1; });
    CRadarColorTable colors;
    colors.Set(1, MakeColor(0, 0, 200));
    colors.Set(2, MakeColor(250, 250, 0));
    CMapView view;
    view.Colors() = colors;
    ASSERT_TRUE(view.SetZoom(32));
    view.SetCentre(7, 100);
    view.BuildRadarImage(map);
    EXPECT_EQ(view.CentreX(), 7);
    // World x 0..7 lies at pixels (0 - 7) * 32 + 192 = -32 up to 224.
    EXPECT_EQ(view.Image().Pixel(0, 100), MakeColor(250, 250, 0));
    EXPECT_EQ(view.Image().Pixel(223, 100), MakeColor(250, 250, 0));
    EXPECT_EQ(view.Image().Pixel(224, 100), MakeColor(0, 0, 200));
    EXPECT_EQ(view.WorldToView(8, 100).x, 224);
}

struct Marker {
    int x, y;
    std::uint16_t tile;
};

// Where the pixels of `colour` lie: their bounding box, if any.
std::optional<ViewRect> FindColour(const CRadarImage& image, std::uint32_t colour) {
    std::optional<ViewRect> box;
    for (int y = 0; y < CRadarImage::kHeight; ++y) {
        for (int x = 0; x < CRadarImage::kWidth; ++x) {
            if (image.Pixel(x, y) != colour) {
                continue;
            }
            if (!box) {
                box = ViewRect{x, y, x + 1, y + 1};
            } else {
                box->left = std::min(box->left, x);
                box->top = std::min(box->top, y);
                box->right = std::max(box->right, x + 1);
                box->bottom = std::max(box->bottom, y + 1);
            }
        }
    }
    return box;
}

TEST(RadarImage, TerrainLandsWhereTheViewPutsItsWorldPointAtEveryLevel) {
    for (const int zoom : kZoomLevels) {
        const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
        const int tilesPerSample = zoom < 0 ? -zoom : 1; // cells sampled are this far apart
        const int pixels = level.pixelsPerSample;
        // Centres: the middle, both corners of the bounds, and one off the sample grid.
        const std::vector<std::pair<int, int>> centres = {{3072, 2048},
                                                          {level.minCentreX, level.minCentreY},
                                                          {level.maxCentreX, level.maxCentreY},
                                                          {3077, 2051}};
        std::vector<std::pair<int, int>> done;
        for (auto [cx, cy] : centres) {
            ClampCentre(zoom, cx, cy);
            if (std::find(done.begin(), done.end(), std::pair{cx, cy}) != done.end()) {
                continue; // the far levels clamp several centres to one
            }
            done.emplace_back(cx, cy);
            CMapView view; // picture 384 x 256 at (0, 0): view points are image pixels
            ASSERT_TRUE(view.SetZoom(zoom));
            view.SetCentre(cx, cy);
            // Markers near the middle and near each corner of the view, on cells the level samples.
            std::vector<Marker> markers;
            const int reachX = static_cast<int>(150 * TilesPerPixel(zoom));
            const int reachY = static_cast<int>(100 * TilesPerPixel(zoom));
            const int offsets[][2] = {
                {0, 0}, {-reachX, -reachY}, {reachX, reachY}, {reachX, -reachY}, {-reachX, reachY}};
            std::uint16_t tile = 2;
            for (const auto& offset : offsets) {
                int x = cx + offset[0], y = cy + offset[1];
                x -= x % tilesPerSample;
                y -= y % tilesPerSample;
                if (x >= 0 && y >= 0 && x < kWorldWidth && y < kWorldHeight) {
                    markers.push_back({x, y, tile++});
                }
            }
            CProceduralMap map([&](int x, int y) -> std::uint16_t {
                for (const Marker& m : markers) {
                    if (m.x == x && m.y == y) {
                        return m.tile;
                    }
                }
                return 1;
            });
            CRadarColorTable colors;
            colors.Set(1, kGround);
            for (const Marker& m : markers) {
                colors.Set(m.tile, MakeColor(255, static_cast<std::uint8_t>(m.tile), 0));
            }
            view.Colors() = colors;
            view.BuildRadarImage(map);

            // Off the sample grid the truncating conversion differs from the image by up to a pixel
            // on one side of the centre; on it they agree exactly.
            const bool onGrid = cx % tilesPerSample == 0 && cy % tilesPerSample == 0;
            for (const Marker& m : markers) {
                const ViewPoint expected = view.WorldToView(m.x, m.y);
                const std::optional<ViewRect> box =
                    FindColour(view.Image(), MakeColor(255, static_cast<std::uint8_t>(m.tile), 0));
                SCOPED_TRACE(testing::Message() << "zoom " << zoom << " centre " << cx << "," << cy
                                                << " marker " << m.x << "," << m.y);
                ASSERT_TRUE(box.has_value());
                if (onGrid) {
                    EXPECT_EQ(box->left, expected.x);
                    EXPECT_EQ(box->top, expected.y);
                } else {
                    EXPECT_LE(std::abs(box->left - expected.x), 1);
                    EXPECT_LE(std::abs(box->top - expected.y), 1);
                }
                // The tile fills P x P pixels.
                EXPECT_EQ(box->Width(), pixels);
                EXPECT_EQ(box->Height(), pixels);
            }
        }
    }
}

TEST(RadarImage, NoEdgeOfTheImageStaysUnreadAtAnyLevelOrCentre) {
    CProceduralMap map(1);
    CRadarColorTable colors;
    colors.Set(1, kGround);
    for (const int zoom : kZoomLevels) {
        const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
        // Both corners of the bounds, just inside them, and the middle on and off the block grid.
        const std::pair<int, int> centres[] = {{level.minCentreX, level.minCentreY},
                                               {level.maxCentreX, level.maxCentreY},
                                               {level.minCentreX + 5, level.maxCentreY - 3},
                                               {level.maxCentreX - 3, level.minCentreY + 7},
                                               {3072, 2048},
                                               {3075, 2047}};
        for (auto [x, y] : centres) {
            ClampCentre(zoom, x, y);
            CRadarImage image;
            BuildRadarImageFrom(map, colors, zoom, x, y, image);
            const std::optional<ViewRect> black = FindColour(image, 0);
            EXPECT_FALSE(black.has_value())
                << "zoom " << zoom << " centre " << x << "," << y << ": black from " << black->left << ","
                << black->top << " to " << black->right << "," << black->bottom;
            if (zoom == -16) {
                break; // one centre only
            }
        }
    }
}

TEST(RadarImage, BytesMissingFromAShortFileReadAsTileZero) {
    CTempDir dir;
    // Two whole block columns, then half of the third and one byte more.
    CProceduralMap full(5);
    dir.Write("map0.mul", test::MapBytes(full, (2 * 512 + 256) * 196 + 1));
    CRadarColorTable colors;
    colors.Set(5, MakeColor(255, 255, 255));
    colors.Set(0, MakeColor(10, 0, 0)); // tile 0 is visible as such
    int cx = 3072, cy = 2048;
    CRadarImage image;
    ASSERT_TRUE(BuildRadarImage(dir.Directory(), colors, -16, cx, cy, image));
    // Pixel column 0 shows block column 0, column 1 shows block column 2 (half there), the rest is
    // past the end of the file.
    EXPECT_EQ(image.Pixel(0, 0), MakeColor(255, 255, 255));
    EXPECT_EQ(image.Pixel(0, 255), MakeColor(255, 255, 255));
    EXPECT_EQ(image.Pixel(1, 127), MakeColor(255, 255, 255));
    EXPECT_EQ(image.Pixel(1, 128), MakeColor(10, 0, 0));
    EXPECT_EQ(image.Pixel(2, 0), MakeColor(10, 0, 0));
    EXPECT_EQ(image.Pixel(383, 255), MakeColor(10, 0, 0));
}

TEST(RadarImage, MissingMapFileKeepsThePreviousImage) {
    CTempDir dir;
    CProceduralMap full(5);
    dir.Write("map0.mul", test::MapBytes(full, 8 * 512 * 196));
    CMapView view;
    view.SetClientDirectory(dir.Directory());
    view.Colors().Set(5, MakeColor(1, 2, 3));

    // Nothing before the first build.
    std::filesystem::rename(dir.Path() / "map0.mul", dir.Path() / "kept.mul");
    EXPECT_FALSE(view.BuildRadarImage());
    EXPECT_FALSE(view.HasImage());

    std::filesystem::rename(dir.Path() / "kept.mul", dir.Path() / "map0.mul");
    ASSERT_TRUE(view.SetZoom(1));
    view.SetCentre(0, 0);
    ASSERT_TRUE(view.BuildRadarImage());
    ASSERT_TRUE(view.HasImage());
    EXPECT_EQ(view.Image().Pixel(0, 0), MakeColor(1, 2, 3));
    const std::vector<std::uint8_t> before(view.Image().Data(),
                                           view.Image().Data() + CRadarImage::kByteCount);

    std::filesystem::remove(dir.Path() / "map0.mul");
    view.SetCentre(100000, -5);
    EXPECT_TRUE(view.OnZoomIn()); // the level changes even though no image can be built
    EXPECT_EQ(view.Zoom(), 2);
    EXPECT_TRUE(view.HasImage());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), view.Image().Data()));
    // The centre is clamped all the same.
    EXPECT_EQ(view.CentreX(), 6048);
    EXPECT_EQ(view.CentreY(), 64);
}

TEST(RadarImage, AViewKeepingTheMapInMemoryFollowsTheFile) {
    CTempDir dir;
    dir.Write("map0.mul", test::MapBytes(CProceduralMap(5), 8 * 512 * 196));
    CMapView view;
    view.SetClientDirectory(dir.Directory());
    view.KeepMapInMemory(true);
    view.Colors().Set(5, MakeColor(1, 2, 3));
    view.Colors().Set(6, MakeColor(4, 5, 6));
    ASSERT_TRUE(view.SetZoom(1));
    view.SetCentre(0, 0);
    ASSERT_TRUE(view.BuildRadarImage());
    EXPECT_EQ(view.Image().Pixel(0, 0), MakeColor(1, 2, 3));
    // Past the end of the short file: tile 0, as when read from the file.
    EXPECT_EQ(view.Image().Pixel(100, 0), 0u);

    // The client's files change: the next build shows the new map, also where the old one ended.
    dir.Write("map0.mul", test::MapBytes(CProceduralMap(6), 16 * 512 * 196));
    view.SetCentre(1, 0);
    ASSERT_TRUE(view.BuildRadarImage());
    EXPECT_EQ(view.Image().Pixel(0, 0), MakeColor(4, 5, 6));
    EXPECT_EQ(view.Image().Pixel(100, 0), MakeColor(4, 5, 6));

    // Gone: no build, and the image stays.
    std::filesystem::remove(dir.Path() / "map0.mul");
    EXPECT_FALSE(view.BuildRadarImage());
    EXPECT_EQ(view.Image().Pixel(0, 0), MakeColor(4, 5, 6));
}

TEST(RadarImage, ClientFileNamesAreFoundWhateverTheirLetterCase) {
    CTempDir dir;
    CProceduralMap full(7);
    dir.Write("MAP0.MUL", test::MapBytes(full, 512 * 196));
    std::vector<std::uint8_t> radar(16, 0);
    radar[14] = 0xFF; // tile 7: 0x7FFF, white
    radar[15] = 0x7F;
    dir.Write("RadarCol.mul", radar);
    CMapView view;
    view.SetClientDirectory(dir.Directory());
    ASSERT_TRUE(view.LoadRadarColors());
    ASSERT_TRUE(view.SetZoom(32));
    view.SetCentre(0, 0);
    ASSERT_TRUE(view.BuildRadarImage());
    EXPECT_EQ(view.Image().Pixel(0, 0), 0xFFFFFFu);
}

} // namespace
} // namespace frostmark
