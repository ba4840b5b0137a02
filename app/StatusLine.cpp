#include "app/StatusLine.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace frostmark {

CElidedLabel::CElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void CElidedLabel::SetFullText(const QString& text) {
    m_full = text;
    Elide();
}

QSize CElidedLabel::minimumSizeHint() const {
    // Any width will do: the text is shortened to fit.
    return QSize(0, QLabel::minimumSizeHint().height());
}

void CElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void CElidedLabel::Elide() {
    const int room = contentsRect().width();
    // Messages put what matters first (what was written, the figures); a long tail gives way.
    const QString shown = room > 0 ? fontMetrics().elidedText(m_full, Qt::ElideRight, room) : m_full;
    QLabel::setText(shown);
    // The whole text where part of it is hidden; a tooltip that repeats what shows would only cover
    // the window.
    setToolTip(shown == m_full ? QString() : m_full);
}

CStatusLine::CStatusLine(QWidget* parent) : QStatusBar(parent), m_message(new CElidedLabel(this)) {
    setSizeGripEnabled(false);
    m_message->setObjectName(QStringLiteral("statusMessage"));
    addWidget(m_message, 1);
}

void CStatusLine::ShowText(const QString& text, Kind kind) {
    m_kind = kind;
    QPalette palette = m_message->palette();
    QColor colour = this->palette().color(QPalette::WindowText);
    if (kind == Kind::Error)
        colour = QColor(0xb0, 0x00, 0x20);
    else if (kind == Kind::Warning)
        colour = QColor(0x8a, 0x4b, 0x00);
    palette.setColor(QPalette::WindowText, colour);
    m_message->setPalette(palette);
    m_message->SetFullText(text);
}

} // namespace frostmark
