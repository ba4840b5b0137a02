#pragma once

// Listing of the script files ("*.scp") of a directory.

#include <filesystem>
#include <string>
#include <vector>

namespace frostmark {

// The names (without directory) of the entries of `directory` whose name ends in ".scp" in any letter
// case (".SCP", ".Scp": scripts copied from a case-insensitive system keep their spelling), that are
// regular files or links to regular files; directories are skipped. The order is stable and independent
// of the file system: by name compared without regard to ASCII case, ties by the exact bytes.
// A directory that cannot be read gives an empty list.
std::vector<std::string> ListScpFiles(const std::filesystem::path& directory);

// Whether a file name ends in ".scp" without regard to case.
bool HasScpExtension(const std::string& name);

} // namespace frostmark
