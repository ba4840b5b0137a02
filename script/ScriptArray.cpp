#include "script/ScriptArray.h"

#include <cstdio>

#include "script/Numbers.h"
#include "script/ScriptText.h"

namespace frostmark {

CScriptArray::~CScriptArray() = default;

int CScriptArray::AddSorted(CTObject* object) {
    if (object->m_name.empty()) {
        delete object;
        return -1;
    }
    if (m_items.empty()) {
        m_items.push_back(object);
        return 0;
    }
    // Binary search for the insertion point; an equal name counts as "less or equal", so the new object
    // goes behind the existing ones of that name.
    int lo = 0;
    int hi = GetSize() - 1;
    int mid = 0;
    bool after = false;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        if (CompareNames(m_items[size_t(mid)]->m_name, object->m_name) <= 0) {
            after = true;
            lo = mid + 1;
        } else {
            after = false;
            hi = mid - 1;
        }
    }
    const int index = after ? mid + 1 : mid;
    m_items.insert(m_items.begin() + index, object);
    return index;
}

int CScriptArray::FindIndex(std::string_view name) const {
    if (m_items.empty()) {
        return -1;
    }
    // CompareNames ignores the case of letters, so no upper-cased copies are needed to compare.
    int lo = 0;
    int hi = GetSize() - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int cmp = CompareNames(m_items[size_t(mid)]->m_name, name);
        if (cmp == 0) {
            return mid;
        }
        if (cmp > 0) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return -1;
}

int CScriptArray::ReplaceByName(CTObject* object) {
    // Scripts mostly list their definitions in name order: a name beyond the last one can neither replace
    // anything nor go anywhere but the end, so the two binary searches are skipped.
    if (!object->m_name.empty() &&
        (m_items.empty() || CompareNames(m_items.back()->m_name, object->m_name) < 0)) {
        m_items.push_back(object);
        return GetSize() - 1;
    }
    const int found = FindIndex(object->m_name);
    if (found >= 0) {
        CTObject* old = m_items[size_t(found)];
        m_items.erase(m_items.begin() + found);
        if (old != object) {
            delete old;
        }
    }
    return AddSorted(object);
}

CTObject* CScriptArray::FindObject(std::string_view key, CScriptContext& context) const {
    int index = FindIndex(key);
    if (index < 0) {
        const int32_t number = GetNumber(key, context);
        if (number == 0) {
            return nullptr;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(number));
        index = FindIndex(text);
        if (index < 0) {
            std::snprintf(text, sizeof text, "0%04x", static_cast<unsigned>(number));
            index = FindIndex(text);
        }
    }
    return index < 0 ? nullptr : m_items[size_t(index)];
}

void CScriptArray::DeleteAll() {
    // Detach first, so that an element whose destructor looks at this array sees it empty.
    std::vector<CTObject*> items;
    items.swap(m_items);
    for (CTObject* object : items) {
        delete object;
    }
}

void CScriptArray::RemoveAt(int index) {
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
