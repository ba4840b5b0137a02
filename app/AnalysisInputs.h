#pragma once
// What an analysis was made from, so the dialog can tell when its results no longer describe what the
// user now sees: the world file (path and the file itself), the script directory, the option boxes, both
// art ID boxes and the patch areas. Toolkit-free, so the rules are tested without widgets.

#include "engine/Selection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace frostmark {

// The state of a file on disk as far as a re-analysis would notice: its size and modification time.
struct CFileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const CFileStamp&) const = default;
};

// The stamp of a regular file, or nullopt when there is none (missing, unreadable, not a file).
std::optional<CFileStamp> StampOf(const std::string& path);

struct CAnalysisInputs {
    std::string worldPath;
    std::optional<CFileStamp> worldFile;
    std::string scriptDirectory;
    CFreezeOptions options; // flags, both art ID lists and the patch areas, as the rules read them
};

// Which input differs, the first in the order of this list.
enum class EInputChange {
    None,
    WorldPath,
    WorldFile,
    ScriptDirectory,
    Options,
    ExcludeArt,
    IncludeArt,
    PatchAreas
};

// Compares what the rules would read: art ID lists as the values they hold (a blank line or a skipped
// line changes nothing), patch areas as a set of rectangles (their order in the list does not matter).
EInputChange FirstChange(const CAnalysisInputs& analysed, const CAnalysisInputs& now);

// What the user is told of the lines of an art ID box that are not plain hexadecimal numbers, e.g.
// `Exclude Art IDs: skipped line 4 "0xzz" (not a hexadecimal art ID)`; empty when there are none.
std::string ArtIdLinesNote(std::string_view boxName, std::string_view text);

// The line the dialog shows for a change, e.g. "Patch areas changed since the analysis: Analyze again".
// Empty for None.
std::string OutOfDateReason(EInputChange change);

} // namespace frostmark
