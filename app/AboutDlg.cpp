#include "app/AboutDlg.h"

#include "app/DialogBuilder.h"
#include "app/Icons.h"
#include "app/Resource.h"
#include "app/Widgets.h"
#include "platform/qt/QtDialogUnits.h"

#include <QLabel>
#include <QPushButton>

namespace frostmark {

std::string BuildText() {
    return std::string("Built on ") + __DATE__ + " " + __TIME__;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const CDialogTemplate& tmpl = AboutDialogTemplate();
    m_controls = BuildDialog(this, tmpl, DialogBaseUnits(DialogFont(tmpl)));
    OnInitDialog();
}

QWidget* CAboutDlg::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CAboutDlg::OnInitDialog() {
    setWindowIcon(AppIcon());
    if (auto* icon = qobject_cast<CClickableIcon*>(Control(IDR_MAINFRAME))) {
        icon->SetPixmap(AppIconPixmap(32));
        icon->resize(32, 32);
        icon->setCursor(Qt::ArrowCursor);
    }
    if (auto* version = qobject_cast<QLabel*>(Control(IDC_ABOUT_VERSION)))
        version->setText(QString::fromLatin1(kFrostmarkVersion));
    if (auto* build = qobject_cast<QLabel*>(Control(IDC_ABOUT_BUILD)))
        build->setText(QString::fromStdString(BuildText()));
    if (auto* ok = qobject_cast<QPushButton*>(Control(IDOK)))
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace frostmark
