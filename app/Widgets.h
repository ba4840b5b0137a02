#pragma once
// The few widgets the dialog needs beyond Qt's own: the group frames, the clickable zoom icons and the
// tab-stop drawing of the Patch Objects list. The map picture is app/MapCanvas.h.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include "platform/qt/QtDialogControls.h"

#include <optional>
#include <vector>

namespace frostmark {

// A group box drawn the classic way: an etched frame whose top line runs through the middle of the
// title. It only frames: the controls inside are the dialog's own children, placed on top of it.
class CGroupFrame : public QWidget {
    Q_OBJECT
public:
    explicit CGroupFrame(const QString& title, QWidget* parent = nullptr);
    QString Title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};

// The tab-stop drawing of list entries, with a size that covers the expanded columns, so that the list's
// horizontal scroll bar reaches the last column.
class CTabbedEntryDelegate : public CTabStopDelegate {
    Q_OBJECT
public:
    CTabbedEntryDelegate(std::vector<int> dialogUnits, QObject* parent);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A clickable icon: shows a pixmap centred and reports a left click.
class CClickableIcon : public QWidget {
    Q_OBJECT
public:
    explicit CClickableIcon(const QPixmap& pixmap, QWidget* parent = nullptr);
    void SetPixmap(const QPixmap& pixmap);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_pixmap;
    bool m_pressed = false;
};

} // namespace frostmark
