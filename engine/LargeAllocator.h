#pragma once

// Memory for the big arrays of an analysis of a large world (the freeze list and the patch order hold
// millions of entries). Every 4 KiB page of fresh memory costs a fault on first touch, and in a virtual
// machine a fault is dear; allocations of 2 MiB and more are therefore asked for in whole, aligned 2 MiB
// pieces that the system may back with huge pages, one fault each. Smaller ones go to the usual heap.

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace frostmark {

inline constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;

inline void* AllocateLarge(std::size_t bytes) {
    if (bytes < kHugePageBytes) {
        void* memory = std::malloc(bytes == 0 ? 1 : bytes);
        if (memory == nullptr)
            throw std::bad_alloc();
        return memory;
    }
    const std::size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    void* memory = std::aligned_alloc(kHugePageBytes, rounded);
    if (memory == nullptr)
        throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    ::madvise(memory, rounded, MADV_HUGEPAGE); // a hint: without huge pages the memory works the same
#endif
    return memory;
}

inline void FreeLarge(void* memory) {
    std::free(memory);
}

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
    void deallocate(T* memory, std::size_t) { FreeLarge(memory); }
    template <class U> bool operator==(const CLargeAllocator<U>&) const { return true; }
};

} // namespace frostmark
