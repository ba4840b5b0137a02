#pragma once

// The user's request to stop a console program: Ctrl+C, a terminate request from the system or another
// program (kill, a service manager's stop), or the console window closed.

namespace frostmark {

// The numbers the requests are known by, the same on every system; a program stopped by one exits with
// 128 plus its number (130, 143) as shells expect.
inline constexpr int kInterruptSignal = 2;  // SIGINT: Ctrl+C
inline constexpr int kTerminateSignal = 15; // SIGTERM, or the console closed, logoff, shutdown

// Called with kInterruptSignal or kTerminateSignal, in a signal handler (POSIX) or on a thread of the
// system's (Windows): it may only store to lock-free atomics, such as CCancelToken::Cancel.
using InterruptHandler = void (*)(int request);

// Routes the requests to handler instead of ending the process, for the rest of the run; every request
// reaches it, so that a second Ctrl+C cannot cut short the clean-up the first one started. A signal the
// process was started ignoring (SIGINT of a shell's background job) stays ignored. False when the system
// refused.
bool CatchInterrupts(InterruptHandler handler);

// Where the system ends the process soon after a request unless it is held back (Windows, for a closed
// console window): the process calls this once its clean-up is done, so the handler's thread may let the
// system go on. Does nothing elsewhere.
void InterruptHandled();

// "SIGINT" or "SIGTERM".
const char* InterruptName(int request);

} // namespace frostmark
