#pragma once

// The Patch Areas list: rectangles of the world, in tiles, to which freezing may be limited. Each entry
// is the text "left, top, right, bottom"; the selection rules read the same texts.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace frostmark {

// "%ld, %ld, %ld, %ld" of the four world coordinates.
std::string FormatPatchArea(long left, long top, long right, long bottom);

// Reads an entry's four numbers: the text is split at each ","; each part is a decimal number with
// leading white space skipped and read up to its first non-digit; a part without digits, or a missing
// part, gives 0; a number too large for a long is held at the long's limit.
std::array<long, 4> ParsePatchArea(std::string_view text);

struct PatchAreaEntry {
    std::string text;
    bool selected = false;
};

// The entries in the order they were added, with the list's selection (several may be selected).
class CPatchAreaList {
public:
    // Appends an entry (unselected) and answers its index.
    std::size_t Add(std::string text);
    std::size_t Count() const { return m_entries.size(); }
    const PatchAreaEntry& operator[](std::size_t index) const { return m_entries[index]; }
    const std::vector<PatchAreaEntry>& Entries() const { return m_entries; }
    // Out-of-range indices are ignored (an insertion beyond the end appends).
    void SetSelected(std::size_t index, bool selected);
    void Insert(std::size_t index, std::string text);
    void SetText(std::size_t index, std::string text);
    void RemoveAt(std::size_t index);
    std::size_t SelectedCount() const;
    // Removes the selected entries (as the Delete key does) and answers how many went.
    std::size_t RemoveSelected();
    void Clear() { m_entries.clear(); }

private:
    std::vector<PatchAreaEntry> m_entries;
};

} // namespace frostmark
