#pragma once

// Paths named inside scripts and ini files are written for the server's home system: "\" separators,
// maybe drive letters, letter case that does not matter. These helpers turn them into paths of this
// system.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace frostmark {

// The path for UTF-8 text, and the UTF-8 text of a path. Text inside the program is UTF-8 on every
// system; a std::filesystem::path made from a std::string, or its string(), would take the text in the
// system's code page on Windows, so every such crossing goes through these two.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// Turns every "\" and "/" into the platform's separator. On systems without drive letters a drive prefix
// cannot be honoured: "D:\shard\x.scp" becomes "/shard/x.scp" (the drive is dropped and the rest stays
// absolute), and a drive-relative "D:x.scp" becomes "x.scp". On Windows the text keeps its drive.
std::string NormalizePath(std::string_view path);

// Finds an existing file or directory for `path`, whose letter case may differ from the names on disk:
// the exact path when it exists; otherwise each component is looked up as written and, when missing,
// without regard to ASCII case (the first match in byte order when several names differ only by case).
// Answers the path as given when some component cannot be found at all, so that opening it fails with
// the name the user wrote. A relative path is looked up under `base` (the working directory when `base`
// is empty) and stays relative in the answer.
std::filesystem::path ResolvePathCase(const std::filesystem::path& path,
                                      const std::filesystem::path& base = {});

// `path` under `base` when it is relative and `base` is not empty; `path` itself otherwise.
std::filesystem::path InDirectory(const std::filesystem::path& path, const std::filesystem::path& base);

// NormalizePath and then ResolvePathCase under `base`: the path to open for a name read from a script or
// ini file, which names its files relative to the script directory `base` (the working directory when
// `base` is empty). A relative name comes back joined to `base`.
std::filesystem::path ResolveScriptPath(std::string_view path, const std::filesystem::path& base = {});

// Whether two names are equal without regard to ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The working directory of the process, or "" when it cannot be read.
std::string GetWorkingDirectory();

} // namespace frostmark
