#pragma once

// The analysis pass: reads the world file, counts its top-level objects and collects the objects the
// selection rules choose into the freeze list, in file order. The desktop dialog and the command line
// both run it; what they show is driven through IAnalysisObserver.

#include "base/SpinLock.h"
#include "engine/CancelToken.h"
#include "engine/FreezeList.h"
#include "engine/Selection.h"
#include "engine/Stretches.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace frostmark {

class CLineReader;
class CScriptContext;
class CScriptObjects;
class CSObject;
struct CServices;

// The counters of one pass. Wider than the dialog's 32-bit fields so huge worlds cannot wrap them.
struct CAnalysisCounts {
    std::int64_t topLevel = 0;
    std::int64_t toFreeze = 0;
    std::int64_t sizeEstimate = 0; // 9 bytes per object to freeze, nothing else
    std::int64_t lines = 0;        // lines read by the scanning loop (not those inside record bodies)
    // Objects the rules would freeze that stand outside the map: they have no map block, so they stay in
    // the world file, and are not among the objects to freeze.
    std::int64_t outsideMap = 0;
};

// The three result texts, formatted as the dialog shows them: "%ld", "%ld", "%ld bytes".
std::string FormatTopLevelCount(const CAnalysisCounts& counts);
std::string FormatFreezeCount(const CAnalysisCounts& counts);
std::string FormatSizeEstimate(const CAnalysisCounts& counts);

// A count with its noun: "1 object", "2 objects".
std::string FormatCounted(std::uint64_t n, const char* singular, const char* plural);

// "3 objects lie outside the map and stay in the world file" (singular for one); empty when there are none.
std::string FormatOutsideMapNote(const CAnalysisCounts& counts);

// The Patch Objects list line of a record: "%s\t%s\t%4x" of its ID text, its point text and its colour.
std::string FormatPatchObjectLine(const CWorldItem& item);

// Lines between two progress reports, and the size each object adds to the estimate.
inline constexpr std::int64_t kAnalysisRefreshLines = 1000;
inline constexpr std::int64_t kEstimatedBytesPerObject = 9;

class IAnalysisObserver {
public:
    virtual ~IAnalysisObserver() = default;
    // The world file is open; its length in bytes (the progress bar's range).
    virtual void OnStart(std::uint64_t /*fileSize*/) {}
    // Every 1000 scanned lines: the counts so far and the byte position reached in the world file.
    virtual void OnProgress(const CAnalysisCounts& /*counts*/, std::uint64_t /*bytePosition*/) {}
    // A record was appended to the freeze list at `index` (the Patch Objects list entry). The record
    // stays at its address while it is in the list.
    virtual void OnChosen(const CWorldItem& /*item*/, std::size_t /*index*/) {}
};

enum class AnalysisStatus {
    Ok,
    NoWorldPath,       // "Please enter the path to your worldfile"
    WorldUnreadable,   // "Unable to open file %s"
    ScriptsUnreadable, // the script directory is missing or cannot be read
    NoScriptFiles,     // it holds none of the files a script set is read from
    ReadFailed,        // the world file failed midway: the counts are incomplete and the list was emptied
    // A constant's value took more evaluations than CScriptContext::kMaxEvaluationsPerValue: values read
    // with it are wrong, so the list was emptied. errorPath is its file, errorReason its name.
    EvaluationFailed,
    Cancelled, // stopped through its CCancelToken: the freeze list is empty, the counts say nothing
    // The memory for a line or for the freeze list could not be had: the list was emptied, and errorPath
    // names the world file.
    OutOfMemory,
};

struct CAnalysisResult {
    AnalysisStatus status = AnalysisStatus::Ok;
    CAnalysisCounts counts;
    std::uint64_t fileSize = 0;
    // For failures: the path as given and the system's reason.
    std::string errorPath;
    std::string errorReason;
    // The message the dialog shows for this failure (empty on success).
    std::string Message() const;
};

// Scans an open world file. Empties `freezeList` first, then appends the chosen records in file order.
// `context` resolves DEFNAME names in IDs and TYPE values; `types` answers item definitions' TYPEs (may
// be null). On a read error the freeze list is emptied again (a partial list would make the patch and
// the cleaned world disagree with the world file) and ReadFailed is answered. Cancelling `cancel` stops
// the scan within a thousand lines: the list is emptied (whatever OnChosen reported is gone) and
// Cancelled is answered.
CAnalysisResult ScanWorld(CLineReader& reader, CScriptContext& context, CItemTypeSource* types,
                          const CFreezeOptions& options, CFreezeList& freezeList, IAnalysisObserver* observer,
                          const CCancelToken* cancel = nullptr);

// Opens the world file and scans it (ScanWorld). An empty path answers NoWorldPath and changes nothing;
// a file that cannot be opened empties the freeze list and answers WorldUnreadable.
CAnalysisResult AnalyzeWorldFile(const std::string& worldPath, CScriptContext& context,
                                 CItemTypeSource* types, const CFreezeOptions& options,
                                 CFreezeList& freezeList, IAnalysisObserver* observer,
                                 const CCancelToken* cancel = nullptr);

// Makes the item definition TYPE source of one scanning thread; empty (or giving null): definitions take
// no part.
using ItemTypeSourceMaker = std::function<std::unique_ptr<CItemTypeSource>()>;

// AnalyzeWorldFile on several threads. A large file is cut into stretches (two for each thread) at
// lines that begin with "[" (where the one-thread scan is between records too), which the threads take
// one after another; the chosen records, the counts and OnChosen come out exactly as one thread gives
// them. Each thread evaluates numbers with a context of its own that
// finds its constants in `context` (see CScriptContext::FindDefsIn), so `context` itself is not used for
// evaluation, and asks a source of its own from makeTypes. Progress comes every 1000 lines of the
// stretches the calling thread scans, and then at short intervals until the other threads are done, with
// the counts and bytes of all stretches; OnChosen comes for the first stretch's records as they are
// chosen and for the others' when all are done, always in file order. Cancelling `cancel` stops every
// thread as ScanWorld stops.
CAnalysisResult AnalyzeWorldFile(const std::string& worldPath, CScriptContext& context,
                                 const ItemTypeSourceMaker& makeTypes, const CFreezeOptions& options,
                                 CFreezeList& freezeList, IAnalysisObserver* observer,
                                 const CScanThreads& threads, const CCancelToken* cancel = nullptr);

// Answers the rules' item definition lookups from a loaded script registry: the definition an ID text
// names (by name, else "%04x" / "0%04x" of its number) and its TYPE, which the registry reads at most
// once per definition per load. A world repeats the same few thousand ID texts millions of times, so the
// answer for an ID text is remembered for the life of this object (one analysis pass, during which the
// scripts do not change), except for texts naming a constant whose value is random: those are looked up
// every time.
//
// With a lock, every use of the registry is made holding it, so that sources of several scanning threads
// can share one registry.
class CScriptItemTypes : public CItemTypeSource {
public:
    explicit CScriptItemTypes(CScriptObjects& scripts, CSpinLock* lock = nullptr)
        : m_scripts(scripts), m_lock(lock) {}
    std::optional<std::uint32_t> DefinitionType(std::string_view idText) override;

private:
    std::optional<std::uint32_t> Lookup(std::string_view idText);

    CScriptObjects& m_scripts;
    CSpinLock* m_lock;
    // Answers for the usual spelling, "0" and four hex digits, by value (letter case does not change
    // the answer: names are compared without it): 0 not yet known, 1 no definition, else the TYPE + 2.
    // Two bytes an entry keep the part a world uses (art IDs below 0x4000) in the processor's cache.
    std::vector<std::uint16_t> m_fourDigits; // 0x10000 entries once used
    // Answers for every other text, by the text: open addressing over a power-of-two number of slots,
    // at most half of them used, so that a named ID costs one probe, not a chain of allocated nodes.
    struct CKnown {
        std::uint64_t hash = 0;
        std::string text;
        std::optional<std::uint32_t> type;
        bool used = false;
    };
    std::vector<CKnown> m_known;
    std::size_t m_knownUsed = 0;
    CKnown* FindKnown(std::string_view text, std::uint64_t hash);
    void Remember(std::string_view text, std::uint64_t hash, std::optional<std::uint32_t> type);
};

// What the Analyze command is given.
struct CAnalysisRequest {
    std::string worldPath;
    // Loaded when the registry holds no item definitions yet. Empty: no scripts are loaded, so item
    // definitions and DEFNAME names take no part.
    std::string scriptDirectory;
    CFreezeOptions options;
    CScanThreads threads;
    // Stops the command when cancelled, from any thread or a signal handler (null: it cannot be). A
    // script load under way is finished first (it takes a fraction of a second) and kept.
    const CCancelToken* cancel = nullptr;
};

// The whole Analyze command: an empty world path answers NoWorldPath and changes nothing. Otherwise the
// freeze list is emptied; when the registry's item definitions are empty and a script directory is given,
// the scripts are loaded from it (LoadAllScripts, which leaves the working directory alone). A directory
// that is missing or cannot be read answers ScriptsUnreadable and one that holds no script files
// NoScriptFiles, before anything is read: analysing with no or the wrong scripts would silently choose
// other objects; so would a script file read only in part (RefuseOnScriptReadFault). Then the world file is
// scanned. `scriptsLoaded` tells the
// caller whether this call loaded them. request.cancel stops it with Cancelled and an empty list.
CAnalysisResult Analyze(CScriptObjects& scripts, const CAnalysisRequest& request, const CServices& services,
                        CFreezeList& freezeList, IAnalysisObserver* observer, bool* scriptsLoaded = nullptr);

// After a script load: when a script file could not be read to its end (CScriptObjects::ReadFault), the
// result becomes OutOfMemory or ReadFailed naming that file, the half-read set is unloaded and true is
// returned.
bool RefuseOnScriptReadFault(CScriptObjects& scripts, CAnalysisResult& result);

// Removes entries of the freeze list by index (the Delete key in the Patch Objects list) and brings
// the counts in line: the freeze count becomes the number left and the estimate 9 bytes each; the
// top-level count is unchanged. Returns how many were removed.
std::size_t RemoveFreezeEntries(CFreezeList& freezeList, const std::vector<std::size_t>& indexes,
                                CAnalysisCounts& counts);

} // namespace frostmark
