#pragma once

// IDialogControls over Qt widgets: the dialog binds each widget to its control ID once, and its
// handlers then address controls by ID as the in-memory tests do.
//
// Supported widgets and what the calls mean for them:
//   QLineEdit        text
//   QPlainTextEdit   text, line count, line by index (multi-line edits)
//   QCheckBox        text, checked state
//   QPushButton / other QAbstractButton   text
//   QLabel           text
//   QGroupBox        title as text
//   QListWidget      list calls; entries hold their data under Qt::UserRole; tab stops in dialog units
//   QProgressBar     the 32-bit range and position (scaled down to fit the widget's int range)
// Every widget: enable/disable, show/hide, focus.

#include "platform/Services.h"

#include <QPointer>
#include <QStyledItemDelegate>
#include <QWidget>

#include <map>

class QListWidget;

namespace frostmark {

// Draws list entries containing "\t" with their columns starting at tab stops given in dialog units of
// the list's font, as the classic list box did.
class CTabStopDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CTabStopDelegate(std::vector<int> dialogUnits, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The pixel x offsets of the tab stops for a font.
    std::vector<int> StopPixels(const QFont& font) const;

private:
    std::vector<int> m_dialogUnits;
};

class CQtDialogControls : public IDialogControls {
public:
    // Binds a widget to a control ID (replacing an earlier binding of that ID).
    void Bind(int id, QWidget* widget);
    QWidget* Widget(int id) const;
    template <typename T> T* WidgetAs(int id) const { return qobject_cast<T*>(Widget(id)); }

    std::string GetText(int id) const override;
    void SetText(int id, const std::string& text) override;
    void Enable(int id, bool enabled) override;
    bool IsEnabled(int id) const override;
    void Show(int id, bool visible) override;
    bool IsVisible(int id) const override;
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    int GetLineCount(int id) const override;
    std::string GetLine(int id, int index) const override;
    void ListReset(int id) override;
    int ListAddString(int id, const std::string& text) override;
    int ListCount(int id) const override;
    std::string ListText(int id, int index) const override;
    void ListSetItemData(int id, int index, std::uintptr_t data) override;
    std::uintptr_t ListItemData(int id, int index) const override;
    std::vector<int> ListSelection(int id) const override;
    void ListSetSelected(int id, int index, bool selected) override;
    bool ListDeleteString(int id, int index) override;
    void ListSetTabStops(int id, const std::vector<int>& dialogUnits) override;
    void SetProgressRange(int id, std::uint32_t minimum, std::uint32_t maximum) override;
    void SetProgressPos(int id, std::uint32_t position) override;
    int FocusedControl() const override;
    void SetFocus(int id) override;
    // Repaints every window holding a bound control now and hands it to the window system.
    void UpdateNow() override;

private:
    struct ProgressRange {
        std::uint32_t minimum = 0;
        std::uint32_t maximum = 100;
        int shift = 0; // the range is divided by 2^shift to fit the widget's int range
    };
    std::map<int, QPointer<QWidget>> m_widgets;
    std::map<int, ProgressRange> m_ranges;
};

} // namespace frostmark
