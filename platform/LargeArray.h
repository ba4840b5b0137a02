#pragma once

#include "platform/LargeAllocator.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace frostmark {

// A growing array of plain values, millions of them, over AllocateLarge: when it outgrows its room,
// the entries are moved to the larger room without a copy (see GrowLarge), where std::vector would
// fault in a fresh copy of them all.
template <class T> class CLargeArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    CLargeArray() = default;
    CLargeArray(const CLargeArray&) = delete;
    CLargeArray& operator=(const CLargeArray&) = delete;
    CLargeArray(CLargeArray&& other) noexcept { swap(other); }
    CLargeArray& operator=(CLargeArray&& other) noexcept {
        if (this != &other) {
            CLargeArray().swap(*this);
            swap(other);
        }
        return *this;
    }
    ~CLargeArray() { FreeLarge(m_data, m_capacity * sizeof(T)); }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T& operator[](std::size_t index) { return m_data[index]; }
    const T& operator[](std::size_t index) const { return m_data[index]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }

    void push_back(const T& value) {
        if (m_size == m_capacity)
            Grow(m_size + 1);
        m_data[m_size++] = value;
    }
    // Appends [first, last), which must not lie in this array.
    void append(const T* first, const T* last) {
        const auto count = static_cast<std::size_t>(last - first);
        if (count == 0)
            return;
        if (m_capacity - m_size < count)
            Grow(m_size + count);
        std::memcpy(m_data + m_size, first, count * sizeof(T));
        m_size += count;
    }
    void erase(std::size_t index) {
        std::memmove(m_data + index, m_data + index + 1, (m_size - index - 1) * sizeof(T));
        --m_size;
    }
    // Keeps the first count entries (count <= size()).
    void truncate(std::size_t count) { m_size = std::min(count, m_size); }
    // Empties the array and keeps its room, as a vector does.
    void clear() { m_size = 0; }
    void swap(CLargeArray& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    void Grow(std::size_t needed) {
        if (needed > std::size_t(-1) / (2 * sizeof(T)))
            throw std::bad_alloc();
        std::size_t capacity = std::max<std::size_t>(m_capacity * 2, 1024);
        capacity = std::max(capacity, needed);
        // Whole huge pages, all of them used.
        if (capacity * sizeof(T) >= kHugePageBytes)
            capacity = LargeRounded(capacity * sizeof(T)) / sizeof(T);
        m_data = static_cast<T*>(m_data ? GrowLarge(m_data, m_capacity * sizeof(T), capacity * sizeof(T))
                                        : AllocateLarge(capacity * sizeof(T)));
        m_capacity = capacity;
    }

    T* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace frostmark
