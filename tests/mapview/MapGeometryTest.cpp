#include "mapview/MapGeometry.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

TEST(ZoomLevels, TableFollowsFromTheImageSizeAndTheWorld) {
    for (const int zoom : kZoomLevels) {
        SCOPED_TRACE(zoom);
        const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
        EXPECT_EQ(level.zoom, zoom);
        // Half the visible extent in tiles from each edge.
        const int halfWide = zoom < 0 ? 192 * -zoom : 192 / zoom;
        const int halfHigh = zoom < 0 ? 128 * -zoom : 128 / zoom;
        EXPECT_EQ(level.minCentreX, halfWide);
        EXPECT_EQ(level.maxCentreX, 6144 - halfWide);
        EXPECT_EQ(level.minCentreY, halfHigh);
        EXPECT_EQ(level.maxCentreY, 4096 - halfHigh);
        // Visible extent in blocks, rounded down.
        EXPECT_EQ(level.blocksWide, 2 * halfWide / 8);
        EXPECT_EQ(level.blocksHigh, 2 * halfHigh / 8);
        // A sample is one pixel wide at the far levels and one tile wide at the close ones.
        if (zoom < 0) {
            EXPECT_EQ(level.pixelsPerSample, 1);
            EXPECT_EQ(level.samplesPerBlock * level.blockStep, zoom == -16 ? 1 * 2 : 8 / -zoom);
        } else {
            EXPECT_EQ(level.samplesPerBlock, 8);
            EXPECT_EQ(level.pixelsPerSample, zoom);
        }
        EXPECT_EQ(level.blockStep, zoom == -16 ? 2 : 1);
    }
    // -1 and 1 are the same view.
    EXPECT_EQ(GetZoomLevelInfo(-1).maxCentreX, GetZoomLevelInfo(1).maxCentreX);
    EXPECT_EQ(GetZoomLevelInfo(-1).samplesPerBlock, GetZoomLevelInfo(1).samplesPerBlock);
}

TEST(ZoomLevels, ZoomingWalksTheLevelsAndStopsAtBothEnds) {
    struct Case {
        int from, in, out;
    };
    const Case cases[] = {{-16, -8, -16}, {-8, -4, -16}, {-4, -2, -8}, {-2, -1, -4}, {-1, 2, -2}, {1, 2, -2},
                          {2, 4, 1},      {4, 8, 2},     {8, 16, 4},   {16, 32, 8},  {32, 32, 16}};
    for (const Case& c : cases) {
        EXPECT_EQ(ZoomInLevel(c.from), c.in) << c.from;
        EXPECT_EQ(ZoomOutLevel(c.from), c.out) << c.from;
    }
    // Values that are not levels stay as they are rather than wander off.
    EXPECT_EQ(ZoomInLevel(3), 3);
    EXPECT_EQ(ZoomOutLevel(0), 0);
    EXPECT_FALSE(IsZoomLevel(0));
    EXPECT_EQ(GetZoomLevelInfo(5).zoom, -16);
}

TEST(ZoomLevels, CentreIsClampedIntoTheLevelsBounds) {
    int x = 100, y = 100;
    ClampCentre(1, x, y);
    EXPECT_EQ(x, 192);
    EXPECT_EQ(y, 128);
    x = 9000, y = -3;
    ClampCentre(-16, x, y);
    EXPECT_EQ(x, 3072);
    EXPECT_EQ(y, 2048);
    x = 6139, y = 4093;
    ClampCentre(32, x, y);
    EXPECT_EQ(x, 6138);
    EXPECT_EQ(y, 4092);
}

TEST(ZoomLevels, ConversionsOfDistancesTruncateTowardZero) {
    struct Case {
        long long delta;
        int zoom;
        long long pixels;
    };
    const Case toPixels[] = {{-1544, -8, -193}, {-1547, -8, -193}, {15, -16, 0}, {-15, -16, 0},
                             {17, -16, 1},      {-17, -16, -1},    {5, 32, 160}, {-5, 32, -160},
                             {3, -2, 1},        {-3, -2, -1},      {7, 1, 7},    {7, -1, 7}};
    for (const Case& c : toPixels) {
        EXPECT_EQ(WorldDeltaToPixels(c.delta, c.zoom), c.pixels) << c.delta << " at " << c.zoom;
    }
    const Case toWorld[] = {{1, 2, 0},    {-1, 2, 0},  {3, 2, 1},          {-3, 2, -1},
                            {-31, 32, 0}, {33, 32, 1}, {-192, -16, -3072}, {5, -4, 20}};
    for (const Case& c : toWorld) {
        EXPECT_EQ(PixelDeltaToWorld(c.delta, c.zoom), c.pixels) << c.delta << " at " << c.zoom;
    }
    // Distances far outside the world neither overflow nor wrap.
    EXPECT_GT(WorldDeltaToPixels(4'000'000'000'000'000'000LL, 32), 0);
    EXPECT_LT(WorldDeltaToPixels(-4'000'000'000'000'000'000LL, 32), 0);
}

} // namespace
} // namespace frostmark
