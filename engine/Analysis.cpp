#include "engine/Analysis.h"

#include "engine/WorldItem.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace frostmark {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// True when a constant evaluates to the same value every time: a plain number, or an expression of one
// numeric token (what a definition's DEFNAME key makes). Ranges, weighted choices and constants naming
// other constants may differ between evaluations.
bool IsFixedConstant(const CDef& def) {
    const std::vector<std::string>& tokens = def.m_expression.m_tokens;
    if (tokens.empty())
        return def.m_low == def.m_high;
    if (tokens.size() != 1 || tokens[0].empty())
        return false;
    char first = tokens[0][0];
    return (first >= '0' && first <= '9') || first == '-' || first == '+';
}

// Whether the value of an ID text that names a constant may be remembered: no such constant (it reads
// as 0), or a fixed one.
bool NameHasFixedValue(std::string_view text, CScriptContext& context) {
    const CDef* def = context.FindDef(text);
    return def == nullptr || IsFixedConstant(*def);
}

std::string FormatLong(std::int64_t value, const char* suffix = "") {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%lld%s", static_cast<long long>(value), suffix);
    return buffer;
}

} // namespace

std::string FormatTopLevelCount(const CAnalysisCounts& counts) {
    return FormatLong(counts.topLevel);
}
std::string FormatFreezeCount(const CAnalysisCounts& counts) {
    return FormatLong(counts.toFreeze);
}
std::string FormatSizeEstimate(const CAnalysisCounts& counts) {
    return FormatLong(counts.sizeEstimate, " bytes");
}

std::string FormatPatchObjectLine(const CWorldItem& item) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "%4x", static_cast<unsigned>(item.color));
    return item.id + "\t" + GetPointText(item) + "\t" + colour;
}

std::string CAnalysisResult::Message() const {
    switch (status) {
    case AnalysisStatus::Ok:
        return {};
    case AnalysisStatus::NoWorldPath:
        return "Please enter the path to your worldfile";
    case AnalysisStatus::WorldUnreadable:
        return "Unable to open file " + errorPath;
    case AnalysisStatus::ScriptsUnreadable:
        return "Unable to open the script directory " + errorPath +
               (errorReason.empty() ? "" : ": " + errorReason);
    case AnalysisStatus::ReadFailed:
        return "Unable to read file " + errorPath + (errorReason.empty() ? "" : ": " + errorReason);
    }
    return {};
}

CAnalysisResult ScanWorld(CLineReader& reader, CScriptContext& context, CItemTypeSource* types,
                          const CFreezeOptions& options, CFreezeList& freezeList,
                          IAnalysisObserver* observer) {
    CAnalysisResult result;
    freezeList.RemoveAll();
    result.fileSize = reader.Size();
    if (observer)
        observer->OnStart(result.fileSize);

    CAnalysisCounts& counts = result.counts;
    // One record is reused for every header; only chosen records are copied into the list, so memory
    // grows with the freeze list alone.
    CWorldItem item;
    std::string_view line;
    while (reader.ReadLine(line)) {
        ++counts.lines;
        if (IsWorldItemHeader(line)) {
            item.Reset();
            item.SetId(WorldItemHeaderId(line));
            ReadWorldItemBody(reader, item, context);
            if (!item.IsTopLevel())
                continue;
            ++counts.topLevel;
            std::uint32_t art = ArtId(item, context);
            if (art == 0 || art > 0x3FFF)
                continue;
            if (IsFreezable(item, art, options, types)) {
                ++counts.toFreeze;
                counts.sizeEstimate += kEstimatedBytesPerObject;
                freezeList.Append(std::make_unique<CWorldItem>(item));
                if (observer)
                    observer->OnChosen(freezeList[freezeList.Count() - 1], freezeList.Count() - 1);
            }
        }
        if (counts.lines % kAnalysisRefreshLines == 0 && observer)
            observer->OnProgress(counts, reader.Position());
    }
    if (reader.Failed()) {
        int error = errno;
        freezeList.RemoveAll();
        result.status = AnalysisStatus::ReadFailed;
        result.errorPath = reader.Path();
        result.errorReason = error ? std::strerror(error) : "read error";
        return result;
    }
    counts.sizeEstimate = counts.toFreeze * kEstimatedBytesPerObject;
    return result;
}

CAnalysisResult AnalyzeWorldFile(const std::string& worldPath, CScriptContext& context,
                                 CItemTypeSource* types, const CFreezeOptions& options,
                                 CFreezeList& freezeList, IAnalysisObserver* observer) {
    CAnalysisResult result;
    if (worldPath.empty()) {
        result.status = AnalysisStatus::NoWorldPath;
        return result;
    }
    freezeList.RemoveAll();
    // A directory, a device or a pipe is no world file: a device such as /dev/zero would be read forever.
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(worldPath, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        result.status = AnalysisStatus::WorldUnreadable;
        result.errorPath = worldPath;
        result.errorReason =
            std::filesystem::is_directory(status) ? "is a directory" : "is not a regular file";
        return result;
    }
    CLineReader reader;
    errno = 0;
    if (!reader.Open(worldPath)) {
        int error = errno;
        result.status = AnalysisStatus::WorldUnreadable;
        result.errorPath = worldPath;
        result.errorReason = error ? std::strerror(error) : "cannot be opened";
        return result;
    }
    return ScanWorld(reader, context, types, options, freezeList, observer);
}

namespace {
constexpr std::int64_t kUnknown = -2;
constexpr std::int64_t kNone = -1;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<std::uint32_t> CScriptItemTypes::DefinitionType(std::string_view idText) {
    if (idText.size() == 5 && idText[0] == '0') {
        int value = 0;
        for (std::size_t i = 1; i < 5 && value >= 0; ++i) {
            int digit = HexDigit(idText[i]);
            value = digit < 0 ? -1 : value * 16 + digit;
        }
        if (value >= 0) {
            if (m_fourDigits.empty())
                m_fourDigits.assign(0x10000, kUnknown);
            std::int64_t& known = m_fourDigits[static_cast<std::size_t>(value)];
            if (known == kUnknown) {
                std::optional<std::uint32_t> type = Lookup(idText);
                known = type ? static_cast<std::int64_t>(*type) : kNone;
            }
            if (known == kNone)
                return std::nullopt;
            return static_cast<std::uint32_t>(known);
        }
    }
    auto known = m_known.find(idText);
    if (known != m_known.end())
        return known->second;
    std::optional<std::uint32_t> type = Lookup(idText);
    if (idText.empty() || !IsAsciiLetter(idText[0]) || NameHasFixedValue(idText, m_scripts))
        m_known.emplace(std::string(idText), type);
    return type;
}

std::optional<std::uint32_t> CScriptItemTypes::Lookup(std::string_view idText) {
    const CSObject* definition = m_scripts.FindItemDefinition(idText);
    if (!definition)
        return std::nullopt;
    return static_cast<std::uint32_t>(m_scripts.GetItemType(*definition));
}

CAnalysisResult Analyze(CScriptObjects& scripts, const CAnalysisRequest& request, const CServices& services,
                        CFreezeList& freezeList, IAnalysisObserver* observer, bool* scriptsLoaded) {
    if (scriptsLoaded)
        *scriptsLoaded = false;
    CAnalysisResult result;
    if (request.worldPath.empty()) {
        result.status = AnalysisStatus::NoWorldPath;
        return result;
    }
    freezeList.RemoveAll();
    if (scripts.itemDefs.IsEmpty() && !request.scriptDirectory.empty()) {
        // Whatever an earlier load without item definitions left (constants, tables) goes first, so a
        // second load does not add to it.
        scripts.UnloadScripts();
        if (!LoadAllScripts(scripts, request.scriptDirectory, services)) {
            std::error_code ec;
            std::filesystem::file_status status = std::filesystem::status(request.scriptDirectory, ec);
            result.status = AnalysisStatus::ScriptsUnreadable;
            result.errorPath = request.scriptDirectory;
            if (!std::filesystem::exists(status))
                result.errorReason = "No such file or directory";
            else if (!std::filesystem::is_directory(status))
                result.errorReason = "is not a directory";
            else
                result.errorReason = "Permission denied";
            return result;
        }
        if (scriptsLoaded)
            *scriptsLoaded = true;
    }
    CScriptItemTypes types(scripts);
    return AnalyzeWorldFile(request.worldPath, scripts, scripts.itemDefs.IsEmpty() ? nullptr : &types,
                            request.options, freezeList, observer);
}

std::size_t RemoveFreezeEntries(CFreezeList& freezeList, const std::vector<std::size_t>& indexes,
                                CAnalysisCounts& counts) {
    std::size_t removed = freezeList.RemoveIndexes(indexes);
    counts.toFreeze = static_cast<std::int64_t>(freezeList.Count());
    counts.sizeEstimate = counts.toFreeze * kEstimatedBytesPerObject;
    return removed;
}

} // namespace frostmark
