#include "mapview/AreaEditing.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace frostmark {

WorldRect ParseWorldRect(std::string_view text) {
    const std::array<long, 4> v = ParsePatchArea(text);
    return {v[0], v[1], v[2], v[3]};
}

std::string FormatWorldRect(const WorldRect& rect) {
    return FormatPatchArea(rect.left, rect.top, rect.right, rect.bottom);
}

std::optional<WorldRect> ParseTypedArea(std::string_view text) {
    long values[4];
    std::size_t at = 0;
    const auto blanks = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
    };
    for (int i = 0; i < 4; ++i) {
        blanks();
        if (i > 0) {
            if (at >= text.size() || text[at] != ',')
                return std::nullopt;
            ++at;
            blanks();
        }
        const std::size_t start = at;
        if (at < text.size() && (text[at] == '-' || text[at] == '+'))
            ++at;
        const std::size_t digits = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
            ++at;
        // Seven digits are far beyond the world; more would only overflow.
        if (at == digits || at - digits > 7)
            return std::nullopt;
        values[i] = std::strtol(std::string(text.substr(start, at - start)).c_str(), nullptr, 10);
    }
    blanks();
    if (at != text.size())
        return std::nullopt;
    return WorldRect{values[0], values[1], values[2], values[3]};
}

std::optional<WorldRect> FitToWorld(WorldRect rect) {
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    rect.left = std::clamp<long>(rect.left, 0, kWorldWidth);
    rect.right = std::clamp<long>(rect.right, 0, kWorldWidth);
    rect.top = std::clamp<long>(rect.top, 0, kWorldHeight);
    rect.bottom = std::clamp<long>(rect.bottom, 0, kWorldHeight);
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return std::nullopt;
    return rect;
}

ViewRect AreaViewRect(const CMapView& view, const WorldRect& area) {
    const ViewPoint a = view.WorldToView(area.left, area.top);
    const ViewPoint b = view.WorldToView(area.right, area.bottom);
    return {a.x, a.y, b.x, b.y};
}

namespace {

// Along one axis: whether p is at the near (low) or far (high) edge of [low, high), with `tolerance`
// outside and as much inside as leaves the area an inside of its own.
struct EdgeNearness {
    bool low = false;
    bool high = false;
};

EdgeNearness NearEdges(long long p, long long low, long long high, int tolerance) {
    const long long last = high - 1;
    const long long inner = std::min<long long>(tolerance, std::max<long long>(0, (high - low - 1) / 4));
    EdgeNearness near;
    near.low = p >= low - tolerance && p <= low + inner;
    near.high = p >= last - inner && p <= last + tolerance;
    if (near.low && near.high) {
        // A sliver: the closer edge wins.
        if (std::llabs(p - low) <= std::llabs(p - last))
            near.high = false;
        else
            near.low = false;
    }
    return near;
}

std::optional<AreaPart> PartOf(const ViewRect& r, ViewPoint p, int tolerance) {
    if (r.right <= r.left || r.bottom <= r.top)
        return std::nullopt;
    if (p.x < static_cast<long long>(r.left) - tolerance ||
        p.x > static_cast<long long>(r.right) - 1 + tolerance ||
        p.y < static_cast<long long>(r.top) - tolerance ||
        p.y > static_cast<long long>(r.bottom) - 1 + tolerance)
        return std::nullopt;
    const EdgeNearness x = NearEdges(p.x, r.left, r.right, tolerance);
    const EdgeNearness y = NearEdges(p.y, r.top, r.bottom, tolerance);
    const bool insideX = p.x >= r.left && p.x < r.right;
    const bool insideY = p.y >= r.top && p.y < r.bottom;
    if (x.low && y.low)
        return AreaPart::TopLeft;
    if (x.high && y.low)
        return AreaPart::TopRight;
    if (x.low && y.high)
        return AreaPart::BottomLeft;
    if (x.high && y.high)
        return AreaPart::BottomRight;
    if (x.low && insideY)
        return AreaPart::Left;
    if (x.high && insideY)
        return AreaPart::Right;
    if (y.low && insideX)
        return AreaPart::Top;
    if (y.high && insideX)
        return AreaPart::Bottom;
    if (insideX && insideY)
        return AreaPart::Inside;
    return std::nullopt;
}

} // namespace

std::optional<AreaHit> HitTestPatchAreas(const CMapView& view, ViewPoint p, int tolerance) {
    const CPatchAreaList& areas = view.PatchAreas();
    for (const bool selected : {true, false}) {
        for (std::size_t i = areas.Count(); i-- > 0;) {
            if (areas[i].selected != selected)
                continue;
            const ViewRect r = AreaViewRect(view, ParseWorldRect(areas[i].text));
            if (const std::optional<AreaPart> part = PartOf(r, p, tolerance))
                return AreaHit{i, *part};
        }
    }
    return std::nullopt;
}

WorldRect MoveArea(const WorldRect& area, long dx, long dy) {
    const auto place = [](long low, long size, long delta, long world) {
        return std::clamp<long>(low + delta, 0, std::max<long>(0, world - size));
    };
    WorldRect moved = area;
    moved.left = place(area.left, area.Width(), dx, kWorldWidth);
    moved.right = moved.left + area.Width();
    moved.top = place(area.top, area.Height(), dy, kWorldHeight);
    moved.bottom = moved.top + area.Height();
    return moved;
}

WorldRect ResizeArea(const WorldRect& area, AreaPart part, long dx, long dy) {
    WorldRect r = area;
    const bool left = part == AreaPart::Left || part == AreaPart::TopLeft || part == AreaPart::BottomLeft;
    const bool right = part == AreaPart::Right || part == AreaPart::TopRight || part == AreaPart::BottomRight;
    const bool top = part == AreaPart::Top || part == AreaPart::TopLeft || part == AreaPart::TopRight;
    const bool bottom =
        part == AreaPart::Bottom || part == AreaPart::BottomLeft || part == AreaPart::BottomRight;
    if (left)
        r.left = std::clamp<long>(area.left + dx, 0, std::max<long>(0, area.right - 1));
    if (right)
        r.right = std::clamp<long>(area.right + dx, std::min<long>(kWorldWidth, area.left + 1), kWorldWidth);
    if (top)
        r.top = std::clamp<long>(area.top + dy, 0, std::max<long>(0, area.bottom - 1));
    if (bottom)
        r.bottom =
            std::clamp<long>(area.bottom + dy, std::min<long>(kWorldHeight, area.top + 1), kWorldHeight);
    return r;
}

// ---------------------------------------------------------------- the drag tool

ViewPoint CAreaTool::Clamped(const CMapView& view, ViewPoint p) const {
    const ViewRect& frame = view.Picture().frame;
    return {std::clamp(p.x, frame.left, frame.right), std::clamp(p.y, frame.top, frame.bottom)};
}

void CAreaTool::Press(const CMapView& view, ViewPoint p) {
    m_mode = Mode::Idle;
    m_hit.reset();
    m_before.clear();
    m_previewed = false;
    if (!view.IsInPicture(p.x, p.y))
        return;
    m_mode = Mode::Pressed;
    m_press = p;
    m_hit = HitTestPatchAreas(view, p, m_tolerance);
    if (m_hit)
        m_before = view.PatchAreas()[m_hit->entry].text;
}

std::string CAreaTool::Dragged(const CMapView& view, ViewPoint p) const {
    const ViewPoint at = Clamped(view, p);
    const long dx = static_cast<long>(PixelDeltaToWorld(at.x - m_press.x, view.Zoom()));
    const long dy = static_cast<long>(PixelDeltaToWorld(at.y - m_press.y, view.Zoom()));
    const WorldRect before = ParseWorldRect(m_before);
    if (m_mode == Mode::Moving)
        return FormatWorldRect(MoveArea(before, dx, dy));
    return FormatWorldRect(ResizeArea(before, m_hit->part, dx, dy));
}

CAreaTool::Preview CAreaTool::Move(const CMapView& view, ViewPoint p) {
    Preview preview;
    if (m_mode == Mode::Idle)
        return preview;
    if (m_mode == Mode::Pressed) {
        if (std::abs(p.x - m_press.x) + std::abs(p.y - m_press.y) < m_threshold)
            return preview;
        m_mode = !m_hit ? Mode::Creating : m_hit->part == AreaPart::Inside ? Mode::Moving : Mode::Resizing;
    }
    if (m_mode == Mode::Creating) {
        preview.frame = NormalizedRect(m_press, Clamped(view, p));
        return preview;
    }
    preview.entry = m_hit->entry;
    preview.text = Dragged(view, p);
    m_previewed = true;
    return preview;
}

CAreaTool::Outcome CAreaTool::Release(const CMapView& view, ViewPoint p) {
    Outcome outcome;
    const Mode mode = m_mode;
    if (mode == Mode::Pressed) {
        outcome.kind = Outcome::Kind::Click;
        if (m_hit)
            outcome.entry = m_hit->entry;
    } else if (mode == Mode::Creating) {
        const ViewRect rect = NormalizedRect(m_press, Clamped(view, p));
        if (rect.Width() != 0 && rect.Height() != 0) {
            const WorldPoint a = view.ViewToWorld(rect.left, rect.top);
            const WorldPoint b = view.ViewToWorld(rect.right, rect.bottom);
            if (const std::optional<WorldRect> fitted = FitToWorld({a.x, a.y, b.x, b.y})) {
                outcome.kind = Outcome::Kind::Add;
                outcome.after = FormatWorldRect(*fitted);
            }
        }
    } else if (mode == Mode::Moving || mode == Mode::Resizing) {
        outcome.entry = m_hit->entry;
        outcome.before = m_before;
        outcome.after = Dragged(view, p);
        if (outcome.after != m_before)
            outcome.kind = Outcome::Kind::Change;
    }
    m_mode = Mode::Idle;
    m_hit.reset();
    m_previewed = false;
    return outcome;
}

std::optional<std::pair<std::size_t, std::string>> CAreaTool::Cancel() {
    std::optional<std::pair<std::size_t, std::string>> restore;
    if (m_previewed && m_hit)
        restore.emplace(m_hit->entry, m_before);
    m_mode = Mode::Idle;
    m_hit.reset();
    m_previewed = false;
    return restore;
}

AreaPart CAreaTool::PartAt(const CMapView& view, ViewPoint p) const {
    const std::optional<AreaHit> hit = HitTestPatchAreas(view, p, m_tolerance);
    return hit ? hit->part : AreaPart::None;
}

} // namespace frostmark
