#include "platform/ProfileString.h"

#include "platform/Files.h"
#include "platform/Paths.h"

namespace frostmark {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Limit(std::string_view value, std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    return std::string(value.substr(0, bufferSize - 1));
}

std::string DefaultValue(std::string_view value, std::size_t bufferSize) {
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    return Limit(value, bufferSize);
}

} // namespace

std::string GetProfileStringFromText(std::string_view iniText, std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::size_t bufferSize) {
    const std::string_view wantedSection = Trim(section);
    const std::string_view wantedKey = Trim(key);
    bool sectionSeen = false; // only the first section of that name is searched
    bool inSection = false;
    while (!iniText.empty()) {
        const auto end = iniText.find('\n');
        std::string_view line = iniText.substr(0, end);
        iniText.remove_prefix(end == std::string_view::npos ? iniText.size() : end + 1);
        line = Trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (inSection)
                break;
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            if (!sectionSeen && EqualsNoCase(Trim(name), wantedSection)) {
                inSection = true;
                sectionSeen = true;
            }
            continue;
        }
        if (!inSection)
            continue;
        const auto equals = line.find('=');
        const std::string_view name = Trim(line.substr(0, equals));
        if (!EqualsNoCase(name, wantedKey))
            continue;
        std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return Limit(value, bufferSize);
    }
    return DefaultValue(defaultValue, bufferSize);
}

std::string GetProfileString(const std::filesystem::path& iniFile, std::string_view section,
                             std::string_view key, std::string_view defaultValue, std::size_t bufferSize) {
    // "tavrel.ini" may have come from a system where letter case did not matter. Like a missing file, one
    // that is no regular file (a device would never end, a FIFO would wait) gives the default.
    CFile file;
    if (!file.OpenRegular(ResolvePathCase(iniFile).string()))
        return DefaultValue(defaultValue, bufferSize);
    std::string text;
    char chunk[1 << 16];
    for (std::int64_t got; (got = file.Read(chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(got));
    return GetProfileStringFromText(text, section, key, defaultValue, bufferSize);
}

} // namespace frostmark
