#pragma once

// The map view's state and behaviour, free of any widget: zoom level and centre, scrolling, the
// conversions between view pixels and world tiles, dragging patch areas and the overlay that shows
// them, and the radar image of what is in view. The desktop view and the command line both drive it;
// they only forward input and draw what it hands back.
//
// View coordinates are the client coordinates of whatever holds the picture (the dialog, or the picture
// widget itself); the picture geometry says where the picture lies in them. The radar image is built at
// the picture's own size (384 x 256 by default) and fills it from ImageOrigin().

#include "mapview/MapGeometry.h"
#include "mapview/PatchAreas.h"
#include "mapview/RadarColors.h"
#include "mapview/RadarImage.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace frostmark {

struct ViewPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ViewPoint&) const = default;
};

struct WorldPoint {
    long x = 0;
    long y = 0;
    bool operator==(const WorldPoint&) const = default;
};

// Right and bottom edges excluded.
struct ViewRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ViewRect&) const = default;
    // Negative when right < left. A rectangle may span far more than an int (an entry typed into the
    // settings lands anywhere), so the difference is taken wide and clamped.
    int Width() const { return Span(left, right); }
    int Height() const { return Span(top, bottom); }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    static int Span(int from, int to) {
        return static_cast<int>(std::clamp<long long>(static_cast<long long>(to) - from, INT_MIN, INT_MAX));
    }
};

struct PictureGeometry {
    ViewRect frame;         // the picture's outer rectangle; presses and drags count only inside it
    ViewPoint clientOrigin; // where the picture's drawing area starts
    int clientWidth = kRadarImageWidth;
    int clientHeight = kRadarImageHeight;
};

enum class ScrollBarKind { Horizontal, Vertical };

// The scroll bar notifications; "up" also stands for "left" and "down" for "right".
enum class ScrollCode {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition,
    ThumbTrack,
    Top,
    Bottom,
    EndScroll
};

// Steps of the scroll codes, in world tiles whatever the zoom level.
inline constexpr int kScrollLineStep = 8;
inline constexpr int kScrollPageStep = 256;
inline constexpr int kScrollEndStep = 64; // Top and Bottom

struct ScrollRanges {
    int horizontalPosition, horizontalMin, horizontalMax;
    int verticalPosition, verticalMin, verticalMax;
};

struct ScrollOutcome {
    int position;    // set the bar's thumb here
    bool imageBuilt; // the scroll ended and a new image was built: show it and the overlay
};

// The fill colours of the overlay: darker green for unselected entries, lighter for selected ones.
inline constexpr std::uint32_t kPatchAreaColor = MakeColor(0, 0x77, 0);
inline constexpr std::uint32_t kSelectedPatchAreaColor = MakeColor(0, 0xAA, 0);

// One opaque fill of the overlay, already clipped to the picture frame. Fill them in order: later
// entries cover earlier ones.
struct OverlayFill {
    ViewRect rect;
    std::uint32_t color;
    std::size_t entry; // index in the Patch Areas list
};

// What to do with the drag frame, a 1-pixel inverting frame: erase the old one, then draw the new one.
struct DragFrameChange {
    std::optional<ViewRect> erase;
    std::optional<ViewRect> draw;
};

struct DragRelease {
    std::optional<ViewRect> erase;         // the frame to take off the screen
    std::optional<std::size_t> addedEntry; // index of the new Patch Areas entry
};

class CMapView {
public:
    CMapView(); // level -16, centre (3072, 2048), picture 384 x 256 at (0, 0), no drag

    // ---- geometry and state
    // A new size takes effect at the next build (which clamps the centre to the bounds of that size).
    void SetPictureGeometry(const PictureGeometry& geometry);
    const PictureGeometry& Picture() const { return m_picture; }
    int PictureWidth() const { return m_picture.clientWidth; }
    int PictureHeight() const { return m_picture.clientHeight; }
    // Where the radar image's top-left pixel lies: the picture's drawing area.
    ViewPoint ImageOrigin() const { return m_picture.clientOrigin; }

    int Zoom() const { return m_zoom; }
    int CentreX() const { return m_centreX; }
    int CentreY() const { return m_centreY; }
    // False (and nothing changes) for a value that is not a zoom level.
    bool SetZoom(int zoom);
    // Taken as given; the next build clamps it.
    void SetCentre(int x, int y);

    // ---- client data and the image
    void SetClientDirectory(std::string directory) { m_clientDirectory = std::move(directory); }
    const std::string& ClientDirectory() const { return m_clientDirectory; }
    // Reads radarcol.mul from the client directory; false when it is missing (colours all black).
    bool LoadRadarColors();
    CRadarColorTable& Colors() { return m_colors; }
    const CRadarColorTable& Colors() const { return m_colors; }
    // Clamps the centre and builds the image, at the picture's size, from map0.mul in the client
    // directory. False when the file cannot be opened: the image stays as it was (empty before the first
    // build).
    bool BuildRadarImage();
    // The same from any source of map bytes.
    void BuildRadarImage(CMapSource& source);
    // Keeps map0.mul in memory from build to build (loaded again when the file or the directory
    // changes), for a view that rebuilds at every zoom and pan step. Off by default: a single picture
    // reads only the blocks it shows.
    void KeepMapInMemory(bool keep);
    // What the last build made, one pixel per sample; a view scales it onto the picture.
    const CRadarSamples& Samples() const { return m_samples; }
    // The same as a picture-sized image (made from the samples when first asked for).
    const CRadarImage& Image() const;
    // Whether an image was ever built; until then the picture shows nothing.
    bool HasImage() const { return m_hasImage; }

    // ---- navigation
    // Zoom one level in or out. At the closest (32) or farthest (-16) level nothing happens and the
    // answer is false; otherwise the image is rebuilt (which clamps the centre) and the answer is true:
    // then set the scroll bars from GetScrollRanges() and show the new image.
    bool OnZoomIn();
    bool OnZoomOut();
    // Scroll bar positions (the centre) and ranges (the level's centre bounds for the picture's size).
    ScrollRanges GetScrollRanges() const;
    // Moves to `zoom` so that the world point under view point (x, y) stays under it (as far as the
    // level's centre bounds allow), and rebuilds. False, with nothing touched, when `zoom` is not a
    // level or is the current one.
    bool ZoomAt(int zoom, int x, int y);
    // The same, putting `anchor` under (x, y) instead of whatever lies there now: a run of zoom steps
    // at one spot keeps the point it started on, so that where a level's bounds held the centre back,
    // a closer level puts that point under the pointer again instead of a point the clamp drifted to.
    bool ZoomAt(int zoom, int x, int y, WorldPoint anchor);
    // Moves the map with the pointer: the world follows a drag of (dx, dy) pixels, so the centre moves
    // the other way. Fractions of a tile at the close levels are kept for the next move. Rebuilds and
    // answers true when the centre changed.
    bool PanByPixels(int dx, int dy);
    // The closest level at which the whole world fits the picture, centred on the world's middle.
    // Rebuilds; false when that was already the view.
    bool ShowWholeWorld();
    // Clamps the centre into the current level's bounds for the picture's size.
    void ClampToBounds();
    // Moves the centre coordinate of `bar` by the code's step or to the thumb. The image is rebuilt
    // only when the scroll ends, so the picture does not follow the thumb while it is dragged.
    ScrollOutcome OnScroll(ScrollBarKind bar, ScrollCode code, int thumbPosition = 0);

    // ---- conversions (truncating toward zero, so at positive levels the 2z - 1 pixels around the
    // middle all belong to the centre tile)
    WorldPoint ViewToWorld(int x, int y) const;
    ViewPoint WorldToView(long worldX, long worldY) const;

    // ---- dragging patch areas
    bool IsInPicture(int x, int y) const { return m_picture.frame.Contains(x, y); }
    // A press inside the picture starts a drag (a stale frame, if one is still shown, is to be erased).
    DragFrameChange OnButtonDown(int x, int y);
    // Inside the picture during a drag: the frame follows the pointer. Elsewhere nothing changes.
    DragFrameChange OnMouseMove(int x, int y);
    // Ends any drag. Inside the picture the frame is erased and a rectangle of non-zero width and
    // height becomes a Patch Areas entry; outside nothing is added and the frame is not erased.
    DragRelease OnButtonUp(int x, int y);
    bool IsDragging() const { return m_dragging; }
    // The frame now on screen, for views that paint the frame instead of inverting it.
    std::optional<ViewRect> DragFrame() const { return m_frameShown; }

    // ---- patch areas
    // Converts a rectangle in view coordinates to world tiles and appends it to the list as
    // "left, top, right, bottom"; answers the new entry's index. Redraw the overlay afterwards.
    std::size_t AddPatchArea(const ViewRect& rect);
    CPatchAreaList& PatchAreas() { return m_areas; }
    const CPatchAreaList& PatchAreas() const { return m_areas; }
    // The overlay: one fill per entry whose rectangle shows in the picture, in list order.
    std::vector<OverlayFill> DrawPatchAreas() const;

private:
    PictureGeometry m_picture;
    int m_zoom = kInitialZoom;
    int m_centreX = kInitialCentreX;
    int m_centreY = kInitialCentreY;

    bool m_dragging = false;
    ViewPoint m_dragStart;
    ViewPoint m_dragCurrent;
    std::optional<ViewRect> m_frameShown;

    int m_panRemainderX = 0; // pixels not yet worth a tile
    int m_panRemainderY = 0;

    std::string m_clientDirectory;
    CRadarColorTable m_colors;
    bool m_keepMapInMemory = false;
    std::shared_ptr<CMapMemorySource> m_mapInMemory; // shared by copies of the view: it never changes
    CRadarSamples m_samples;
    mutable CRadarImage m_image;
    mutable bool m_imageCurrent = false;
    bool m_hasImage = false;
    CPatchAreaList m_areas;
};

// The rectangle spanned by two points, left <= right and top <= bottom.
ViewRect NormalizedRect(ViewPoint a, ViewPoint b);

} // namespace frostmark
