#pragma once
// The few widgets the dialog needs beyond Qt's own: the group frames and the clickable zoom icons. The
// map picture is app/MapCanvas.h.

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
