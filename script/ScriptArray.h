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
    // Stores a newly read object so that it replaces an earlier one of the same name: the element of
    // that name that FindIndex finds (if any) is removed and deleted, then the object is added by AddSorted.
    // Returns AddSorted's result (-1 and the object deleted when its name is empty).
    int ReplaceByName(CTObject* object);
    // The element named by key, where key may also be an item ID written as a number: FindIndex(key); else
    // the key's GetNumber value n (0 gives nothing) looked up as "%04x" and then as "0%04x".
    CTObject* FindObject(std::string_view key, CScriptContext& context) const;

    // Empties the array without deleting the elements.
    void RemoveAll() { m_items.clear(); }
    // Deletes every element, then empties the array.
    void DeleteAll();
    // Removes (does not delete) the element at index.
    void RemoveAt(int index);

    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    CTObject* At(int index) const { return m_items[static_cast<size_t>(index)]; }
    CTObject* operator[](int index) const { return At(index); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

private:
    std::vector<CTObject*> m_items;
};

// Index of the first table entry equal to key, ignoring the case of A to Z (other bytes must be equal);
// -1 when none is or the table is empty.
int FindKeyword(std::string_view key, const char* const* table, int count);

template <int N> int FindKeyword(std::string_view key, const char* const (&table)[N]) {
    return FindKeyword(key, table, N);
}

} // namespace frostmark
