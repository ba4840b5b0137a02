#include "base/SpinLock.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace frostmark {
namespace {

// More threads than processors take turns at a shared count: every increment must land, also when a
// holder loses its processor while the others wait.
TEST(SpinLock, EveryThreadsSectionRunsAlone) {
    CSpinLock lock;
    std::uint64_t count = 0; // plain, guarded only by the lock
    int inside = 0;
    bool overlapped = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                std::lock_guard<CSpinLock> guard(lock);
                overlapped = overlapped || ++inside != 1;
                ++count;
                --inside;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(count, 6u * 20000u);
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(lock.try_lock());
    EXPECT_FALSE(lock.try_lock());
    lock.unlock();
}

} // namespace
} // namespace frostmark
