#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/WorldItem.h"
#include "platform/Files.h"
#include "platform/LargeArray.h"

namespace frostmark {

// What an analysis learnt of the world file that spares the clean its own search for the records to
// drop: for the file in exactly the state it was analysed in, the clean drops precisely the listed
// records, each the given number of bytes long from its offset. Only set when that was checked: every
// line ends with a lone line feed, and no other record stands where the cleaner's serial cursor would
// take it for a listed one.
struct CCleanPlan {
    CFileIdentity file;
    CLargeArray<std::uint32_t> lengths; // one per record of the list
    std::uint64_t lines = 0;            // lines of the file
    std::uint64_t serialSum = 0;        // of the list's serials, so that a changed record is noticed
    // No two records of the file share a serial: the cursor then drops exactly the listed records for
    // any part of the list too, so the plan outlives removals from it.
    bool serialsUnique = false;
};

// The records chosen for freezing, in the order the analysis met them in the world file. The list owns
// them; each record keeps its address while it is in the list, so a user interface may hold pointers to
// the records it shows. The cleaner relies on the file order.
//
// A big world chooses millions of records, so they are stored in blocks of many records instead of one
// allocation each; the order is a vector of addresses into the blocks. A removed record's place in its
// block stays unused until the list is emptied.
class CFreezeList {
public:
    CFreezeList() = default;
    CFreezeList(const CFreezeList&) = delete;
    CFreezeList& operator=(const CFreezeList&) = delete;
    CFreezeList(CFreezeList&&) = default;
    CFreezeList& operator=(CFreezeList&&) = default;

    std::size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    const CWorldItem& operator[](std::size_t index) const { return *m_items[index]; }
    CWorldItem& operator[](std::size_t index) { return *m_items[index]; }

    // No file offset known for a record.
    static constexpr std::uint64_t kNoOffset = ~std::uint64_t(0);

    // Appends a copy of the record and returns the list's own. offset: where the record's header line
    // begins in the world file, when the caller knows it (the cleaner uses it to share the work out).
    CWorldItem& Append(const CWorldItem& item, std::uint64_t offset = kNoOffset);
    // The same, taking the record's ID text over instead of copying it: an ID may be a line of any length.
    CWorldItem& Append(CWorldItem&& item, std::uint64_t offset = kNoOffset);
    // Takes over the record's content; a null record is ignored.
    void Append(std::unique_ptr<CWorldItem> item);
    // Moves every record of other to the end of this list, in their order, without copying them: they
    // keep their addresses. other is left empty.
    void Splice(CFreezeList& other);
    // Destroys the record at index; out-of-range indexes are ignored.
    void RemoveAt(std::size_t index);
    // Destroys the records at the given indexes (any order, duplicates and out-of-range entries
    // ignored) in one pass; the others keep their order. Returns how many were removed.
    std::size_t RemoveIndexes(std::vector<std::size_t> indexes);
    // The world file offset given with the record at index, or kNoOffset.
    std::uint64_t OffsetOf(std::size_t index) const { return m_offsets[index]; }
    // The plan an analysis left with the list, or null. Any change of the list through its own members
    // removes it, except a removal where the plan allows one (CCleanPlan::serialsUnique).
    const CCleanPlan* CleanPlan() const { return m_plan.get(); }
    void SetCleanPlan(std::unique_ptr<CCleanPlan> plan) { m_plan = std::move(plan); }
    // The sum the plan keeps of the list's serials, as the list holds them now.
    std::uint64_t SerialSum() const;

    // Index of the record at this address, or -1: how a list entry holding a record pointer finds it.
    long IndexOf(const CWorldItem* item) const;
    void RemoveAll();

private:
    // The next free record of the last block (a new block when it is full), listed with its offset.
    CWorldItem& NextSlot(std::uint64_t offset);
    // About 2 MiB of records a block.
    static constexpr std::size_t kBlockRecords = kHugePageBytes / sizeof(CWorldItem);
    // A removed record keeps its place, but not the memory of its ID text.
    static void Release(CWorldItem& item);

    struct CBlockDeleter {
        void operator()(CWorldItem* block) const;
    };
    using Block = std::unique_ptr<CWorldItem, CBlockDeleter>;
    static Block NewBlock();

    CLargeArray<CWorldItem*> m_items;
    CLargeArray<std::uint64_t> m_offsets; // one per entry of m_items
    std::vector<Block> m_blocks;
    std::size_t m_usedInLastBlock = kBlockRecords;
    std::unique_ptr<CCleanPlan> m_plan;
};

} // namespace frostmark
