#include "platform/LargeAllocator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__linux__) && !defined(FROSTMARK_SANITIZE)
#include <sys/mman.h>
#if defined(MADV_HUGEPAGE)
// Blocks of huge pages in mappings of their own.
#define FROSTMARK_HUGE_MAPPINGS 1
#endif
#if defined(MADV_HUGEPAGE) && defined(__GLIBC__)
#include <malloc.h>
#include <unistd.h>
#define FROSTMARK_HEAP_PAGES 1
#endif
#endif

namespace frostmark {

void* AllocateLarge(std::size_t bytes) {
#if defined(FROSTMARK_HUGE_MAPPINGS)
    if (bytes >= kHugePageBytes) {
        // A mapping of our own: out of the heap, the allocator's own bookkeeping and arena growth split
        // the memory so that most of it never got huge pages (measured: a tenth of a freeze list did).
        const std::size_t rounded = LargeRounded(bytes);
        void* mapped = ::mmap(nullptr, rounded + kHugePageBytes, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        char* raw = static_cast<char*>(mapped);
        char* aligned = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(raw) + kHugePageBytes - 1) &
                                                ~std::uintptr_t(kHugePageBytes - 1));
        if (aligned > raw)
            ::munmap(raw, static_cast<std::size_t>(aligned - raw));
        const std::size_t tail =
            static_cast<std::size_t>(raw + rounded + kHugePageBytes - (aligned + rounded));
        if (tail > 0)
            ::munmap(aligned + rounded, tail);
        ::madvise(aligned, rounded, MADV_HUGEPAGE); // a hint: without huge pages the memory works the same
        return aligned;
    }
#endif
    void* memory = std::malloc(bytes == 0 ? 1 : bytes);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

void FreeLarge(void* memory, std::size_t bytes) {
    if (memory == nullptr)
        return;
#if defined(FROSTMARK_HUGE_MAPPINGS)
    if (bytes >= kHugePageBytes) {
        ::munmap(memory, LargeRounded(bytes));
        return;
    }
#else
    static_cast<void>(bytes);
#endif
    std::free(memory);
}

void* GrowLarge(void* memory, std::size_t oldBytes, std::size_t newBytes) {
    void* grown = AllocateLarge(newBytes);
#if defined(FROSTMARK_HUGE_MAPPINGS) && defined(MREMAP_FIXED)
    // Both blocks are whole, aligned huge pages of mappings of our own: the old pages, huge ones
    // included, are moved over the front of the new block.
    if (oldBytes >= kHugePageBytes && ::mremap(memory, LargeRounded(oldBytes), LargeRounded(oldBytes),
                                               MREMAP_MAYMOVE | MREMAP_FIXED, grown) != MAP_FAILED)
        return grown;
#endif
    std::memcpy(grown, memory, std::min(oldBytes, newBytes));
    FreeLarge(memory, oldBytes);
    return grown;
}

bool PrepareHugePageHeap(std::size_t bytes) {
#if defined(FROSTMARK_HEAP_PAGES)
    if (bytes < kHugePageBytes || bytes > (std::size_t(1) << 40))
        return false;
    const auto before = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    // The next growth of the heap takes the whole room at once, so that it is one region of the
    // address space. Blocks below the allocator's own mapping threshold (128 KiB at start) come from
    // the heap; a few of them are taken until the heap has grown, then given back.
    ::mallopt(M_TOP_PAD, static_cast<int>(std::min<std::size_t>(bytes, INT32_MAX)));
    // A freed heap top would be handed back to the system and the region lost.
    ::mallopt(M_TRIM_THRESHOLD, INT32_MAX);
    std::vector<void*> taken;
    std::uintptr_t after = before;
    for (int i = 0; i < 64 && after - before < bytes; ++i) {
        void* block = std::malloc(64 * 1024);
        if (block == nullptr)
            break;
        taken.push_back(block);
        after = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    }
    for (void* block : taken)
        std::free(block);
    // Later growth goes back to the usual small steps.
    ::mallopt(M_TOP_PAD, 128 * 1024);
    if (after < before || after - before < bytes)
        return false; // the heap did not grow (another allocator serves malloc, or no room)
    const std::uintptr_t start = (before + kHugePageBytes - 1) & ~std::uintptr_t(kHugePageBytes - 1);
    const std::uintptr_t end = after & ~std::uintptr_t(kHugePageBytes - 1);
    return end > start && ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE) == 0;
#else
    (void)bytes;
    return false;
#endif
}

} // namespace frostmark
