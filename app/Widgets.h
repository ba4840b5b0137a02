#pragma once
// The few widgets the dialog needs beyond Qt's own: the map picture, the clickable zoom icons and the
// tab-stop drawing of the Patch Objects list.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include "platform/qt/QtDialogControls.h"

#include <optional>
#include <vector>

namespace frostmark {

// The map picture: the radar image centred in the widget, the patch area rectangles filled over it,
// and the drag frame while the user drags. It takes no mouse input: presses and moves go to the
// dialog, which owns the drag, just as the overlay coordinates are the dialog's.
class CMapPicture : public QWidget {
    Q_OBJECT
public:
    struct Fill {
        QRect rect; // picture coordinates, right and bottom edges excluded
        QColor colour;
    };

    explicit CMapPicture(QWidget* parent = nullptr);

    // A copy of the image is kept; a null image shows the empty picture.
    void SetImage(const QImage& image);
    const QImage& Image() const { return m_image; }
    void SetOverlay(std::vector<Fill> fills);
    const std::vector<Fill>& Overlay() const { return m_fills; }
    // The inverting drag frame, in picture coordinates; nullopt hides it.
    void SetDragFrame(std::optional<QRect> frame);
    std::optional<QRect> DragFrame() const { return m_frame; }
    // The text shown while there is no image (why the map is missing).
    void SetEmptyText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    std::vector<Fill> m_fills;
    std::optional<QRect> m_frame;
    QString m_emptyText;
};

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
