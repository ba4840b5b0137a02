#include "script/ScriptArray.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "script/Numbers.h"
#include "script/ScriptText.h"

namespace frostmark {

CScriptArray::~CScriptArray() = default;

namespace {

// Bounds of the run of names equal to name in a sorted list.
size_t LowerBound(const std::vector<CTObject*>& list, std::string_view name) {
    return size_t(std::lower_bound(list.begin(), list.end(), name,
                                   [](const CTObject* element, std::string_view key) {
                                       return CompareNames(element->m_name, key) < 0;
                                   }) -
                  list.begin());
}
size_t UpperBound(const std::vector<CTObject*>& list, std::string_view name) {
    return size_t(std::upper_bound(list.begin(), list.end(), name,
                                   [](std::string_view key, const CTObject* element) {
                                       return CompareNames(key, element->m_name) < 0;
                                   }) -
                  list.begin());
}

// The side list is merged once it holds more than this for a main list of the given size: merging costs
// the whole main list, inserting into the side list its own length.
size_t PendingLimit(size_t items) {
    size_t root = 1;
    while (root * root < items) {
        root *= 2;
    }
    return 256 + root;
}

} // namespace

int CScriptArray::AddSorted(CTObject* object) {
    if (object->m_name.empty()) {
        delete object;
        return -1;
    }
    // Behind every element whose name is less than or equal (what a binary search over one list
    // gives): in the merged order, the main list's equal names come before the side list's.
    if (m_pending.empty()) {
        if (m_items.empty() || CompareNames(m_items.back()->m_name, object->m_name) <= 0) {
            m_items.push_back(object);
            return GetSize() - 1;
        }
        if (m_items.size() < 256) {
            const size_t at = UpperBound(m_items, object->m_name);
            m_items.insert(m_items.begin() + long(at), object);
            return int(at);
        }
    }
    const size_t inItems = UpperBound(m_items, object->m_name);
    const size_t inPending = UpperBound(m_pending, object->m_name);
    m_pending.insert(m_pending.begin() + long(inPending), object);
    const int index = int(inItems + inPending);
    if (m_pending.size() > PendingLimit(m_items.size())) {
        Merge();
    }
    return index;
}

void CScriptArray::Merge() const {
    // In place from the back: each side-list element finds its place by binary search and the main list
    // moves in blocks, so a merge compares few names (a comparison reads an object's name, a cache miss in
    // a large array).
    size_t mainEnd = m_items.size();
    size_t write = mainEnd + m_pending.size();
    m_items.resize(write);
    for (size_t k = m_pending.size(); k-- > 0;) {
        CTObject* object = m_pending[k];
        // Behind the equal names of the main list, which were added earlier.
        const auto first = m_items.begin();
        const auto at = std::upper_bound(first, first + long(mainEnd), std::string_view(object->m_name),
                                         [](std::string_view key, const CTObject* element) {
                                             return CompareNames(key, element->m_name) < 0;
                                         });
        const size_t atIndex = size_t(at - first);
        std::move_backward(at, first + long(mainEnd), first + long(write));
        write -= mainEnd - atIndex;
        m_items[--write] = object;
        mainEnd = atIndex;
    }
    m_pending.clear();
}

CScriptArray::SLocation CScriptArray::Locate(std::string_view name) const {
    SLocation location;
    const size_t total = m_items.size() + m_pending.size();
    if (total == 0) {
        return location;
    }
    // The binary search over the merged order (FindIndex's definition) meets the names below, equal to and
    // above the searched one in three runs; its path depends only on where the equal run lies, so it is
    // replayed on the run's bounds and gives the same index.
    const size_t itemsLow = LowerBound(m_items, name);
    const size_t itemsHigh = UpperBound(m_items, name);
    const size_t pendingLow = LowerBound(m_pending, name);
    const size_t pendingHigh = UpperBound(m_pending, name);
    const long low = long(itemsLow + pendingLow);
    const long high = low + long(itemsHigh - itemsLow) + long(pendingHigh - pendingLow);
    long lo = 0;
    long hi = long(total) - 1;
    while (lo <= hi) {
        const long mid = (lo + hi) / 2;
        if (mid < low) {
            lo = mid + 1;
        } else if (mid >= high) {
            hi = mid - 1;
        } else {
            location.index = int(mid);
            const size_t intoRun = size_t(mid - low);
            if (intoRun < itemsHigh - itemsLow) {
                location.position = itemsLow + intoRun;
            } else {
                location.pending = true;
                location.position = pendingLow + intoRun - (itemsHigh - itemsLow);
            }
            return location;
        }
    }
    return location;
}

int CScriptArray::FindIndex(std::string_view name) const {
    return Locate(name).index;
}

CTObject* CScriptArray::Find(std::string_view name) const {
    const SLocation location = Locate(name);
    if (location.index < 0) {
        return nullptr;
    }
    return location.pending ? m_pending[location.position] : m_items[location.position];
}

int CScriptArray::ReplaceByName(CTObject* object) {
    // Scripts mostly list their definitions in name order: a name beyond the last one replaces nothing
    // and goes to the end, without a search.
    if (m_pending.empty() && !object->m_name.empty() &&
        (m_items.empty() || CompareNames(m_items.back()->m_name, object->m_name) < 0)) {
        m_items.push_back(object);
        return GetSize() - 1;
    }
    const SLocation location = Locate(object->m_name);
    if (location.index >= 0) {
        std::vector<CTObject*>& list = location.pending ? m_pending : m_items;
        CTObject* old = list[location.position];
        list.erase(list.begin() + long(location.position));
        if (old != object) {
            delete old;
        }
    }
    return AddSorted(object);
}

CTObject* CScriptArray::FindObject(std::string_view key, CScriptContext& context) const {
    CTObject* found = Find(key);
    if (found == nullptr) {
        const int32_t number = GetNumber(key, context);
        if (number == 0) {
            return nullptr;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(number));
        found = Find(text);
        if (found == nullptr) {
            std::snprintf(text, sizeof text, "0%04x", static_cast<unsigned>(number));
            found = Find(text);
        }
    }
    return found;
}

void CScriptArray::RemoveAll() {
    m_items.clear();
    m_pending.clear();
}

void CScriptArray::DeleteAll() {
    // Detach first, so that an element whose destructor looks at this array sees it empty.
    std::vector<CTObject*> items;
    std::vector<CTObject*> pending;
    items.swap(m_items);
    pending.swap(m_pending);
    for (CTObject* object : items) {
        delete object;
    }
    for (CTObject* object : pending) {
        delete object;
    }
}

void CScriptArray::RemoveAt(int index) {
    Flush();
    if (index >= 0 && index < GetSize()) {
        m_items.erase(m_items.begin() + index);
    }
}

int FindKeyword(std::string_view key, const char* const* table, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string_view entry(table[i]);
        if (entry.size() != key.size()) {
            continue;
        }
        bool equal = true;
        for (size_t k = 0; k < key.size(); ++k) {
            if (AsciiUpper(key[k]) != AsciiUpper(entry[k])) {
                equal = false;
                break;
            }
        }
        if (equal) {
            return i;
        }
    }
    return -1;
}

} // namespace frostmark
