#pragma once

// The commands of frostmark-cli, runnable in-process: results go to `out`, diagnostics to `err`, and a
// progress bar to the terminal only when the caller says stderr is one.

#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

namespace frostmark {

struct CCliEnvironment {
    std::ostream& out;
    std::ostream& err;
    // Where the progress bar is drawn; null: no progress bar (stderr is no terminal, or tests).
    std::FILE* progressTerminal = nullptr;
};

// Runs one command line (arguments without the program name) and answers the exit status (kExit*).
int RunCli(const std::vector<std::string>& args, CCliEnvironment& environment);

} // namespace frostmark
