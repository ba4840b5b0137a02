#include "app/PatchObjectOrder.h"

#include <algorithm>
#include <string_view>

namespace frostmark {

namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first 16 bytes of an ID, case folded, packed so that comparing the two words compares the texts
// (a shorter text is padded with zero bytes, which no ID holds).
struct CIdKey {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::uint32_t index = 0;
};

CIdKey KeyOf(std::string_view id, std::uint32_t index) {
    CIdKey key;
    key.index = index;
    for (std::size_t i = 0; i < 16; ++i) {
        const auto byte = i < id.size() ? static_cast<unsigned char>(Fold(id[i])) : 0u;
        std::uint64_t& word = i < 8 ? key.high : key.low;
        word = (word << 8) | byte;
    }
    return key;
}

int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(Fold(a[i]));
        const auto y = static_cast<unsigned char>(Fold(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<std::uint32_t> IdOrder(const CFreezeList& list, bool descending) {
    std::vector<CIdKey> keys;
    keys.reserve(list.Count());
    for (std::size_t i = 0; i < list.Count(); ++i)
        keys.push_back(KeyOf(list[i].id, static_cast<std::uint32_t>(i)));
    // Only texts that agree in their first 16 bytes need the records themselves.
    const auto compare = [&](const CIdKey& a, const CIdKey& b) {
        int order = 0;
        if (a.high != b.high)
            order = a.high < b.high ? -1 : 1;
        else if (a.low != b.low)
            order = a.low < b.low ? -1 : 1;
        else
            order = CompareFolded(list[a.index].id, list[b.index].id);
        if (order != 0)
            return descending ? order > 0 : order < 0;
        return a.index < b.index;
    };
    std::sort(keys.begin(), keys.end(), compare);
    std::vector<std::uint32_t> order;
    order.reserve(keys.size());
    for (const CIdKey& key : keys)
        order.push_back(key.index);
    return order;
}

std::uint32_t NumberOf(const CWorldItem& item, EPatchColumn column) {
    switch (column) {
    case EPatchColumn::X:
        return item.x;
    case EPatchColumn::Y:
        return item.y;
    case EPatchColumn::Z:
        return item.z;
    case EPatchColumn::Colour:
    case EPatchColumn::Id:
        break;
    }
    return item.color;
}

} // namespace

std::vector<std::uint32_t> PatchObjectOrder(const CFreezeList& list, EPatchColumn column, bool descending) {
    if (list.Count() > UINT32_MAX)
        return {};
    if (column == EPatchColumn::Id)
        return IdOrder(list, descending);
    // Value and index in one word: one sort of plain numbers, equal values in file order.
    std::vector<std::uint64_t> keys;
    keys.reserve(list.Count());
    for (std::size_t i = 0; i < list.Count(); ++i) {
        std::uint64_t value = NumberOf(list[i], column);
        if (descending)
            value = 0xFFFFFFFFu - value;
        keys.push_back(value << 32 | i);
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> order;
    order.reserve(keys.size());
    for (std::uint64_t key : keys)
        order.push_back(static_cast<std::uint32_t>(key));
    return order;
}

void DropRemovedEntries(std::vector<std::uint32_t>& order, const std::vector<std::size_t>& removed) {
    if (removed.empty())
        return;
    std::size_t kept = 0;
    for (std::uint32_t index : order) {
        // How many removed entries lie before this one, and whether it is one of them.
        const auto at = std::lower_bound(removed.begin(), removed.end(), std::size_t(index));
        if (at != removed.end() && *at == index)
            continue;
        order[kept++] = index - static_cast<std::uint32_t>(at - removed.begin());
    }
    order.resize(kept);
}

} // namespace frostmark
