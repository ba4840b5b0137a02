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
    // Standard input, for "-" as an input file; null: none.
    std::istream* in = nullptr;
    // A path that opens the file standard input was redirected from (for "--world -"); empty when it is
    // none, with standardInputWhat saying what it is instead ("a pipe").
    std::string standardInputFile;
    std::string standardInputWhat;
    // The C stream behind `out`, when there is one: put into binary mode before a file is written to it.
    std::FILE* outFile = nullptr;
};

// Runs one command line (arguments without the program name) and answers the exit status (kExit*).
int RunCli(const std::vector<std::string>& args, CCliEnvironment& environment);

} // namespace frostmark
