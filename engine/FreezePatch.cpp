#include "engine/FreezePatch.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "platform/LargeAllocator.h"

#include "engine/SafeOutputFile.h"

namespace frostmark {

namespace {

// (block, cell) as one number: the cell is below 64, so comparing the numbers compares block first.
inline std::uint32_t SortKey(const CWorldItem& item) {
    return (BlockIndex(item) << 6) | CellIndex(item);
}

// Fenwick tree of counts over positions 0..size-1.
class CCountTree {
public:
    explicit CCountTree(std::size_t size) : m_tree(size + 1, 0) {}

    // Back to `size` zeros, keeping the storage.
    void Reset(std::size_t size) { m_tree.assign(size + 1, 0); }

    // Every position counts one, built in O(n).
    void FillOnes() {
        const std::size_t n = m_tree.size() - 1;
        for (std::size_t i = 1; i <= n; ++i) {
            m_tree[i] += 1;
            const std::size_t parent = i + (i & (~i + 1));
            if (parent <= n)
                m_tree[parent] += m_tree[i];
        }
    }
    void Add(std::size_t position, std::int32_t delta) {
        for (std::size_t i = position + 1; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] += delta;
    }
    // Sum over positions 0..end-1.
    std::int64_t Prefix(std::size_t end) const {
        std::int64_t sum = 0; // counts stay below 2^31, see BuildPatchOrder
        for (std::size_t i = end; i > 0; i -= i & (~i + 1))
            sum += m_tree[i];
        return sum;
    }
    // Position of the k-th counted position (k from 1), for a tree of zeros and ones.
    std::size_t FindKth(std::int64_t k) const {
        std::size_t position = 0;
        std::size_t step = 1;
        while (step * 2 < m_tree.size())
            step *= 2;
        for (; step > 0; step /= 2) {
            if (position + step < m_tree.size() && m_tree[position + step] < k) {
                position += step;
                k -= m_tree[position];
            }
        }
        return position; // 0-based: the answer is tree index position + 1
    }

private:
    std::vector<std::int32_t> m_tree;
};

void PutU16(unsigned char* out, std::uint32_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

void PutU32(unsigned char* out, std::uint32_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

} // namespace

void InsertSorted(PatchOrder& order, const CWorldItem* item) {
    if (order.empty()) {
        order.insert(order.begin(), item);
        return;
    }
    const std::uint32_t block = BlockIndex(*item);
    const std::uint32_t cell = CellIndex(*item);
    long lo = 0;
    long hi = static_cast<long>(order.size()) - 1;
    long mid = 0;
    bool after = false;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        const CWorldItem& probe = *order[static_cast<std::size_t>(mid)];
        const std::uint32_t probeBlock = BlockIndex(probe);
        const std::uint32_t probeCell = CellIndex(probe);
        if (probeBlock > block || (probeBlock == block && probeCell > cell)) {
            after = false;
            hi = mid - 1;
        } else if (probeBlock < block || probeCell < cell) {
            after = true;
            lo = mid + 1;
        } else {
            break;
        }
    }
    order.insert(order.begin() + (after ? mid + 1 : mid), item);
}

namespace {

// One object on its way into the file: its sort key, its place in the freeze list, and the seven bytes
// the file takes from it (art ID, x mod 8, y mod 8, z, colour; byte k of the file is bits 8k..8k+7).
struct CPatchEntry {
    std::uint32_t key;
    std::uint32_t index;
    std::uint64_t bytes;
};

std::uint64_t ObjectBytes(const CWorldItem& item, std::uint32_t artId) {
    return static_cast<std::uint64_t>(artId & 0xFFFFu) | static_cast<std::uint64_t>(item.x % 8u) << 16 |
           static_cast<std::uint64_t>(item.y % 8u) << 24 | static_cast<std::uint64_t>(item.z) << 32 |
           static_cast<std::uint64_t>(item.color) << 40;
}

// Stable sort by key: equal keys keep the list's order. Keys are below 2^25 (block below 2^19, cell
// below 2^6), so two counting passes of 13 bits sort them, with no comparisons at all.
void SortByKey(std::vector<CPatchEntry, CLargeAllocator<CPatchEntry>>& entries) {
    constexpr unsigned kBits = 13;
    constexpr std::size_t kBuckets = std::size_t(1) << kBits;
    std::vector<CPatchEntry, CLargeAllocator<CPatchEntry>> other(entries.size());
    std::vector<std::size_t> start(kBuckets + 1);
    for (unsigned shift = 0; shift < 2 * kBits; shift += kBits) {
        std::fill(start.begin(), start.end(), 0);
        for (const CPatchEntry& entry : entries)
            ++start[((entry.key >> shift) & (kBuckets - 1)) + 1];
        for (std::size_t b = 1; b <= kBuckets; ++b)
            start[b] += start[b - 1];
        for (const CPatchEntry& entry : entries)
            other[start[(entry.key >> shift) & (kBuckets - 1)]++] = entry;
        entries.swap(other);
    }
}

// Which list indexes have been counted, for "how many counted indexes lie below i": a bit per index,
// with the counts of 512-index pieces in a count tree. The bits of a million objects take 128 KiB and
// the tree a few, so the millions of questions a big list asks stay in the processor's caches.
class CIndexCounter {
public:
    explicit CIndexCounter(std::size_t size) : m_bits(size / 64 + 1, 0), m_pieces(size / 512 + 1) {}
    void Add(std::size_t index) {
        m_bits[index / 64] |= std::uint64_t(1) << (index % 64);
        m_pieces.Add(index / 512, 1);
    }
    // Counted indexes below end.
    std::int64_t Below(std::size_t end) const {
        std::int64_t count = m_pieces.Prefix(end / 512);
        for (std::size_t word = end / 512 * 8; word < end / 64; ++word)
            count += std::popcount(m_bits[word]);
        if (end % 64 != 0)
            count += std::popcount(m_bits[end / 64] & ((std::uint64_t(1) << (end % 64)) - 1));
        return count;
    }

private:
    std::vector<std::uint64_t> m_bits;
    CCountTree m_pieces;
};

// Puts the entries of every run of equal keys, sorted by key and within a run by list index, into the
// order InsertSorted gives them.
//
// The binary search of every insertion that meets records of its own key is replayed. Before insertion
// i the order holds i records: `below` with a smaller key, then the run of `equal` records with this
// key, then greater ones; that is all the search looks at, so it runs on these counts and gives the
// record's place in its run. A record whose key is new lands at the run's only place, 0. `below` counts
// the records of all smaller keys that came before i in the list.
void OrderRuns(std::vector<CPatchEntry, CLargeAllocator<CPatchEntry>>& entries) {
    const std::size_t n = entries.size();
    CIndexCounter earlierSmaller(n);
    CCountTree freeSlots(0);
    std::vector<std::uint32_t> placeInRun;
    std::vector<CPatchEntry> run;
    std::size_t runBegin = 0;
    while (runBegin < n) {
        const std::uint32_t key = entries[runBegin].key;
        std::size_t runEnd = runBegin + 1;
        while (runEnd < n && entries[runEnd].key == key)
            ++runEnd;
        const std::size_t length = runEnd - runBegin;
        if (length > 1) {
            placeInRun.assign(length, 0);
            for (std::size_t k = runBegin + 1; k < runEnd; ++k) {
                const std::size_t i = entries[k].index;
                const long below = static_cast<long>(earlierSmaller.Below(i));
                const long equal = static_cast<long>(k - runBegin);
                long lo = 0;
                long hi = static_cast<long>(i) - 1;
                long mid = 0;
                bool after = false;
                while (lo <= hi) {
                    mid = (lo + hi) / 2;
                    if (mid >= below + equal) {
                        after = false;
                        hi = mid - 1;
                    } else if (mid < below) {
                        after = true;
                        lo = mid + 1;
                    } else {
                        break;
                    }
                }
                placeInRun[k - runBegin] = static_cast<std::uint32_t>((after ? mid + 1 : mid) - below);
            }
            // Inside the run, the last record inserted keeps the place it was given; taking the records
            // back out from the last, each one's place counts only the slots the later ones left free.
            run.assign(entries.begin() + static_cast<std::ptrdiff_t>(runBegin),
                       entries.begin() + static_cast<std::ptrdiff_t>(runEnd));
            freeSlots.Reset(length);
            freeSlots.FillOnes();
            for (std::size_t k = length; k-- > 0;) {
                const std::size_t slot = freeSlots.FindKth(static_cast<std::int64_t>(placeInRun[k]) + 1);
                entries[runBegin + slot] = run[k];
                freeSlots.Add(slot, -1);
            }
        }
        for (std::size_t k = runBegin; k < runEnd; ++k)
            earlierSmaller.Add(entries[k].index);
        runBegin = runEnd;
    }
}

} // namespace

PatchOrder BuildPatchOrder(const std::vector<const CWorldItem*>& items) {
    const std::size_t n = items.size();
    if (n > 0xFFFFFFFFu)
        return PatchOrder(n, nullptr); // list indexes are 32-bit; no list of this size fits in memory
    std::vector<CPatchEntry, CLargeAllocator<CPatchEntry>> entries(n);
    for (std::size_t i = 0; i < n; ++i)
        entries[i] = CPatchEntry{SortKey(*items[i]), static_cast<std::uint32_t>(i), 0};
    SortByKey(entries);
    OrderRuns(entries);
    PatchOrder order(n);
    for (std::size_t k = 0; k < n; ++k)
        order[k] = items[entries[k].index];
    return order;
}

PatchOrder BuildPatchOrder(const CFreezeList& list) {
    std::vector<const CWorldItem*> items;
    items.reserve(list.Count());
    for (std::size_t i = 0; i < list.Count(); ++i)
        items.push_back(&list[i]);
    return BuildPatchOrder(items);
}

void WritePatch(const CFreezeList& list, CScriptContext& context, CSafeOutputFile& file, CPatchResult& result,
                ICommandProgress* progress) {
    const std::size_t n = list.Count();
    if (n > 0xFFFFFFFFu) {
        file.Fail("the freeze list is too long for a patch file");
        return;
    }
    // The records are read once, in list order (the order they lie in memory), and everything the file
    // needs of them travels with the entries through the sort.
    // Millions of objects take a while before the first byte is written: a cancel is looked for between
    // the steps too (the writes look for it themselves).
    std::vector<CPatchEntry, CLargeAllocator<CPatchEntry>> entries(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 65536 == 0 && file.CheckCancel())
            return;
        const CWorldItem& item = list[i];
        if (!LiesOnMap(item)) {
            // Its block number would name no block, or another column's: no reader would accept the file.
            char reason[128];
            std::snprintf(reason, sizeof reason, "the object with serial %x at %u, %u lies outside the map",
                          static_cast<unsigned>(item.serial), static_cast<unsigned>(item.x),
                          static_cast<unsigned>(item.y));
            file.Fail(reason);
            return;
        }
        entries[i] = CPatchEntry{SortKey(item), static_cast<std::uint32_t>(i),
                                 ObjectBytes(item, ArtId(item, context))};
    }
    SortByKey(entries);
    if (file.CheckCancel())
        return;
    OrderRuns(entries);
    if (file.CheckCancel())
        return;

    std::uint32_t groups = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (i == 0 || (entries[i].key >> 6) != (entries[i - 1].key >> 6))
            ++groups;
    unsigned char header[6];
    PutU32(header, groups);
    PutU16(header + 4, FREEZE_MAGIC);
    file.Write(header, sizeof header);

    std::size_t i = 0;
    while (i < n) {
        if (progress != nullptr && i % 100 == 0)
            progress->OnProgress(i, n);
        const std::uint32_t block = entries[i].key >> 6;
        std::size_t end = i + 1;
        while (end < n && (entries[end].key >> 6) == block)
            ++end;
        unsigned char groupHeader[9];
        groupHeader[0] = 2;
        PutU32(groupHeader + 1, block);
        PutU32(groupHeader + 5, static_cast<std::uint32_t>(7 * (end - i)));
        file.Write(groupHeader, sizeof groupHeader);
        for (; i < end; ++i) {
            unsigned char bytes[7];
            for (int k = 0; k < 7; ++k)
                bytes[k] = static_cast<unsigned char>(entries[i].bytes >> (8 * k));
            file.Write(bytes, sizeof bytes);
        }
    }
    if (progress != nullptr)
        progress->OnProgress(n, n);
    result.objects = n;
    result.groups = groups;
    result.bytes = 6 + 9ull * groups + 7ull * n;
}

} // namespace frostmark
