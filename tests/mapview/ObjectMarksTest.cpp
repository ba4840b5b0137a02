// The objects to freeze as marks on the map: each mark centred on its object's tile where the view's
// conversion puts it, at every level and picture size; stacked objects, the picture's edges, and which
// object a click means.
#include "mapview/ObjectMarks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace frostmark {
namespace {

constexpr std::uint32_t kCore = 0xFFFF00FF;
constexpr std::uint32_t kEdge = 0xFF000000;

CMapView ViewOf(int width, int height, int zoom, int centreX, int centreY) {
    CMapView view;
    PictureGeometry picture;
    picture.frame = {0, 0, width, height};
    picture.clientWidth = width;
    picture.clientHeight = height;
    view.SetPictureGeometry(picture);
    EXPECT_TRUE(view.SetZoom(zoom));
    view.SetCentre(centreX, centreY);
    view.ClampToBounds();
    return view;
}

// Where a tile's middle lies, from the map's rules rather than from the view: the centre tile's corner
// at the picture's middle, every tile z pixels on at level z and 1/n pixel at level -n (truncated toward
// zero), the mark half a tile further.
ViewPoint ExpectedCentre(const CMapView& view, long x, long y) {
    const int zoom = view.Zoom();
    const auto pixels = [zoom](long delta) -> long {
        return zoom > 0 ? delta * zoom : delta / -zoom; // C++ division truncates toward zero
    };
    const int half = zoom > 0 ? zoom / 2 : 0;
    return {static_cast<int>(view.PictureWidth() / 2 + pixels(x - view.CentreX()) + half),
            static_cast<int>(view.PictureHeight() / 2 + pixels(y - view.CentreY()) + half)};
}

std::uint32_t At(const MarkLayer& layer, int x, int y) {
    return layer.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width) +
                        static_cast<std::size_t>(x)];
}

TEST(ObjectMarks, EachMarkIsCentredOnItsTileAtEveryLevelAndSize) {
    struct Case {
        int width, height;
    };
    for (const Case size : {Case{384, 256}, Case{500, 300}, Case{1920, 1080}}) {
        for (const int zoom : kZoomLevels) {
            SCOPED_TRACE(testing::Message()
                         << "zoom " << zoom << " size " << size.width << "x" << size.height);
            const CMapView view = ViewOf(size.width, size.height, zoom, 1500, 1100);
            // Tiles around the centre, spread so that at the far levels their marks stay apart, and one
            // far outside every view but the whole world.
            const long spread = zoom > 0 ? std::max(1, 48 / zoom) : 12L * -zoom;
            std::vector<MapObject> objects;
            for (int i = -2; i <= 2; ++i)
                objects.push_back({static_cast<std::uint16_t>(view.CentreX() + i * spread + (i & 1)),
                                   static_cast<std::uint16_t>(view.CentreY() - i * spread)});
            objects.push_back({6100, 4000});
            const MarkLayer layer = PaintObjectMarks(view, objects, kCore, kEdge);
            const int radius = MarkRadius(zoom);
            ASSERT_EQ(layer.width, size.width);
            ASSERT_EQ(layer.height, size.height);
            std::size_t inside = 0;
            for (std::size_t i = 0; i < objects.size(); ++i) {
                const ViewPoint c = ExpectedCentre(view, objects[i].x, objects[i].y);
                EXPECT_EQ(MarkCentre(view, objects[i].x, objects[i].y), c) << i;
                if (c.x < 0 || c.y < 0 || c.x >= size.width || c.y >= size.height)
                    continue;
                ++inside;
                EXPECT_EQ(At(layer, c.x, c.y), kCore) << i;
                if (i + 1 < objects.size()) { // the spread ones stand alone: core, edge, then nothing
                    EXPECT_EQ(At(layer, c.x + 1, c.y - 1), kCore) << i;
                    EXPECT_EQ(At(layer, c.x - radius, c.y), kEdge) << i;
                    EXPECT_EQ(At(layer, c.x, c.y + radius), kEdge) << i;
                    EXPECT_EQ(At(layer, c.x + radius + 1, c.y), 0u) << i;
                }
            }
            EXPECT_EQ(layer.objectsShown, inside);
            EXPECT_GE(inside, 5u); // the five around the centre show at every level
        }
    }
}

TEST(ObjectMarks, StackedNeighbouringAndEdgeMarks) {
    // At 16 tiles a pixel, two objects 16 tiles apart sit on neighbouring pixels: neither edge covers
    // the other's core. Objects on one spot count each but paint one mark.
    const CMapView far = ViewOf(384, 256, -16, 3072, 2048);
    const std::vector<MapObject> pair = {{3072, 2048}, {3088, 2048}, {3072, 2048}, {3075, 2050}};
    const MarkLayer layer = PaintObjectMarks(far, pair, kCore, kEdge);
    const ViewPoint a = MarkCentre(far, 3072, 2048), b = MarkCentre(far, 3088, 2048);
    ASSERT_EQ(b.x, a.x + 1);
    EXPECT_EQ(At(layer, a.x, a.y), kCore);
    EXPECT_EQ(At(layer, b.x, b.y), kCore);
    EXPECT_EQ(At(layer, a.x - 1, a.y), kCore);
    EXPECT_EQ(At(layer, b.x + 1, b.y), kCore);
    EXPECT_EQ(layer.objectsShown, 4u);

    // The world's corners at the whole-world view: their marks are cut at the picture's edge, not lost.
    const std::vector<MapObject> corners = {{0, 0}, {6143, 4095}};
    const MarkLayer edges = PaintObjectMarks(far, corners, kCore, kEdge);
    EXPECT_EQ(edges.objectsShown, 2u);
    EXPECT_EQ(At(edges, 0, 0), kCore);
    EXPECT_EQ(At(edges, 383, 255), kCore);
}

TEST(ObjectMarks, CrowdedMarksThinToDotsThatLeaveTheTerrainVisible) {
    // A region covered with objects at 16 tiles a pixel (every pixel of it holds several), and one
    // object on its own far from it.
    const CMapView far = ViewOf(384, 256, -16, 3072, 2048);
    std::vector<MapObject> objects;
    for (int y = 1000; y < 1640; y += 4)
        for (int x = 2000; x < 2640; x += 4)
            objects.push_back({static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)});
    objects.push_back({400, 3800});
    const MarkLayer layer = PaintObjectMarks(far, objects, kCore, kEdge);
    EXPECT_EQ(layer.objectsShown, objects.size());

    const ViewPoint first = MarkCentre(far, 2000, 1000), last = MarkCentre(far, 2636, 1636);
    int marked = 0, pixels = 0;
    for (int y = first.y; y <= last.y; ++y)
        for (int x = first.x; x <= last.x; ++x, ++pixels)
            marked += At(layer, x, y) != 0;
    // Most of the ground shows (squares would cover all of it)...
    EXPECT_LT(marked, pixels / 4);
    // ...and every object has the mark colour within a mark's width of its own spot.
    const int radius = MarkRadius(-16);
    for (std::size_t i = 0; i + 1 < objects.size(); i += 7) {
        const ViewPoint c = MarkCentre(far, objects[i].x, objects[i].y);
        bool seen = false;
        for (int dy = -2 * radius; dy <= 2 * radius && !seen; ++dy)
            for (int dx = -2 * radius; dx <= 2 * radius && !seen; ++dx)
                seen = At(layer, c.x + dx, c.y + dy) == kCore;
        ASSERT_TRUE(seen) << objects[i].x << "," << objects[i].y;
    }
    // The lone object keeps its square.
    const ViewPoint lone = MarkCentre(far, 400, 3800);
    EXPECT_EQ(At(layer, lone.x, lone.y), kCore);
    EXPECT_EQ(At(layer, lone.x - radius, lone.y + radius), kEdge);
    EXPECT_EQ(At(layer, lone.x + radius + 1, lone.y), 0u);
}

TEST(ObjectMarks, TheIndexPaintsWhatTheListPaintsInAnyOrder) {
    // Towns, thin spread, the world's edges and corners, objects off the map, and the same objects
    // shuffled: the index visits them cell by cell, the list in its own order.
    std::vector<MapObject> objects;
    std::mt19937 random(20261208);
    const auto below = [&random](int n) {
        return static_cast<std::uint16_t>(random() % static_cast<unsigned>(n));
    };
    for (int town = 0; town < 40; ++town) {
        const int tx = below(kWorldWidth), ty = below(kWorldHeight);
        for (int i = 0; i < 600; ++i)
            objects.push_back(
                {static_cast<std::uint16_t>(std::clamp(tx + below(96) - 48, 0, kWorldWidth - 1)),
                 static_cast<std::uint16_t>(std::clamp(ty + below(96) - 48, 0, kWorldHeight - 1))});
    }
    for (int i = 0; i < 30000; ++i)
        objects.push_back({below(kWorldWidth), below(kWorldHeight)});
    for (const MapObject corner :
         {MapObject{0, 0}, MapObject{6143, 0}, MapObject{0, 4095}, MapObject{6143, 4095}, MapObject{63, 64},
          MapObject{64, 63}, MapObject{6144, 100}, MapObject{100, 4096}, MapObject{65535, 65535}})
        objects.push_back(corner);
    // Stacks, so that the smallest pictures below get more objects than they have pixels.
    for (int i = 0; i < 3; ++i) {
        objects.push_back({3072, 2048});
        objects.push_back({100, 100});
    }
    std::vector<MapObject> shuffled = objects;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    const CObjectMarkIndex index(shuffled);
    EXPECT_EQ(index.Size(), objects.size());

    struct Case {
        int width, height, centreX, centreY;
    };
    const Case cases[] = {{384, 256, 3072, 2048},
                          {1920, 1080, 40, 30},
                          {1920, 1080, 6100, 4050},
                          {1001, 677, 2500, 1300},
                          {333, 1200, 3070, 2050},
                          // More objects than pixels: every pixel taken, and more objects come.
                          {1, 1, 3072, 2048},
                          {3, 2, 100, 100}};
    for (const Case c : cases) {
        for (const int zoom : kZoomLevels) {
            SCOPED_TRACE(testing::Message() << "zoom " << zoom << " size " << c.width << "x" << c.height
                                            << " centre " << c.centreX << "," << c.centreY);
            const CMapView view = ViewOf(c.width, c.height, zoom, c.centreX, c.centreY);
            const MarkLayer listed = PaintObjectMarks(view, objects, kCore, kEdge);
            const MarkLayer indexed = PaintObjectMarks(view, index, kCore, kEdge);
            EXPECT_EQ(indexed.objectsShown, listed.objectsShown);
            ASSERT_EQ(indexed.pixels.size(), listed.pixels.size());
            EXPECT_TRUE(indexed.pixels == listed.pixels);
            EXPECT_TRUE(PaintObjectMarks(view, shuffled, kCore, kEdge).pixels == listed.pixels);
        }
    }
    // An empty list paints nothing either way.
    const CMapView view = ViewOf(384, 256, -16, 3072, 2048);
    const MarkLayer none =
        PaintObjectMarks(view, CObjectMarkIndex(std::span<const MapObject>{}), kCore, kEdge);
    EXPECT_EQ(none.objectsShown, 0u);
    EXPECT_TRUE(std::all_of(none.pixels.begin(), none.pixels.end(), [](std::uint32_t p) { return p == 0; }));
}

TEST(ObjectMarks, AClickMeansTheNearestMarkWithinReach) {
    const CMapView view = ViewOf(384, 256, 4, 2000, 1500);
    const std::vector<MapObject> objects = {{2000, 1500}, {2003, 1500}, {2000, 1500}, {1990, 1490}};
    const ViewPoint first = MarkCentre(view, 2000, 1500); // 4 pixels a tile: the two are 12 apart
    const ViewPoint second = MarkCentre(view, 2003, 1500);
    EXPECT_EQ(HitTestObjectMarks(view, objects, first, 3), 0u); // on one spot: the first of them
    EXPECT_EQ(HitTestObjectMarks(view, objects, {second.x - 2, second.y + 3}, 3), 1u);
    EXPECT_EQ(HitTestObjectMarks(view, objects, {first.x + 5, first.y}, 3), std::nullopt);
    EXPECT_EQ(HitTestObjectMarks(view, objects, {first.x + 7, first.y}, 7), 1u); // nearer to the second
    EXPECT_EQ(HitTestObjectMarks(view, {}, first, 3), std::nullopt);
}

} // namespace
} // namespace frostmark
