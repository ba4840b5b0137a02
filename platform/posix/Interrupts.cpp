#include "platform/Interrupts.h"

#include <atomic>
#include <signal.h>

namespace frostmark {

namespace {

std::atomic<InterruptHandler> g_handler{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free);

void OnSignal(int signal) {
    const InterruptHandler handler = g_handler.load();
    if (handler != nullptr)
        handler(signal == SIGINT ? kInterruptSignal : kTerminateSignal);
}

bool Catch(int signal) {
    // A signal this process was started ignoring (SIGINT of a job a shell runs in the background) stays
    // ignored, as the one who started it asked.
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
        return true;
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes under way go on rather than fail with EINTR: the program stops at its own pace.
    action.sa_flags = SA_RESTART;
    return ::sigaction(signal, &action, nullptr) == 0;
}

} // namespace

bool CatchInterrupts(InterruptHandler handler) {
    g_handler.store(handler);
    return Catch(SIGINT) && Catch(SIGTERM);
}

void InterruptHandled() {}

} // namespace frostmark
