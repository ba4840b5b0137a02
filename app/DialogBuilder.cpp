#include "app/DialogBuilder.h"

#include "app/MapCanvas.h"
#include "app/Widgets.h"
#include "platform/qt/QtDialogUnits.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace frostmark {

QFont DialogFont(const CDialogTemplate& tmpl) {
    QFont font;
    // The template's face where the system has it; otherwise a condensed sans-serif face, whose
    // letters are as wide as the template's at this size, so labels fit the rectangles they were
    // laid out for.
    font.setFamilies({QString::fromUtf8(tmpl.fontFace.data(), static_cast<qsizetype>(tmpl.fontFace.size())),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("Arial Narrow")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(tmpl.fontPoints);
    return font;
}

namespace {

QString ToQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QWidget* CreateControl(QDialog* dialog, const CControlTemplate& c) {
    const QString text = ToQString(c.text);
    switch (c.kind) {
    case EControlKind::GroupBox:
        return new CGroupFrame(text, dialog);
    case EControlKind::Label:
    case EControlKind::RightLabel:
    case EControlKind::CenteredLabel: {
        auto* label = new QLabel(text, dialog);
        label->setAlignment(c.kind == EControlKind::RightLabel      ? (Qt::AlignRight | Qt::AlignTop)
                            : c.kind == EControlKind::CenteredLabel ? Qt::AlignCenter
                                                                    : (Qt::AlignLeft | Qt::AlignTop));
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case EControlKind::Edit: {
        auto* edit = new QLineEdit(text, dialog);
        edit->setTextMargins(0, 0, 0, 0);
        return edit;
    }
    case EControlKind::MultiEdit: {
        auto* edit = new QPlainTextEdit(text, dialog);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true);
        return edit;
    }
    case EControlKind::CheckBox:
        return new QCheckBox(text, dialog);
    case EControlKind::Button: {
        auto* button = new QPushButton(text, dialog);
        button->setDefault((c.style & CS_DEFAULT) != 0);
        return button;
    }
    case EControlKind::ProgressBar: {
        auto* bar = new QProgressBar(dialog);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        return bar;
    }
    case EControlKind::Picture:
        return new CMapCanvas(dialog);
    case EControlKind::VScrollBar:
        return new QScrollBar(Qt::Vertical, dialog);
    case EControlKind::HScrollBar:
        return new QScrollBar(Qt::Horizontal, dialog);
    case EControlKind::Icon:
        return new CClickableIcon(QPixmap(), dialog);
    case EControlKind::ListBox: {
        auto* list = new QListWidget(dialog);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setHorizontalScrollBarPolicy((c.style & CS_HSCROLL) ? Qt::ScrollBarAsNeeded
                                                                  : Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setUniformItemSizes(true);
        return list;
    }
    case EControlKind::SunkenFrame: {
        auto* frame = new QFrame(dialog);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return frame;
    }
    }
    return new QWidget(dialog);
}

} // namespace

std::map<int, QWidget*> BuildDialog(QDialog* dialog, const CDialogTemplate& tmpl,
                                    const CDialogBaseUnits& base) {
    std::map<int, QWidget*> controls;
    dialog->setFont(DialogFont(tmpl));
    dialog->setWindowTitle(ToQString(tmpl.caption));
    const CDialogRect size = DialogUnitsToPixels({0, 0, tmpl.cx, tmpl.cy}, base);
    dialog->setFixedSize(size.width, size.height);
    // Group boxes first, then everything else in template order (which is also the tab order).
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : tmpl.controls) {
            if ((c.kind == EControlKind::GroupBox) != (pass == 0))
                continue;
            QWidget* w = CreateControl(dialog, c);
            const CDialogRect r = DialogUnitsToPixels({c.x, c.y, c.cx, c.cy}, base);
            int width = r.width;
            if (c.kind == EControlKind::Label || c.kind == EControlKind::CheckBox) {
                // The substitute face is a few pixels wider than the template's on some words: let
                // fixed texts take the room they need rather than clip their last letters.
                w->ensurePolished();
                width = std::max(width, w->sizeHint().width());
            }
            w->setGeometry(r.x, r.y, width, r.height);
            if (c.style & CS_DISABLED)
                w->setEnabled(false);
            if (c.style & CS_HIDDEN)
                w->setVisible(false);
            if (c.id != -1) {
                w->setObjectName(QStringLiteral("ctl%1").arg(c.id));
                controls[c.id] = w;
            }
        }
    }
    return controls;
}

} // namespace frostmark
