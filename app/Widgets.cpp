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

CTabbedEntryDelegate::CTabbedEntryDelegate(std::vector<int> dialogUnits, QObject* parent)
    : CTabStopDelegate(std::move(dialogUnits), parent) {}

QSize CTabbedEntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = CTabStopDelegate::sizeHint(option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.contains(QLatin1Char('\t')))
        return size;
    // The columns laid out as the painting lays them out: each at the next stop beyond the text so far,
    // past the last stop at the next multiple of 32 dialog units.
    const std::vector<int> stops = StopPixels(option.font);
    const QFontMetrics metrics(option.font);
    const int step = std::max(1, DialogUnitsToPixelsX(32, DialogBaseUnits(option.font)));
    int x = 0;
    const QStringList columns = text.split(QLatin1Char('\t'));
    for (int column = 0; column < columns.size(); ++column) {
        if (column > 0) {
            const auto next = std::find_if(stops.begin(), stops.end(), [&](int stop) { return stop > x; });
            x = next != stops.end() ? *next : (x / step + 1) * step;
        }
        x += metrics.horizontalAdvance(columns[column]);
    }
    // The text area's margins on both sides.
    size.setWidth(std::max(size.width(), x + 2 * metrics.averageCharWidth()));
    return size;
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
