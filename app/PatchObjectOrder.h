#pragma once
// The orders the Patch Objects list can be shown in, worked out on the freeze list without any toolkit:
// millions of rows are sorted on a thread of their own, as a permutation of list indexes, while the
// list itself keeps its file order (the patch writer and the cleaner rely on it).

#include "engine/FreezeList.h"

#include <cstdint>
#include <vector>

namespace frostmark {

// The columns of the Patch Objects list.
enum class EPatchColumn { Id, X, Y, Z, Colour };
inline constexpr int kPatchColumnCount = 5;

// The list indexes in the order of the column, ascending or descending; records with equal values keep
// their file order either way. IDs are compared without regard to ASCII letter case. Empty for an empty
// list or one too long to be numbered in 32 bits.
std::vector<std::uint32_t> PatchObjectOrder(const CFreezeList& list, EPatchColumn column, bool descending);

// Brings an order up to date after the entries at `removed` (list indexes before the removal, ascending,
// without duplicates) were taken out of the list: their places go, and every later index moves down by
// the number of removed entries before it.
void DropRemovedEntries(std::vector<std::uint32_t>& order, const std::vector<std::size_t>& removed);

} // namespace frostmark
