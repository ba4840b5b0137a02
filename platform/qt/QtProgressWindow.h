#pragma once

// The modeless "Loading File" window: a centred status line and a sunken canvas on which the bar and
// its percentage are painted exactly as CFileReadProgress::DrawProgress works them out. It is laid out
// in dialog units (289 x 28; status 7,3 275x8; canvas 7,14 275x10) of the dialog font, takes no input,
// has no close button, and repaints at once: the loaders run on the UI thread without an event loop.

#include "platform/Services.h"

#include <QDialog>
#include <QFrame>
#include <QPointer>

#include <optional>

class QLabel;

namespace frostmark {

// The canvas: fills the bar and the rest, and draws the percentage in two colours split at the bar's edge.
class CQtProgressCanvas : public QFrame {
    Q_OBJECT
public:
    explicit CQtProgressCanvas(QWidget* parent = nullptr);
    // The drawing area, in the 0-based coordinates the paint figures use.
    CProgressRect ClientRect() const;
    void SetPaint(const CProgressPaint& paint);
    const CProgressPaint* LastPaint() const { return m_hasPaint ? &m_paint : nullptr; }
    // The colour beside the bar (the palette's button colour).
    QColor BackgroundColour() const;
    static QColor BarColour(const CProgressPaint& paint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CProgressPaint m_paint;
    bool m_hasPaint = false;
};

class CQtProgressWindow : public QDialog {
    Q_OBJECT
public:
    // Laid out with `dialogFont` when given, else with the parent's font, else the application's.
    explicit CQtProgressWindow(QWidget* parent = nullptr, const QFont* dialogFont = nullptr);
    QLabel* StatusLabel() const { return m_status; }
    CQtProgressCanvas* Canvas() const { return m_canvas; }
    // Paints pending changes now, without returning to the event loop.
    void ShowNow();

private:
    QLabel* m_status;
    CQtProgressCanvas* m_canvas;
};

// The IProgressView over a CQtProgressWindow; destroying the view closes and deletes the window.
class CQtProgressView : public IProgressView {
public:
    explicit CQtProgressView(QWidget* parent = nullptr, const QFont* dialogFont = nullptr);
    ~CQtProgressView() override;
    void SetCaption(const std::string& caption) override;
    void SetStatusText(const std::string& text) override;
    CProgressRect CanvasRect() const override;
    void Paint(const CProgressPaint& paint) override;
    CQtProgressWindow* Window() const { return m_window; }

private:
    QPointer<CQtProgressWindow> m_window;
};

class CQtProgressViewFactory : public IProgressViewFactory {
public:
    explicit CQtProgressViewFactory(QWidget* parent = nullptr) : m_parent(parent) {}
    // The windows' parent (they stay separate top-level windows, centred on its screen).
    void SetParent(QWidget* parent) { m_parent = parent; }
    // The font the windows are laid out and labelled with; the desktop dialog passes its own so both
    // windows share one dialog unit.
    void SetDialogFont(const QFont& font) { m_font = font; }
    std::unique_ptr<IProgressView> CreateProgressView() override;

private:
    QPointer<QWidget> m_parent;
    std::optional<QFont> m_font;
};

} // namespace frostmark
