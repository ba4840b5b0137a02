#include "app/DialogBuilder.h"

#include "app/MapCanvas.h"
#include "app/Widgets.h"
#include "platform/qt/QtDialogUnits.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <vector>

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
    case EControlKind::ReportList: {
        // A table with fixed row heights and no row headers: the view then asks the model only for the
        // rows it shows and keeps a few bytes a row, so millions of rows scroll as quickly as a few. (A
        // tree view keeps an item of its own for every row.)
        auto* view = new QTableView(dialog);
        view->verticalHeader()->hide();
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 2);
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->setCornerButtonEnabled(false);
        view->setTabKeyNavigation(false);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setHorizontalScrollBarPolicy((c.style & CS_HSCROLL) ? Qt::ScrollBarAsNeeded
                                                                  : Qt::ScrollBarAlwaysOff);
        view->horizontalHeader()->setStretchLastSection(false);
        view->horizontalHeader()->setSectionsMovable(false);
        view->horizontalHeader()->setHighlightSections(false);
        return view;
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

namespace {

bool SameRow(const CControlTemplate& a, const CControlTemplate& b) {
    return a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool Inside(const CControlTemplate& inner, const CControlTemplate& outer) {
    return inner.x >= outer.x && inner.x + inner.cx <= outer.x + outer.cx && inner.y >= outer.y &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

// Gaps, in pixels, between a label and what follows it in its row.
constexpr int kLabelGap = 4;
constexpr int kValueGap = 8;

// Template x coordinates to pixels with the stretched columns: x in [from, to) is scaled, what lies
// right of `to` moves by what the columns gained.
struct CStretch {
    int from = 0;
    int to = 0;
    double scale = 1;
    double unitPixels = 1; // pixels per horizontal dialog unit

    double Units(double x) const {
        if (x <= from || to <= from)
            return x;
        if (x < to)
            return from + (x - from) * scale;
        return x + (to - from) * (scale - 1);
    }
    int Pixels(double x) const { return static_cast<int>(std::lround(Units(x) * unitPixels)); }
};

struct CCreated {
    const CControlTemplate* tmpl;
    QWidget* widget;
};

// What a fixed text needs in its row: the room from its left edge to the next control on its right
// (or the end of its group box); for a label followed by a result field, its text, a gap and the widest
// result. Answers the smallest scale that gives every text of the stretched columns its room.
double ColumnScale(const std::vector<CCreated>& created, CStretch stretch) {
    struct CNeed {
        double left;  // template x of the text
        double limit; // template x it must end before
        int pixels;   // what it needs
    };
    std::vector<CNeed> needs;
    for (const CCreated& c : created) {
        const CControlTemplate& t = *c.tmpl;
        if ((t.kind != EControlKind::Label && t.kind != EControlKind::CheckBox) || t.x < stretch.from ||
            t.x >= stretch.to)
            continue;
        double limit = stretch.to;
        const CControlTemplate* next = nullptr;
        for (const CCreated& o : created) {
            const CControlTemplate& n = *o.tmpl;
            if (&n == &t || n.kind == EControlKind::GroupBox || (n.style & CS_HIDDEN) || !SameRow(n, t) ||
                n.x <= t.x || n.x >= limit)
                continue;
            limit = n.x;
            next = &n;
        }
        for (const CCreated& o : created)
            if (o.tmpl->kind == EControlKind::GroupBox && Inside(t, *o.tmpl))
                limit = std::min<double>(limit, o.tmpl->x + o.tmpl->cx - 3);
        int pixels = c.widget->sizeHint().width() + kLabelGap;
        if (next && next->kind == EControlKind::RightLabel) {
            const QFontMetrics metrics(c.widget->font());
            limit = next->x + next->cx;
            pixels += kValueGap + metrics.horizontalAdvance(QLatin1String(kWidestResultText));
        }
        needs.push_back({static_cast<double>(t.x), limit, pixels});
    }
    double scale = 1;
    for (int step = 0; step < 200; ++step, scale += 0.01) {
        stretch.scale = scale;
        if (std::all_of(needs.begin(), needs.end(), [&](const CNeed& need) {
                return stretch.Pixels(need.limit) - stretch.Pixels(need.left) >= need.pixels;
            }))
            break;
    }
    return scale;
}

} // namespace

std::map<int, QWidget*> BuildDialog(QDialog* dialog, const CDialogTemplate& tmpl,
                                    const CDialogBaseUnits& base) {
    std::map<int, QWidget*> controls;
    dialog->setFont(DialogFont(tmpl));
    dialog->setWindowTitle(ToQString(tmpl.caption));
    std::vector<CCreated> created;
    // Group boxes first, then everything else in template order (which is also the tab order).
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : tmpl.controls) {
            if ((c.kind == EControlKind::GroupBox) != (pass == 0))
                continue;
            QWidget* w = CreateControl(dialog, c);
            if (c.style & CS_DISABLED)
                w->setEnabled(false);
            if (c.style & CS_HIDDEN)
                w->setVisible(false);
            if (c.id != -1) {
                w->setObjectName(QStringLiteral("ctl%1").arg(c.id));
                controls[c.id] = w;
            }
            created.push_back({&c, w});
        }
    }
    // A label's mnemonic (Alt+letter) moves the focus to the control it names: the next one of the
    // template that takes input. (Set before the sizes are taken: the "&" is then not counted.)
    for (const CCreated& c : created) {
        auto* label = qobject_cast<QLabel*>(c.widget);
        if (!label || c.tmpl->kind != EControlKind::Label || !label->text().contains(QLatin1Char('&')))
            continue;
        for (const CControlTemplate* next = c.tmpl + 1; next < tmpl.controls.data() + tmpl.controls.size();
             ++next) {
            if (next->id == -1 || next->kind == EControlKind::Label || next->kind == EControlKind::GroupBox)
                continue;
            label->setBuddy(controls[next->id]);
            break;
        }
    }
    for (const CCreated& c : created)
        c.widget->ensurePolished();

    CStretch stretch;
    stretch.from = tmpl.stretchFrom;
    stretch.to = tmpl.stretchTo;
    stretch.unitPixels = base.cx / 4.0;
    if (stretch.to > stretch.from)
        stretch.scale = ColumnScale(created, stretch);

    const CDialogRect size = DialogUnitsToPixels({0, 0, tmpl.cx, tmpl.cy}, base);
    dialog->setFixedSize(stretch.Pixels(tmpl.cx), size.height);
    std::map<const CControlTemplate*, QRect> placed;
    for (const CCreated& c : created) {
        const CControlTemplate& t = *c.tmpl;
        const CDialogRect r = DialogUnitsToPixels({t.x, t.y, t.cx, t.cy}, base);
        const int left = stretch.Pixels(t.x);
        int width = stretch.Pixels(t.x + t.cx) - left;
        // Fixed texts take the width of their text: they never reach over what follows them.
        if (t.kind == EControlKind::Label || t.kind == EControlKind::CheckBox)
            width = c.widget->sizeHint().width();
        placed[&t] = QRect(left, r.y, width, r.height);
    }
    // A result field takes its row from the end of its label's text to its own right edge.
    for (const CCreated& c : created) {
        const CControlTemplate& t = *c.tmpl;
        if (t.kind != EControlKind::RightLabel)
            continue;
        for (const CCreated& o : created) {
            if (o.tmpl->kind != EControlKind::Label || !SameRow(*o.tmpl, t) || o.tmpl->x >= t.x)
                continue;
            QRect& field = placed[&t];
            const int start = placed[o.tmpl].right() + 1 + kValueGap;
            field.setLeft(std::min(start, field.left()));
        }
    }
    for (const CCreated& c : created)
        c.widget->setGeometry(placed[c.tmpl]);
    return controls;
}

} // namespace frostmark
