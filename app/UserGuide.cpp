#include "app/UserGuide.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

// The guide is compiled into the program's library; a static library's resources are registered by hand.
static void RegisterGuideResource() {
    Q_INIT_RESOURCE(frostmark);
}

namespace frostmark {

CUserGuide::CUserGuide(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    RegisterGuideResource();
    setWindowTitle(tr("Frostmark user guide"));
    setObjectName(QStringLiteral("userGuide"));
    setModal(false);
    QFile guide(QStringLiteral(":/guide/user-guide.html"));
    if (guide.open(QIODevice::ReadOnly))
        m_browser->setHtml(QString::fromUtf8(guide.readAll()));
    m_browser->setOpenExternalLinks(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    // About 70 characters wide and 30 lines high in the dialog's font.
    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 80, metrics.lineSpacing() * 34);
}

} // namespace frostmark
