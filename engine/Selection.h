#pragma once

// The rules that decide which top-level world items are frozen, and the parsing of the user's
// option texts (art ID lines, patch area entries) shared by the desktop dialog and the command line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace frostmark {

class CWorldItem;

// Option flag bits. The two include bits equal the ATTR bits they select.
inline constexpr std::uint32_t OPT_NEVER_MOVEABLE = 0x10;
inline constexpr std::uint32_t OPT_STATIC = 0x8000;
inline constexpr std::uint32_t OPT_EXCLUDE_TYPED = 0x10000;
inline constexpr std::uint32_t OPT_EXCLUDE_CONTAINERS = 0x20000;
inline constexpr std::uint32_t OPT_EXCLUDE_SIGNS = 0x40000;
inline constexpr std::uint32_t OPT_EXCLUDE_DOORS = 0x100000;
inline constexpr std::uint32_t OPT_EXCLUDE_LIGHTS = 0x200000;
// Every bit an option word may hold; anything else is not an option.
inline constexpr std::uint32_t OPT_ALL = OPT_NEVER_MOVEABLE | OPT_STATIC | OPT_EXCLUDE_TYPED |
                                         OPT_EXCLUDE_CONTAINERS | OPT_EXCLUDE_SIGNS | OPT_EXCLUDE_DOORS |
                                         OPT_EXCLUDE_LIGHTS;

// A map rectangle in world tiles. Left and top edges are inside, right and bottom edges outside;
// a rectangle with left >= right or top >= bottom holds no point.
struct CPatchArea {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;

    bool Contains(long x, long y) const { return left <= x && x < right && top <= y && y < bottom; }
    bool operator==(const CPatchArea&) const = default;
};

// Reads a patch area entry ("left, top, right, bottom"): split at the commas, each piece read as a
// decimal number with leading blanks allowed. Missing pieces read as 0, as the rules expect.
CPatchArea ParsePatchAreaText(std::string_view text);

// Formats a patch area the way the Patch Areas list shows it: "%ld, %ld, %ld, %ld".
std::string FormatPatchAreaText(const CPatchArea& area);

// Reads one art ID line: at most its first 255 characters, hexadecimal (leading blanks and tabs
// skipped, digits up to the first other character), low 16 bits. 0 means the line adds nothing.
std::uint16_t ParseArtIdLine(std::string_view line);

// Reads a multi-line art ID box (lines split at LF, a CR before it dropped) into the list the
// rules use, in order, zero entries skipped, duplicates kept.
std::vector<std::uint16_t> ParseArtIdLines(std::string_view text);

// A line of an art ID box that is not simply a hexadecimal number: either skipped (it gives no art ID,
// "0xzz" or "door") or read only up to its first character that is not a hexadecimal digit ("12zz" as 12).
struct CArtIdLineNote {
    int line = 0;             // counted from 1
    std::string text;         // as written, without its line break
    std::uint16_t readAs = 0; // 0: skipped
    bool operator==(const CArtIdLineNote&) const = default;
};

// The lines of an art ID box worth telling the user about, in order; blank lines are not among them.
std::vector<CArtIdLineNote> CheckArtIdLines(std::string_view text);

// Everything the user chose in the Options group and on the map.
struct CFreezeOptions {
    std::uint32_t flags = 0;
    std::vector<std::uint16_t> excludeArt;
    std::vector<std::uint16_t> includeArt;
    std::vector<CPatchArea> areas;
};

// Builds the options from the dialog's raw state: the flag word, the texts of the two art ID boxes
// and the texts of the Patch Areas entries. Bits outside OPT_ALL are dropped.
CFreezeOptions ReadOptions(std::uint32_t flags, std::string_view excludeArtText,
                           std::string_view includeArtText, const std::vector<std::string>& areaTexts);

// Why these options choose nothing, or only the objects of the include list: neither include attribute
// (Never Moveable, Static) is chosen. Empty when one is.
std::string IncludeRuleNote(const CFreezeOptions& options);

// Answers the TYPE of the item definition named by a world item's ID text, or nothing when no
// definition is found. Implementations read each definition at most once per script load.
class CItemTypeSource {
public:
    virtual ~CItemTypeSource() = default;
    virtual std::optional<std::uint32_t> DefinitionType(std::string_view idText) = 0;
};

// The fields of a top-level world item that the rules look at.
struct CFreezeCandidate {
    std::string_view idText;
    std::uint32_t artId = 0;
    std::uint32_t type = 0;
    std::uint32_t attr = 0;
    long x = 0;
    long y = 0;
};

// Which rule decided, for diagnostics and tests.
enum class FreezeRule {
    OutsideAreas = 1,
    ExcludedArt = 2,
    IncludedArt = 3,
    RecordType = 4,
    TypeAbove1000 = 5,
    DefinitionType = 6,
    CategoryArt = 7,
    NoIncludeAttr = 8,
    Typed = 9,
    Frozen = 10, // rule 9 let it through
};

// The nine rules in order; the first that decides ends the evaluation. `types` may be null (no
// scripts): rule 6 then takes no part.
FreezeRule JudgeFreeze(const CFreezeCandidate& item, const CFreezeOptions& options, CItemTypeSource* types);

// True when the object is to be frozen.
bool IsFreezable(const CFreezeCandidate& item, const CFreezeOptions& options, CItemTypeSource* types);
bool IsFreezable(const CWorldItem& item, std::uint32_t artId, const CFreezeOptions& options,
                 CItemTypeSource* types);

// Category tables, exposed for the command line's listing and for tests.
bool IsNeverFrozenType(std::uint32_t type);
// True when `type` belongs to a category whose exclude flag is set in `flags`.
bool IsExcludedCategoryType(std::uint32_t type, std::uint32_t flags);
// True when `artId` lies in a range of a category whose exclude flag is set in `flags`.
bool IsExcludedCategoryArt(std::uint32_t artId, std::uint32_t flags);

} // namespace frostmark
