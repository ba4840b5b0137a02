#include "platform/LargeAllocator.h"
#include "platform/LargeArray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace frostmark {
namespace {

#if defined(__linux__)
// The VmFlags of the mapping that holds address, from /proc/self/smaps; empty if none does.
std::string MappingFlags(std::uintptr_t address) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t low = 0, high = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> low >> dash >> high && dash == '-') {
            inside = address >= low && address < high;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return {};
}
#endif

// The heap is prepared for huge pages where the allocator grows it through brk; wherever it says so,
// the grown region must really carry the hint, and the heap must go on serving and taking back blocks.
TEST(LargeAllocator, PreparedHeapCarriesTheHugePageHintAndStillWorks) {
    [[maybe_unused]] const bool prepared = PrepareHugePageHeap(std::size_t(16) << 20);
#if defined(__linux__)
    if (prepared) {
        const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
        // A point well inside the grown region, past any alignment cut at either end.
        const std::uintptr_t inside = end - (std::size_t(8) << 20);
        EXPECT_NE(MappingFlags(inside).find(" hg"), std::string::npos) << MappingFlags(inside);
    }
#endif
    std::vector<char*> blocks;
    for (std::size_t i = 0; i < 20000; ++i) {
        char* block = static_cast<char*>(std::malloc(16 + i % 3000));
        ASSERT_NE(block, nullptr);
        std::memset(block, static_cast<int>(i & 0xFF), 16 + i % 3000);
        blocks.push_back(block);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(blocks[i][15 + i % 3000]), i & 0xFF);
    for (char* block : blocks)
        std::free(block);
    // Asking for nothing worth a huge page changes nothing.
    EXPECT_FALSE(PrepareHugePageHeap(4096));
}

#if defined(__SANITIZE_ADDRESS__)
// In the sanitizer build large blocks come from the heap, where the sanitizers see their bounds (and
// their leaks): a write just past one is caught.
TEST(LargeAllocatorDeathTest, SanitizerSeesLargeBlocks) {
    const std::size_t bytes = kHugePageBytes + 100;
    EXPECT_DEATH(
        {
            auto* block = static_cast<volatile char*>(AllocateLarge(bytes));
            block[bytes] = 1;
            FreeLarge(const_cast<char*>(block), bytes);
        },
        "heap-buffer-overflow");
}
#endif

// The array grows from the heap into huge pages and on through moved pages (past 2, 4, 8... MiB);
// every entry must survive each move, and appending, erasing and cutting must keep the order.
TEST(LargeArray, EntriesSurviveEveryGrowthAndEdit) {
    CLargeArray<std::uint64_t> array;
    const std::uint64_t count = 3'000'000; // 24 MB: several moves of whole huge pages
    for (std::uint64_t i = 0; i < count; ++i)
        array.push_back(i * 2654435761u);
    ASSERT_EQ(array.size(), count);
    for (std::uint64_t i = 0; i < count; ++i)
        ASSERT_EQ(array[i], i * 2654435761u) << i;

    CLargeArray<std::uint64_t> other;
    for (std::uint64_t i = 0; i < 700'000; ++i)
        other.push_back(~i);
    array.append(other.begin(), other.end()); // a growth in the middle of an append
    ASSERT_EQ(array.size(), count + 700'000);
    EXPECT_EQ(array[count - 1], (count - 1) * 2654435761u);
    EXPECT_EQ(array[count], ~std::uint64_t(0));
    EXPECT_EQ(array[count + 699'999], ~std::uint64_t(699'999));

    array.erase(1);
    EXPECT_EQ(array[0], 0u);
    EXPECT_EQ(array[1], 2 * 2654435761ull);
    EXPECT_EQ(array.size(), count + 699'999);
    array.truncate(5);
    EXPECT_EQ(array.size(), 5u);
    EXPECT_EQ(array[4], 5 * 2654435761ull);

    CLargeArray<std::uint64_t> moved(std::move(array));
    EXPECT_TRUE(array.empty());
    EXPECT_EQ(moved.size(), 5u);
    moved.swap(other);
    EXPECT_EQ(moved.size(), 700'000u);
    EXPECT_EQ(other[4], 5 * 2654435761ull);
    other.clear();
    EXPECT_TRUE(other.empty());
    other.push_back(7); // the room kept after clear is used again
    EXPECT_EQ(other[0], 7u);
}

} // namespace
} // namespace frostmark
