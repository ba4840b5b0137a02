#include "mapview/PatchAreas.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace frostmark {

std::string FormatPatchArea(long left, long top, long right, long bottom) {
    char text[100];
    std::snprintf(text, sizeof text, "%ld, %ld, %ld, %ld", left, top, right, bottom);
    return text;
}

namespace {

long ParseDecimal(std::string_view part) {
    std::size_t i = 0;
    while (i < part.size() && (part[i] == ' ' || part[i] == '\t' || part[i] == '\n' || part[i] == '\r' ||
                               part[i] == '\v' || part[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < part.size() && (part[i] == '+' || part[i] == '-')) {
        negative = part[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
        const int digit = part[i] - '0';
        if (negative) {
            value = value < (LONG_MIN + digit) / 10 ? LONG_MIN : value * 10 - digit;
        } else {
            value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
        }
    }
    return value;
}

} // namespace

std::array<long, 4> ParsePatchArea(std::string_view text) {
    std::array<long, 4> values{0, 0, 0, 0};
    for (std::size_t part = 0; part < values.size(); ++part) {
        const std::size_t comma = text.find(',');
        values[part] = ParseDecimal(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return values;
}

std::size_t CPatchAreaList::Add(std::string text) {
    m_entries.push_back({std::move(text), false});
    return m_entries.size() - 1;
}

void CPatchAreaList::SetSelected(std::size_t index, bool selected) {
    if (index < m_entries.size()) {
        m_entries[index].selected = selected;
    }
}

void CPatchAreaList::Insert(std::size_t index, std::string text) {
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_entries.size())),
                     PatchAreaEntry{std::move(text), false});
}

void CPatchAreaList::SetText(std::size_t index, std::string text) {
    if (index < m_entries.size()) {
        m_entries[index].text = std::move(text);
    }
}

void CPatchAreaList::RemoveAt(std::size_t index) {
    if (index < m_entries.size()) {
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

std::size_t CPatchAreaList::SelectedCount() const {
    return static_cast<std::size_t>(std::count_if(m_entries.begin(), m_entries.end(),
                                                  [](const PatchAreaEntry& e) { return e.selected; }));
}

std::size_t CPatchAreaList::RemoveSelected() {
    const std::size_t before = m_entries.size();
    std::erase_if(m_entries, [](const PatchAreaEntry& e) { return e.selected; });
    return before - m_entries.size();
}

} // namespace frostmark
