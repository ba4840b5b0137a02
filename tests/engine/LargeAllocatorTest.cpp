#include "engine/LargeAllocator.h"

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
    const bool prepared = PrepareHugePageHeap(std::size_t(16) << 20);
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

} // namespace
} // namespace frostmark
