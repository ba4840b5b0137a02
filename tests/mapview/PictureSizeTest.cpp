// The map at any picture size: the level bounds and extents that follow from the size, the terrain
// where the view's conversion puts it, and navigation (zooming around a point, panning, the whole world).
#include "MapTestSupport.h"

#include "mapview/MapRender.h"
#include "mapview/MapView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace frostmark {
namespace {

using test::CProceduralMap;

PictureGeometry PictureOfSize(int width, int height) {
    PictureGeometry picture;
    picture.frame = {0, 0, width, height};
    picture.clientWidth = width;
    picture.clientHeight = height;
    return picture;
}

struct Size {
    int width, height;
};
const Size kSizes[] = {{384, 256}, {385, 257}, {640, 480}, {1920, 1080}, {200, 150}, {1000, 3000}};

TEST(PictureSize, BoundsKeepTheWorldUpToThePictureEdgeAndMatchTheTableAtTheDefault) {
    for (const int zoom : kZoomLevels) {
        // The classic picture has the table's bounds and extents; the dialog's 384 x 257 its bounds.
        for (const Size size : {Size{384, 256}, Size{384, 257}}) {
            const LevelExtent e = GetLevelExtent(zoom, size.width, size.height);
            const ZoomLevelInfo& t = GetZoomLevelInfo(zoom);
            EXPECT_EQ(e.minCentreX, t.minCentreX) << zoom;
            EXPECT_EQ(e.maxCentreX, t.maxCentreX) << zoom;
            EXPECT_EQ(e.minCentreY, t.minCentreY) << zoom;
            EXPECT_EQ(e.maxCentreY, t.maxCentreY) << zoom;
            EXPECT_EQ(e.blocksWide, t.blocksWide) << zoom;
            if (size.height == 256) {
                EXPECT_EQ(e.blocksHigh, t.blocksHigh) << zoom;
            }
        }
        for (const Size size : kSizes) {
            SCOPED_TRACE(testing::Message()
                         << "zoom " << zoom << " size " << size.width << "x" << size.height);
            const LevelExtent e = GetLevelExtent(zoom, size.width, size.height);
            CMapView view;
            view.SetPictureGeometry(PictureOfSize(size.width, size.height));
            ASSERT_TRUE(view.SetZoom(zoom));
            if (e.minCentreX == e.maxCentreX) {
                // The world is no wider than the picture: it sits in the middle, whole.
                EXPECT_EQ(e.minCentreX, 3072);
                view.SetCentre(3072, 2048);
                EXPECT_GE(view.WorldToView(0, 0).x, 0);
                EXPECT_LE(view.WorldToView(6144, 0).x, size.width);
            } else {
                // The smallest centre shows the world's left edge at the picture's and one less would
                // show black beyond it; the same at the right for even widths (odd ones have one pixel
                // more right of the middle than left of it).
                view.SetCentre(e.minCentreX, e.minCentreY);
                EXPECT_LE(view.WorldToView(0, 0).x, 0);
                view.SetCentre(e.minCentreX - 1, e.minCentreY);
                EXPECT_GT(view.WorldToView(0, 0).x, 0);
                view.SetCentre(e.maxCentreX, e.maxCentreY);
                if (size.width % 2 == 0) {
                    EXPECT_GE(view.WorldToView(6144, 0).x, size.width);
                }
                EXPECT_EQ(e.maxCentreX, 6144 - e.minCentreX);
            }
            // The extent in blocks is what the picture spans, rounded down.
            const double tiles = TilesPerPixel(zoom);
            EXPECT_EQ(e.blocksWide, static_cast<int>(size.width * tiles) / 8);
            EXPECT_EQ(e.blocksHigh, static_cast<int>(size.height * tiles) / 8);
        }
    }
}

// Each tile's colour carries its coordinates, so every pixel says which tile it shows.
CRadarColorTable CoordinateColors() {
    CRadarColorTable colors;
    for (std::uint32_t tile = 0; tile < kRadarColorCount; ++tile)
        colors.Set(static_cast<std::uint16_t>(tile),
                   MakeColor(static_cast<std::uint8_t>(tile), static_cast<std::uint8_t>(tile >> 8), 0x80));
    return colors;
}

// Tile number of (x, y): 8 bits of each coordinate, from the low bits of the tile.
std::uint16_t CoordinateTile(int x, int y) {
    return static_cast<std::uint16_t>((x & 0xFF) | ((y & 0xFF) << 8));
}

// The whole map0.mul of CoordinateTile in memory, made once: the far levels read half the file and more
// per build.
class CCoordinateMap final : public CMapSource {
public:
    static CCoordinateMap& Get() {
        static CCoordinateMap map;
        return map;
    }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        if (offset >= m_bytes.size())
            return 0;
        const std::size_t count = std::min<std::size_t>(buffer.size(), m_bytes.size() - offset);
        std::memcpy(buffer.data(), m_bytes.data() + offset, count);
        return count;
    }
    // Whether the build may use the bytes in place, as from a map kept in memory, or must copy them.
    void SetInPlace(bool inPlace) { m_inPlace = inPlace; }
    const std::uint8_t* BytesAt(std::uint64_t offset, std::size_t size) const override {
        return m_inPlace && offset + size <= m_bytes.size() ? m_bytes.data() + offset : nullptr;
    }

private:
    CCoordinateMap() : m_bytes(kMapFileBytes, 0) {
        for (int bx = 0; bx < kBlockColumns; ++bx)
            for (int by = 0; by < kBlockRows; ++by)
                for (int cell = 0; cell < 64; ++cell) {
                    const std::uint16_t tile = CoordinateTile(bx * 8 + cell % 8, by * 8 + cell / 8);
                    const std::size_t at = (static_cast<std::size_t>(bx) * kBlockRows + by) * kMapBlockBytes +
                                           kMapBlockHeaderBytes +
                                           static_cast<std::size_t>(cell) * kMapCellBytes;
                    m_bytes[at] = static_cast<std::uint8_t>(tile);
                    m_bytes[at + 1] = static_cast<std::uint8_t>(tile >> 8);
                }
    }
    std::vector<std::uint8_t> m_bytes;
    bool m_inPlace = false;
};

// A centre on the grid of the tiles a level samples (where conversion and image agree to the pixel),
// within the bounds.
int OnSampleGrid(int centre, int low, int high) {
    centre = std::clamp(centre, low, high);
    centre -= centre % 16;
    return centre < low ? std::min(centre + 16, high) : centre;
}

TEST(PictureSize, EveryPixelShowsTheSampledTileTheViewConversionPutsThere) {
    CCoordinateMap& map = CCoordinateMap::Get();
    const CRadarColorTable colors = CoordinateColors();
    for (const Size size : {Size{640, 480}, Size{1000, 300}, Size{385, 257}, Size{200, 150}}) {
        for (const int zoom : kZoomLevels) {
            const LevelExtent e = GetLevelExtent(zoom, size.width, size.height);
            for (const auto& [x, y] : {std::pair{e.minCentreX, e.maxCentreY}, std::pair{2000, 1000},
                                       std::pair{e.maxCentreX, e.minCentreY}}) {
                const int cx = OnSampleGrid(x, e.minCentreX, e.maxCentreX);
                const int cy = OnSampleGrid(y, e.minCentreY, e.maxCentreY);
                SCOPED_TRACE(testing::Message() << "size " << size.width << "x" << size.height << " zoom "
                                                << zoom << " centre " << cx << "," << cy);
                CMapView view;
                view.SetPictureGeometry(PictureOfSize(size.width, size.height));
                view.Colors() = colors;
                ASSERT_TRUE(view.SetZoom(zoom));
                view.SetCentre(cx, cy);
                view.BuildRadarImage(map);
                const CRadarImage& image = view.Image();
                ASSERT_EQ(image.Width(), size.width);
                ASSERT_EQ(image.Height(), size.height);
                // A sample is one tile at the close levels and every |zoom|-th tile at the far ones.
                const int tilesPerSample = zoom > 0 ? 1 : -zoom;
                const int pixels = zoom > 0 ? zoom : 1;
                // Probe a grid of sample tiles: each fills the P x P pixels from where WorldToView puts
                // it, with the tile's own colour.
                const WorldPoint first = view.ViewToWorld(0, 0);
                const WorldPoint last = view.ViewToWorld(size.width - 1, size.height - 1);
                int probed = 0;
                for (long y = std::max(0L, first.y); y <= std::min(4095L, last.y);
                     y += (last.y - first.y) / 7 + 1) {
                    for (long x = std::max(0L, first.x); x <= std::min(6143L, last.x);
                         x += (last.x - first.x) / 7 + 1) {
                        const long sx = x - x % tilesPerSample;
                        const long sy = y - y % tilesPerSample;
                        const ViewPoint at = view.WorldToView(sx, sy);
                        const std::uint32_t colour =
                            colors[CoordinateTile(static_cast<int>(sx), static_cast<int>(sy))];
                        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{pixels - 1, pixels - 1}}) {
                            const int px = at.x + dx, py = at.y + dy;
                            if (px < 0 || py < 0 || px >= size.width || py >= size.height)
                                continue;
                            ASSERT_EQ(image.Pixel(px, py), colour)
                                << "tile " << sx << "," << sy << " pixel " << px << "," << py;
                            ++probed;
                        }
                    }
                }
                EXPECT_GT(probed, 10);
                // The samples and the image they stand for agree pixel for pixel.
                const CRadarSamples& samples = view.Samples();
                for (int y = 0; y < size.height; y += 7)
                    for (int x = 0; x < size.width; x += 5)
                        ASSERT_EQ(samples.PictureColor(x, y), image.Pixel(x, y)) << x << "," << y;
            }
        }
    }
}

// Every pixel of a build against the sampling rules worked out on their own: the block column and row
// a pixel falls in, counted from the first block read at the image position of its corner, and the
// cell of it each sample takes. Covers the rows of cells laid out at once, columns and rows cut by the
// picture's edges, and blocks used in place as well as copied.
TEST(PictureSize, EveryPixelOfABuildFollowsTheSamplingRules) {
    CCoordinateMap& map = CCoordinateMap::Get();
    const CRadarColorTable colors = CoordinateColors();
    CRadarSamples samples;
    const auto tileOnAxis = [](int pixel, int origin, int pixels, int perBlock, int step, int first,
                               int end) {
        if (pixel < origin)
            return -1;
        const int sample = (pixel - origin) / pixels;
        const int block = first + sample / perBlock * step;
        return block < end ? block * kBlockSide + kBlockSide * (sample % perBlock) / perBlock : -1;
    };
    for (const bool inPlace : {false, true}) {
        map.SetInPlace(inPlace);
        for (const int zoom : {-8, -2, -1, 1, 2, 8}) {
            const bool nearOneTileAPixel = zoom == -1 || zoom == 1 || zoom == 2;
            for (const Size size : {Size{1920, 1080}, Size{1001, 333}, Size{385, 257}, Size{13, 9}}) {
                if (size.width == 1920 && !nearOneTileAPixel)
                    continue;
                const LevelExtent e = GetLevelExtent(zoom, size.width, size.height);
                for (const auto& [x, y] : {std::pair{e.minCentreX, e.minCentreY}, std::pair{2001, 1003},
                                           std::pair{e.maxCentreX, e.maxCentreY}}) {
                    int cx = x, cy = y;
                    ClampCentre(zoom, size.width, size.height, cx, cy);
                    SCOPED_TRACE(testing::Message()
                                 << "in place " << inPlace << " size " << size.width << "x" << size.height
                                 << " zoom " << zoom << " centre " << cx << "," << cy);
                    BuildRadarSamples(map, colors, zoom, cx, cy, size.width, size.height, samples);
                    const RadarBlockRange r = ComputeRadarBlockRange(zoom, cx, cy, size.width, size.height);
                    const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
                    std::vector<int> tileX(static_cast<std::size_t>(size.width));
                    std::vector<int> tileY(static_cast<std::size_t>(size.height));
                    for (int px = 0; px < size.width; ++px)
                        tileX[static_cast<std::size_t>(px)] =
                            tileOnAxis(px, r.originX, level.pixelsPerSample, level.samplesPerBlock,
                                       level.blockStep, r.x0, r.x1);
                    for (int py = 0; py < size.height; ++py)
                        tileY[static_cast<std::size_t>(py)] =
                            tileOnAxis(py, r.originY, level.pixelsPerSample, level.samplesPerBlock,
                                       level.blockStep, r.y0, r.y1);
                    int wrong = 0;
                    for (int py = 0; py < size.height && wrong < 5; ++py) {
                        for (int px = 0; px < size.width && wrong < 5; ++px) {
                            const int tx = tileX[static_cast<std::size_t>(px)];
                            const int ty = tileY[static_cast<std::size_t>(py)];
                            const std::uint32_t expected =
                                tx < 0 || ty < 0 ? 0 : colors[CoordinateTile(tx, ty)];
                            if (samples.PictureColor(px, py) != expected) {
                                ADD_FAILURE() << "pixel " << px << "," << py << " tile " << tx << "," << ty;
                                ++wrong;
                            }
                        }
                    }
                }
            }
        }
    }
    map.SetInPlace(false);
}

TEST(PictureSize, TheDialogsDefaultPictureIsTheClassicImageAndNothingInsideTheWorldStaysBlack) {
    CCoordinateMap& map = CCoordinateMap::Get();
    const CRadarColorTable colors = CoordinateColors();
    for (const int zoom : kZoomLevels) {
        // The dialog's picture is one row taller than the classic image; its first 256 rows are that
        // image byte for byte.
        int cx = 1234, cy = 3333;
        ClampCentre(zoom, cx, cy);
        CRadarImage classic;
        BuildRadarImageFrom(map, colors, zoom, cx, cy, classic);
        CRadarImage dialog(384, 257);
        BuildRadarImageFrom(map, colors, zoom, cx, cy, dialog);
        EXPECT_EQ(std::memcmp(classic.Data(), dialog.Data(), CRadarImage::kByteCount), 0) << zoom;
        // And at any size, every pixel that shows a place inside the world has terrain.
        for (const Size size : kSizes) {
            CMapView view;
            view.SetPictureGeometry(PictureOfSize(size.width, size.height));
            view.Colors() = colors;
            ASSERT_TRUE(view.SetZoom(zoom));
            view.SetCentre(cx, cy);
            view.BuildRadarImage(map);
            const CRadarImage& image = view.Image();
            for (int y = 0; y < size.height; y += 3) {
                for (int x = 0; x < size.width; x += 3) {
                    const ViewPoint corner = view.WorldToView(0, 0);
                    const ViewPoint end = view.WorldToView(6144, 4096);
                    const bool inWorld = x >= corner.x && y >= corner.y && x < end.x && y < end.y;
                    // Colours all carry 0x80 in blue; black means nothing was drawn.
                    ASSERT_EQ(ColorBlue(image.Pixel(x, y)) == 0x80, inWorld)
                        << "zoom " << zoom << " size " << size.width << "x" << size.height << " at " << x
                        << "," << y;
                }
            }
        }
    }
}

TEST(PictureSize, BuildsAtCloseLevelsTouchOnlyTheSamplesThatShow) {
    // A large picture at the closest level reads a handful of columns and keeps one value per tile.
    CProceduralMap map(1);
    CRadarSamples samples;
    BuildRadarSamples(map, CRadarColorTable(), 32, 3000, 2000, 1920, 1080, samples);
    EXPECT_EQ(samples.PixelsPerSample(), 32);
    // 60 tiles wide and 33.75 high, plus the part-tiles at the edges.
    EXPECT_LE(samples.Width(), 62);
    EXPECT_LE(samples.Height(), 36);
    EXPECT_LE(map.Reads().size(), 9u);
    // The samples cover the whole picture.
    EXPECT_LE(samples.OriginX(), 0);
    EXPECT_LE(samples.OriginY(), 0);
    EXPECT_GE(samples.OriginX() + samples.Width() * 32, 1920);
    EXPECT_GE(samples.OriginY() + samples.Height() * 32, 1080);
}

TEST(MapNavigation, ZoomingAroundAPointKeepsItsWorldPointUnderIt) {
    CMapView view;
    view.SetPictureGeometry(PictureOfSize(800, 600));
    test::CTempDir noClient;
    view.SetClientDirectory(noClient.Directory());
    ASSERT_TRUE(view.SetZoom(-4));
    view.SetCentre(3000, 2000);
    // In through every level and out again, around points all over the picture.
    const ViewPoint points[] = {{400, 300}, {17, 590}, {799, 0}, {523, 211}, {401, 299}};
    int kept = 0;
    for (const ViewPoint p : points) {
        for (int step = 0; step < 20; ++step) {
            const bool in = step < 10;
            const int next = in ? ZoomInLevel(view.Zoom()) : ZoomOutLevel(view.Zoom());
            const WorldPoint before = view.ViewToWorld(p.x, p.y);
            const bool moved = view.ZoomAt(next, p.x, p.y);
            EXPECT_EQ(moved, next != view.Zoom() || moved);
            const LevelExtent e = GetLevelExtent(view.Zoom(), 800, 600);
            const bool clamped = view.CentreX() == e.minCentreX || view.CentreX() == e.maxCentreX ||
                                 view.CentreY() == e.minCentreY || view.CentreY() == e.maxCentreY;
            if (!clamped) {
                EXPECT_EQ(view.ViewToWorld(p.x, p.y), before)
                    << "zoom " << view.Zoom() << " at " << p.x << "," << p.y;
                ++kept;
            }
        }
    }
    EXPECT_GT(kept, 60);
    // Not a level, or the level already shown: nothing happens.
    const int zoom = view.Zoom();
    EXPECT_FALSE(view.ZoomAt(3, 10, 10));
    EXPECT_FALSE(view.ZoomAt(zoom, 10, 10));
}

TEST(MapNavigation, PanningFollowsThePointerAndStopsAtTheBounds) {
    CMapView view;
    view.SetPictureGeometry(PictureOfSize(640, 480));
    test::CTempDir noClient;
    view.SetClientDirectory(noClient.Directory());
    ASSERT_TRUE(view.SetZoom(-2));
    view.SetCentre(3000, 2000);
    // Dragging the map right and down by (10, 4) pixels shows what lay left and above: 2 tiles a pixel.
    const WorldPoint grabbed = view.ViewToWorld(100, 100);
    EXPECT_TRUE(view.PanByPixels(10, 4));
    EXPECT_EQ(view.CentreX(), 2980);
    EXPECT_EQ(view.CentreY(), 1992);
    EXPECT_EQ(view.ViewToWorld(110, 104), grabbed);

    // At 8 pixels a tile, moves of 3 pixels add up: the third one moves the map by a tile.
    ASSERT_TRUE(view.SetZoom(8));
    view.SetCentre(3000, 2000);
    EXPECT_FALSE(view.PanByPixels(3, 0));
    EXPECT_FALSE(view.PanByPixels(3, 0));
    EXPECT_TRUE(view.PanByPixels(3, 0));
    EXPECT_EQ(view.CentreX(), 2999);
    // 9 - 17 = 8 pixels to the left in all: the map shows one tile further right than at the start.
    EXPECT_TRUE(view.PanByPixels(-17, 0));
    EXPECT_EQ(view.CentreX(), 3001);

    // Against the edge the centre stops at the bound, and what was pushed beyond is not owed later.
    const LevelExtent e = GetLevelExtent(8, 640, 480);
    view.SetCentre(e.minCentreX + 1, 2000);
    EXPECT_TRUE(view.PanByPixels(100, 0));
    EXPECT_EQ(view.CentreX(), e.minCentreX);
    EXPECT_FALSE(view.PanByPixels(100, 0));
    EXPECT_TRUE(view.PanByPixels(-8, 0));
    EXPECT_EQ(view.CentreX(), e.minCentreX + 1);
}

TEST(MapNavigation, HomeShowsTheWholeWorldAsLargeAsItFits) {
    test::CTempDir noClient;
    for (const auto& [size, level] : {std::pair{Size{384, 257}, -16}, std::pair{Size{800, 600}, -8},
                                      std::pair{Size{1920, 1080}, -4}, std::pair{Size{3200, 2100}, -2}}) {
        CMapView view;
        view.SetClientDirectory(noClient.Directory());
        view.SetPictureGeometry(PictureOfSize(size.width, size.height));
        ASSERT_TRUE(view.SetZoom(8));
        view.SetCentre(100, 100);
        EXPECT_TRUE(view.ShowWholeWorld());
        EXPECT_EQ(view.Zoom(), level);
        EXPECT_EQ(view.CentreX(), 3072);
        EXPECT_EQ(view.CentreY(), 2048);
        // The world's corners are inside the picture and one level closer would not hold them.
        EXPECT_GE(view.WorldToView(0, 0).x, 0);
        EXPECT_LE(view.WorldToView(6144, 4096).y, size.height);
        EXPECT_FALSE(view.ShowWholeWorld());
        EXPECT_TRUE(size.width * TilesPerPixel(ZoomInLevel(level)) < 6144 ||
                    size.height * TilesPerPixel(ZoomInLevel(level)) < 4096);
    }
}

TEST(PictureSize, RenderedMapHasTheAskedSizeAndRefusesAbsurdOnes) {
    test::CTempDir client;
    CProceduralMap map(3);
    client.Write("map0.mul", test::MapBytes(map, 40 * 512 * 196));
    MapRenderOptions options;
    options.width = 500;
    options.height = 333;
    options.zoom = 4;
    options.centreX = 10;
    options.centreY = 10;
    RgbImage image;
    MapRenderResult result = RenderMap(client.Directory(), options, image);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(image.width, 500);
    EXPECT_EQ(image.height, 333);
    EXPECT_EQ(image.rgb.size(), 500u * 333u * 3u);
    // The centre was clamped for that size: 250 / 4 rounded up is 63 tiles from the edge.
    EXPECT_EQ(result.centreX, 63);
    EXPECT_EQ(result.centreY, 42);
    options.width = 0;
    EXPECT_FALSE(RenderMap(client.Directory(), options, image).ok);
    options.width = kMaxRenderSide + 1;
    EXPECT_FALSE(RenderMap(client.Directory(), options, image).ok);
}

} // namespace
} // namespace frostmark
