#pragma once
// The status line at the bottom of the main window: after each command it says what happened (the file
// written with its whole path, the figures, the time taken), or why the command failed or stopped. The
// message takes the room that is left; further sections (the cursor's position on the map, the zoom)
// are added with QStatusBar::addPermanentWidget and keep their place on the right.

#include <QLabel>
#include <QStatusBar>

namespace frostmark {

// A one-line label that shows as much of its text as fits, ending in "..." when it is cut, and then the
// whole text as its tooltip.
class CElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit CElidedLabel(QWidget* parent = nullptr);
    void SetFullText(const QString& text);
    QString FullText() const { return m_full; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
    QString m_full;
};

class CStatusLine : public QStatusBar {
    Q_OBJECT
public:
    enum class Kind { Info, Done, Warning, Error };

    explicit CStatusLine(QWidget* parent = nullptr);

    // Replaces the message; it stays until the next one.
    void ShowText(const QString& text, Kind kind = Kind::Info);
    QString Text() const { return m_message->FullText(); }
    Kind CurrentKind() const { return m_kind; }
    CElidedLabel* MessageLabel() const { return m_message; }

private:
    CElidedLabel* m_message;
    Kind m_kind = Kind::Info;
};

} // namespace frostmark
