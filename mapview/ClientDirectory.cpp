#include "mapview/ClientDirectory.h"

#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/System.h"

#include <cstdlib>

namespace frostmark {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string WithTrailingSeparator(std::string directory) {
    if (!directory.empty() && !IsSeparator(directory.back())) {
        directory += '/';
    }
    return directory;
}

} // namespace

std::string ClientDirectoryFromExePath(std::string_view exePath) {
    const std::size_t last = exePath.find_last_of("\\/");
    if (last == std::string_view::npos) {
        return {};
    }
    return std::string(exePath.substr(0, last + 1));
}

ClientDirectory ResolveClientDirectory(const ClientDirectoryInputs& inputs) {
    const auto given = [](const std::optional<std::string>& value) { return value && !value->empty(); };
    if (given(inputs.commandLine)) {
        return {WithTrailingSeparator(*inputs.commandLine), ClientDirectorySource::CommandLine};
    }
    if (given(inputs.environment)) {
        return {WithTrailingSeparator(*inputs.environment), ClientDirectorySource::Environment};
    }
    if (given(inputs.setting)) {
        return {WithTrailingSeparator(*inputs.setting), ClientDirectorySource::Setting};
    }
    if (given(inputs.registryExePath)) {
        return {ClientDirectoryFromExePath(*inputs.registryExePath), ClientDirectorySource::Registry};
    }
    return {};
}

std::optional<std::string> ReadClientDirectoryEnvironment() {
    return GetEnvironment(kClientDirectoryEnvironmentVariable);
}

std::optional<std::string> ReadClientExePath() {
    return ReadRegistryText(RegistryRoot::LocalMachine, kClientRegistryKey, kClientExePathValue);
}

std::optional<std::string> ReadDesktopClientDirectorySetting() {
    return ReadRegistryText(RegistryRoot::CurrentUser, kDesktopSettingsRegistryKey, kClientDirectorySetting);
}

std::string ClientFilePath(std::string_view directory, std::string_view fileName) {
    std::string path(directory);
    path += fileName;
    return Utf8FromPath(ResolveScriptPath(path));
}

} // namespace frostmark
