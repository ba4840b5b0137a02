#pragma once

// UTF-8, the text of paths inside the program, and UTF-16, the text of every Windows call.

#include <string>
#include <string_view>

namespace frostmark::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The system's own text for an error code of GetLastError, without the line end it comes with.
std::string SystemMessage(unsigned long code);

} // namespace frostmark::win32
