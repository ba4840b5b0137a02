#include "platform/Terminal.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace frostmark {

int TerminalColumns(std::FILE* stream) {
    if (!stream || !_isatty(_fileno(stream)))
        return 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetConsoleScreenBufferInfo(handle, &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

void UseBinaryMode(std::FILE* stream) {
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
}

std::string StandardInputFilePath(std::string* what) {
    // Windows has no name that opens standard input's file anew.
    if (what) {
        const DWORD type = GetFileType(GetStdHandle(STD_INPUT_HANDLE));
        *what = type == FILE_TYPE_PIPE   ? "a pipe"
                : type == FILE_TYPE_CHAR ? "a terminal"
                                         : "a file this system cannot open a second time";
    }
    return {};
}

} // namespace frostmark
