#pragma once

#include <string>

namespace frostmark {

// The server's ini file, looked up in the script directory.
inline constexpr const char* kServerIniName = "tavrel.ini";

// The script directory named by the first SCPFILES line of the ini file at iniPath, ending in the path
// separator; defaultDirectory (normally the working directory) when the file cannot be read or holds no such
// line.
//
// A SCPFILES line is one whose first eight characters are "scpfiles" in any case; the directory is the text
// after those eight letters and one separator character, with trailing white space removed. Leading blanks
// after the separator are kept. Nothing after the separator gives the root directory.
//
// On this system the directory keeps the letter case it was written in: it is normalised ("\" or "/") and,
// when it does not exist as written, resolved without regard to case, because lower-casing it would name a
// directory a case-sensitive file system does not have. A relative directory stays relative; it is looked
// up beside the ini file.
std::string ReadScriptPathFromIni(const std::string& iniPath, const std::string& defaultDirectory);

} // namespace frostmark
