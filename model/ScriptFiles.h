#pragma once

// Small helpers the script loaders share: turning a path written for the server's system into one of this
// system, and opening a script file by such a path.

#include <cstdint>
#include <string>
#include <string_view>

namespace frostmark {

class CLineReader;

// The platform's path separator.
char PathSeparator();

// Every "\" and "/" of a path written in a script or ini file becomes the platform separator. Nothing else
// changes (drive letters stay), so log lines show the name as the script wrote it.
std::string WithPlatformSeparators(std::string_view path);

// Opens a script file named as a script or ini file writes it; a relative name is taken from `directory`
// (the script directory). The name may differ in letter case from the one on disk, and may end in blanks
// or dots, which the server's system ignores in file names. On success `opened` is the absolute path of
// the file actually opened: objects keep it as their source path, so their sections can be read again
// from anywhere.
bool OpenScriptFile(CLineReader& file, const std::string& path, const std::string& directory,
                    std::string& opened);

// A 64-bit file length or position as a 32-bit progress value (files beyond 4 GiB show a full bar).
std::uint32_t ProgressValue(std::uint64_t value);

} // namespace frostmark
