#pragma once

// The objects an analysis would freeze, as marks on the map: where each mark sits, the marks of a view
// painted into a picture-sized layer, and which object a click on the map means. A grown world chooses
// millions of objects, so the desktop program paints from an index of them by map cell (only the cells
// a view shows are looked at), and many objects on one picture pixel cost one mark.

#include "mapview/MapView.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace frostmark {

// An object's tile. Index i of a span of these is entry i of the list the marks stand for.
struct MapObject {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
};

// The centre of an object's mark: the middle of its tile, in view coordinates. At the far levels a
// tile is smaller than a pixel and the mark sits on the pixel the view's conversion gives for it.
ViewPoint MarkCentre(const CMapView& view, long worldX, long worldY);

// Half the side of a mark's square at `zoom`, edge included: a mark is (2 * radius + 1) pixels a side, a
// core of the mark colour in a one-pixel dark edge. Five pixels where tiles are small; at the closest
// levels a quarter of a tile, so that a mark still reads as the object's and not as a speck.
int MarkRadius(int zoom);

// A picture-sized layer of 32-bit pixels (0xAARRGGBB, 0 where there is no mark).
struct MarkLayer {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::size_t objectsShown = 0; // objects whose mark centre lies inside the picture
};

// Paints the marks of `objects` for the view's picture: every centre inside the picture gets a square,
// edges first so that no mark's edge covers another mark's core. Where centres crowd into one cell of
// the mark's size (a town at the far levels), each gets a single pixel of the core colour instead, and a
// cell that is mostly centres (a whole region of objects) one 2 x 2 dot: every object still has a mark
// within a cell of it, and the terrain shows between.
MarkLayer PaintObjectMarks(const CMapView& view, std::span<const MapObject> objects, std::uint32_t core,
                           std::uint32_t edge);

// The positions of a list's objects grouped by map cells of 64 x 64 tiles, so that painting looks only at
// the cells a view shows, and at nearby objects together. Made once for a list (a counting sort).
class CObjectMarkIndex {
public:
    CObjectMarkIndex() = default;
    explicit CObjectMarkIndex(std::span<const MapObject> objects);
    std::size_t Size() const { return m_positions.size(); }

    static constexpr int kCellSide = 64;
    static constexpr int kCellsWide = kWorldWidth / kCellSide;
    static constexpr int kCellsHigh = kWorldHeight / kCellSide;

private:
    friend MarkLayer PaintObjectMarks(const CMapView&, const CObjectMarkIndex&, std::uint32_t, std::uint32_t);
    std::vector<MapObject> m_positions;            // cell by cell, row by row; objects off the map last
    std::vector<std::size_t> m_cellStart = {0, 0}; // where each cell's positions begin, and the end
};

// The same layer as PaintObjectMarks of the list the index was made from, pixel for pixel.
MarkLayer PaintObjectMarks(const CMapView& view, const CObjectMarkIndex& index, std::uint32_t core,
                           std::uint32_t edge);

// The object whose mark centre lies closest to view point `at`, no farther than `tolerance` pixels along
// either axis; among objects on the same spot, the first. None when no mark is that close.
std::optional<std::size_t> HitTestObjectMarks(const CMapView& view, std::span<const MapObject> objects,
                                              ViewPoint at, int tolerance);

} // namespace frostmark
