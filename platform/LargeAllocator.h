#pragma once

// Memory for the big arrays of an analysis of a large world (the freeze list and the patch order hold
// millions of entries). Every 4 KiB page of fresh memory costs a fault on first touch, and in a virtual
// machine a fault is dear; allocations of 2 MiB and more are therefore asked for in whole, aligned 2 MiB
// pieces that the system may back with huge pages, one fault each. Smaller ones go to the usual heap.

#include <cstddef>
#include <cstdint>
#include <new>

namespace frostmark {

inline constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;

// Lets the allocator's main heap grow in huge pages over its next `bytes`: loading a script set makes
// hundreds of thousands of small objects, and their first touches, one fault per 4 KiB page, took half
// of the load. The heap is extended once by that much address space (memory is only taken as it is
// touched) and the system is told it may back it with huge pages. Call it at start, before other
// threads allocate. Returns false, changing nothing that matters, where the system or the allocator
// offers no such thing (or another allocator, such as a sanitizer's, serves malloc).
bool PrepareHugePageHeap(std::size_t bytes);

inline std::size_t LargeRounded(std::size_t bytes) {
    return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

// A block of at least `bytes` bytes, from the system's own mappings in whole huge pages where it has them
// (2 MiB and more), from the heap otherwise; throws std::bad_alloc when there is no memory. bytes must be
// passed again to FreeLarge. In the sanitizer build every block comes from the heap, so that the
// sanitizers see each one's bounds and whether it is ever freed.
void* AllocateLarge(std::size_t bytes);

void FreeLarge(void* memory, std::size_t bytes);

// Moves a block from AllocateLarge(oldBytes) into one of newBytes (larger) and returns it; the old
// block is gone. Where the system can, the pages are moved rather than copied: a list of millions of
// entries that doubles its room would otherwise touch every page twice, and fresh pages are dear.
void* GrowLarge(void* memory, std::size_t oldBytes, std::size_t newBytes);

// A standard allocator over AllocateLarge, for vectors that may grow to millions of entries.
template <class T> struct CLargeAllocator {
    using value_type = T;
    CLargeAllocator() = default;
    template <class U> CLargeAllocator(const CLargeAllocator<U>&) {}
    T* allocate(std::size_t count) {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(AllocateLarge(count * sizeof(T)));
    }
    void deallocate(T* memory, std::size_t count) { FreeLarge(memory, count * sizeof(T)); }
    template <class U> bool operator==(const CLargeAllocator<U>&) const { return true; }
};

} // namespace frostmark
