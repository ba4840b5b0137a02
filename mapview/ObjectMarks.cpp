#include "mapview/ObjectMarks.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace frostmark {

ViewPoint MarkCentre(const CMapView& view, long worldX, long worldY) {
    const ViewPoint at = view.WorldToView(worldX, worldY);
    const int tilePixels = view.Zoom() > 0 ? view.Zoom() : 1;
    return {at.x + tilePixels / 2, at.y + tilePixels / 2};
}

int MarkRadius(int zoom) {
    return zoom >= 16 ? zoom / 4 : 2;
}

namespace {

// MarkCentre less the picture's origin, without a call and a float product per object: a level's
// factor is a power of two, so the view's conversion (a product truncated toward zero, exact in float
// for world-sized distances) is a product or a shift that rounds toward zero.
class CCentreMapper {
public:
    explicit CCentreMapper(const CMapView& view)
        : m_centreX(view.CentreX()), m_centreY(view.CentreY()), m_zoom(view.Zoom()) {
        const int tilePixels = m_zoom > 0 ? m_zoom : 1;
        m_offsetX = view.Picture().clientWidth / 2 + tilePixels / 2;
        m_offsetY = view.Picture().clientHeight / 2 + tilePixels / 2;
        if (m_zoom < 0) {
            while ((1 << m_shift) < -m_zoom)
                ++m_shift;
        }
    }
    long long X(long worldX) const { return Pixels(worldX - m_centreX) + m_offsetX; }
    long long Y(long worldY) const { return Pixels(worldY - m_centreY) + m_offsetY; }

private:
    long long Pixels(long long delta) const {
        if (m_zoom > 0)
            return delta * m_zoom;
        // A negative distance first moves up by divisor - 1, so the shift truncates toward zero.
        return (delta + ((delta >> 63) & ((1LL << m_shift) - 1))) >> m_shift;
    }

    long m_centreX, m_centreY;
    int m_zoom;
    int m_shift = 0;
    long long m_offsetX = 0, m_offsetY = 0;
};

// Which pixels of a layer hold a mark centre: many objects on one pixel make one mark.
class CCentres {
public:
    CCentres(MarkLayer& layer, std::size_t objects)
        : m_layer(layer), m_covered((layer.pixels.size() + 63) / 64, 0),
          // Left uninitialised: only what is written is ever touched. Every object is written to the
          // slot after the last new pixel, so once every pixel (or every object) has its slot, one more
          // is needed.
          m_points(new ViewPoint[std::min(objects, layer.pixels.size()) + 1]) {}
    // (x, y) relative to the layer, possibly outside it.
    void Add(long long x, long long y) {
        if (x < 0 || y < 0 || x >= m_layer.width || y >= m_layer.height)
            return;
        ++m_layer.objectsShown;
        const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(m_layer.width) +
                               static_cast<std::size_t>(x);
        // One bit a pixel: for a large picture this stays in the processor's cache, where a byte a
        // pixel would not. Written without a branch: in a crowded region whether a pixel is new is a
        // coin toss, and a mispredicted branch for each of millions of objects costs more than the
        // stores.
        std::uint64_t& word = m_covered[at / 64];
        const std::uint64_t bit = std::uint64_t{1} << (at % 64);
        m_points[m_count] = {static_cast<int>(x), static_cast<int>(y)};
        m_count += (word & bit) == 0;
        word |= bit;
    }
    std::span<const ViewPoint> Points() const { return {m_points.get(), m_count}; }

private:
    MarkLayer& m_layer;
    std::vector<std::uint64_t> m_covered;
    std::unique_ptr<ViewPoint[]> m_points; // each pixel once, relative to the layer
    std::size_t m_count = 0;
};

MarkLayer EmptyLayer(const CMapView& view) {
    MarkLayer layer;
    layer.width = std::max(view.PictureWidth(), 0);
    layer.height = std::max(view.PictureHeight(), 0);
    layer.pixels.assign(static_cast<std::size_t>(layer.width) * static_cast<std::size_t>(layer.height), 0);
    return layer;
}

// Paints a mark for each centre; the result does not depend on the centres' order.
void PaintCentres(const CMapView& view, std::span<const ViewPoint> centres, std::uint32_t core,
                  std::uint32_t edge, MarkLayer& layer) {
    // Where marks crowd, a square each would cover the terrain. The picture is cut into cells of a
    // mark's size: in a cell holding several mark centres each gets a dot of one pixel instead of its
    // square, and a cell whose pixels are mostly centres (a whole region of objects at the far levels)
    // gets one 2 x 2 dot, on its centre nearest its middle. Every object still shows, and the ground
    // between the dots stays readable.
    const int radius = MarkRadius(view.Zoom());
    const int side = 2 * radius + 1;
    const int cellsWide = (layer.width + side - 1) / side;
    const int cellsHigh = (layer.height + side - 1) / side;
    // A pixel's cell and its distance from the cell's middle, by column and by row, looked up rather
    // than divided out for every centre.
    const auto along = [side, radius](int length, std::vector<std::uint32_t>& cell, std::vector<int>& off) {
        cell.resize(static_cast<std::size_t>(length));
        off.resize(static_cast<std::size_t>(length));
        for (int i = 0; i < length; ++i) {
            cell[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(i / side);
            off[static_cast<std::size_t>(i)] = std::abs(i % side - radius);
        }
    };
    std::vector<std::uint32_t> column, row;
    std::vector<int> offColumn, offRow;
    along(layer.width, column, offColumn);
    along(layer.height, row, offRow);
    const auto cellOf = [&](ViewPoint p) {
        return static_cast<std::size_t>(row[static_cast<std::size_t>(p.y)]) *
                   static_cast<std::size_t>(cellsWide) +
               column[static_cast<std::size_t>(p.x)];
    };
    const auto offMiddle = [&](ViewPoint p) {
        return offColumn[static_cast<std::size_t>(p.x)] + offRow[static_cast<std::size_t>(p.y)];
    };
    // Pixel order, for ties.
    const auto before = [](ViewPoint a, ViewPoint b) { return a.y != b.y ? a.y < b.y : a.x < b.x; };

    std::vector<std::uint16_t> perCell(
        static_cast<std::size_t>(cellsWide) * static_cast<std::size_t>(cellsHigh), 0);
    for (const ViewPoint p : centres)
        ++perCell[cellOf(p)];
    const int crowded = std::max(3, side * side / 8);
    const int saturated = side * side / 2;
    std::vector<ViewPoint> alone;    // centres drawn as squares
    std::vector<ViewPoint> small;    // centres drawn as one pixel
    std::vector<std::size_t> dotted; // saturated cells
    constexpr ViewPoint kNone{-1, -1};
    std::vector<ViewPoint> nearest(perCell.size(), kNone);
    for (const ViewPoint p : centres) {
        const std::size_t cell = cellOf(p);
        ViewPoint& best = nearest[cell];
        if (perCell[cell] < crowded) {
            alone.push_back(p);
        } else if (perCell[cell] < saturated) {
            small.push_back(p);
        } else if (best.x < 0) {
            dotted.push_back(cell);
            best = p;
        } else if (const int off = offMiddle(p), bestOff = offMiddle(best);
                   off < bestOff || (off == bestOff && before(p, best))) {
            // Ties go to the first pixel, so the choice does not depend on the order of the objects.
            best = p;
        }
    }

    const auto fill = [&](const std::vector<ViewPoint>& where, int from, int to, std::uint32_t colour) {
        for (const ViewPoint p : where) {
            const int left = std::max(p.x + from, 0), right = std::min(p.x + to, layer.width - 1);
            const int top = std::max(p.y + from, 0), bottom = std::min(p.y + to, layer.height - 1);
            for (int y = top; y <= bottom; ++y) {
                std::uint32_t* line =
                    &layer.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width)];
                std::fill(line + left, line + right + 1, colour);
            }
        }
    };
    fill(alone, -radius, radius, edge);
    fill(alone, 1 - radius, radius - 1, core);
    fill(small, 0, 0, core);
    std::vector<ViewPoint> dots;
    dots.reserve(dotted.size());
    for (const std::size_t cell : dotted)
        dots.push_back(nearest[cell]);
    // Two pixels a side: one pixel of colour is easily missed on busy ground.
    fill(dots, 0, 1, core);
}

} // namespace

MarkLayer PaintObjectMarks(const CMapView& view, std::span<const MapObject> objects, std::uint32_t core,
                           std::uint32_t edge) {
    MarkLayer layer = EmptyLayer(view);
    if (layer.pixels.empty())
        return layer;
    CCentres centres(layer, objects.size());
    const CCentreMapper mapper(view);
    for (const MapObject& object : objects)
        centres.Add(mapper.X(object.x), mapper.Y(object.y));
    PaintCentres(view, centres.Points(), core, edge, layer);
    return layer;
}

CObjectMarkIndex::CObjectMarkIndex(std::span<const MapObject> objects)
    : m_cellStart(static_cast<std::size_t>(kCellsWide) * kCellsHigh + 2, 0) {
    // A counting sort by cell; objects off the map (none in a list the analysis made) share a last cell
    // that every view looks through.
    const auto cellOf = [](const MapObject& o) -> std::size_t {
        if (o.x >= kWorldWidth || o.y >= kWorldHeight)
            return static_cast<std::size_t>(kCellsWide) * kCellsHigh;
        return static_cast<std::size_t>(o.y / kCellSide) * kCellsWide +
               static_cast<std::size_t>(o.x / kCellSide);
    };
    for (const MapObject& object : objects)
        ++m_cellStart[cellOf(object) + 1];
    for (std::size_t i = 1; i < m_cellStart.size(); ++i)
        m_cellStart[i] += m_cellStart[i - 1];
    m_positions.resize(objects.size());
    std::vector<std::size_t> next(m_cellStart.begin(), m_cellStart.end() - 1);
    for (const MapObject& object : objects)
        m_positions[next[cellOf(object)]++] = object;
}

MarkLayer PaintObjectMarks(const CMapView& view, const CObjectMarkIndex& index, std::uint32_t core,
                           std::uint32_t edge) {
    MarkLayer layer = EmptyLayer(view);
    if (layer.pixels.empty())
        return layer;
    const CCentreMapper mapper(view);
    // The cells the view shows, and how many objects they hold: no more centres than that can come.
    // The conversion never decreases along an axis, so a band of tiles lands between the pixels of its
    // first and last tile.
    const auto shows = [](long long first, long long last, int size) { return last >= 0 && first < size; };
    std::vector<std::size_t> cells;
    std::size_t objects = 0;
    const auto take = [&](std::size_t cell) {
        cells.push_back(cell);
        objects += index.m_cellStart[cell + 1] - index.m_cellStart[cell];
    };
    for (int cy = 0; cy < CObjectMarkIndex::kCellsHigh; ++cy) {
        const long top = static_cast<long>(cy) * CObjectMarkIndex::kCellSide;
        if (!shows(mapper.Y(top), mapper.Y(top + CObjectMarkIndex::kCellSide - 1), layer.height))
            continue;
        for (int cx = 0; cx < CObjectMarkIndex::kCellsWide; ++cx) {
            const long left = static_cast<long>(cx) * CObjectMarkIndex::kCellSide;
            if (shows(mapper.X(left), mapper.X(left + CObjectMarkIndex::kCellSide - 1), layer.width))
                take(static_cast<std::size_t>(cy) * CObjectMarkIndex::kCellsWide +
                     static_cast<std::size_t>(cx));
        }
    }
    take(static_cast<std::size_t>(CObjectMarkIndex::kCellsWide) * CObjectMarkIndex::kCellsHigh);
    CCentres centres(layer, objects);
    for (const std::size_t cell : cells)
        for (std::size_t i = index.m_cellStart[cell]; i < index.m_cellStart[cell + 1]; ++i)
            centres.Add(mapper.X(index.m_positions[i].x), mapper.Y(index.m_positions[i].y));
    PaintCentres(view, centres.Points(), core, edge, layer);
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
