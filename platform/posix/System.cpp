#include "platform/System.h"

#include <cerrno>
#include <cstdlib>
#include <signal.h>
#include <unistd.h>

namespace frostmark {

unsigned long ProcessId() {
    return static_cast<unsigned long>(::getpid());
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

bool ProcessRunning(unsigned long id) {
    const pid_t pid = static_cast<pid_t>(id);
    if (pid <= 0 || static_cast<unsigned long>(pid) != id)
        return false;
    // Signal 0 only asks; EPERM means it runs under another user.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

std::optional<std::string> GetEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

bool SetEnvironment(const char* name, const std::optional<std::string>& value) {
    return (value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name)) == 0;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void PrepareConsole() {
    // Terminals here take the program's bytes as they are.
}

} // namespace frostmark
