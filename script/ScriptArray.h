#pragma once

#include <string_view>
#include <vector>

#include "script/TObject.h"

namespace frostmark {

class CScriptContext;

// Script objects kept in ascending order of their names (CompareNames: ASCII letters without case, other
// bytes by unsigned value). Equal names may occur; a later-added one stands after the earlier ones.
//
// The array does not own its elements: RemoveAll and the destructor leave them alive, and whoever unloads
// the scripts deletes them first (DeleteAll is the convenience for that). The one exception is AddSorted of
// an object with an empty name, which deletes it at once.
//
// Its own CTObject part carries the name, source path, kind and section offset of a table read from a
// script.
//
// Storage: objects added to a large array first collect in a small sorted side list that is merged into the
// main list now and then, so that loading 100,000 definitions in any order does not move the whole array
// for every one of them. Every operation behaves exactly as if each object had been inserted at once.
// Element access (At, operator[], begin/end, RemoveAt) merges first; Find, FindIndex, FindObject and
// GetSize do not need to. Iterators and indexes are valid until the array is next changed.
class CScriptArray : public CTObject {
public:
    using const_iterator = std::vector<CTObject*>::const_iterator;

    CScriptArray() = default;
    ~CScriptArray() override;
    // Copies would share elements and invite double deletion.
    CScriptArray(const CScriptArray&) = delete;
    CScriptArray& operator=(const CScriptArray&) = delete;

    // Inserts behind every element whose name is less than or equal to the object's name and returns the
    // index. An object with an empty name is deleted and -1 returned; the caller must not use it again.
    int AddSorted(CTObject* object);
    // Index of an element whose name equals name without regard to case, or -1.
    int FindIndex(std::string_view name) const;
    // The element FindIndex finds, or nullptr (cheaper than At(FindIndex(name)) while loading).
    CTObject* Find(std::string_view name) const;
    // Stores a newly read object so that it replaces an earlier one of the same name: the element of that
    // name that FindIndex finds (if any) is removed and deleted, then the object is added by AddSorted.
    // Returns AddSorted's result (-1 and the object deleted when its name is empty).
    int ReplaceByName(CTObject* object);
    // The element named by key, where key may also be an item ID written as a number: FindIndex(key); else
    // the key's GetNumber value n (0 gives nothing) looked up as "%04x" and then as "0%04x".
    CTObject* FindObject(std::string_view key, CScriptContext& context) const;

    // Empties the array without deleting the elements.
    void RemoveAll();
    // Deletes every element, then empties the array.
    void DeleteAll();
    // Removes (does not delete) the element at index.
    void RemoveAt(int index);

    int GetSize() const { return static_cast<int>(m_items.size() + m_pending.size()); }
    bool IsEmpty() const { return m_items.empty() && m_pending.empty(); }
    CTObject* At(int index) const {
        Flush();
        return m_items[static_cast<size_t>(index)];
    }
    CTObject* operator[](int index) const { return At(index); }
    const_iterator begin() const {
        Flush();
        return m_items.begin();
    }
    const_iterator end() const {
        Flush();
        return m_items.end();
    }

private:
    struct SLocation {
        int index = -1;       // in the whole array; -1 when not found
        bool pending = false; // which list holds it
        size_t position = 0;  // its place in that list
    };
    SLocation Locate(std::string_view name) const;
    void Flush() const {
        if (!m_pending.empty()) {
            Merge();
        }
    }
    void Merge() const;

    // Sorted; equal names in the order they were added.
    mutable std::vector<CTObject*> m_items;
    // Sorted; every element was added after every element of m_items.
    mutable std::vector<CTObject*> m_pending;
};

// Index of the first table entry equal to key, ignoring the case of A to Z (other bytes must be equal);
// -1 when none is or the table is empty.
int FindKeyword(std::string_view key, const char* const* table, int count);

template <int N> int FindKeyword(std::string_view key, const char* const (&table)[N]) {
    return FindKeyword(key, table, N);
}

} // namespace frostmark
