#include "mapview/ObjectMarks.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace frostmark {

ViewPoint MarkCentre(const CMapView& view, long worldX, long worldY) {
    const ViewPoint at = view.WorldToView(worldX, worldY);
    const int tilePixels = view.Zoom() > 0 ? view.Zoom() : 1;
    return {at.x + tilePixels / 2, at.y + tilePixels / 2};
}

int MarkRadius(int zoom) {
    return zoom >= 16 ? zoom / 4 : 2;
}

MarkLayer PaintObjectMarks(const CMapView& view, std::span<const MapObject> objects, std::uint32_t core,
                           std::uint32_t edge) {
    MarkLayer layer;
    layer.width = std::max(view.PictureWidth(), 0);
    layer.height = std::max(view.PictureHeight(), 0);
    const std::size_t area = static_cast<std::size_t>(layer.width) * static_cast<std::size_t>(layer.height);
    layer.pixels.assign(area, 0);
    if (area == 0)
        return layer;
    const ViewPoint origin = view.Picture().clientOrigin;

    // Which pixels hold a mark centre: many objects on one pixel make one mark.
    std::vector<std::uint8_t> covered(area, 0);
    std::vector<std::uint32_t> centres;
    for (const MapObject& object : objects) {
        const ViewPoint c = MarkCentre(view, object.x, object.y);
        const int x = c.x - origin.x, y = c.y - origin.y;
        if (x < 0 || y < 0 || x >= layer.width || y >= layer.height)
            continue;
        ++layer.objectsShown;
        const std::size_t at =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width) + static_cast<std::size_t>(x);
        if (!covered[at]) {
            covered[at] = 1;
            centres.push_back(static_cast<std::uint32_t>(at));
        }
    }

    const auto fill = [&](int radius, std::uint32_t colour) {
        for (const std::uint32_t at : centres) {
            const int cx = static_cast<int>(at % static_cast<std::uint32_t>(layer.width));
            const int cy = static_cast<int>(at / static_cast<std::uint32_t>(layer.width));
            const int left = std::max(cx - radius, 0), right = std::min(cx + radius, layer.width - 1);
            const int top = std::max(cy - radius, 0), bottom = std::min(cy + radius, layer.height - 1);
            for (int y = top; y <= bottom; ++y) {
                std::uint32_t* row =
                    &layer.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width)];
                std::fill(row + left, row + right + 1, colour);
            }
        }
    };
    const int radius = MarkRadius(view.Zoom());
    fill(radius, edge);
    fill(radius - 1, core);
    return layer;
}

std::optional<std::size_t> HitTestObjectMarks(const CMapView& view, std::span<const MapObject> objects,
                                              ViewPoint at, int tolerance) {
    std::optional<std::size_t> best;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const ViewPoint c = MarkCentre(view, objects[i].x, objects[i].y);
        const long dx = std::labs(static_cast<long>(c.x) - at.x),
                   dy = std::labs(static_cast<long>(c.y) - at.y);
        if (dx > tolerance || dy > tolerance)
            continue;
        const long distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

} // namespace frostmark
