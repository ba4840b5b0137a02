#pragma once

// The commands of frostmark-cli, runnable in-process: results go to `out`, diagnostics to `err`, and a
// progress bar to the terminal only when the caller says stderr is one.

#include <atomic>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/CancelToken.h"

namespace frostmark {

// A request to stop the run (SIGINT, SIGTERM), raised from a signal handler.
struct CCliInterrupt {
    CCancelToken token;
    std::atomic<int> request{0}; // the first request's number (kInterruptSignal, kTerminateSignal)

    // Async-signal-safe: lock-free atomics only.
    void Raise(int number) noexcept {
        int none = 0;
        request.compare_exchange_strong(none, number);
        token.Cancel();
    }
    static_assert(std::atomic<int>::is_always_lock_free);
};

struct CCliEnvironment {
    std::ostream& out;
    std::ostream& err;
    // Where the progress bar is drawn; null: no progress bar (stderr is no terminal, or tests).
    std::FILE* progressTerminal = nullptr;
    // Standard input, for "-" as an input file; null: none.
    std::istream* in = nullptr;
    // A path that opens the file standard input was redirected from (for "--world -"); empty when it is
    // none, with standardInputWhat saying what it is instead ("a pipe").
    std::string standardInputFile;
    std::string standardInputWhat;
    // The C stream behind `out`, when there is one: put into binary mode before a file is written to it.
    std::FILE* outFile = nullptr;
    // Raised, the running command stops within a fraction of a second, leaves every existing file as it
    // was and removes its temporary files; the run ends with one line on stderr and the status 128 plus
    // the request's number. A request that comes after the outputs were put in place changes nothing:
    // the run reports them and ends as usual. Null: nothing interrupts the run.
    CCliInterrupt* interrupt = nullptr;
};

// Runs one command line (arguments without the program name) and answers the exit status (kExit*).
int RunCli(const std::vector<std::string>& args, CCliEnvironment& environment);

} // namespace frostmark
