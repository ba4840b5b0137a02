#pragma once

// Where the game client's data files (map0.mul, radarcol.mul) are looked for.
//
// A client directory is a text that is empty or ends with a separator; a file of the client is the
// directory text followed by the file name, so the empty directory means the working directory.
//
// Precedence, first present and non-empty wins:
//   1. an explicit override (the command line's --client-dir),
//   2. the environment variable FROSTMARK_CLIENT_DIR,
//   3. our own setting (kClientDirectorySetting in the settings store),
//   4. the client's registry value "ExePath", where the platform has a registry (ReadClientExePath),
//   5. the empty directory: the working directory.
// The overrides come first so that an administrator can point at a copy of the client files on any
// system, including one where the registry names an installation that is not there.

#include <optional>
#include <string>
#include <string_view>

namespace frostmark {

inline constexpr const char* kClientDirectoryEnvironmentVariable = "FROSTMARK_CLIENT_DIR";
// Name of the settings value that holds our own choice of client directory.
inline constexpr const char* kClientDirectorySetting = "ClientDirectory";
inline constexpr const char* kMapFileName = "map0.mul";
inline constexpr const char* kRadarColorFileName = "radarcol.mul";
// The client's installation key below the local-machine root of the registry, and its value that names
// the client's program.
inline constexpr const char* kClientRegistryKey = "SOFTWARE\\Tavrel\\Client";
inline constexpr const char* kClientExePathValue = "ExePath";
// Where the desktop program keeps its settings on Windows, below the current user's root: the command
// line reads the user's choice of client directory there.
inline constexpr const char* kDesktopSettingsRegistryKey = "Software\\Kelvane\\Frostmark";

enum class ClientDirectorySource { CommandLine, Environment, Setting, Registry, WorkingDirectory };

struct ClientDirectoryInputs {
    std::optional<std::string> commandLine;     // --client-dir
    std::optional<std::string> environment;     // FROSTMARK_CLIENT_DIR (see ReadClientDirectoryEnvironment)
    std::optional<std::string> setting;         // our settings value kClientDirectorySetting
    std::optional<std::string> registryExePath; // the client's "ExePath", a full path of its program
};

struct ClientDirectory {
    std::string directory; // empty or ending with a separator
    ClientDirectorySource source = ClientDirectorySource::WorkingDirectory;
};

// The directory part of the client's "ExePath": the text up to and including its last "\" (or "/"),
// empty when it has none. "D:\Games\client.exe" gives "D:\Games\".
std::string ClientDirectoryFromExePath(std::string_view exePath);

// Applies the precedence above. Directories given by the user get a trailing separator when they lack
// one, so "/srv/client" and "/srv/client/" name the same files.
ClientDirectory ResolveClientDirectory(const ClientDirectoryInputs& inputs);

// The value of FROSTMARK_CLIENT_DIR, or nullopt when it is unset.
std::optional<std::string> ReadClientDirectoryEnvironment();
// The client's "ExePath" from the registry, or nullopt (always on systems without a registry).
std::optional<std::string> ReadClientExePath();
// The desktop program's "ClientDirectory" setting where it stores it on Windows, or nullopt (elsewhere
// the command line cannot see the desktop program's settings).
std::optional<std::string> ReadDesktopClientDirectorySetting();

// The path to open for a client file: directory text followed by the file name, with "\" and "/" both
// taken as separators (and a drive letter dropped where paths have none). When the exact name does not
// exist it is looked up without regard to letter case: client files copied from a case-insensitive
// system may be called "Map0.mul" or "MAP0.MUL".
std::string ClientFilePath(std::string_view directory, std::string_view fileName);

} // namespace frostmark
