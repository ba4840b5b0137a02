#pragma once

// The Windows registry, read only. Systems without a registry find nothing in it, so callers need no
// case of their own for them.

#include <optional>
#include <string>

namespace frostmark {

enum class RegistryRoot {
    LocalMachine, // what an installer wrote for every user of the machine
    CurrentUser,  // what a program keeps for the user running it
};

// The text value `name` of `key` (a path of keys below the root, "\" between them), in UTF-8; nothing
// when the key or the value is missing, is not text, or the system has no registry. An installation of a
// 32-bit program writes its machine-wide keys into the 32-bit view of the registry, which a 64-bit program
// does not see by default: the 32-bit view is asked first, the program's own one then.
std::optional<std::string> ReadRegistryText(RegistryRoot root, const std::string& key,
                                            const std::string& name);

} // namespace frostmark
