#include "platform/qt/QtProgressWindow.h"

#include "platform/qt/QtDialogUnits.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace frostmark {

namespace {

QColor FromColourReference(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

CQtProgressCanvas::CQtProgressCanvas(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

CProgressRect CQtProgressCanvas::ClientRect() const {
    const QRect area = contentsRect();
    return {0, 0, area.width(), area.height()};
}

void CQtProgressCanvas::SetPaint(const CProgressPaint& paint) {
    m_paint = paint;
    m_hasPaint = true;
}

QColor CQtProgressCanvas::BackgroundColour() const {
    return palette().color(QPalette::Button);
}

QColor CQtProgressCanvas::BarColour(const CProgressPaint& paint) {
    return FromColourReference(paint.barColour);
}

void CQtProgressCanvas::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event); // the sunken frame
    if (!m_hasPaint)
        return;
    QPainter painter(this);
    painter.translate(contentsRect().topLeft());
    const CProgressRect& r = m_paint.client;
    const QRect client(r.left, r.top, r.Width(), r.Height());
    const QColor bar = BarColour(m_paint);
    const QColor background = BackgroundColour();

    QFont font = QApplication::font();
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    // Centred on textCentreX, top at textTop, as wide as the canvas allows either side.
    const int reach = std::max(client.width(), 1);
    const QRect textBox(m_paint.textCentreX - reach, m_paint.textTop, 2 * reach, client.height() + 16);
    const QString text = QString::fromStdString(m_paint.text);

    const QRect done(r.left, r.top, m_paint.split - r.left, r.Height());
    const QRect rest(m_paint.split, r.top, r.right - m_paint.split, r.Height());
    // The done part: navy, the text in the background colour over it.
    painter.save();
    painter.setClipRect(done.intersected(client));
    painter.fillRect(client, bar);
    painter.setPen(background);
    painter.drawText(textBox, Qt::AlignHCenter | Qt::AlignTop, text);
    painter.restore();
    // The rest: the background colour, the text in navy.
    painter.save();
    painter.setClipRect(rest.intersected(client));
    painter.fillRect(client, background);
    painter.setPen(bar);
    painter.drawText(textBox, Qt::AlignHCenter | Qt::AlignTop, text);
    painter.restore();
}

CQtProgressWindow::CQtProgressWindow(QWidget* parent, const QFont* dialogFont)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Loading File"));
    if (dialogFont)
        setFont(*dialogFont);
    else if (parent)
        setFont(parent->font());
    setModal(false);
    const QFont layoutFont = font();
    setFixedSize(DialogSize(layoutFont, 289, 28));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setGeometry(DialogRect(layoutFont, 7, 3, 275, 8));
    m_canvas = new CQtProgressCanvas(this);
    m_canvas->setObjectName(QStringLiteral("canvas"));
    m_canvas->setGeometry(DialogRect(layoutFont, 7, 14, 275, 10));
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void CQtProgressWindow::ShowNow() {
    if (!isVisible())
        show();
    repaint();
    // Let the window system see the new contents (the expose of a just-shown window, the flush of the
    // backing store); user input waits until the loader has finished.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

CQtProgressView::CQtProgressView(QWidget* parent, const QFont* dialogFont)
    : m_window(new CQtProgressWindow(parent, dialogFont)) {
    m_window->ShowNow();
}

CQtProgressView::~CQtProgressView() {
    if (m_window) {
        m_window->hide();
        delete m_window.data();
    }
}

void CQtProgressView::SetCaption(const std::string& caption) {
    if (!m_window)
        return;
    m_window->setWindowTitle(QString::fromStdString(caption));
}

void CQtProgressView::SetStatusText(const std::string& text) {
    if (!m_window)
        return;
    m_window->StatusLabel()->setText(QString::fromStdString(text));
    m_window->ShowNow();
}

CProgressRect CQtProgressView::CanvasRect() const {
    return m_window ? m_window->Canvas()->ClientRect() : CProgressRect{};
}

void CQtProgressView::Paint(const CProgressPaint& paint) {
    if (!m_window)
        return;
    // The loaders ask after every few sections; the picture changes only a few hundred times per file.
    if (const CProgressPaint* last = m_window->Canvas()->LastPaint(); last && *last == paint)
        return;
    m_window->Canvas()->SetPaint(paint);
    m_window->Canvas()->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::unique_ptr<IProgressView> CQtProgressViewFactory::CreateProgressView() {
    return std::make_unique<CQtProgressView>(m_parent.data(), m_font ? &*m_font : nullptr);
}

} // namespace frostmark
