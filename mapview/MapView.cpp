#include "mapview/MapView.h"

#include "mapview/ClientDirectory.h"
#include "platform/Files.h"

#include <algorithm>
#include <climits>

namespace frostmark {

namespace {

int ClampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

ViewRect Intersect(const ViewRect& a, const ViewRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

} // namespace

ViewRect NormalizedRect(ViewPoint a, ViewPoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

CMapView::CMapView() {
    m_picture.frame = {0, 0, kRadarImageWidth, kRadarImageHeight};
    m_picture.clientOrigin = {0, 0};
}

void CMapView::SetPictureGeometry(const PictureGeometry& geometry) {
    m_picture = geometry;
    m_picture.clientWidth = std::max(m_picture.clientWidth, 1);
    m_picture.clientHeight = std::max(m_picture.clientHeight, 1);
}

const CRadarImage& CMapView::Image() const {
    if (!m_imageCurrent) {
        if (m_hasImage) {
            ExpandRadarSamples(m_samples, m_image);
        } else {
            m_image.Resize(m_picture.clientWidth, m_picture.clientHeight);
        }
        m_imageCurrent = true;
    }
    return m_image;
}

bool CMapView::SetZoom(int zoom) {
    if (!IsZoomLevel(zoom)) {
        return false;
    }
    m_zoom = zoom;
    return true;
}

void CMapView::SetCentre(int x, int y) {
    m_centreX = x;
    m_centreY = y;
}

bool CMapView::LoadRadarColors() {
    return frostmark::LoadRadarColors(m_clientDirectory, m_colors);
}

void CMapView::KeepMapInMemory(bool keep) {
    m_keepMapInMemory = keep;
    if (!keep) {
        m_mapInMemory.reset();
    }
}

bool CMapView::BuildRadarImage() {
    if (m_keepMapInMemory) {
        ClampToBounds(); // also when there is no map to build from
        const std::string path = ClientFilePath(m_clientDirectory, kMapFileName);
        CPathInfo info;
        if (!m_mapInMemory || m_mapInMemory->Path() != path || !QueryPath(path, info) ||
            info.identity != m_mapInMemory->Identity()) {
            m_mapInMemory = CMapMemorySource::Load(path);
            if (!m_mapInMemory) {
                return false;
            }
        }
        BuildRadarImage(*m_mapInMemory);
        return true;
    }
    if (!frostmark::BuildRadarSamples(m_clientDirectory, m_colors, m_zoom, m_centreX, m_centreY,
                                      m_picture.clientWidth, m_picture.clientHeight, m_samples)) {
        return false;
    }
    m_hasImage = true;
    m_imageCurrent = false;
    return true;
}

void CMapView::BuildRadarImage(CMapSource& source) {
    ClampToBounds();
    BuildRadarSamples(source, m_colors, m_zoom, m_centreX, m_centreY, m_picture.clientWidth,
                      m_picture.clientHeight, m_samples);
    m_hasImage = true;
    m_imageCurrent = false;
}

void CMapView::ClampToBounds() {
    ClampCentre(m_zoom, m_picture.clientWidth, m_picture.clientHeight, m_centreX, m_centreY);
}

bool CMapView::OnZoomIn() {
    const int next = ZoomInLevel(m_zoom);
    if (next == m_zoom) {
        return false;
    }
    m_zoom = next;
    m_panRemainderX = m_panRemainderY = 0;
    BuildRadarImage();
    return true;
}

bool CMapView::OnZoomOut() {
    const int next = ZoomOutLevel(m_zoom);
    if (next == m_zoom) {
        return false;
    }
    m_zoom = next;
    m_panRemainderX = m_panRemainderY = 0;
    BuildRadarImage();
    return true;
}

ScrollRanges CMapView::GetScrollRanges() const {
    const LevelExtent level = GetLevelExtent(m_zoom, m_picture.clientWidth, m_picture.clientHeight);
    return {m_centreX, level.minCentreX, level.maxCentreX, m_centreY, level.minCentreY, level.maxCentreY};
}

bool CMapView::ZoomAt(int zoom, int x, int y) {
    return ZoomAt(zoom, x, y, ViewToWorld(x, y));
}

bool CMapView::ZoomAt(int zoom, int x, int y, WorldPoint anchor) {
    if (!IsZoomLevel(zoom) || zoom == m_zoom) {
        return false;
    }
    m_zoom = zoom;
    // The centre that puts the anchor back under (x, y): ViewToWorld adds the centre to the
    // truncated pixel distance, so subtracting the same distance at the new level is exact.
    const long long dx = static_cast<long long>(x) - m_picture.clientOrigin.x - m_picture.clientWidth / 2;
    const long long dy = static_cast<long long>(y) - m_picture.clientOrigin.y - m_picture.clientHeight / 2;
    m_centreX = ClampToInt(anchor.x - PixelDeltaToWorld(dx, m_zoom));
    m_centreY = ClampToInt(anchor.y - PixelDeltaToWorld(dy, m_zoom));
    m_panRemainderX = m_panRemainderY = 0;
    ClampToBounds();
    BuildRadarImage();
    return true;
}

bool CMapView::PanByPixels(int dx, int dy) {
    // Whole tiles at the close levels, the rest kept for the next move so that a slow drag still
    // moves the map.
    const auto tiles = [this](int& remainder, int delta) {
        if (m_zoom > 0) {
            remainder += delta;
            const int whole = remainder / m_zoom;
            remainder -= whole * m_zoom;
            return static_cast<long long>(whole);
        }
        return PixelDeltaToWorld(delta, m_zoom);
    };
    const int beforeX = m_centreX, beforeY = m_centreY;
    const long long wantX = static_cast<long long>(m_centreX) - tiles(m_panRemainderX, dx);
    const long long wantY = static_cast<long long>(m_centreY) - tiles(m_panRemainderY, dy);
    m_centreX = ClampToInt(wantX);
    m_centreY = ClampToInt(wantY);
    ClampToBounds();
    // Against an edge the map stops; what the pointer moved beyond it is not owed later.
    if (m_centreX != wantX) {
        m_panRemainderX = 0;
    }
    if (m_centreY != wantY) {
        m_panRemainderY = 0;
    }
    if (m_centreX == beforeX && m_centreY == beforeY) {
        return false;
    }
    BuildRadarImage();
    return true;
}

bool CMapView::ShowWholeWorld() {
    const int level = WholeWorldLevel(m_picture.clientWidth, m_picture.clientHeight);
    if (level == m_zoom && m_centreX == kWorldWidth / 2 && m_centreY == kWorldHeight / 2) {
        return false;
    }
    m_zoom = level;
    m_centreX = kWorldWidth / 2;
    m_centreY = kWorldHeight / 2;
    m_panRemainderX = m_panRemainderY = 0;
    ClampToBounds();
    BuildRadarImage();
    return true;
}

ScrollOutcome CMapView::OnScroll(ScrollBarKind bar, ScrollCode code, int thumbPosition) {
    int& centre = bar == ScrollBarKind::Horizontal ? m_centreX : m_centreY;
    // Steps pile up unclamped until the scroll ends; they stop at the int's limits instead of wrapping.
    const auto move = [&centre](int step) { centre = ClampToInt(static_cast<long long>(centre) + step); };
    bool built = false;
    switch (code) {
    case ScrollCode::LineUp:
        move(-kScrollLineStep);
        break;
    case ScrollCode::LineDown:
        move(kScrollLineStep);
        break;
    case ScrollCode::PageUp:
        move(-kScrollPageStep);
        break;
    case ScrollCode::PageDown:
        move(kScrollPageStep);
        break;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
        centre = thumbPosition;
        break;
    case ScrollCode::Top:
        move(-kScrollEndStep);
        break;
    case ScrollCode::Bottom:
        move(kScrollEndStep);
        break;
    case ScrollCode::EndScroll:
        // The build clamps the centre, even when map0.mul is missing.
        built = BuildRadarImage();
        break;
    }
    return {centre, built};
}

WorldPoint CMapView::ViewToWorld(int x, int y) const {
    const long long dx = static_cast<long long>(x) - m_picture.clientOrigin.x - m_picture.clientWidth / 2;
    const long long dy = static_cast<long long>(y) - m_picture.clientOrigin.y - m_picture.clientHeight / 2;
    return {static_cast<long>(PixelDeltaToWorld(dx, m_zoom) + m_centreX),
            static_cast<long>(PixelDeltaToWorld(dy, m_zoom) + m_centreY)};
}

ViewPoint CMapView::WorldToView(long worldX, long worldY) const {
    // Coordinates from hand-edited entries may be anything; far beyond the world they all land outside.
    constexpr long long kFar = 1LL << 60;
    const long long dx = std::clamp<long long>(worldX, -kFar, kFar) - m_centreX;
    const long long dy = std::clamp<long long>(worldY, -kFar, kFar) - m_centreY;
    return {
        ClampToInt(WorldDeltaToPixels(dx, m_zoom) + m_picture.clientWidth / 2 + m_picture.clientOrigin.x),
        ClampToInt(WorldDeltaToPixels(dy, m_zoom) + m_picture.clientHeight / 2 + m_picture.clientOrigin.y)};
}

DragFrameChange CMapView::OnButtonDown(int x, int y) {
    DragFrameChange change;
    if (!IsInPicture(x, y)) {
        return change;
    }
    // A release that never arrived (outside the window) leaves its frame behind: take it off now.
    change.erase = m_frameShown;
    m_frameShown.reset();
    m_dragging = true;
    m_dragStart = m_dragCurrent = {x, y};
    return change;
}

DragFrameChange CMapView::OnMouseMove(int x, int y) {
    DragFrameChange change;
    if (!m_dragging || !IsInPicture(x, y)) {
        return change;
    }
    change.erase = m_frameShown;
    m_dragCurrent = {x, y};
    m_frameShown = NormalizedRect(m_dragStart, m_dragCurrent);
    change.draw = m_frameShown;
    return change;
}

DragRelease CMapView::OnButtonUp(int x, int y) {
    DragRelease release;
    if (m_dragging && IsInPicture(x, y)) {
        m_dragCurrent = {x, y};
        const ViewRect rect = NormalizedRect(m_dragStart, m_dragCurrent);
        release.erase = m_frameShown;
        m_frameShown.reset();
        // At the close levels a drag within one tile gives an area whose right and bottom (both excluded)
        // equal its left and top: it would hold no tile, and as the only entry would freeze nothing.
        const WorldPoint topLeft = ViewToWorld(rect.left, rect.top);
        const WorldPoint bottomRight = ViewToWorld(rect.right, rect.bottom);
        if (rect.Width() != 0 && rect.Height() != 0 && topLeft.x < bottomRight.x &&
            topLeft.y < bottomRight.y) {
            release.addedEntry = AddPatchArea(rect);
        }
    }
    // A release outside the picture leaves the last frame where it is; the picture's next repaint
    // wipes it.
    if (!IsInPicture(x, y)) {
        m_frameShown.reset();
    }
    m_dragging = false;
    m_dragStart = m_dragCurrent = {0, 0};
    return release;
}

std::size_t CMapView::AddPatchArea(const ViewRect& rect) {
    const WorldPoint topLeft = ViewToWorld(rect.left, rect.top);
    const WorldPoint bottomRight = ViewToWorld(rect.right, rect.bottom);
    return m_areas.Add(FormatPatchArea(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y));
}

std::vector<OverlayFill> CMapView::DrawPatchAreas() const {
    std::vector<OverlayFill> fills;
    for (std::size_t i = 0; i < m_areas.Count(); ++i) {
        const std::array<long, 4> area = ParsePatchArea(m_areas[i].text);
        const ViewPoint p1 = WorldToView(area[0], area[1]);
        const ViewPoint p2 = WorldToView(area[2], area[3]);
        const ViewRect rect = Intersect({p1.x, p1.y, p2.x, p2.y}, m_picture.frame);
        if (rect.Width() <= 0 || rect.Height() <= 0) {
            continue;
        }
        fills.push_back({rect, m_areas[i].selected ? kSelectedPatchAreaColor : kPatchAreaColor, i});
    }
    return fills;
}

} // namespace frostmark
