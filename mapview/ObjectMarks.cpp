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

    // Where marks crowd, a square each would cover the terrain. The picture is cut into cells of a
    // mark's size: in a cell holding several mark centres each gets a dot of one pixel instead of its
    // square, and a cell whose pixels are mostly centres (a whole region of objects at the far levels)
    // gets one 2 x 2 dot, on its centre nearest its middle. Every object still shows, and the ground
    // between the dots stays readable.
    const int radius = MarkRadius(view.Zoom());
    const int side = 2 * radius + 1;
    const int cellsWide = (layer.width + side - 1) / side;
    const int cellsHigh = (layer.height + side - 1) / side;
    const auto cellOf = [&](std::uint32_t at) {
        const int cx = static_cast<int>(at % static_cast<std::uint32_t>(layer.width)) / side;
        const int cy = static_cast<int>(at / static_cast<std::uint32_t>(layer.width)) / side;
        return static_cast<std::size_t>(cy) * static_cast<std::size_t>(cellsWide) +
               static_cast<std::size_t>(cx);
    };
    std::vector<std::uint16_t> perCell(
        static_cast<std::size_t>(cellsWide) * static_cast<std::size_t>(cellsHigh), 0);
    for (const std::uint32_t at : centres) {
        ++perCell[cellOf(at)];
    }
    const int crowded = std::max(3, side * side / 8);
    const int saturated = side * side / 2;
    std::vector<std::uint32_t> alone;  // centres drawn as squares
    std::vector<std::uint32_t> small;  // centres drawn as one pixel
    std::vector<std::uint32_t> dotted; // saturated cells
    std::vector<std::uint32_t> nearest(perCell.size(), std::numeric_limits<std::uint32_t>::max());
    const auto offMiddle = [&](std::uint32_t pixel) {
        const int x = static_cast<int>(pixel % static_cast<std::uint32_t>(layer.width));
        const int y = static_cast<int>(pixel / static_cast<std::uint32_t>(layer.width));
        return std::abs(x % side - radius) + std::abs(y % side - radius);
    };
    for (const std::uint32_t at : centres) {
        const std::size_t cell = cellOf(at);
        if (perCell[cell] < crowded) {
            alone.push_back(at);
        } else if (perCell[cell] < saturated) {
            small.push_back(at);
        } else if (nearest[cell] == std::numeric_limits<std::uint32_t>::max()) {
            dotted.push_back(static_cast<std::uint32_t>(cell));
            nearest[cell] = at;
        } else if (offMiddle(at) < offMiddle(nearest[cell])) {
            nearest[cell] = at;
        }
    }

    const auto fill = [&](const std::vector<std::uint32_t>& where, int from, int to, std::uint32_t colour) {
        for (const std::uint32_t at : where) {
            const int cx = static_cast<int>(at % static_cast<std::uint32_t>(layer.width));
            const int cy = static_cast<int>(at / static_cast<std::uint32_t>(layer.width));
            const int left = std::max(cx + from, 0), right = std::min(cx + to, layer.width - 1);
            const int top = std::max(cy + from, 0), bottom = std::min(cy + to, layer.height - 1);
            for (int y = top; y <= bottom; ++y) {
                std::uint32_t* row =
                    &layer.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width)];
                std::fill(row + left, row + right + 1, colour);
            }
        }
    };
    fill(alone, -radius, radius, edge);
    fill(alone, 1 - radius, radius - 1, core);
    fill(small, 0, 0, core);
    std::vector<std::uint32_t> dots;
    dots.reserve(dotted.size());
    for (const std::uint32_t cell : dotted) {
        dots.push_back(nearest[cell]);
    }
    // Two pixels a side: one pixel of colour is easily missed on busy ground.
    fill(dots, 0, 1, core);
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
