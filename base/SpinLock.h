#pragma once

#include <atomic>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace frostmark {

// A lock for sections of a microsecond or two that several threads enter often: the scanning threads'
// first questions about each item definition. A std::mutex puts a waiting thread to sleep and has it
// woken by the system, which costs more than the section (measured: tens of thousands of sleeps and
// wakes in one analysis of a large world, with the processors idle meanwhile); here a waiting thread
// spins for a while, and only then gives its processor away between tries.
class CSpinLock {
public:
    void lock() {
        for (unsigned tries = 0; m_locked.exchange(true, std::memory_order_acquire); ++tries) {
            // Wait reading, not writing, so the line is not pulled back and forth.
            while (m_locked.load(std::memory_order_relaxed)) {
                if (tries < kSpinTries) {
                    Pause();
                    ++tries;
                } else {
                    std::this_thread::yield();
                }
            }
        }
    }
    bool try_lock() { return !m_locked.exchange(true, std::memory_order_acquire); }
    void unlock() { m_locked.store(false, std::memory_order_release); }

private:
    // A few tens of microseconds of spinning, longer than any section it guards.
    static constexpr unsigned kSpinTries = 1u << 14;
    static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    }
    std::atomic<bool> m_locked{false};
};

} // namespace frostmark
