#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CommandProgress.h"
#include "engine/FreezeList.h"

namespace frostmark {

class CSafeOutputFile;
class CScriptContext;

inline constexpr std::uint16_t FREEZE_MAGIC = 0xF00D;
// The patch file's name when the user gives none (in the current working directory).
inline constexpr const char* kDefaultPatchFileName = "stat_tavrel.frz";

// Patch order: references to freeze list records sorted by (BlockIndex, CellIndex).
using PatchOrder = std::vector<const CWorldItem*>;

// Inserts one record into the patch order by binary search on (block, cell). A record whose key is
// already present lands next to the first equal record the search probes: before it when the last step
// lowered the upper bound (or there was no step), after it when the last step raised the lower bound.
// That placement decides the order of equal keys in the file, which the server and existing patch files
// may rely on. One insertion costs O(n) moves: use BuildPatchOrder for whole lists.
void InsertSorted(PatchOrder& order, const CWorldItem* item);

// The order that InsertSorted of every record, in the given order, would give, computed in
// O(n log n): the search path of each insertion is replayed on counts alone, and the resulting
// positions inside each run of equal keys are resolved afterwards.
PatchOrder BuildPatchOrder(const std::vector<const CWorldItem*>& items);
PatchOrder BuildPatchOrder(const CFreezeList& list);

// Figures of a written patch file.
struct CPatchResult : CCommandResult {
    std::uint64_t objects = 0;
    std::uint64_t groups = 0;
    std::uint64_t bytes = 0;
};

// Writes the patch file body of a freeze list, its records in BuildPatchOrder's order: header, then one group
// per map block (kind 2, block number, length 7 x objects), then 7 bytes per object (art ID low 16 bits, x
// mod 8, y mod 8, z byte, colour), little-endian. Reports progress in objects: at each group whose first
// object has an index that is a multiple of 100, and once more at the end. Returns the counts; the caller
// commits or abandons the file. Stops early, the file failed, when the file's cancel token is cancelled.
void WritePatch(const CFreezeList& list, CScriptContext& context, CSafeOutputFile& file, CPatchResult& result,
                ICommandProgress* progress);

} // namespace frostmark
