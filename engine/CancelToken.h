#pragma once

#include <atomic>

namespace frostmark {

// A request to stop a long engine command: the analysis, Create Patch File, Clean Worldfile and freeze.
//
// The caller keeps the token, hands its address to the command and calls Cancel from anywhere: another
// thread (the desktop program's user-interface thread while a worker runs the command) or a signal
// handler (the command line on SIGINT and SIGTERM). The command looks at the token often enough to
// return within a fraction of a second, even on a world of gigabytes, and then answers a result that
// says "cancelled", apart from every failure:
//
//  - a cancelled analysis leaves the freeze list empty, so nothing half-analysed can be written;
//  - a cancelled patch, clean or freeze leaves every existing file exactly as it was and removes its
//    temporary files.
//
// A request that comes when the outputs are already being put in place is too late: the command then
// completes and answers success, so that a result is never "cancelled" while a file was changed.
//
// One token may serve several commands in turn; Reset makes it usable again once no command runs with
// it. A null token pointer means the command cannot be cancelled.
class CCancelToken {
public:
    CCancelToken() = default;
    CCancelToken(const CCancelToken&) = delete;
    CCancelToken& operator=(const CCancelToken&) = delete;

    // Async-signal-safe: one store to a lock-free atomic, no lock, no allocation.
    void Cancel() noexcept { m_cancelled.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const noexcept { return m_cancelled.load(std::memory_order_relaxed); }
    void Reset() noexcept { m_cancelled.store(false, std::memory_order_relaxed); }

private:
    // A signal handler may only touch lock-free atomics.
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> m_cancelled{false};
};

// True when a token is given and cancelled.
inline bool IsCancelled(const CCancelToken* token) noexcept {
    return token != nullptr && token->IsCancelled();
}

} // namespace frostmark
