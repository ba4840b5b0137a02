#include "engine/SerialSet.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

TEST(SerialSet, TellsSerialsMetTwiceWithinAndAcrossSets) {
    CSerialSet first, second, third;
    for (std::uint32_t s = 0; s < 200000; ++s)
        first.Add(0x40000000u + s * 3); // several pieces
    first.Add(0);
    first.Add(0xFFFFFFFFu);
    EXPECT_TRUE(first.KnownUnique());
    for (std::uint32_t s = 0; s < 1000; ++s)
        second.Add(0x40000001u + s * 3); // the serials between the first set's
    first.Merge(second);
    EXPECT_TRUE(first.KnownUnique());
    third.Add(0x40000000u + 150000 * 3); // one the first set holds
    first.Merge(third);
    EXPECT_FALSE(first.KnownUnique());

    CSerialSet again;
    again.Add(7);
    again.Add(0x10007);
    EXPECT_TRUE(again.KnownUnique());
    again.Add(7);
    EXPECT_FALSE(again.KnownUnique());
    // An empty set merged in, or into, changes nothing.
    CSerialSet empty, other;
    other.Add(5);
    empty.Merge(other);
    EXPECT_TRUE(empty.KnownUnique());
    empty.Add(5);
    EXPECT_FALSE(empty.KnownUnique());
}

// Serials spread over more pieces than the set keeps: it gives up, here and in any set it joins.
TEST(SerialSet, GivesUpPastItsPieces) {
    CSerialSet spread;
    for (std::uint32_t p = 0; p <= CSerialSet::kMaxPieces; ++p)
        spread.Add(p << 16);
    EXPECT_FALSE(spread.KnownUnique());
    CSerialSet joined;
    joined.Add(1);
    joined.Merge(spread);
    EXPECT_FALSE(joined.KnownUnique());

    // Limits add up when sets join: the union of two full sets fits, and then the joined limit holds.
    CSerialSet low(2), high(2);
    low.Add(0);
    low.Add(1u << 16);
    high.Add(2u << 16);
    high.Add(3u << 16);
    low.Merge(high);
    EXPECT_TRUE(low.KnownUnique());
    low.Add((3u << 16) + 1); // a piece it holds
    EXPECT_TRUE(low.KnownUnique());
    low.Add(4u << 16); // a fifth piece: past the joined limit of four
    EXPECT_FALSE(low.KnownUnique());
}

} // namespace
} // namespace frostmark
