#pragma once

// Editing patch areas on the map: where on the view an area lies, which part of it the pointer is on,
// moving and resizing in world tiles, and the drag tool that turns presses, moves and releases into
// new areas and changed ones. Free of any toolkit; the desktop view forwards its events and applies
// (and records for undo) what comes back.

#include "mapview/MapView.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace frostmark {

// An area in world tiles; right and bottom edges outside, as the selection rules read them.
struct WorldRect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
    bool operator==(const WorldRect&) const = default;
    long Width() const { return right - left; }
    long Height() const { return bottom - top; }
};

// A Patch Areas entry as a rectangle (read as the selection rules read it) and back.
WorldRect ParseWorldRect(std::string_view text);
std::string FormatWorldRect(const WorldRect& rect);

// Strictly four whole numbers separated by commas (blanks allowed around them), as a user types them;
// nullopt for anything else.
std::optional<WorldRect> ParseTypedArea(std::string_view text);

// The rectangle with left <= right and top <= bottom, cut to the world; nullopt when nothing of it with
// a width and a height is left.
std::optional<WorldRect> FitToWorld(WorldRect rect);

// Which part of an area a point is on: the inside moves it, edges and corners resize it.
enum class AreaPart { None, Inside, Left, Top, Right, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// The view rectangle of an area (not clipped to the picture).
ViewRect AreaViewRect(const CMapView& view, const WorldRect& area);

struct AreaHit {
    std::size_t entry;
    AreaPart part;
};

// The area under view point `p` and the part of it, `tolerance` pixels either side of an edge counting
// as the edge (less on areas too small on screen to keep an inside). Selected areas come first, then
// the others from the last drawn (topmost) to the first.
std::optional<AreaHit> HitTestPatchAreas(const CMapView& view, ViewPoint p, int tolerance);

// Moved by (dx, dy) tiles, kept inside the world where it fits.
WorldRect MoveArea(const WorldRect& area, long dx, long dy);

// The edges of `part` moved by (dx, dy) tiles (a left or right part takes only dx, and so on), each
// kept inside the world and at least one tile from the opposite edge.
WorldRect ResizeArea(const WorldRect& area, AreaPart part, long dx, long dy);

// What a press, the moves and the release of the left button do to the patch areas. A move shorter
// than the drag threshold is no drag: the release is then a click. Points outside the picture count as
// the nearest point of its edge, so a drag that ends outside reaches the edge.
class CAreaTool {
public:
    enum class Mode { Idle, Pressed, Creating, Moving, Resizing };

    // What to show while the button is held: the frame of a new area, or an entry's new text.
    struct Preview {
        std::optional<ViewRect> frame;
        std::optional<std::size_t> entry;
        std::string text;
    };

    struct Outcome {
        enum class Kind { None, Click, Add, Change };
        Kind kind = Kind::None;
        // Click: the area clicked (nullopt on bare map); Change: the entry changed.
        std::optional<std::size_t> entry;
        std::string before; // Change: the entry's text before the drag
        std::string after;  // Add, Change: the new text
    };

    explicit CAreaTool(int dragThreshold = 4, int tolerance = 4)
        : m_threshold(dragThreshold), m_tolerance(tolerance) {}

    Mode CurrentMode() const { return m_mode; }
    int Tolerance() const { return m_tolerance; }

    // A press inside the picture; elsewhere nothing starts.
    void Press(const CMapView& view, ViewPoint p);
    Preview Move(const CMapView& view, ViewPoint p);
    Outcome Release(const CMapView& view, ViewPoint p);
    // Ends a drag without a change (Escape). Answers the entry whose text a preview changed, with the
    // text it must go back to.
    std::optional<std::pair<std::size_t, std::string>> Cancel();

    // What a press at `p` would grab (for the pointer's shape).
    AreaPart PartAt(const CMapView& view, ViewPoint p) const;

private:
    ViewPoint Clamped(const CMapView& view, ViewPoint p) const;
    std::string Dragged(const CMapView& view, ViewPoint p) const;

    int m_threshold;
    int m_tolerance;
    Mode m_mode = Mode::Idle;
    ViewPoint m_press;
    std::optional<AreaHit> m_hit;
    std::string m_before;
    bool m_previewed = false;
};

} // namespace frostmark
