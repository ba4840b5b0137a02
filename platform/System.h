#pragma once

// The process and its surroundings: its id, its environment, its command line and its console, in UTF-8
// on every system.

#include <optional>
#include <string>
#include <vector>

namespace frostmark {

// This process's id, as the system shows it.
unsigned long ProcessId();

// This machine's name on the network; empty when the system will not say.
std::string HostName();

// Whether a process with this id runs now (on this machine); true also where the system will not say.
bool ProcessRunning(unsigned long id);

// The value of an environment variable, or nothing when it is not set.
std::optional<std::string> GetEnvironment(const char* name);
// Sets (or, with nothing, removes) an environment variable of this process. False when it cannot.
bool SetEnvironment(const char* name, const std::optional<std::string>& value);

// The arguments of main after the program's name, in UTF-8 whatever the system's code page (on Windows
// they are taken from the wide command line; argv holds them in the code page there).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Lets a console show the program's UTF-8 output as such (Windows consoles take another code page).
void PrepareConsole();

} // namespace frostmark
