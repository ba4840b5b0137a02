#include "engine/Selection.h"

#include "engine/WorldItem.h"
#include "mapview/PatchAreas.h"

#include <algorithm>
#include <array>

namespace frostmark {

namespace {

struct ArtRange {
    std::uint32_t low;
    std::uint32_t high;
};

struct Category {
    std::uint32_t flag;
    std::uint32_t types[2];
    std::size_t typeCount;
    const ArtRange* ranges;
    std::size_t rangeCount;
};

// Single IDs are ranges of one.
constexpr ArtRange kDoorArt[] = {
    {0x0675, 0x06F6}, {0x0839, 0x0848}, {0x084C, 0x085B}, {0x0866, 0x0875}, {0x1FED, 0x1FFC}};
constexpr ArtRange kSignArt[] = {{0x0B95, 0x0B96}, {0x0BA3, 0x0C0E}, {0x0C43, 0x0C44}};
constexpr ArtRange kLightArt[] = {{0x09FB, 0x0A18}, {0x0A1A, 0x0A1D}, {0x0A22, 0x0A29}, {0x0B1A, 0x0B28},
                                  {0x0E31, 0x0E33}, {0x1849, 0x1850}, {0x1853, 0x185A}};
constexpr ArtRange kContainerArt[] = {{0x09A8, 0x09AC}, {0x09B0, 0x09B2}, {0x0A2C, 0x0A53}, {0x0A97, 0x0A9E},
                                      {0x0E3C, 0x0E43}, {0x0E75, 0x0E77}, {0x0E7C, 0x0E80}, {0x0990, 0x0990},
                                      {0x0E83, 0x0E83}, {0x0FAE, 0x0FAE}};

// The order in which the art ranges are tried: Doors, Signs, Lights, Containers.
constexpr Category kCategories[] = {
    {OPT_EXCLUDE_DOORS, {3, 4}, 2, kDoorArt, std::size(kDoorArt)},
    {OPT_EXCLUDE_SIGNS, {56, 0}, 1, kSignArt, std::size(kSignArt)},
    {OPT_EXCLUDE_LIGHTS, {6, 7}, 2, kLightArt, std::size(kLightArt)},
    {OPT_EXCLUDE_CONTAINERS, {1, 2}, 2, kContainerArt, std::size(kContainerArt)},
};

// Decimal reading: leading white space, optional sign, digits up to the first other character; a number
// too large for a long is held at the long's limit (as the map view reads the same texts).
std::uint32_t ReadHex(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}

bool Contains(const std::vector<std::uint16_t>& list, std::uint32_t artId) {
    return std::find(list.begin(), list.end(), artId) != list.end();
}

} // namespace

CPatchArea ParsePatchAreaText(std::string_view text) {
    // The map view writes these texts; reading them with its own parser keeps both sides of the format in
    // step.
    const std::array<long, 4> values = ParsePatchArea(text);
    return CPatchArea{values[0], values[1], values[2], values[3]};
}

std::string FormatPatchAreaText(const CPatchArea& area) {
    return FormatPatchArea(area.left, area.top, area.right, area.bottom);
}

std::uint16_t ParseArtIdLine(std::string_view line) {
    return static_cast<std::uint16_t>(ReadHex(line.substr(0, 255)) & 0xFFFF);
}

std::vector<std::uint16_t> ParseArtIdLines(std::string_view text) {
    std::vector<std::uint16_t> ids;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (std::uint16_t id = ParseArtIdLine(line))
            ids.push_back(id);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return ids;
}

std::vector<CArtIdLineNote> CheckArtIdLines(std::string_view text) {
    std::vector<CArtIdLineNote> notes;
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string_view trimmed = line;
        while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
            trimmed.remove_prefix(1);
        while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
            trimmed.remove_suffix(1);
        if (!trimmed.empty()) {
            const std::uint16_t value = ParseArtIdLine(line);
            const bool plain = std::all_of(trimmed.begin(), trimmed.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            });
            if (value == 0 || !plain)
                notes.push_back({number, std::string(line), value});
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return notes;
}

std::string IncludeRuleNote(const CFreezeOptions& options) {
    if (options.flags & (OPT_NEVER_MOVEABLE | OPT_STATIC))
        return {};
    if (options.includeArt.empty())
        return "Nothing can be chosen: neither Never Moveable (010) nor Static (08000) is ticked under "
               "Include, and Include Art IDs is empty";
    return "Only the objects of Include Art IDs can be chosen: neither Never Moveable (010) nor Static "
           "(08000) is ticked under Include";
}

CFreezeOptions ReadOptions(std::uint32_t flags, std::string_view excludeArtText,
                           std::string_view includeArtText, const std::vector<std::string>& areaTexts) {
    CFreezeOptions options;
    options.flags = flags & OPT_ALL;
    options.excludeArt = ParseArtIdLines(excludeArtText);
    options.includeArt = ParseArtIdLines(includeArtText);
    options.areas.reserve(areaTexts.size());
    for (const std::string& text : areaTexts)
        options.areas.push_back(ParsePatchAreaText(text));
    return options;
}

bool IsNeverFrozenType(std::uint32_t type) {
    return type == 17 || type == 18 || type == 34 || type == 39 || type == 69;
}

bool IsExcludedCategoryType(std::uint32_t type, std::uint32_t flags) {
    for (const Category& category : kCategories) {
        if (!(flags & category.flag))
            continue;
        for (std::size_t i = 0; i < category.typeCount; ++i)
            if (category.types[i] == type)
                return true;
    }
    return false;
}

namespace {

// For every 16-bit art ID, the exclude flags of the categories whose ranges hold it: the art range rule
// runs for millions of objects, so the ranges are walked once, not per object.
const std::array<std::uint32_t, 0x10000>& CategoryFlagsByArt() {
    static const std::array<std::uint32_t, 0x10000> table = [] {
        std::array<std::uint32_t, 0x10000> flags{};
        for (const Category& category : kCategories)
            for (std::size_t i = 0; i < category.rangeCount; ++i)
                for (std::uint32_t art = category.ranges[i].low; art <= category.ranges[i].high; ++art)
                    flags[art] |= category.flag;
        return flags;
    }();
    return table;
}

} // namespace

bool IsExcludedCategoryArt(std::uint32_t artId, std::uint32_t flags) {
    return artId < 0x10000 && (CategoryFlagsByArt()[artId] & flags) != 0;
}

namespace {

// Rules 1 to 3, which decide before any TYPE is looked at: the patch areas (when there are any, the
// object must stand in one of them) and the user's art ID lists, exclude first. Empty: none decides.
std::optional<FreezeRule> AreaAndListRules(const CFreezeCandidate& item, const CFreezeOptions& options) {
    if (!options.areas.empty() &&
        std::none_of(options.areas.begin(), options.areas.end(),
                     [&](const CPatchArea& area) { return area.Contains(item.x, item.y); }))
        return FreezeRule::OutsideAreas;
    if (Contains(options.excludeArt, item.artId))
        return FreezeRule::ExcludedArt;
    if (Contains(options.includeArt, item.artId))
        return FreezeRule::IncludedArt;
    return std::nullopt;
}

// A TYPE that keeps the object out: never frozen, or one of an excluded category.
bool TypeKeepsOut(std::uint32_t type, std::uint32_t flags) {
    return IsNeverFrozenType(type) || IsExcludedCategoryType(type, flags);
}

// Rule 6: the item definition's TYPE keeps the object out; a definition that cannot be found takes no
// part.
bool DefinitionKeepsOut(const CFreezeCandidate& item, const CFreezeOptions& options, CItemTypeSource* types) {
    if (!types)
        return false;
    const std::optional<std::uint32_t> defType = types->DefinitionType(item.idText);
    return defType && TypeKeepsOut(*defType, options.flags);
}

// Rule 8: only the chosen attribute bits let an object in.
bool HasChosenAttribute(const CFreezeCandidate& item, std::uint32_t flags) {
    return ((flags & OPT_NEVER_MOVEABLE) && (item.attr & 0x0010)) ||
           ((flags & OPT_STATIC) && (item.attr & 0x8000));
}

} // namespace

FreezeRule JudgeFreeze(const CFreezeCandidate& item, const CFreezeOptions& options, CItemTypeSource* types) {
    // 1. to 3.
    if (const std::optional<FreezeRule> rule = AreaAndListRules(item, options))
        return *rule;
    // 4. The record's own TYPE.
    if (TypeKeepsOut(item.type, options.flags))
        return FreezeRule::RecordType;
    // 5.
    if (item.type > 1000)
        return FreezeRule::TypeAbove1000;
    // 6.
    if (DefinitionKeepsOut(item, options, types))
        return FreezeRule::DefinitionType;
    // 7. Art ID ranges of the excluded categories.
    if (IsExcludedCategoryArt(item.artId, options.flags))
        return FreezeRule::CategoryArt;
    // 8.
    if (!HasChosenAttribute(item, options.flags))
        return FreezeRule::NoIncludeAttr;
    // 9.
    if ((options.flags & OPT_EXCLUDE_TYPED) && item.type != 0)
        return FreezeRule::Typed;
    return FreezeRule::Frozen;
}

bool IsFreezable(const CFreezeCandidate& item, const CFreezeOptions& options, CItemTypeSource* types) {
    // JudgeFreeze's answer, reached with less work: rules 1 and 2 refuse and rule 3 accepts, in that
    // order; after them every rule can only refuse, so their order does not change the answer, and the
    // definition lookup (rule 6, a table search) comes last, asked only for objects that all the
    // cheap rules let through. A scan asks this for every top-level object of the world.
    if (const std::optional<FreezeRule> rule = AreaAndListRules(item, options))
        return *rule == FreezeRule::IncludedArt;
    if (!HasChosenAttribute(item, options.flags) || ((options.flags & OPT_EXCLUDE_TYPED) && item.type != 0) ||
        item.type > 1000 || TypeKeepsOut(item.type, options.flags) ||
        IsExcludedCategoryArt(item.artId, options.flags))
        return false;
    return !DefinitionKeepsOut(item, options, types);
}

bool IsFreezable(const CWorldItem& item, std::uint32_t artId, const CFreezeOptions& options,
                 CItemTypeSource* types) {
    CFreezeCandidate candidate;
    candidate.idText = item.id;
    candidate.artId = artId;
    candidate.type = item.type;
    candidate.attr = item.attr;
    candidate.x = item.x;
    candidate.y = item.y;
    return IsFreezable(candidate, options, types);
}

} // namespace frostmark
