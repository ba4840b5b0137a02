#pragma once

// Dialog controls held in memory, for tests of dialog handlers. A control comes into being the first time
// an ID is used (enabled, visible, empty), unless Declare() was used to fix the set of IDs: then an
// undeclared ID is recorded in UnknownIds() so a test can catch a wrong control ID.

#include "platform/Services.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace frostmark {

class CMemoryDialogControls : public IDialogControls {
public:
    struct ListEntry {
        std::string text;
        std::uintptr_t data = 0;
        bool selected = false;
    };
    struct Control {
        std::string text;
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        std::vector<ListEntry> entries;
        std::vector<int> tabStops;
        std::uint32_t progressMin = 0;
        std::uint32_t progressMax = 100;
        std::uint32_t progressPos = 0;
    };

    // Fixes the set of known IDs (call once per control before use).
    void Declare(int id);

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
    int FocusedControl() const override { return m_focus; }
    void SetFocus(int id) override { m_focus = id; }
    void UpdateNow() override { ++m_updates; }

    // Test access to the whole state of one control (created when missing).
    Control& At(int id);
    const Control* Find(int id) const;
    // Every progress position set on a control, in order.
    const std::vector<std::uint32_t>& ProgressHistory(int id) const;
    int Updates() const { return m_updates; }
    const std::set<int>& UnknownIds() const { return m_unknown; }

private:
    Control* Lookup(int id);
    const Control* Lookup(int id) const;

    std::map<int, Control> m_controls;
    std::map<int, std::vector<std::uint32_t>> m_progressHistory;
    bool m_declared = false;
    mutable std::set<int> m_unknown;
    int m_focus = -1;
    int m_updates = 0;
};

} // namespace frostmark
