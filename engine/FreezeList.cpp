#include "engine/FreezeList.h"

#include <algorithm>

namespace frostmark {

void CFreezeList::Append(std::unique_ptr<CWorldItem> item) {
    if (item)
        m_items.push_back(std::move(item));
}

void CFreezeList::RemoveAt(std::size_t index) {
    if (index < m_items.size())
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
}

std::size_t CFreezeList::RemoveIndexes(std::vector<std::size_t> indexes) {
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    std::size_t removed = 0;
    std::size_t next = 0; // position in indexes
    std::size_t out = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (next < indexes.size() && indexes[next] == i) {
            ++next;
            ++removed;
            continue;
        }
        if (out != i)
            m_items[out] = std::move(m_items[i]);
        ++out;
    }
    m_items.resize(out);
    return removed;
}

long CFreezeList::IndexOf(const CWorldItem* item) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == item)
            return static_cast<long>(i);
    }
    return -1;
}

} // namespace frostmark
