#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/WorldItem.h"

namespace frostmark {

// The records chosen for freezing, in the order the analysis met them in the world file. The list owns
// them; each record keeps its address while it is in the list, so a user interface may hold pointers to
// the records it shows. The cleaner relies on the file order.
class CFreezeList {
public:
    std::size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    const CWorldItem& operator[](std::size_t index) const { return *m_items[index]; }
    CWorldItem& operator[](std::size_t index) { return *m_items[index]; }

    // Takes ownership; a null record is ignored.
    void Append(std::unique_ptr<CWorldItem> item);
    // Destroys the record at index; out-of-range indexes are ignored.
    void RemoveAt(std::size_t index);
    // Destroys the records at the given indexes (any order, duplicates and out-of-range entries
    // ignored) in one pass; the others keep their order. Returns how many were removed.
    std::size_t RemoveIndexes(std::vector<std::size_t> indexes);
    // Index of the record at this address, or -1: how a list entry holding a record pointer finds it.
    long IndexOf(const CWorldItem* item) const;
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<CWorldItem>> m_items;
};

} // namespace frostmark
