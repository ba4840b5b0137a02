#pragma once

// What the command line needs to know about the streams it was started with: how wide the terminal is,
// and whether standard input is a file that can be read more than once.

#include <cstdio>
#include <string>

namespace frostmark {

// The width of the terminal `stream` shows on, in character cells; 0 when it is no terminal or the
// system cannot tell.
int TerminalColumns(std::FILE* stream);

// When standard input is a regular file (a redirection "< FILE"), a path that opens that same file
// again from its start; empty otherwise, with `what` (when given) saying what it is instead: "a pipe",
// "a terminal", "a device".
std::string StandardInputFilePath(std::string* what = nullptr);

// Lets `stream` pass bytes unchanged (a file written to standard output); systems that translate line
// ends in text mode stop doing so for it.
void UseBinaryMode(std::FILE* stream);

} // namespace frostmark
