#include "app/Widgets.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace frostmark {

CMapPicture::CMapPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CMapPicture::SetImage(const QImage& image) {
    m_image = image.copy();
    update();
}

void CMapPicture::SetOverlay(std::vector<Fill> fills) {
    m_fills = std::move(fills);
    update();
}

void CMapPicture::SetDragFrame(std::optional<QRect> frame) {
    m_frame = frame;
    update();
}

void CMapPicture::SetEmptyText(const QString& text) {
    m_emptyText = text;
    update();
}

void CMapPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_image.isNull()) {
        // Centred: the middle of the image is the view centre, as the coordinate conversions assume.
        const QPoint origin(width() / 2 - m_image.width() / 2, height() / 2 - m_image.height() / 2);
        p.drawImage(origin, m_image);
    } else if (!m_emptyText.isEmpty()) {
        p.setPen(QColor(0xb0, 0xbe, 0xc5));
        p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
    }
    for (const auto& f : m_fills)
        p.fillRect(f.rect, f.colour);
    if (m_frame) {
        // An inverting one-pixel frame, visible over any terrain.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        const QRect r = m_frame->normalized();
        p.drawRect(r.x(), r.y(), qMax(0, r.width() - 1), qMax(0, r.height() - 1));
    }
}

CGroupFrame::CGroupFrame(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CGroupFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int top = fm.height() / 2;
    const QRect frame(0, top, width() - 1, height() - top - 1);
    // Etched: a dark line with a light one just inside it.
    const QPalette& pal = palette();
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    p.setPen(pal.color(QPalette::Light));
    p.drawRect(frame.adjusted(1, 1, 0, 0));
    if (!m_title.isEmpty()) {
        const int textWidth = fm.horizontalAdvance(m_title);
        const QRect titleRect(6, 0, textWidth + 4, fm.height());
        p.fillRect(titleRect, pal.color(QPalette::Window));
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(titleRect, Qt::AlignCenter, m_title);
    }
}

CClickableIcon::CClickableIcon(const QPixmap& pixmap, QWidget* parent) : QWidget(parent), m_pixmap(pixmap) {
    setCursor(Qt::PointingHandCursor);
}

void CClickableIcon::SetPixmap(const QPixmap& pixmap) {
    m_pixmap = pixmap;
    update();
}

void CClickableIcon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QSize s = m_pixmap.deviceIndependentSize().toSize();
    p.drawPixmap(QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s), m_pixmap);
}

void CClickableIcon::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void CClickableIcon::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}

} // namespace frostmark
