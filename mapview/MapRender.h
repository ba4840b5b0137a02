#pragma once

// The map as the dialog shows it, as plain pixels: the radar image of a zoom level and centre with
// the patch areas filled over it the way the overlay fills them, and optionally world points (such as
// the objects an analysis would freeze) as dots. The PNG writer in mapview/png/ and any other front end
// build on this.

#include "mapview/MapView.h"
#include "mapview/PatchAreas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace frostmark {

struct MapRenderOptions {
    int width = kRadarImageWidth; // the picture's size in pixels
    int height = kRadarImageHeight;
    int zoom = kInitialZoom; // one of kZoomLevels
    int centreX = kInitialCentreX;
    int centreY = kInitialCentreY; // clamped into the level's bounds, as the dialog does
    // Patch Areas entries ("left, top, right, bottom" in tiles); selected ones are drawn lighter.
    std::vector<PatchAreaEntry> patchAreas;
    // World points drawn as square dots of pointSize pixels, centred on their tile.
    std::vector<WorldPoint> points;
    std::uint32_t pointColor = MakeColor(255, 0, 255);
    int pointSize = 3;
};

// The largest picture side a render accepts: 16 times the world at the closest level would be absurd,
// and the image must fit in memory.
inline constexpr int kMaxRenderSide = 16384;

struct MapRenderResult {
    bool ok = false;
    std::string error;         // why not, when !ok
    bool colorsLoaded = false; // false: radarcol.mul was missing and the terrain is black
    int centreX = 0;           // the centre after clamping
    int centreY = 0;
    std::size_t pointsShown = 0; // points that fell inside the picture
};

// The picture (384 x 256 pixels unless asked otherwise), rows from the top down, three bytes red, green,
// blue per pixel.
struct RgbImage {
    int width = kRadarImageWidth;
    int height = kRadarImageHeight;
    std::vector<std::uint8_t> rgb;
};

// Draws the view's current image (black when none was built) with its patch areas and the points, at the
// view's picture size.
RgbImage RenderMapView(const CMapView& view, const std::vector<WorldPoint>& points, std::uint32_t pointColor,
                       int pointSize, std::size_t* pointsShown = nullptr);

// Loads the client's colours and map from `clientDirectory` and renders `options`. Fails (ok false)
// when the zoom level is not one, the size is not between 1 x 1 and kMaxRenderSide on each side, or
// map0.mul cannot be opened ("Unable to open file <path>").
MapRenderResult RenderMap(const std::string& clientDirectory, const MapRenderOptions& options,
                          RgbImage& image);

} // namespace frostmark
