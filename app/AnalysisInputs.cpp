#include "app/AnalysisInputs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <tuple>

namespace frostmark {

std::optional<CFileStamp> StampOf(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty())
        return std::nullopt;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status))
        return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec)
        return std::nullopt;
    const fs::file_time_type modified = fs::last_write_time(path, ec);
    if (ec)
        return std::nullopt;
    CFileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(size);
    stamp.modifiedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
    return stamp;
}

namespace {

std::vector<CPatchArea> SortedAreas(std::vector<CPatchArea> areas) {
    std::sort(areas.begin(), areas.end(), [](const CPatchArea& a, const CPatchArea& b) {
        return std::tie(a.left, a.top, a.right, a.bottom) < std::tie(b.left, b.top, b.right, b.bottom);
    });
    return areas;
}

} // namespace

EInputChange FirstChange(const CAnalysisInputs& analysed, const CAnalysisInputs& now) {
    if (analysed.worldPath != now.worldPath)
        return EInputChange::WorldPath;
    if (analysed.worldFile != now.worldFile)
        return EInputChange::WorldFile;
    if (analysed.scriptDirectory != now.scriptDirectory)
        return EInputChange::ScriptDirectory;
    if ((analysed.options.flags & OPT_ALL) != (now.options.flags & OPT_ALL))
        return EInputChange::Options;
    if (analysed.options.excludeArt != now.options.excludeArt)
        return EInputChange::ExcludeArt;
    if (analysed.options.includeArt != now.options.includeArt)
        return EInputChange::IncludeArt;
    if (SortedAreas(analysed.options.areas) != SortedAreas(now.options.areas))
        return EInputChange::PatchAreas;
    return EInputChange::None;
}

std::string ArtIdLinesNote(std::string_view boxName, std::string_view text) {
    std::string skipped;
    std::string partly;
    std::size_t skippedCount = 0;
    for (const CArtIdLineNote& note : CheckArtIdLines(text)) {
        const std::string line = "line " + std::to_string(note.line) + " \"" + note.text + "\"";
        if (note.readAs == 0) {
            skipped += (skippedCount++ ? ", " : "") + line;
        } else {
            char value[8];
            std::snprintf(value, sizeof value, "%04x", static_cast<unsigned>(note.readAs));
            partly += (partly.empty() ? "" : ", ") + line + " read as " + value;
        }
    }
    if (skipped.empty() && partly.empty())
        return {};
    std::string out = std::string(boxName) + ": ";
    if (!skipped.empty())
        out += "skipped " + skipped +
               (skippedCount == 1 ? " (not a hexadecimal art ID)" : " (not hexadecimal art IDs)");
    if (!partly.empty())
        out += (skipped.empty() ? "" : "; ") + partly;
    return out;
}

std::string OutOfDateReason(EInputChange change) {
    const char* what = nullptr;
    switch (change) {
    case EInputChange::None:
        return {};
    case EInputChange::WorldPath:
        what = "WorldFile path changed";
        break;
    case EInputChange::WorldFile:
        what = "The world file changed on disk";
        break;
    case EInputChange::ScriptDirectory:
        what = "Script Directory changed";
        break;
    case EInputChange::Options:
        what = "Options changed";
        break;
    case EInputChange::ExcludeArt:
        what = "Exclude Art IDs changed";
        break;
    case EInputChange::IncludeArt:
        what = "Include Art IDs changed";
        break;
    case EInputChange::PatchAreas:
        what = "Patch areas changed";
        break;
    }
    return std::string(what) + " since the analysis: Analyze again";
}

} // namespace frostmark
