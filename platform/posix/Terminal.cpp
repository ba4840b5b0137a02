#include "platform/Terminal.h"

#include <cstdlib>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace frostmark {

int TerminalColumns(std::FILE* stream) {
    if (!stream || isatty(fileno(stream)) != 1)
        return 0;
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    // A terminal that does not say its size: the shell's idea of it, else the classic width.
    if (const char* columns = std::getenv("COLUMNS")) {
        const int value = std::atoi(columns);
        if (value > 0)
            return value;
    }
    return 80;
}

void UseBinaryMode(std::FILE*) {
    // POSIX streams never translate.
}

std::string StandardInputFilePath(std::string* what) {
    struct stat info {};
    if (fstat(STDIN_FILENO, &info) != 0) {
        if (what)
            *what = "closed";
        return {};
    }
    if (S_ISREG(info.st_mode)) {
#if defined(__linux__)
        // Opening the descriptor's link opens the file anew, at its start, for every reader.
        return "/proc/self/fd/0";
#else
        if (what)
            *what = "a file this system cannot open a second time";
        return {};
#endif
    }
    if (what)
        *what = S_ISFIFO(info.st_mode) ? "a pipe" : isatty(STDIN_FILENO) ? "a terminal" : "a device";
    return {};
}

} // namespace frostmark
