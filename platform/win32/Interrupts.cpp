#include "platform/Interrupts.h"

#include <atomic>
#include <windows.h>

namespace frostmark {

namespace {

std::atomic<InterruptHandler> g_handler{nullptr};
std::atomic<bool> g_handled{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const InterruptHandler handler = g_handler.load();
    if (handler == nullptr)
        return FALSE;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        handler(kInterruptSignal);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The system ends the process as soon as this returns (and after about five seconds in any case):
        // hold it back until the program has removed its temporary files.
        handler(kTerminateSignal);
        for (int waited = 0; waited < 4500 && !g_handled.load(); waited += 50)
            ::Sleep(50);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

bool CatchInterrupts(InterruptHandler handler) {
    g_handler.store(handler);
    g_handled.store(false);
    return ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE) != 0;
}

void InterruptHandled() {
    g_handled.store(true);
}

} // namespace frostmark
