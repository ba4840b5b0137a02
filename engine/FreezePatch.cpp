#include "engine/FreezePatch.h"

#include <algorithm>

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

PatchOrder BuildPatchOrder(const std::vector<const CWorldItem*>& items) {
    const std::size_t n = items.size();
    PatchOrder order(n, nullptr);
    if (n == 0)
        return order;
    if (n > 0x7FFFFFFFu)
        return order; // the counts below are 32-bit; no freeze list of this size fits in memory anyway

    // Every record's key beside its insertion index, sorted: the final order of the keys, and within a
    // run of equal keys the records in the order they were inserted.
    std::vector<std::uint64_t> sorted(n);
    for (std::size_t i = 0; i < n; ++i)
        sorted[i] = (static_cast<std::uint64_t>(SortKey(*items[i])) << 32) | i;
    std::sort(sorted.begin(), sorted.end());

    // Replay the binary search of every insertion that meets records of its own key. Before insertion i
    // the order holds i records: `below` with a smaller key, then the run of `equal` records with this
    // key, then greater ones; that is all the search looks at, so it runs on these counts and gives the
    // record's place in its run. A record whose key is new lands at the run's only place, 0. `below`
    // comes from a count tree over insertion indexes holding the records of all smaller keys.
    CCountTree earlierSmaller(n);
    CCountTree freeSlots(0);
    std::vector<std::uint32_t> placeInRun(n, 0);
    std::size_t runBegin = 0;
    while (runBegin < n) {
        const std::uint64_t key = sorted[runBegin] >> 32;
        std::size_t runEnd = runBegin + 1;
        while (runEnd < n && (sorted[runEnd] >> 32) == key)
            ++runEnd;
        for (std::size_t k = runBegin + 1; k < runEnd; ++k) {
            const std::size_t i = static_cast<std::uint32_t>(sorted[k]);
            const long below = static_cast<long>(earlierSmaller.Prefix(i));
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
            placeInRun[i] = static_cast<std::uint32_t>((after ? mid + 1 : mid) - below);
        }
        for (std::size_t k = runBegin; k < runEnd; ++k)
            earlierSmaller.Add(static_cast<std::uint32_t>(sorted[k]), 1);

        // Inside the run, the last record inserted keeps the place it was given; taking the records back
        // out from the last, each one's place counts only the slots the later ones left free.
        const std::size_t length = runEnd - runBegin;
        if (length == 1) {
            order[runBegin] = items[static_cast<std::uint32_t>(sorted[runBegin])];
        } else {
            freeSlots.Reset(length);
            freeSlots.FillOnes();
            for (std::size_t k = runEnd; k-- > runBegin;) {
                const std::size_t i = static_cast<std::uint32_t>(sorted[k]);
                const std::size_t slot = freeSlots.FindKth(static_cast<std::int64_t>(placeInRun[i]) + 1);
                order[runBegin + slot] = items[i];
                freeSlots.Add(slot, -1);
            }
        }
        runBegin = runEnd;
    }
    return order;
}

PatchOrder BuildPatchOrder(const CFreezeList& list) {
    std::vector<const CWorldItem*> items;
    items.reserve(list.Count());
    for (std::size_t i = 0; i < list.Count(); ++i)
        items.push_back(&list[i]);
    return BuildPatchOrder(items);
}

void WritePatch(const PatchOrder& order, CScriptContext& context, CSafeOutputFile& file, CPatchResult& result,
                ICommandProgress* progress) {
    const std::size_t n = order.size();
    // Each record is visited once, in patch order, and packed with its block; the records lie wherever
    // the analysis allocated them, so touching them once is what keeps a large list fast.
    struct CPacked {
        std::uint32_t block;
        unsigned char bytes[7];
    };
    std::vector<CPacked> packed(n);
    std::uint32_t groups = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const CWorldItem& item = *order[i];
        CPacked& entry = packed[i];
        entry.block = BlockIndex(item);
        PutU16(entry.bytes, ArtId(item, context));
        entry.bytes[2] = static_cast<unsigned char>(item.x % 8u);
        entry.bytes[3] = static_cast<unsigned char>(item.y % 8u);
        entry.bytes[4] = item.z;
        PutU16(entry.bytes + 5, item.color);
        if (i == 0 || entry.block != packed[i - 1].block)
            ++groups;
    }

    unsigned char header[6];
    PutU32(header, groups);
    PutU16(header + 4, FREEZE_MAGIC);
    file.Write(header, sizeof header);

    std::size_t i = 0;
    while (i < n) {
        if (progress != nullptr && i % 100 == 0)
            progress->OnProgress(i, n);
        const std::uint32_t block = packed[i].block;
        std::size_t end = i + 1;
        while (end < n && packed[end].block == block)
            ++end;
        unsigned char groupHeader[9];
        groupHeader[0] = 2;
        PutU32(groupHeader + 1, block);
        PutU32(groupHeader + 5, static_cast<std::uint32_t>(7 * (end - i)));
        file.Write(groupHeader, sizeof groupHeader);
        for (; i < end; ++i)
            file.Write(packed[i].bytes, 7);
    }
    if (progress != nullptr)
        progress->OnProgress(n, n);
    result.objects = n;
    result.groups = groups;
    result.bytes = 6 + 9ull * groups + 7ull * n;
}

} // namespace frostmark
