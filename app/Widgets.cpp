#include "app/Widgets.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "platform/qt/QtDialogUnits.h"

#include <algorithm>

namespace frostmark {

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
