#include "platform/MemoryDialogControls.h"

namespace frostmark {

namespace {

std::string WithoutCarriageReturns(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        result.push_back(text[i]);
    }
    return result;
}

bool InRange(const CMemoryDialogControls::Control& control, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < control.entries.size();
}

} // namespace

void CMemoryDialogControls::Declare(int id) {
    m_declared = true;
    m_controls.try_emplace(id);
}

CMemoryDialogControls::Control* CMemoryDialogControls::Lookup(int id) {
    const auto it = m_controls.find(id);
    if (it != m_controls.end())
        return &it->second;
    if (m_declared) {
        m_unknown.insert(id);
        return nullptr;
    }
    return &m_controls[id];
}

const CMemoryDialogControls::Control* CMemoryDialogControls::Lookup(int id) const {
    const auto it = m_controls.find(id);
    if (it != m_controls.end())
        return &it->second;
    if (m_declared)
        m_unknown.insert(id);
    return nullptr;
}

CMemoryDialogControls::Control& CMemoryDialogControls::At(int id) {
    return m_controls[id];
}

const CMemoryDialogControls::Control* CMemoryDialogControls::Find(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

std::string CMemoryDialogControls::GetText(int id) const {
    const Control* control = Lookup(id);
    return control ? control->text : std::string();
}

void CMemoryDialogControls::SetText(int id, const std::string& text) {
    if (Control* control = Lookup(id))
        control->text = WithoutCarriageReturns(text);
}

void CMemoryDialogControls::Enable(int id, bool enabled) {
    if (Control* control = Lookup(id))
        control->enabled = enabled;
}

bool CMemoryDialogControls::IsEnabled(int id) const {
    const Control* control = Lookup(id);
    return control ? control->enabled : true;
}

void CMemoryDialogControls::Show(int id, bool visible) {
    if (Control* control = Lookup(id))
        control->visible = visible;
}

bool CMemoryDialogControls::IsVisible(int id) const {
    const Control* control = Lookup(id);
    return control ? control->visible : true;
}

bool CMemoryDialogControls::IsChecked(int id) const {
    const Control* control = Lookup(id);
    return control && control->checked;
}

void CMemoryDialogControls::SetChecked(int id, bool checked) {
    if (Control* control = Lookup(id))
        control->checked = checked;
}

int CMemoryDialogControls::GetLineCount(int id) const {
    return static_cast<int>(SplitEditLines(GetText(id)).size());
}

std::string CMemoryDialogControls::GetLine(int id, int index) const {
    const auto lines = SplitEditLines(GetText(id));
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size())
        return {};
    return lines[static_cast<std::size_t>(index)];
}

void CMemoryDialogControls::ListReset(int id) {
    if (Control* control = Lookup(id))
        control->entries.clear();
}

int CMemoryDialogControls::ListAddString(int id, const std::string& text) {
    Control* control = Lookup(id);
    if (!control)
        return -1;
    control->entries.push_back({text, 0, false});
    return static_cast<int>(control->entries.size()) - 1;
}

int CMemoryDialogControls::ListCount(int id) const {
    const Control* control = Lookup(id);
    return control ? static_cast<int>(control->entries.size()) : 0;
}

std::string CMemoryDialogControls::ListText(int id, int index) const {
    const Control* control = Lookup(id);
    return control && InRange(*control, index) ? control->entries[static_cast<std::size_t>(index)].text
                                               : std::string();
}

void CMemoryDialogControls::ListSetItemData(int id, int index, std::uintptr_t data) {
    Control* control = Lookup(id);
    if (control && InRange(*control, index))
        control->entries[static_cast<std::size_t>(index)].data = data;
}

std::uintptr_t CMemoryDialogControls::ListItemData(int id, int index) const {
    const Control* control = Lookup(id);
    return control && InRange(*control, index) ? control->entries[static_cast<std::size_t>(index)].data : 0;
}

std::vector<int> CMemoryDialogControls::ListSelection(int id) const {
    std::vector<int> selection;
    if (const Control* control = Lookup(id)) {
        for (std::size_t i = 0; i < control->entries.size(); ++i) {
            if (control->entries[i].selected)
                selection.push_back(static_cast<int>(i));
        }
    }
    return selection;
}

void CMemoryDialogControls::ListSetSelected(int id, int index, bool selected) {
    Control* control = Lookup(id);
    if (control && InRange(*control, index))
        control->entries[static_cast<std::size_t>(index)].selected = selected;
}

bool CMemoryDialogControls::ListDeleteString(int id, int index) {
    Control* control = Lookup(id);
    if (!control || !InRange(*control, index))
        return false;
    control->entries.erase(control->entries.begin() + index);
    return true;
}

void CMemoryDialogControls::ListSetTabStops(int id, const std::vector<int>& dialogUnits) {
    if (Control* control = Lookup(id))
        control->tabStops = dialogUnits;
}

void CMemoryDialogControls::SetProgressRange(int id, std::uint32_t minimum, std::uint32_t maximum) {
    if (Control* control = Lookup(id)) {
        control->progressMin = minimum;
        control->progressMax = maximum;
    }
}

void CMemoryDialogControls::SetProgressPos(int id, std::uint32_t position) {
    if (Control* control = Lookup(id)) {
        control->progressPos = position;
        m_progressHistory[id].push_back(position);
    }
}

const std::vector<std::uint32_t>& CMemoryDialogControls::ProgressHistory(int id) const {
    static const std::vector<std::uint32_t> none;
    const auto it = m_progressHistory.find(id);
    return it == m_progressHistory.end() ? none : it->second;
}

} // namespace frostmark
