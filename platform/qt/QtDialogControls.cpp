#include "platform/qt/QtDialogControls.h"

#include "platform/qt/QtDialogUnits.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>

#include <algorithm>
#include <climits>
#include <set>

namespace frostmark {

namespace {

QString ToQt(const std::string& text) {
    QString result = QString::fromStdString(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

} // namespace

CTabStopDelegate::CTabStopDelegate(std::vector<int> dialogUnits, QObject* parent)
    : QStyledItemDelegate(parent), m_dialogUnits(std::move(dialogUnits)) {}

std::vector<int> CTabStopDelegate::StopPixels(const QFont& font) const {
    const CDialogBaseUnits base = DialogBaseUnits(font);
    std::vector<int> pixels;
    for (int units : m_dialogUnits)
        pixels.push_back(DialogUnitsToPixelsX(units, base));
    return pixels;
}

void CTabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const std::vector<int> stops = StopPixels(item.font);
    const QStringList columns = text.split(QLatin1Char('\t'));
    painter->save();
    painter->setFont(item.font);
    painter->setPen(
        item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    const QFontMetrics metrics(item.font);
    int x = area.left();
    for (int column = 0; column < columns.size(); ++column) {
        if (column > 0) {
            // The next tab stop beyond the text so far; past the last one, the next multiple of 8 average
            // character widths (the list box's default spacing).
            const auto next =
                std::find_if(stops.begin(), stops.end(), [&](int stop) { return area.left() + stop > x; });
            if (next != stops.end()) {
                x = area.left() + *next;
            } else {
                const int step = std::max(1, DialogUnitsToPixelsX(32, DialogBaseUnits(item.font)));
                x = area.left() + ((x - area.left()) / step + 1) * step;
            }
        }
        const QRect cell(x, area.top(), std::max(0, area.right() - x + 1), area.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, columns[column]);
        x += metrics.horizontalAdvance(columns[column]);
    }
    painter->restore();
}

void CQtDialogControls::Bind(int id, QWidget* widget) {
    m_widgets[id] = widget;
}

QWidget* CQtDialogControls::Widget(int id) const {
    const auto it = m_widgets.find(id);
    return it == m_widgets.end() ? nullptr : it->second.data();
}

std::string CQtDialogControls::GetText(int id) const {
    QWidget* widget = Widget(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text().toStdString();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return edit->toPlainText().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().toStdString();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title().toStdString();
    return {};
}

void CQtDialogControls::SetText(int id, const std::string& text) {
    QWidget* widget = Widget(id);
    const QString value = ToQt(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(value);
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setPlainText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(value);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(value);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(value);
}

void CQtDialogControls::Enable(int id, bool enabled) {
    if (QWidget* widget = Widget(id))
        widget->setEnabled(enabled);
}

bool CQtDialogControls::IsEnabled(int id) const {
    QWidget* widget = Widget(id);
    return widget && widget->isEnabled();
}

void CQtDialogControls::Show(int id, bool visible) {
    if (QWidget* widget = Widget(id))
        widget->setVisible(visible);
}

bool CQtDialogControls::IsVisible(int id) const {
    // Whether the control itself is shown, also while its window is not yet on the screen.
    QWidget* widget = Widget(id);
    return widget && !widget->isHidden();
}

bool CQtDialogControls::IsChecked(int id) const {
    auto* button = WidgetAs<QAbstractButton>(id);
    return button && button->isChecked();
}

void CQtDialogControls::SetChecked(int id, bool checked) {
    if (auto* button = WidgetAs<QAbstractButton>(id))
        button->setChecked(checked);
}

int CQtDialogControls::GetLineCount(int id) const {
    if (auto* edit = WidgetAs<QPlainTextEdit>(id))
        return edit->document()->blockCount();
    return static_cast<int>(SplitEditLines(GetText(id)).size());
}

std::string CQtDialogControls::GetLine(int id, int index) const {
    if (auto* edit = WidgetAs<QPlainTextEdit>(id)) {
        const QTextBlock block = edit->document()->findBlockByNumber(index);
        return block.isValid() ? block.text().toStdString() : std::string();
    }
    const auto lines = SplitEditLines(GetText(id));
    return index >= 0 && static_cast<std::size_t>(index) < lines.size()
               ? lines[static_cast<std::size_t>(index)]
               : std::string();
}

void CQtDialogControls::ListReset(int id) {
    if (auto* list = WidgetAs<QListWidget>(id))
        list->clear();
}

int CQtDialogControls::ListAddString(int id, const std::string& text) {
    auto* list = WidgetAs<QListWidget>(id);
    if (!list)
        return -1;
    list->addItem(QString::fromStdString(text));
    return list->count() - 1;
}

int CQtDialogControls::ListCount(int id) const {
    auto* list = WidgetAs<QListWidget>(id);
    return list ? list->count() : 0;
}

std::string CQtDialogControls::ListText(int id, int index) const {
    auto* list = WidgetAs<QListWidget>(id);
    const QListWidgetItem* item = list ? list->item(index) : nullptr;
    return item ? item->text().toStdString() : std::string();
}

void CQtDialogControls::ListSetItemData(int id, int index, std::uintptr_t data) {
    auto* list = WidgetAs<QListWidget>(id);
    if (QListWidgetItem* item = list ? list->item(index) : nullptr)
        item->setData(Qt::UserRole, QVariant::fromValue<quintptr>(static_cast<quintptr>(data)));
}

std::uintptr_t CQtDialogControls::ListItemData(int id, int index) const {
    auto* list = WidgetAs<QListWidget>(id);
    const QListWidgetItem* item = list ? list->item(index) : nullptr;
    return item ? static_cast<std::uintptr_t>(item->data(Qt::UserRole).value<quintptr>()) : 0;
}

std::vector<int> CQtDialogControls::ListSelection(int id) const {
    std::vector<int> rows;
    auto* list = WidgetAs<QListWidget>(id);
    if (!list)
        return rows;
    for (const QListWidgetItem* item : list->selectedItems())
        rows.push_back(list->row(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CQtDialogControls::ListSetSelected(int id, int index, bool selected) {
    auto* list = WidgetAs<QListWidget>(id);
    if (QListWidgetItem* item = list ? list->item(index) : nullptr)
        item->setSelected(selected);
}

bool CQtDialogControls::ListDeleteString(int id, int index) {
    auto* list = WidgetAs<QListWidget>(id);
    if (!list || index < 0 || index >= list->count())
        return false;
    delete list->takeItem(index);
    return true;
}

void CQtDialogControls::ListSetTabStops(int id, const std::vector<int>& dialogUnits) {
    auto* list = WidgetAs<QListWidget>(id);
    if (!list)
        return;
    QAbstractItemDelegate* previous = list->itemDelegate();
    list->setItemDelegate(new CTabStopDelegate(dialogUnits, list));
    if (previous && previous->parent() == list && qobject_cast<CTabStopDelegate*>(previous))
        previous->deleteLater();
}

void CQtDialogControls::SetProgressRange(int id, std::uint32_t minimum, std::uint32_t maximum) {
    auto* bar = WidgetAs<QProgressBar>(id);
    if (!bar)
        return;
    ProgressRange range{minimum, maximum, 0};
    std::uint32_t span = maximum >= minimum ? maximum - minimum : 0;
    while (span > static_cast<std::uint32_t>(INT_MAX)) {
        span >>= 1;
        ++range.shift;
    }
    m_ranges[id] = range;
    bar->setRange(0, static_cast<int>(span));
}

void CQtDialogControls::SetProgressPos(int id, std::uint32_t position) {
    auto* bar = WidgetAs<QProgressBar>(id);
    if (!bar)
        return;
    const ProgressRange range = m_ranges.count(id) ? m_ranges.at(id) : ProgressRange{};
    const std::uint32_t offset = position > range.minimum ? position - range.minimum : 0;
    const int value = static_cast<int>(
        std::min<std::uint32_t>(offset >> range.shift, static_cast<std::uint32_t>(bar->maximum())));
    bar->setValue(value);
}

int CQtDialogControls::FocusedControl() const {
    const QWidget* focus = QApplication::focusWidget();
    for (; focus; focus = focus->parentWidget()) {
        for (const auto& [id, widget] : m_widgets) {
            if (widget.data() == focus)
                return id;
        }
    }
    return -1;
}

void CQtDialogControls::SetFocus(int id) {
    if (QWidget* widget = Widget(id))
        widget->setFocus();
}

void CQtDialogControls::UpdateNow() {
    std::set<QWidget*> windows;
    for (const auto& [id, widget] : m_widgets) {
        if (widget && widget->isVisible())
            windows.insert(widget->window());
    }
    for (QWidget* window : windows)
        window->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace frostmark
