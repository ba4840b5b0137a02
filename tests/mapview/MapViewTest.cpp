#include "MapTestSupport.h"

#include "mapview/MapView.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <utility>

namespace frostmark {
namespace {

// A picture whose outer frame starts at (200, 10) in the dialog, with its drawing area 384 x 256 at the
// same place.
PictureGeometry DialogPicture() {
    PictureGeometry picture;
    picture.frame = {200, 10, 584, 266};
    picture.clientOrigin = {200, 10};
    picture.clientWidth = 384;
    picture.clientHeight = 256;
    return picture;
}

TEST(MapViewConversions, PixelsAndTilesAtTheWorkedPoints) {
    struct Case {
        int zoom;
        int centreX, centreY;
        int viewX, viewY;
        long worldX, worldY;
    };
    // Picture 384 x 256 at (0, 0): the middle is pixel (192, 128).
    const Case toWorld[] = {
        {-16, 3072, 2048, 192, 128, 3072, 2048}, // middle
        {-16, 3072, 2048, 0, 0, 0, 0},           // top-left corner
        {-16, 3072, 2048, 383, 255, 6128, 4080},
        {2, 1000, 500, 191, 128, 1000, 500}, // one pixel either side of the middle: the centre tile
        {2, 1000, 500, 193, 128, 1000, 500},
        {2, 1000, 500, 194, 129, 1001, 500},
        {2, 1000, 500, 190, 126, 999, 499},
        {32, 1000, 500, 192 - 31, 128 + 31, 1000, 500}, // 63 pixels around the middle are the centre
        {32, 1000, 500, 192 - 32, 128 + 32, 999, 501},
        {-4, 1000, 500, 190, 131, 992, 512},
        {1, 1000, 500, 0, 0, 808, 372},
    };
    for (const Case& c : toWorld) {
        CMapView view;
        ASSERT_TRUE(view.SetZoom(c.zoom));
        view.SetCentre(c.centreX, c.centreY);
        EXPECT_EQ(view.ViewToWorld(c.viewX, c.viewY), (WorldPoint{c.worldX, c.worldY}))
            << "zoom " << c.zoom << " at " << c.viewX << "," << c.viewY;
    }
    const Case toView[] = {
        {-16, 3072, 2048, 384, 256, 6144, 4096}, // bottom-right corner
        {-16, 3072, 2048, 0, 0, 0, 0},
        {-16, 3072, 2048, 192, 128, 3057, 2048}, // 15 tiles left of the centre: still its pixel...
        {-16, 3072, 2048, 192, 128, 3087, 2048}, // ...and 15 right: truncation toward zero both ways
        {-16, 3072, 2048, 191, 128, 3056, 2048},
        {4, 1000, 500, 196, 124, 1001, 499},
        {32, 6, 4, 0, 0, 0, 0},
        {-8, 3077, 2048, 0, 128, 1541, 2048},
    };
    for (const Case& c : toView) {
        CMapView view;
        ASSERT_TRUE(view.SetZoom(c.zoom));
        view.SetCentre(c.centreX, c.centreY);
        EXPECT_EQ(view.WorldToView(c.worldX, c.worldY), (ViewPoint{c.viewX, c.viewY}))
            << "zoom " << c.zoom << " of " << c.worldX << "," << c.worldY;
    }
}

TEST(MapViewConversions, PictureOffsetAndSizeMoveTheMiddle) {
    CMapView view;
    PictureGeometry picture = DialogPicture();
    picture.frame = {199, 9, 587, 269};
    picture.clientOrigin = {201, 11};
    picture.clientWidth = 385; // odd: the middle is 385 / 2 = 192
    picture.clientHeight = 257;
    view.SetPictureGeometry(picture);
    EXPECT_EQ(view.ViewToWorld(201 + 192, 11 + 128), (WorldPoint{3072, 2048}));
    EXPECT_EQ(view.WorldToView(3072, 2048), (ViewPoint{393, 139}));
    EXPECT_EQ(view.WorldToView(0, 0), (ViewPoint{201, 11}));
    // The image is built at the picture's size and fills it.
    EXPECT_EQ(view.ImageOrigin(), (ViewPoint{201, 11}));
    picture.clientWidth = 400;
    picture.clientHeight = 300;
    view.SetPictureGeometry(picture);
    EXPECT_EQ(view.ImageOrigin(), (ViewPoint{201, 11}));
    // The world's corner is where the middle, moved by half the world at 16 tiles a pixel, puts it.
    EXPECT_EQ(view.WorldToView(0, 0), (ViewPoint{201 + 200 - 192, 11 + 150 - 128}));
    // Far-off world points stay representable, and outside the picture.
    const ViewPoint far = view.WorldToView(LONG_MAX, LONG_MIN);
    EXPECT_GT(far.x, 201 + 400);
    EXPECT_LT(far.y, 11);
    if constexpr (sizeof(long) > 4) { // beyond the pixels an int holds (a Windows long is 32 bits)
        EXPECT_EQ(far.x, INT_MAX);
        EXPECT_EQ(far.y, INT_MIN);
    }
}

TEST(MapViewNavigation, ZoomStopsAtBothEndsWithoutTouchingAnything) {
    test::CTempDir noClient;
    CMapView view;
    view.SetClientDirectory(noClient.Directory());
    EXPECT_FALSE(view.OnZoomOut());
    EXPECT_EQ(view.Zoom(), -16);
    ASSERT_TRUE(view.SetZoom(32));
    view.SetCentre(1, 2); // out of bounds, but nothing clamps it when nothing happens
    EXPECT_FALSE(view.OnZoomIn());
    EXPECT_EQ(view.CentreX(), 1);
    EXPECT_EQ(view.CentreY(), 2);

    ASSERT_TRUE(view.SetZoom(-2));
    EXPECT_TRUE(view.OnZoomIn());
    EXPECT_EQ(view.Zoom(), -1);
    EXPECT_TRUE(view.OnZoomIn());
    EXPECT_EQ(view.Zoom(), 2);
    EXPECT_TRUE(view.OnZoomOut());
    EXPECT_EQ(view.Zoom(), 1);
    EXPECT_TRUE(view.OnZoomOut());
    EXPECT_EQ(view.Zoom(), -2);
    // Zooming rebuilt (and so clamped) the centre.
    EXPECT_EQ(view.CentreX(), 384);
    EXPECT_EQ(view.CentreY(), 256);
    EXPECT_FALSE(view.SetZoom(3));
    EXPECT_EQ(view.Zoom(), -2);
}

TEST(MapViewNavigation, ScrollRangesAreTheLevelsCentreBounds) {
    CMapView view;
    ScrollRanges ranges = view.GetScrollRanges();
    EXPECT_EQ(ranges.horizontalPosition, 3072);
    EXPECT_EQ(ranges.horizontalMin, 3072);
    EXPECT_EQ(ranges.horizontalMax, 3072);
    EXPECT_EQ(ranges.verticalPosition, 2048);
    ASSERT_TRUE(view.SetZoom(-8));
    view.SetCentre(2000, 1000);
    ranges = view.GetScrollRanges();
    EXPECT_EQ(ranges.horizontalPosition, 2000);
    EXPECT_EQ(ranges.horizontalMin, 1536);
    EXPECT_EQ(ranges.horizontalMax, 4608);
    EXPECT_EQ(ranges.verticalPosition, 1000);
    EXPECT_EQ(ranges.verticalMin, 1024);
    EXPECT_EQ(ranges.verticalMax, 3072);
}

TEST(MapViewNavigation, ScrollCodesMoveTheCentreByWorldTiles) {
    struct Case {
        ScrollCode code;
        int thumb;
        int expected;
    };
    const Case cases[] = {{ScrollCode::LineUp, 0, 2992},
                          {ScrollCode::LineDown, 0, 3008},
                          {ScrollCode::PageUp, 0, 2744},
                          {ScrollCode::PageDown, 0, 3256},
                          {ScrollCode::ThumbPosition, 4321, 4321},
                          {ScrollCode::ThumbTrack, 17, 17},
                          {ScrollCode::Top, 0, 2936},
                          {ScrollCode::Bottom, 0, 3064}};
    for (const ScrollBarKind bar : {ScrollBarKind::Horizontal, ScrollBarKind::Vertical}) {
        for (const Case& c : cases) {
            for (const int zoom : {4, -8}) { // the steps do not depend on the level
                CMapView view;
                ASSERT_TRUE(view.SetZoom(zoom));
                view.SetCentre(3000, 3000);
                const ScrollOutcome outcome = view.OnScroll(bar, c.code, c.thumb);
                EXPECT_EQ(outcome.position, c.expected);
                EXPECT_FALSE(outcome.imageBuilt);
                EXPECT_EQ(bar == ScrollBarKind::Horizontal ? view.CentreX() : view.CentreY(), c.expected);
                EXPECT_EQ(bar == ScrollBarKind::Horizontal ? view.CentreY() : view.CentreX(), 3000);
            }
        }
    }
}

TEST(MapViewNavigation, StepsStopAtTheLimitsOfTheCoordinate) {
    CMapView view;
    view.SetCentre(INT_MAX - 3, INT_MIN + 3);
    EXPECT_EQ(view.OnScroll(ScrollBarKind::Horizontal, ScrollCode::PageDown).position, INT_MAX);
    EXPECT_EQ(view.OnScroll(ScrollBarKind::Vertical, ScrollCode::LineUp).position, INT_MIN);
}

TEST(MapViewNavigation, EndOfScrollRebuildsAndClamps) {
    test::CTempDir client;
    CMapView view;
    view.SetClientDirectory(client.Directory());
    ASSERT_TRUE(view.SetZoom(1));
    view.SetCentre(3000, 3968);
    EXPECT_EQ(view.OnScroll(ScrollBarKind::Vertical, ScrollCode::LineDown).position, 3976);
    EXPECT_EQ(view.CentreY(), 3976); // not before the scroll ends
    ScrollOutcome end = view.OnScroll(ScrollBarKind::Vertical, ScrollCode::EndScroll);
    EXPECT_EQ(end.position, 3968);
    EXPECT_FALSE(end.imageBuilt); // no map0.mul here

    test::CProceduralMap map(1);
    client.Write("map0.mul", test::MapBytes(map, 512 * 196));
    view.OnScroll(ScrollBarKind::Horizontal, ScrollCode::PageUp);
    end = view.OnScroll(ScrollBarKind::Horizontal, ScrollCode::EndScroll);
    EXPECT_EQ(end.position, 2744);
    EXPECT_TRUE(end.imageBuilt);
    EXPECT_TRUE(view.HasImage());
}

TEST(MapViewDrag, DraggingEitherWayAddsTheSameArea) {
    CMapView view;
    view.SetPictureGeometry(DialogPicture());

    DragFrameChange change = view.OnButtonDown(300, 50);
    EXPECT_TRUE(view.IsDragging());
    EXPECT_FALSE(change.erase.has_value());
    EXPECT_FALSE(change.draw.has_value());
    change = view.OnMouseMove(280, 30);
    EXPECT_FALSE(change.erase.has_value()); // nothing was drawn yet
    EXPECT_EQ(change.draw, (ViewRect{280, 30, 300, 50}));
    change = view.OnMouseMove(250, 20);
    EXPECT_EQ(change.erase, (ViewRect{280, 30, 300, 50}));
    EXPECT_EQ(change.draw, (ViewRect{250, 20, 300, 50}));
    EXPECT_EQ(view.DragFrame(), (ViewRect{250, 20, 300, 50}));
    DragRelease release = view.OnButtonUp(250, 20);
    EXPECT_EQ(release.erase, (ViewRect{250, 20, 300, 50}));
    ASSERT_EQ(release.addedEntry, std::optional<std::size_t>(0));
    EXPECT_FALSE(view.IsDragging());
    EXPECT_FALSE(view.DragFrame().has_value());

    // (250, 20) is 142 and 118 pixels before the middle (392, 138): 2272 and 1888 tiles at -16;
    // (300, 50) is 92 and 88 pixels before it: 1472 and 1408 tiles.
    EXPECT_EQ(view.PatchAreas()[0].text, "800, 160, 1600, 640");

    view.OnButtonDown(250, 20);
    view.OnButtonUp(300, 50); // no move in between: no frame to erase
    ASSERT_EQ(view.PatchAreas().Count(), 2u);
    EXPECT_EQ(view.PatchAreas()[1].text, "800, 160, 1600, 640");
}

TEST(MapViewDrag, OutsideThePictureNothingStartsOrEnds) {
    CMapView view;
    view.SetPictureGeometry(DialogPicture());

    // A press outside starts nothing; moves and releases then do nothing.
    view.OnButtonDown(100, 100);
    EXPECT_FALSE(view.IsDragging());
    EXPECT_FALSE(view.OnMouseMove(300, 100).draw.has_value());
    EXPECT_FALSE(view.OnButtonUp(400, 200).addedEntry.has_value());

    // Press inside, move, release outside: no entry and the last frame is left alone.
    view.OnButtonDown(300, 50);
    EXPECT_TRUE(view.OnMouseMove(350, 90).draw.has_value());
    EXPECT_FALSE(view.OnMouseMove(600, 90).draw.has_value()); // moves outside change nothing
    EXPECT_EQ(view.DragFrame(), (ViewRect{300, 50, 350, 90}));
    const DragRelease release = view.OnButtonUp(600, 90);
    EXPECT_FALSE(release.addedEntry.has_value());
    EXPECT_FALSE(release.erase.has_value());
    EXPECT_FALSE(view.IsDragging());
    EXPECT_EQ(view.PatchAreas().Count(), 0u);

    // The frame edge: the right and bottom edges are outside.
    view.OnButtonDown(584, 100);
    EXPECT_FALSE(view.IsDragging());
    view.OnButtonDown(583, 265);
    EXPECT_TRUE(view.IsDragging());
}

TEST(MapViewDrag, ZeroWidthOrHeightAddsNothing) {
    CMapView view;
    view.SetPictureGeometry(DialogPicture());
    for (const ViewPoint end : {ViewPoint{300, 90}, ViewPoint{340, 50}, ViewPoint{300, 50}}) {
        view.OnButtonDown(300, 50);
        view.OnMouseMove(320, 70);
        const DragRelease release = view.OnButtonUp(end.x, end.y);
        EXPECT_FALSE(release.addedEntry.has_value());
        EXPECT_EQ(release.erase, (ViewRect{300, 50, 320, 70}));
    }
    EXPECT_EQ(view.PatchAreas().Count(), 0u);

    // At the closest level a tile is many pixels wide: a drag within one tile holds no tile (right and
    // bottom are excluded), and only one that reaches the next tile in both directions becomes an entry.
    ASSERT_TRUE(view.SetZoom(32));
    view.OnButtonDown(300, 50);
    view.OnMouseMove(310, 60);
    EXPECT_FALSE(view.OnButtonUp(310, 60).addedEntry.has_value());
    view.OnButtonDown(300, 50);
    view.OnMouseMove(340, 60);
    EXPECT_FALSE(view.OnButtonUp(340, 60).addedEntry.has_value());
    view.OnButtonDown(300, 50);
    view.OnMouseMove(340, 90);
    const DragRelease release = view.OnButtonUp(340, 90);
    ASSERT_TRUE(release.addedEntry.has_value());
    const std::array<long, 4> area = ParsePatchArea(view.PatchAreas()[*release.addedEntry].text);
    EXPECT_EQ(area[2] - area[0], 1);
    EXPECT_EQ(area[3] - area[1], 1);
}

TEST(MapViewDrag, DragsStartAnywhereInAPictureAtTheOrigin) {
    // A view that hands in its own widget's coordinates has the picture at (0, 0); a press on its
    // first row or column is a press like any other.
    CMapView view;
    view.OnButtonDown(0, 40);
    EXPECT_TRUE(view.IsDragging());
    view.OnMouseMove(16, 0);
    ASSERT_TRUE(view.OnButtonUp(16, 0).addedEntry.has_value());
    EXPECT_EQ(view.PatchAreas()[0].text, "0, 0, 256, 640");
}

TEST(PatchAreas, EntriesReadLikeTheListWritesThem) {
    EXPECT_EQ(FormatPatchArea(1, -2, 300, 4000), "1, -2, 300, 4000");
    struct Case {
        const char* text;
        std::array<long, 4> values;
    };
    const Case cases[] = {
        {"800, 160, 1600, 640", {800, 160, 1600, 640}},
        {"  16,32 ,\t48,64", {16, 32, 48, 64}},
        {"-5,+6,7x,8", {-5, 6, 7, 8}},
        {"1,2", {1, 2, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"abc, 5", {0, 5, 0, 0}},
        {"1, 2, 3, 4, 5", {1, 2, 3, 4}},
        {"99999999999999999999999, -99999999999999999999999, 0, 1", {LONG_MAX, LONG_MIN, 0, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParsePatchArea(c.text), c.values) << c.text;
    }
}

TEST(PatchAreas, OverlayFillsEachEntryInOrderWithItsSelectionColour) {
    CMapView view; // level -16: 16 tiles per pixel, picture 384 x 256 at (0, 0)
    view.PatchAreas().Add("0, 0, 3072, 2048");
    view.PatchAreas().Add("3072, 2048, 99999, 99999"); // reaches past the picture: clipped
    view.PatchAreas().Add("abc");                      // reads as 0, 0, 0, 0: nothing to fill
    view.PatchAreas().Add("160, 160, 320, 480");
    view.PatchAreas().SetSelected(1, true);

    const std::vector<OverlayFill> fills = view.DrawPatchAreas();
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0].rect, (ViewRect{0, 0, 192, 128}));
    EXPECT_EQ(fills[0].color, MakeColor(0, 0x77, 0));
    EXPECT_EQ(fills[0].entry, 0u);
    EXPECT_EQ(fills[1].rect, (ViewRect{192, 128, 384, 256}));
    EXPECT_EQ(fills[1].color, MakeColor(0, 0xAA, 0));
    EXPECT_EQ(fills[2].rect, (ViewRect{10, 10, 20, 30}));
    EXPECT_EQ(fills[2].entry, 3u);

    // Selecting turns an entry lighter at once; deleting the selected ones drops their fills.
    view.PatchAreas().SetSelected(3, true);
    EXPECT_EQ(view.DrawPatchAreas()[2].color, kSelectedPatchAreaColor);
    EXPECT_EQ(view.PatchAreas().RemoveSelected(), 2u);
    ASSERT_EQ(view.DrawPatchAreas().size(), 1u);
    EXPECT_EQ(view.PatchAreas()[1].text, "abc");

    // Out of view at a close level: nothing is filled.
    ASSERT_TRUE(view.SetZoom(32));
    view.SetCentre(5000, 3000);
    EXPECT_TRUE(view.DrawPatchAreas().empty());
}

TEST(PatchAreas, EntriesTypedWithHugeCoordinatesFillNothingAtAnyLevel) {
    // Left beyond any int and right of it: the corners clamp to opposite ends of the int range, and the
    // rectangle's width must still come out negative rather than wrap.
    CMapView view;
    view.PatchAreas().Add("99999999999999, 7, 5, 9");
    view.PatchAreas().Add("-99999999999999, -99999999999999, 99999999999999, 99999999999999");
    for (int zoom : {-16, 1, 32}) {
        ASSERT_TRUE(view.SetZoom(zoom));
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{6143, 4095}}) {
            view.SetCentre(x, y);
            const std::vector<OverlayFill> fills = view.DrawPatchAreas();
            ASSERT_EQ(fills.size(), 1u) << zoom;
            EXPECT_EQ(fills[0].entry, 1u);
            EXPECT_EQ(fills[0].rect, view.Picture().frame) << "the whole world covers the picture";
        }
    }
    EXPECT_EQ((ViewRect{INT_MAX, 0, INT_MIN, 0}).Width(), INT_MIN);
    EXPECT_EQ((ViewRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}).Height(), INT_MAX);
}

TEST(PatchAreas, AreasDrawnOnTheMapCoverTheTilesTheyWereDrawnOver) {
    CMapView view;
    view.SetPictureGeometry(DialogPicture());
    ASSERT_TRUE(view.SetZoom(4));
    view.SetCentre(1000, 1000);
    // The middle is (392, 138); corners a whole number of tiles (4 pixels) from it come back exactly.
    view.OnButtonDown(240, 62);
    view.OnMouseMove(300, 102);
    ASSERT_TRUE(view.OnButtonUp(300, 102).addedEntry.has_value());
    EXPECT_EQ(view.PatchAreas()[0].text, "962, 981, 977, 991");
    std::vector<OverlayFill> fills = view.DrawPatchAreas();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (ViewRect{240, 62, 300, 102}));
    // Corners inside a tile are truncated toward the middle: (241, 61) is 151 and 77 pixels from it,
    // 37.75 and 19.25 tiles, so the fill starts at the tile 37 and 19 tiles from the middle.
    view.PatchAreas().Clear();
    view.AddPatchArea({241, 61, 300, 102});
    EXPECT_EQ(view.PatchAreas()[0].text, "963, 981, 977, 991");
    fills = view.DrawPatchAreas();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (ViewRect{244, 62, 300, 102}));
}

} // namespace
} // namespace frostmark
