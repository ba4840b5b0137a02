#include "engine/FreezeList.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace frostmark {

void CFreezeList::CBlockDeleter::operator()(CWorldItem* block) const {
    std::destroy_n(block, kBlockRecords);
    FreeLarge(block, kHugePageBytes);
}

CFreezeList::Block CFreezeList::NewBlock() {
    // The whole huge page, not just the records that fill it: a smaller request goes to the usual heap.
    auto* memory = static_cast<CWorldItem*>(AllocateLarge(kHugePageBytes));
    std::uninitialized_default_construct_n(memory, kBlockRecords);
    return Block(memory);
}

std::uint64_t CFreezeList::SerialSum() const {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i)
        sum = sum * 0x9E3779B97F4A7C15ull + m_items[i]->serial + 1;
    return sum;
}

CWorldItem& CFreezeList::Append(const CWorldItem& item, std::uint64_t offset) {
    CWorldItem& stored = NextSlot(offset);
    stored = item;
    return stored;
}

CWorldItem& CFreezeList::Append(CWorldItem&& item, std::uint64_t offset) {
    CWorldItem& stored = NextSlot(offset);
    stored = std::move(item);
    return stored;
}

CWorldItem& CFreezeList::NextSlot(std::uint64_t offset) {
    m_plan.reset();
    if (m_usedInLastBlock == kBlockRecords) {
        m_blocks.push_back(NewBlock());
        m_usedInLastBlock = 0;
    }
    CWorldItem& stored = m_blocks.back().get()[m_usedInLastBlock++];
    m_items.push_back(&stored);
    m_offsets.push_back(offset);
    return stored;
}

void CFreezeList::Append(std::unique_ptr<CWorldItem> item) {
    if (item)
        Append(*item);
}

void CFreezeList::Splice(CFreezeList& other) {
    if (&other == this)
        return;
    m_plan.reset();
    if (other.m_items.empty()) {
        other.RemoveAll(); // blocks of removed records go too
        return;
    }
    if (m_items.empty()) {
        // Nothing of this list's own to keep in front: take other's order over whole, without a copy.
        m_items.swap(other.m_items);
        m_offsets.swap(other.m_offsets);
    } else {
        m_items.append(other.m_items.begin(), other.m_items.end());
        m_offsets.append(other.m_offsets.begin(), other.m_offsets.end());
    }
    // The last block of this list stays the one new records go to: other's blocks are put before it, so
    // its free places are not lost and other's (partly free) last block is never written again.
    Block last;
    if (!m_blocks.empty()) {
        last = std::move(m_blocks.back());
        m_blocks.pop_back();
    }
    for (auto& block : other.m_blocks)
        m_blocks.push_back(std::move(block));
    if (last)
        m_blocks.push_back(std::move(last));
    else
        m_usedInLastBlock = kBlockRecords;
    // other's order is of no more use: its memory goes now rather than when other does, which keeps
    // the peak of joining many lists down.
    decltype(m_items)().swap(other.m_items);
    decltype(m_offsets)().swap(other.m_offsets);
    other.m_blocks.clear();
    other.m_usedInLastBlock = kBlockRecords;
}

void CFreezeList::Release(CWorldItem& item) {
    item.Reset();
    item.id.clear();
}

void CFreezeList::RemoveAt(std::size_t index) {
    if (index < m_items.size())
        RemoveIndexes({index});
}

std::size_t CFreezeList::RemoveIndexes(std::vector<std::size_t> indexes) {
    // The plan follows the list when it holds for any part of it; its lengths go with their records.
    CLargeArray<std::uint32_t>* lengths = nullptr;
    if (m_plan && m_plan->serialsUnique && m_plan->lengths.size() == m_items.size())
        lengths = &m_plan->lengths;
    else
        m_plan.reset();
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    std::size_t removed = 0;
    std::size_t next = 0; // position in indexes
    std::size_t out = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (next < indexes.size() && indexes[next] == i) {
            ++next;
            ++removed;
            Release(*m_items[i]);
            continue;
        }
        m_offsets[out] = m_offsets[i];
        if (lengths)
            (*lengths)[out] = (*lengths)[i];
        m_items[out++] = m_items[i];
    }
    m_items.truncate(out);
    m_offsets.truncate(out);
    if (lengths) {
        lengths->truncate(out);
        m_plan->serialSum = SerialSum();
    }
    return removed;
}

long CFreezeList::IndexOf(const CWorldItem* item) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i] == item)
            return static_cast<long>(i);
    }
    return -1;
}

void CFreezeList::RemoveAll() {
    m_plan.reset();
    m_items.clear();
    m_offsets.clear();
    m_blocks.clear();
    m_usedInLastBlock = kBlockRecords;
}

} // namespace frostmark
