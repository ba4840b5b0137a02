#include "mapview/MapRender.h"

#include "mapview/ClientDirectory.h"
#include "mapview/ObjectMarks.h"

#include <algorithm>

namespace frostmark {

namespace {

void FillRect(RgbImage& image, int left, int top, int right, int bottom, std::uint32_t color) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width);
    bottom = std::min(bottom, image.height);
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                      static_cast<std::size_t>(left)) *
                                     3];
        for (int x = left; x < right; ++x) {
            *p++ = ColorRed(color);
            *p++ = ColorGreen(color);
            *p++ = ColorBlue(color);
        }
    }
}

} // namespace

RgbImage RenderMapView(const CMapView& view, const std::vector<WorldPoint>& points, std::uint32_t pointColor,
                       int pointSize, std::size_t* pointsShown) {
    RgbImage image;
    image.width = view.PictureWidth();
    image.height = view.PictureHeight();
    image.rgb.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3, 0);
    // The image fills the picture; view coordinates are picture pixels here.
    const ViewPoint origin{view.ImageOrigin().x - view.Picture().clientOrigin.x,
                           view.ImageOrigin().y - view.Picture().clientOrigin.y};
    if (view.HasImage()) {
        const CRadarImage& radar = view.Image();
        const std::uint8_t* bgr = radar.Data();
        for (int y = 0; y < radar.Height(); ++y) {
            for (int x = 0; x < radar.Width(); ++x) {
                const int tx = x + origin.x, ty = y + origin.y;
                if (tx < 0 || ty < 0 || tx >= image.width || ty >= image.height) {
                    continue;
                }
                const std::uint8_t* src = bgr + static_cast<std::ptrdiff_t>(y) * radar.Stride() + x * 3;
                std::uint8_t* dst =
                    &image.rgb[(static_cast<std::size_t>(ty) * static_cast<std::size_t>(image.width) +
                                static_cast<std::size_t>(tx)) *
                               3];
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    }
    for (const OverlayFill& fill : view.DrawPatchAreas()) {
        FillRect(image, fill.rect.left, fill.rect.top, fill.rect.right, fill.rect.bottom, fill.color);
    }
    std::size_t shown = 0;
    const int size = std::max(pointSize, 1);
    for (const WorldPoint& point : points) {
        // Where the desktop program puts the object's mark.
        const ViewPoint at = MarkCentre(view, point.x, point.y);
        const int cx = at.x - view.Picture().clientOrigin.x, cy = at.y - view.Picture().clientOrigin.y;
        if (cx < 0 || cy < 0 || cx >= image.width || cy >= image.height) {
            continue;
        }
        ++shown;
        FillRect(image, cx - size / 2, cy - size / 2, cx - size / 2 + size, cy - size / 2 + size, pointColor);
    }
    if (pointsShown != nullptr) {
        *pointsShown = shown;
    }
    return image;
}

MapRenderResult RenderMap(const std::string& clientDirectory, const MapRenderOptions& options,
                          RgbImage& image) {
    MapRenderResult result;
    CMapView view;
    if (!view.SetZoom(options.zoom)) {
        result.error = "Unknown zoom level " + std::to_string(options.zoom) +
                       " (use -16, -8, -4, -2, -1, 1, 2, 4, 8, 16 or 32)";
        return result;
    }
    if (options.width < 1 || options.height < 1 || options.width > kMaxRenderSide ||
        options.height > kMaxRenderSide) {
        result.error = "Picture size " + std::to_string(options.width) + " x " +
                       std::to_string(options.height) + " is out of range (1 to " +
                       std::to_string(kMaxRenderSide) + " pixels a side)";
        return result;
    }
    PictureGeometry picture;
    picture.frame = {0, 0, options.width, options.height};
    picture.clientWidth = options.width;
    picture.clientHeight = options.height;
    view.SetPictureGeometry(picture);
    view.SetClientDirectory(clientDirectory);
    view.SetCentre(options.centreX, options.centreY);
    result.colorsLoaded = view.LoadRadarColors();
    if (!view.BuildRadarImage()) {
        result.error = "Unable to open file " + ClientFilePath(clientDirectory, kMapFileName);
        return result;
    }
    for (const PatchAreaEntry& entry : options.patchAreas) {
        view.PatchAreas().SetSelected(view.PatchAreas().Add(entry.text), entry.selected);
    }
    image = RenderMapView(view, options.points, options.pointColor, options.pointSize, &result.pointsShown);
    result.ok = true;
    result.centreX = view.CentreX();
    result.centreY = view.CentreY();
    return result;
}

} // namespace frostmark
