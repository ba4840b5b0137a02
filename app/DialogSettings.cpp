#include "app/DialogSettings.h"

#include "app/Resource.h"

namespace frostmark {

namespace {
constexpr std::size_t kMaxStoredLine = 259;
constexpr std::size_t kMaxBoxText = 32767;
} // namespace

const std::vector<COptionCheckbox>& OptionCheckboxes() {
    static const std::vector<COptionCheckbox> table = {
        {IDC_NEVER_MOVEABLE, 0x10},        {IDC_STATIC_ATTR, 0x8000},    {IDC_EXCLUDE_TYPED, 0x10000},
        {IDC_EXCLUDE_CONTAINERS, 0x20000}, {IDC_EXCLUDE_SIGNS, 0x40000}, {IDC_EXCLUDE_DOORS, 0x100000},
        {IDC_EXCLUDE_LIGHTS, 0x200000},
    };
    return table;
}

std::vector<std::string> ArtBoxToStrings(std::string_view text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            out.emplace_back(line.substr(0, kMaxStoredLine));
        pos = end + 1;
    }
    return out;
}

std::string StringsToArtBox(const std::vector<std::string>& strings, std::string_view newline) {
    std::string text;
    for (const auto& s : strings) {
        if (s.empty())
            continue;
        if (text.size() + s.size() + newline.size() > kMaxBoxText)
            break;
        text += s;
        text += newline;
    }
    return text;
}

std::string FormatCount(long value) {
    return std::to_string(value);
}

std::string FormatPatchSize(long bytes) {
    return std::to_string(bytes) + " bytes";
}

} // namespace frostmark
