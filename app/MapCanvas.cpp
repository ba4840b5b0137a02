#include "app/MapCanvas.h"

#include <QPainter>
#include <QPainterPath>

namespace frostmark {

QColor CMapCanvas::AreaFill(bool selected) {
    return selected ? QColor(0, 0xAA, 0, 95) : QColor(0, 0x77, 0, 75);
}

QColor CMapCanvas::AreaOutline(bool selected) {
    return selected ? QColor(0xFF, 0xE0, 0x40) : QColor(0x30, 0xFF, 0x30);
}

QColor CMapCanvas::MarkColour() {
    return QColor(0xFF, 0x00, 0xFF);
}

QColor CMapCanvas::MarkEdgeColour() {
    // Dark enough to set a mark off light terrain, light enough that a crowd of them at the far levels
    // does not blot the map out.
    return QColor(0, 0, 0, 170);
}

CMapCanvas::CMapCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CMapCanvas::SetTerrain(const CRadarSamples* samples) {
    m_samples = samples;
    update();
}

void CMapCanvas::SetEmptyText(const QString& text) {
    m_emptyText = text;
    update();
}

void CMapCanvas::SetAreas(std::vector<Area> areas) {
    const bool same =
        areas.size() == m_areas.size() &&
        std::equal(areas.begin(), areas.end(), m_areas.begin(),
                   [](const Area& a, const Area& b) { return a.rect == b.rect && a.selected == b.selected; });
    if (same)
        return;
    m_areas = std::move(areas);
    update();
}

void CMapCanvas::SetMarks(QImage marks) {
    m_marks = std::move(marks);
    update();
}

void CMapCanvas::SetHighlights(std::vector<QPoint> points) {
    if (points == m_highlights)
        return;
    m_highlights = std::move(points);
    update();
}

void CMapCanvas::SetDragFrame(std::optional<QRect> frame) {
    if (frame == m_frame)
        return;
    m_frame = frame;
    update();
}

QImage CMapCanvas::TerrainImage() const {
    if (!m_samples)
        return {};
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    const CRadarSamples& s = *m_samples;
    const QImage samples(reinterpret_cast<const uchar*>(s.Data()), s.Width(), s.Height(),
                         static_cast<qsizetype>(s.Width()) * 4, QImage::Format_RGB32);
    const int scale = s.PixelsPerSample();
    p.drawImage(QRect(s.OriginX(), s.OriginY(), s.Width() * scale, s.Height() * scale), samples);
    return image;
}

QImage CMapCanvas::Render() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter p(&image);
    Paint(p);
    return image;
}

void CMapCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Paint(p);
}

void CMapCanvas::Paint(QPainter& p) const {
    p.fillRect(rect(), Qt::black);
    if (m_samples) {
        // The samples scaled by a whole factor without smoothing: every sample becomes its square of
        // pixels exactly.
        const CRadarSamples& s = *m_samples;
        const QImage samples(reinterpret_cast<const uchar*>(s.Data()), s.Width(), s.Height(),
                             static_cast<qsizetype>(s.Width()) * 4, QImage::Format_RGB32);
        const int scale = s.PixelsPerSample();
        p.drawImage(QRect(s.OriginX(), s.OriginY(), s.Width() * scale, s.Height() * scale), samples);
    } else if (!m_emptyText.isEmpty()) {
        p.setPen(QColor(0xb0, 0xbe, 0xc5));
        p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
    }

    // Areas: translucent, so the terrain stays readable, each with an outline; unselected ones first so
    // that a selected one is never hidden under its neighbours.
    for (const bool selectedPass : {false, true}) {
        for (const Area& a : m_areas) {
            if (a.selected != selectedPass || a.rect.isEmpty())
                continue;
            p.fillRect(a.rect, AreaFill(a.selected));
            const QRect edge = a.rect.adjusted(0, 0, -1, -1);
            p.setBrush(Qt::NoBrush);
            // A dark line outside the bright one keeps the edge visible over light terrain.
            p.setPen(QPen(QColor(0, 0, 0, 160), 1));
            p.drawRect(edge.adjusted(-1, -1, 1, 1));
            p.setPen(QPen(AreaOutline(a.selected), 1));
            p.drawRect(edge);
            if (a.selected) {
                p.drawRect(edge.adjusted(1, 1, -1, -1));
                // Handles where a drag resizes: corners and the middle of each edge.
                const int r = kHandleRadius;
                const QPoint c = a.rect.center();
                for (const QPoint h : {edge.topLeft(), edge.topRight(), edge.bottomLeft(), edge.bottomRight(),
                                       QPoint(c.x(), edge.top()), QPoint(c.x(), edge.bottom()),
                                       QPoint(edge.left(), c.y()), QPoint(edge.right(), c.y())}) {
                    const QRect handle(h.x() - r, h.y() - r, 2 * r + 1, 2 * r + 1);
                    p.fillRect(handle, Qt::black);
                    p.fillRect(handle.adjusted(1, 1, -1, -1), AreaOutline(true));
                }
            }
        }
    }

    if (!m_marks.isNull())
        p.drawImage(QPoint(0, 0), m_marks);

    if (!m_highlights.empty()) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(Qt::NoBrush);
        for (const QPoint& at : m_highlights) {
            p.setPen(QPen(Qt::black, 4));
            p.drawEllipse(QPointF(at) + QPointF(0.5, 0.5), 8, 8);
            p.setPen(QPen(Qt::white, 2));
            p.drawEllipse(QPointF(at) + QPointF(0.5, 0.5), 8, 8);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }

    if (m_frame) {
        // An inverting one-pixel frame, visible over any terrain.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        const QRect r = m_frame->normalized();
        p.drawRect(r.x(), r.y(), qMax(0, r.width() - 1), qMax(0, r.height() - 1));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

} // namespace frostmark
