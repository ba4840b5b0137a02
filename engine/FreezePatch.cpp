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
    void Add(std::size_t position, std::int64_t delta) {
        for (std::size_t i = position + 1; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] += delta;
    }
    // Sum over positions 0..end-1.
    std::int64_t Prefix(std::size_t end) const {
        std::int64_t sum = 0;
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
    std::vector<std::int64_t> m_tree;
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

    // Rank every key among the distinct keys.
    std::vector<std::uint32_t> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = SortKey(*items[i]);
    std::vector<std::uint32_t> distinct(keys);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<std::uint32_t> rank(n);
    for (std::size_t i = 0; i < n; ++i)
        rank[i] = static_cast<std::uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), keys[i]) -
                                             distinct.begin());

    // Replay each insertion's binary search. Before insertion i the order holds i records: `below`
    // records with a smaller key, then the run of `equal` records with this key, then greater ones. That
    // is all the search looks at, so it can run on the counts. It yields the record's place in its run.
    CCountTree ranksSeen(distinct.size());
    std::vector<std::uint32_t> runLength(distinct.size(), 0);
    std::vector<std::uint32_t> placeInRun(n);
    for (std::size_t i = 0; i < n; ++i) {
        const long below = static_cast<long>(ranksSeen.Prefix(rank[i]));
        const long equal = static_cast<long>(runLength[rank[i]]);
        long place = 0;
        if (i != 0) {
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
            place = (after ? mid + 1 : mid) - below;
        }
        placeInRun[i] = static_cast<std::uint32_t>(place);
        ranksSeen.Add(rank[i], 1);
        ++runLength[rank[i]];
    }

    // Where each run starts in the final order.
    std::vector<std::uint32_t> runStart(distinct.size(), 0);
    for (std::size_t r = 1; r < distinct.size(); ++r)
        runStart[r] = runStart[r - 1] + runLength[r - 1];

    // Inside a run, the last record inserted keeps the place it was given; taking the records back out
    // from the last, each one's place counts only the slots the later ones left free.
    CCountTree freeSlots(n);
    freeSlots.FillOnes();
    for (std::size_t i = n; i-- > 0;) {
        const std::uint32_t start = runStart[rank[i]];
        const std::int64_t k = freeSlots.Prefix(start) + placeInRun[i] + 1;
        const std::size_t slot = freeSlots.FindKth(k);
        order[slot] = items[i];
        freeSlots.Add(slot, -1);
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
    std::uint32_t groups = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0 || BlockIndex(*order[i]) != BlockIndex(*order[i - 1]))
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
        const std::uint32_t block = BlockIndex(*order[i]);
        std::size_t end = i + 1;
        while (end < n && BlockIndex(*order[end]) == block)
            ++end;
        unsigned char groupHeader[9];
        groupHeader[0] = 2;
        PutU32(groupHeader + 1, block);
        PutU32(groupHeader + 5, static_cast<std::uint32_t>(7 * (end - i)));
        file.Write(groupHeader, sizeof groupHeader);
        for (; i < end; ++i) {
            const CWorldItem& item = *order[i];
            unsigned char record[7];
            PutU16(record, ArtId(item, context));
            record[2] = static_cast<unsigned char>(item.x % 8u);
            record[3] = static_cast<unsigned char>(item.y % 8u);
            record[4] = item.z;
            PutU16(record + 5, item.color);
            file.Write(record, sizeof record);
        }
    }
    if (progress != nullptr)
        progress->OnProgress(n, n);
    result.objects = n;
    result.groups = groups;
    result.bytes = 6 + 9ull * groups + 7ull * n;
}

} // namespace frostmark
