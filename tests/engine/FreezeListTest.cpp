#include "engine/FreezeList.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace frostmark {
namespace {

CWorldItem Record(std::uint32_t serial) {
    CWorldItem item;
    item.serial = serial;
    item.SetId("i_record_with_a_name_longer_than_short_" + std::to_string(serial));
    item.x = static_cast<std::uint16_t>(serial % 6144);
    return item;
}

std::vector<std::uint32_t> Serials(const CFreezeList& list) {
    std::vector<std::uint32_t> serials;
    for (std::size_t i = 0; i < list.Count(); ++i)
        serials.push_back(list[i].serial);
    return serials;
}

// The dialog keeps pointers to the records it lists, so no append, splice or removal may move a record
// that stays in the list; many blocks' worth of records make the list grow several times.
TEST(FreezeList, RecordsKeepTheirAddressesThroughAppendSpliceAndRemoval) {
    CFreezeList list;
    std::vector<const CWorldItem*> addresses;
    for (std::uint32_t serial = 1; serial <= 10000; ++serial)
        addresses.push_back(&list.Append(Record(serial), serial * 100u));

    CFreezeList other;
    for (std::uint32_t serial = 10001; serial <= 15000; ++serial)
        addresses.push_back(&other.Append(Record(serial), serial * 100u));
    list.Splice(other);
    EXPECT_TRUE(other.IsEmpty());
    // Appending after a splice fills the list's own last block and then new ones, never other's.
    for (std::uint32_t serial = 15001; serial <= 20000; ++serial)
        addresses.push_back(&list.Append(Record(serial), serial * 100u));
    ASSERT_EQ(list.Count(), 20000u);
    for (std::size_t i = 0; i < list.Count(); ++i) {
        ASSERT_EQ(&list[i], addresses[i]) << i;
        ASSERT_EQ(list[i].serial, i + 1);
        ASSERT_EQ(list[i].id, Record(static_cast<std::uint32_t>(i + 1)).id);
    }
    EXPECT_EQ(list.IndexOf(addresses[12345]), 12345);
    EXPECT_EQ(list.IndexOf(nullptr), -1);

    // Removal by index in any order with duplicates and out-of-range entries; the rest keep order and
    // addresses.
    EXPECT_EQ(list.RemoveIndexes({19999, 0, 4096, 4096, 15000, 99999}), 4u);
    std::set<std::uint32_t> gone = {1, 4097, 15001, 20000};
    std::size_t at = 0;
    for (std::uint32_t serial = 1; serial <= 20000; ++serial) {
        if (gone.count(serial))
            continue;
        ASSERT_EQ(&list[at], addresses[serial - 1]) << serial;
        ++at;
    }
    EXPECT_EQ(at, list.Count());
    list.RemoveAt(0);
    EXPECT_EQ(list[0].serial, 3u);
    list.RemoveAt(list.Count());
    EXPECT_EQ(list.Count(), 19995u);
    // Each record's file offset stays with it through all of that.
    for (std::size_t i = 0; i < list.Count(); ++i)
        ASSERT_EQ(list.OffsetOf(i), list[i].serial * 100u) << i;
}

TEST(FreezeList, SpliceIntoEmptyAndFromEmptyAndNullAppends) {
    CFreezeList list;
    list.Append(std::unique_ptr<CWorldItem>());
    EXPECT_TRUE(list.IsEmpty());

    CFreezeList other;
    other.Append(Record(7));
    other.Append(std::make_unique<CWorldItem>(Record(8)));
    const CWorldItem* seven = &other[0];
    list.Splice(other);
    EXPECT_EQ(Serials(list), (std::vector<std::uint32_t>{7, 8}));
    EXPECT_EQ(&list[0], seven);
    list.Splice(other); // empty now
    list.Splice(list);  // itself: nothing moves
    list.Append(Record(9));
    EXPECT_EQ(Serials(list), (std::vector<std::uint32_t>{7, 8, 9}));
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(list.OffsetOf(i), CFreezeList::kNoOffset); // none given
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    list.Append(Record(10));
    EXPECT_EQ(Serials(list), (std::vector<std::uint32_t>{10}));
}

} // namespace
} // namespace frostmark
