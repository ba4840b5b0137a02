// Editing patch areas: typed values, fitting to the world, which part of an area a point grabs, moving
// and resizing in tiles, and the drag tool's threshold, clamping and outcomes.
#include "mapview/AreaEditing.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

// Level 4 around (1000, 1000) in a 400 x 300 picture at (0, 0): tile x is pixel (x - 1000) * 4 + 200.
CMapView CloseView() {
    CMapView view;
    PictureGeometry picture;
    picture.frame = {0, 0, 400, 300};
    picture.clientWidth = 400;
    picture.clientHeight = 300;
    view.SetPictureGeometry(picture);
    view.SetZoom(4);
    view.SetCentre(1000, 1000);
    return view;
}

TEST(AreaEditing, TypedValuesAreFourWholeNumbersAndAreFittedToTheWorld) {
    EXPECT_EQ(ParseTypedArea(" 10,20 , -30,40 "), (WorldRect{10, 20, -30, 40}));
    for (const char* bad :
         {"", "1,2,3", "1,2,3,4,5", "1;2;3;4", "a,2,3,4", "1,2,3,4x", "12345678,1,2,3", "1,,3,4"})
        EXPECT_FALSE(ParseTypedArea(bad).has_value()) << bad;

    EXPECT_EQ(FitToWorld({300, 400, 100, 200}), (WorldRect{100, 200, 300, 400}));
    EXPECT_EQ(FitToWorld({-50, -10, 7000, 5000}), (WorldRect{0, 0, 6144, 4096}));
    EXPECT_FALSE(FitToWorld({5, 5, 5, 9}).has_value());
    EXPECT_FALSE(FitToWorld({7000, 10, 8000, 20}).has_value()); // entirely east of the world
    EXPECT_EQ(FormatWorldRect({1, -2, 3, 4}), "1, -2, 3, 4");
    EXPECT_EQ(ParseWorldRect("1, -2, 3, 4"), (WorldRect{1, -2, 3, 4}));
}

TEST(AreaEditing, PointsGrabEdgesCornersOrTheInsideWithinTheTolerance) {
    CMapView view = CloseView();
    // Tiles 990..1010 across and 995..1005 down: pixels 160..240 and 130..170.
    view.PatchAreas().Add("990, 995, 1010, 1005");
    struct Case {
        ViewPoint p;
        std::optional<AreaPart> part;
    };
    const Case cases[] = {
        {{200, 150}, AreaPart::Inside},     {{160, 150}, AreaPart::Left},
        {{156, 150}, AreaPart::Left},       {{155, 150}, std::nullopt},
        {{239, 150}, AreaPart::Right},      {{243, 160}, AreaPart::Right},
        {{200, 130}, AreaPart::Top},        {{200, 173}, AreaPart::Bottom},
        {{158, 128}, AreaPart::TopLeft},    {{241, 127}, AreaPart::TopRight},
        {{161, 171}, AreaPart::BottomLeft}, {{239, 169}, AreaPart::BottomRight},
        {{165, 150}, AreaPart::Inside},     {{200, 100}, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<AreaHit> hit = HitTestPatchAreas(view, c.p, 4);
        ASSERT_EQ(hit.has_value(), c.part.has_value()) << c.p.x << "," << c.p.y;
        if (hit) {
            EXPECT_EQ(hit->part, *c.part) << c.p.x << "," << c.p.y;
            EXPECT_EQ(hit->entry, 0u);
        }
    }
    // A later area lies on top of an earlier one; a selected area comes before both.
    view.PatchAreas().Add("995, 995, 1005, 1005");
    EXPECT_EQ(HitTestPatchAreas(view, {200, 150}, 4)->entry, 1u);
    view.PatchAreas().SetSelected(0, true);
    EXPECT_EQ(HitTestPatchAreas(view, {200, 150}, 4)->entry, 0u);
    // An area a few pixels wide keeps an inside only as wide as it can: here none, and the closer edge
    // wins.
    CMapView far = CloseView();
    far.SetZoom(-16);
    far.SetCentre(3072, 2048);
    far.PatchAreas().Add("3072, 2048, 3104, 2096"); // 2 x 3 pixels
    EXPECT_EQ(HitTestPatchAreas(far, {200, 150}, 4)->part, AreaPart::TopLeft);
    EXPECT_EQ(HitTestPatchAreas(far, {201, 152}, 4)->part, AreaPart::BottomRight);
    // Entries that read as nothing are never hit.
    far.PatchAreas().Add("abc");
    EXPECT_EQ(HitTestPatchAreas(far, {0, 0}, 4), std::nullopt);
}

TEST(AreaEditing, MovingAndResizingStayInsideTheWorldAndKeepATile) {
    const WorldRect r{100, 200, 300, 400};
    EXPECT_EQ(MoveArea(r, 10, -20), (WorldRect{110, 180, 310, 380}));
    EXPECT_EQ(MoveArea(r, -500, 9000), (WorldRect{0, 3896, 200, 4096}));
    EXPECT_EQ(MoveArea(r, 9000, -9000), (WorldRect{5944, 0, 6144, 200}));

    EXPECT_EQ(ResizeArea(r, AreaPart::Right, 50, 999), (WorldRect{100, 200, 350, 400}));
    EXPECT_EQ(ResizeArea(r, AreaPart::Top, 999, -50), (WorldRect{100, 150, 300, 400}));
    EXPECT_EQ(ResizeArea(r, AreaPart::BottomLeft, -20, 30), (WorldRect{80, 200, 300, 430}));
    EXPECT_EQ(ResizeArea(r, AreaPart::TopRight, 9000, -9000), (WorldRect{100, 0, 6144, 400}));
    // An edge pushed past the opposite one stops a tile short of it.
    EXPECT_EQ(ResizeArea(r, AreaPart::Left, 500, 0), (WorldRect{299, 200, 300, 400}));
    EXPECT_EQ(ResizeArea(r, AreaPart::BottomRight, -900, -900), (WorldRect{100, 200, 101, 201}));
}

TEST(AreaEditing, ToolNeedsTheThresholdClampsToThePictureAndReportsOneChangePerDrag) {
    CMapView view = CloseView();
    CAreaTool tool(4, 4);

    // Under the threshold a press and release is a click, on an area or on bare map.
    tool.Press(view, {50, 50});
    EXPECT_FALSE(tool.Move(view, {52, 51}).frame.has_value());
    CAreaTool::Outcome out = tool.Release(view, {52, 51});
    EXPECT_EQ(out.kind, CAreaTool::Outcome::Kind::Click);
    EXPECT_FALSE(out.entry.has_value());

    // Drawing: the frame follows, and a release outside the picture is taken at its edge.
    tool.Press(view, {200, 100});
    const CAreaTool::Preview preview = tool.Move(view, {450, -30});
    ASSERT_TRUE(preview.frame.has_value());
    EXPECT_EQ(*preview.frame, (ViewRect{200, 0, 400, 100}));
    out = tool.Release(view, {450, -30});
    ASSERT_EQ(out.kind, CAreaTool::Outcome::Kind::Add);
    // Pixels 200..400 and 0..100 are tiles 1000..1050 and 963..988 (truncated toward the middle).
    EXPECT_EQ(out.after, FormatWorldRect({view.ViewToWorld(200, 0).x, view.ViewToWorld(200, 0).y,
                                          view.ViewToWorld(400, 100).x, view.ViewToWorld(400, 100).y}));
    EXPECT_EQ(out.after, "1000, 963, 1050, 988");
    // A flat drag adds nothing.
    tool.Press(view, {10, 10});
    tool.Move(view, {80, 10});
    EXPECT_EQ(tool.Release(view, {80, 10}).kind, CAreaTool::Outcome::Kind::None);
    // A press outside the picture starts nothing.
    tool.Press(view, {400, 10});
    EXPECT_EQ(tool.CurrentMode(), CAreaTool::Mode::Idle);

    // Moving an area: the previews and the release agree; the change holds the text before the drag.
    view.PatchAreas().Add("990, 995, 1010, 1005");
    tool.Press(view, {200, 150});
    EXPECT_EQ(tool.Move(view, {210, 150}).text, "992, 995, 1012, 1005");
    EXPECT_EQ(tool.Move(view, {220, 142}).text, "995, 993, 1015, 1003");
    out = tool.Release(view, {220, 142});
    ASSERT_EQ(out.kind, CAreaTool::Outcome::Kind::Change);
    EXPECT_EQ(out.entry, std::optional<std::size_t>(0));
    EXPECT_EQ(out.before, "990, 995, 1010, 1005");
    EXPECT_EQ(out.after, "995, 993, 1015, 1003");

    // Resizing by the right edge, with the pointer dragged far outside the picture: the edge stops at the
    // picture's edge (pixel 400, tile 1050).
    tool.Press(view, {240, 150});
    tool.Move(view, {900, 150});
    out = tool.Release(view, {900, 150});
    ASSERT_EQ(out.kind, CAreaTool::Outcome::Kind::Change);
    EXPECT_EQ(out.after, "990, 995, 1050, 1005");

    // Cancelling hands back the text the previews replaced.
    tool.Press(view, {200, 150});
    tool.Move(view, {230, 180});
    const auto restore = tool.Cancel();
    ASSERT_TRUE(restore.has_value());
    EXPECT_EQ(restore->first, 0u);
    EXPECT_EQ(restore->second, "990, 995, 1010, 1005");
    EXPECT_EQ(tool.CurrentMode(), CAreaTool::Mode::Idle);
}

} // namespace
} // namespace frostmark
