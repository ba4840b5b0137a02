#include "engine/Analysis.h"

#include "engine/CommandProgress.h"
#include "engine/NamedIdMemo.h"
#include "engine/SerialSet.h"
#include "engine/Stretches.h"
#include "engine/WorldItem.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "model/ScriptSetState.h"
#include "platform/Files.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace frostmark {

namespace {

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

std::string FormatCounted(std::uint64_t n, const char* singular, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string FormatOutsideMapNote(const CAnalysisCounts& counts) {
    if (counts.outsideMap <= 0)
        return {};
    const bool one = counts.outsideMap == 1;
    return std::to_string(counts.outsideMap) +
           (one ? " object lies outside the map and stays in the world file"
                : " objects lie outside the map and stay in the world file");
}

std::string FormatPatchObjectLine(const CWorldItem& item) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "%4x", static_cast<unsigned>(item.color));
    return item.id.str() + "\t" + GetPointText(item) + "\t" + colour;
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
    case AnalysisStatus::NoScriptFiles:
        return "no script files in " + errorPath + (errorReason.empty() ? "" : " (" + errorReason + ")");
    case AnalysisStatus::ReadFailed:
        return "Unable to read file " + errorPath + (errorReason.empty() ? "" : ": " + errorReason);
    case AnalysisStatus::OutOfMemory:
        return "not enough memory to read " + errorPath;
    case AnalysisStatus::EvaluationFailed:
        return "Unable to evaluate the constant " + errorReason +
               (errorPath.empty() ? "" : " of " + errorPath) + ": its value takes more than " +
               std::to_string(CScriptContext::kMaxEvaluationsPerValue) + " evaluations of constants";
    case AnalysisStatus::Cancelled:
        return "Analysis cancelled";
    }
    return {};
}

namespace {

// What one stretch of the scan found out for the clean (see CCleanPlan): the length of every chosen
// record, and the serials of the other records between chosen ones, against which each chosen record's
// serial is checked: the cleaner's cursor, awaiting that serial, would drop any such record first.
struct CPlanPart {
    // Gaps longer than this give no plan: a world with few frozen records is cleaned quickly anyway.
    static constexpr std::size_t kMaxGap = std::size_t(1) << 16;
    bool usable = true;
    bool anyChosen = false;
    std::uint32_t firstSerial = 0; // of the first chosen record
    std::uint32_t lastSerial = 0;  // of the last chosen record
    CLargeArray<std::uint32_t> lengths;
    std::vector<std::uint32_t> leading;  // serials of the records before the first chosen one
    std::vector<std::uint32_t> trailing; // serials of the records since the last chosen one
    std::uint64_t bodyLines = 0;

    void Other(std::uint32_t serial) {
        if (!usable)
            return;
        std::vector<std::uint32_t>& gap = anyChosen ? trailing : leading;
        if (gap.size() < kMaxGap)
            gap.push_back(serial);
        else
            GiveUp();
    }
    void Chosen(std::uint32_t serial, std::uint64_t length) {
        if (!usable)
            return;
        if (anyChosen) {
            if (std::find(trailing.begin(), trailing.end(), serial) != trailing.end())
                return GiveUp();
            trailing.clear();
        } else {
            firstSerial = serial; // checked against the leading gap when the stretches are joined
            anyChosen = true;
        }
        lastSerial = serial;
        if (length > UINT32_MAX)
            return GiveUp();
        lengths.push_back(static_cast<std::uint32_t>(length));
    }
    // No plan from this stretch: nothing more is kept for one.
    void GiveUp() {
        usable = false;
        decltype(lengths)().swap(lengths);
        std::vector<std::uint32_t>().swap(leading);
        std::vector<std::uint32_t>().swap(trailing);
    }
};

// Scans the lines that begin before `end` (the reader placed at a line start), counting into counts and
// appending chosen records to list. chosen(record, index) follows every append; tick(position) every
// 1000 lines; a false from tick ends the scan early. plan and serials, when given, collect what the
// clean can use.
template <class Chosen, class Tick>
void ScanLines(CLineReader& reader, std::uint64_t end, CScriptContext& context, CItemTypeSource* types,
               CNamedIdMemo& memo, const CFreezeOptions& options, CFreezeList& list, CAnalysisCounts& counts,
               Chosen&& chosen, Tick&& tick, CPlanPart* plan = nullptr, CSerialSet* serials = nullptr) {
    // One record is reused for every header; only chosen records are copied into the list, so memory
    // grows with the freeze list alone.
    CWorldItem item;
    std::optional<CMemoItemTypes> memoTypes;
    if (types)
        memoTypes.emplace(*types);
    std::string_view line;
    while (reader.ReadLine(line)) {
        if (reader.LineStart() >= end)
            break;
        ++counts.lines;
        if (IsWorldItemHeader(line)) {
            const std::uint64_t offset = reader.LineStart();
            item.Reset();
            item.SetId(WorldItemHeaderId(line));
            const std::uint64_t bodyLines = ReadWorldItemBody(reader, item, context);
            bool taken = false;
            if (item.IsTopLevel()) {
                ++counts.topLevel;
                CNamedIdMemo::CEntry* named = memo.Find(item.id, context);
                const std::uint32_t art = named ? named->art : ArtId(item, context);
                if (memoTypes)
                    memoTypes->Use(named);
                if (art != 0 && art <= 0x3FFF &&
                    IsFreezable(item, art, options, memoTypes ? &*memoTypes : nullptr)) {
                    if (!LiesOnMap(item)) {
                        // No block would hold it: a patch file cannot carry it, so the world keeps it.
                        ++counts.outsideMap;
                    } else {
                        ++counts.toFreeze;
                        counts.sizeEstimate += kEstimatedBytesPerObject;
                        // The list takes the ID text over: the record is read anew at the next header.
                        const CWorldItem& stored = list.Append(std::move(item), offset);
                        chosen(stored, list.Count() - 1);
                        taken = true;
                    }
                }
            }
            if (plan) {
                plan->bodyLines += bodyLines;
                if (serials)
                    serials->Add(item.serial);
                // The record ends where the next line beginning with "[" does, or with the file.
                if (taken)
                    plan->Chosen(item.serial, reader.Position() - offset);
                else
                    plan->Other(item.serial);
            }
        }
        if (counts.lines % kAnalysisRefreshLines == 0 && !tick(reader.Position()))
            break;
    }
}

// When evaluating in `context` went over its budget, turns the result into the failure that names the
// constant (the values read with it were wrong) and empties the list; true then.
bool RefuseOnEvaluationFault(const CScriptContext& context, CFreezeList& freezeList,
                             CAnalysisResult& result) {
    const auto& fault = context.EvaluationFault();
    if (!fault)
        return false;
    freezeList.RemoveAll();
    const std::uint64_t fileSize = result.fileSize;
    result = CAnalysisResult();
    result.fileSize = fileSize;
    result.status = AnalysisStatus::EvaluationFailed;
    result.errorPath = fault->file;
    result.errorReason = fault->constant;
    return true;
}

// What a cancelled analysis answers: no list, so that nothing half-analysed can be written.
CAnalysisResult Cancelled(CFreezeList& freezeList) {
    CAnalysisResult result;
    freezeList.RemoveAll();
    result.status = AnalysisStatus::Cancelled;
    return result;
}

CAnalysisResult ReadFailure(const std::string& path, const std::string& reason, CFreezeList& freezeList,
                            bool outOfMemory = false) {
    CAnalysisResult result;
    freezeList.RemoveAll();
    result.status = outOfMemory ? AnalysisStatus::OutOfMemory : AnalysisStatus::ReadFailed;
    result.errorPath = path;
    result.errorReason = reason.empty() ? "read error" : reason;
    return result;
}

// Passes the questions of a scan to a source it does not own.
class CForwardingTypes : public CItemTypeSource {
public:
    explicit CForwardingTypes(CItemTypeSource& source) : m_source(source) {}
    std::optional<std::uint32_t> DefinitionType(std::string_view idText) override {
        return m_source.DefinitionType(idText);
    }

private:
    CItemTypeSource& m_source;
};

// Stretches a scanning thread takes on average. More would balance the threads better, but every
// stretch keeps a list of its own until they are joined, and each list's last pieces of memory are
// only partly used (measured: four a thread took 25 MB more than two on the 1 GB world).
constexpr unsigned kStretchesPerThread = 2;

// One stretch of the file and what its thread found there. Its thread writes to it for every record, so
// no two stretches may share a cache line (the processors would pass the line back and forth). The
// counters are published every 1000 lines for the progress shown meanwhile.
struct alignas(64) CStretch {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    CAnalysisCounts counts;
    CFreezeList chosen;
    CPlanPart plan;
    std::string error; // the system's reason for a failure
    bool failed = false;
    bool outOfMemory = false; // the failure: a line or the list could not grow
    std::atomic<std::int64_t> lines{0};
    std::atomic<std::int64_t> topLevel{0};
    std::atomic<std::int64_t> toFreeze{0};
    std::atomic<std::uint64_t> bytesDone{0};
};

// What one scanning thread keeps from stretch to stretch: its own context for evaluating numbers (over
// the shared constants), its own source of definition TYPEs, what it learnt of the named IDs, and every
// record's serial: when none occurs twice in the file, the clean's plan holds for any part of the list.
struct CScanState {
    CScriptContext context;
    std::unique_ptr<CItemTypeSource> types;
    CNamedIdMemo memo;
    CSerialSet serials;
    // pieces: the serial set's share of the room all threads' sets may take together.
    CScanState(const CScriptContext& shared, const ItemTypeSourceMaker& makeTypes, std::size_t pieces)
        : serials(pieces) {
        context.FindDefsIn(shared);
        if (makeTypes)
            types = makeTypes();
    }
};

void ScanStretch(const std::string& path, CStretch& stretch, CScanState& state, const CFreezeOptions& options,
                 const std::atomic<bool>& stop, const CCancelToken* cancel, IAnalysisObserver* observer,
                 const std::function<bool(std::uint64_t)>& tick) {
    CLineReader reader;
    if (!reader.Open(path) || !reader.Seek(stretch.begin)) {
        stretch.failed = true;
        stretch.error = reader.Error().message;
        return;
    }
    // Running out of memory fails the analysis with a message, here as on any thread: an exception leaving
    // a thread would end the program.
    try {
        ScanLines(
            reader, stretch.end, state.context, state.types.get(), state.memo, options, stretch.chosen,
            stretch.counts,
            [&](const CWorldItem& item, std::size_t index) {
                if (observer)
                    observer->OnChosen(item, index);
            },
            [&](std::uint64_t position) {
                stretch.lines.store(stretch.counts.lines, std::memory_order_relaxed);
                stretch.topLevel.store(stretch.counts.topLevel, std::memory_order_relaxed);
                stretch.toFreeze.store(stretch.counts.toFreeze, std::memory_order_relaxed);
                stretch.bytesDone.store(position - stretch.begin, std::memory_order_relaxed);
                return !stop.load(std::memory_order_relaxed) && !IsCancelled(cancel) &&
                       (!tick || tick(position));
            },
            &stretch.plan, &state.serials);
    } catch (const std::bad_alloc&) {
        stretch.failed = stretch.outOfMemory = true;
        stretch.chosen.RemoveAll();
        return;
    }
    if (reader.SawCarriageReturn())
        stretch.plan.GiveUp();
    if (reader.Failed()) {
        stretch.failed = true;
        stretch.outOfMemory = reader.OutOfMemory();
        stretch.error = reader.Error().message;
    }
    // The counts of a finished stretch, for the progress shown while others still run.
    stretch.lines.store(stretch.counts.lines, std::memory_order_relaxed);
    stretch.topLevel.store(stretch.counts.topLevel, std::memory_order_relaxed);
    stretch.toFreeze.store(stretch.counts.toFreeze, std::memory_order_relaxed);
    stretch.bytesDone.store(stretch.end == UINT64_MAX ? reader.Position() - stretch.begin
                                                      : stretch.end - stretch.begin,
                            std::memory_order_relaxed);
}

} // namespace

CAnalysisResult ScanWorld(CLineReader& reader, CScriptContext& context, CItemTypeSource* types,
                          const CFreezeOptions& options, CFreezeList& freezeList, IAnalysisObserver* observer,
                          const CCancelToken* cancel) {
    CAnalysisResult result;
    freezeList.RemoveAll();
    result.fileSize = reader.Size();
    if (observer)
        observer->OnStart(result.fileSize);
    CAnalysisCounts& counts = result.counts;
    CNamedIdMemo memo;
    try {
        ScanLines(
            reader, UINT64_MAX, context, types, memo, options, freezeList, counts,
            [&](const CWorldItem& item, std::size_t index) {
                if (observer)
                    observer->OnChosen(item, index);
            },
            [&](std::uint64_t position) {
                if (observer)
                    observer->OnProgress(counts, position);
                return !IsCancelled(cancel);
            });
    } catch (const std::bad_alloc&) {
        return ReadFailure(reader.Path(), {}, freezeList, true);
    }
    if (IsCancelled(cancel))
        return Cancelled(freezeList);
    if (reader.Failed())
        return ReadFailure(reader.Path(), reader.Error().message, freezeList, reader.OutOfMemory());
    counts.sizeEstimate = counts.toFreeze * kEstimatedBytesPerObject;
    RefuseOnEvaluationFault(context, freezeList, result);
    return result;
}

namespace {

// The checks AnalyzeWorldFile makes before reading: an empty path, and a path that is no regular file.
bool RefuseWorldPath(const std::string& worldPath, CFreezeList& freezeList, CAnalysisResult& result) {
    if (worldPath.empty()) {
        result.status = AnalysisStatus::NoWorldPath;
        return true;
    }
    freezeList.RemoveAll();
    // A directory, a device or a pipe is no world file: a device such as /dev/zero would be read forever.
    CPathInfo info;
    if (QueryPath(worldPath, info) && info.type != FileType::Missing && info.type != FileType::Regular) {
        result.status = AnalysisStatus::WorldUnreadable;
        result.errorPath = worldPath;
        result.errorReason = info.type == FileType::Directory ? "is a directory" : "is not a regular file";
        return true;
    }
    return false;
}

bool OpenWorld(const std::string& worldPath, CLineReader& reader, CAnalysisResult& result) {
    if (reader.Open(worldPath))
        return true;
    result.status = AnalysisStatus::WorldUnreadable;
    result.errorPath = worldPath;
    result.errorReason = reader.Error() ? reader.Error().message : "cannot be opened";
    return false;
}

} // namespace

CAnalysisResult AnalyzeWorldFile(const std::string& worldPath, CScriptContext& context,
                                 CItemTypeSource* types, const CFreezeOptions& options,
                                 CFreezeList& freezeList, IAnalysisObserver* observer,
                                 const CCancelToken* cancel) {
    CScanThreads one;
    one.threads = 1;
    ItemTypeSourceMaker makeTypes;
    if (types)
        makeTypes = [types] { return std::make_unique<CForwardingTypes>(*types); };
    return AnalyzeWorldFile(worldPath, context, makeTypes, options, freezeList, observer, one, cancel);
}

namespace {

bool IdentityOf(const std::string& path, CFileIdentity& identity, bool& endsWithLineFeed) {
    CFile file;
    if (!file.OpenRegular(path))
        return false;
    bool ok = file.Identity(identity);
    char last = '\n';
    if (ok && identity.size > 0)
        ok = file.ReadAt(&last, 1, identity.size - 1) == 1;
    endsWithLineFeed = last == '\n';
    return ok;
}

// Joins the stretches' findings into the plan for the clean, or null when they do not allow one: the
// first chosen record of each stretch is checked against the records since the previous chosen one,
// which may lie in earlier stretches, and the last chosen record against all records after it (the
// cursor stays on it at the end, dropping any later record with its serial).
std::unique_ptr<CCleanPlan> JoinPlanParts(const std::vector<std::unique_ptr<CStretch>>& stretches,
                                          const std::vector<std::unique_ptr<CScanState>>& states) {
    auto plan = std::make_unique<CCleanPlan>();
    std::vector<std::uint32_t> pending; // serials of the records since the last chosen one
    bool anyChosen = false;
    std::uint32_t lastSerial = 0;
    const auto holds = [](const std::vector<std::uint32_t>& serials, std::uint32_t serial) {
        return std::find(serials.begin(), serials.end(), serial) != serials.end();
    };
    for (const auto& stretch : stretches) {
        CPlanPart& part = stretch->plan;
        if (!part.usable)
            return nullptr;
        plan->lines += static_cast<std::uint64_t>(stretch->counts.lines) + part.bodyLines;
        if (part.anyChosen) {
            if (holds(pending, part.firstSerial) || holds(part.leading, part.firstSerial))
                return nullptr;
            pending = std::move(part.trailing);
            lastSerial = part.lastSerial;
            anyChosen = true;
            if (plan->lengths.empty())
                plan->lengths.swap(part.lengths);
            else
                plan->lengths.append(part.lengths.begin(), part.lengths.end());
            decltype(part.lengths)().swap(part.lengths); // joined: its memory goes now, not at the end
        } else {
            if (pending.size() + part.leading.size() > CPlanPart::kMaxGap)
                return nullptr;
            pending.insert(pending.end(), part.leading.begin(), part.leading.end());
        }
    }
    if (anyChosen && holds(pending, lastSerial))
        return nullptr;
    CSerialSet& serials = states.front()->serials;
    for (std::size_t i = 1; i < states.size(); ++i)
        serials.Merge(states[i]->serials);
    plan->serialsUnique = serials.KnownUnique();
    return plan;
}

} // namespace

CAnalysisResult AnalyzeWorldFile(const std::string& worldPath, CScriptContext& context,
                                 const ItemTypeSourceMaker& makeTypes, const CFreezeOptions& options,
                                 CFreezeList& freezeList, IAnalysisObserver* observer,
                                 const CScanThreads& threads, const CCancelToken* cancel) {
    CAnalysisResult result;
    if (RefuseWorldPath(worldPath, freezeList, result))
        return result;
    if (IsCancelled(cancel))
        return Cancelled(freezeList);
    CLineReader reader;
    if (!OpenWorld(worldPath, reader, result))
        return result;
    const unsigned count = ThreadsFor(reader.Size(), threads);
    if (count <= 1) {
        std::unique_ptr<CItemTypeSource> types = makeTypes ? makeTypes() : nullptr;
        return ScanWorld(reader, context, types.get(), options, freezeList, observer, cancel);
    }

    // Cut the file into stretches that begin between records, two per thread: each thread takes the
    // next stretch when it is done with one, so that a thread slowed down (by other work on a shared
    // machine, or by a part of the world that chooses more) does not keep the others waiting at the end.
    const std::uint64_t size = reader.Size();
    reader.Close();
    CFileIdentity before;
    bool endsWithLineFeed = false;
    const bool identified = IdentityOf(worldPath, before, endsWithLineFeed) && before.size == size;
    const unsigned pieces = count * kStretchesPerThread;
    std::vector<std::uint64_t> bounds;
    std::string cutError;
    if (!CutIntoStretches(worldPath, size, pieces, bounds, &cutError))
        return ReadFailure(worldPath, cutError, freezeList, cutError == CCommandResult::kNotEnoughMemory);
    std::vector<std::unique_ptr<CStretch>> stretches;
    for (unsigned i = 0; i < pieces; ++i) {
        auto stretch = std::make_unique<CStretch>();
        stretch->begin = bounds[i];
        // The last stretch reads to whatever end the file has by then.
        stretch->end = i + 1 < pieces ? bounds[i + 1] : UINT64_MAX;
        stretches.push_back(std::move(stretch));
    }

    result.fileSize = size;
    if (observer)
        observer->OnStart(size);
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> next{1}; // the first stretch is this thread's
    std::mutex doneLock;
    std::condition_variable doneSignal;
    std::size_t done = 0;
    const auto finished = [&] {
        std::lock_guard<std::mutex> guard(doneLock);
        ++done;
        doneSignal.notify_all();
    };
    // The counts of all stretches together, for progress reports.
    const auto report = [&](const CAnalysisCounts* first, std::uint64_t firstBytes) {
        CAnalysisCounts total;
        std::uint64_t bytes = 0;
        for (std::size_t i = 0; i < stretches.size(); ++i) {
            const CStretch& s = *stretches[i];
            if (i == 0 && first) {
                total = *first;
                bytes = firstBytes;
                continue;
            }
            total.lines += s.lines.load(std::memory_order_relaxed);
            total.topLevel += s.topLevel.load(std::memory_order_relaxed);
            total.toFreeze += s.toFreeze.load(std::memory_order_relaxed);
            bytes += s.bytesDone.load(std::memory_order_relaxed);
        }
        total.sizeEstimate = total.toFreeze * kEstimatedBytesPerObject;
        observer->OnProgress(total, std::min(bytes, size));
    };
    const auto scanTheRest = [&](CScanState& state, const std::function<bool(std::uint64_t)>& tick) {
        for (std::size_t i = next++; i < stretches.size(); i = next++) {
            ScanStretch(worldPath, *stretches[i], state, options, stop, cancel, nullptr, tick);
            if (stretches[i]->failed)
                stop = true;
            finished();
        }
    };

    // The states outlive their threads: the plan is made of what they noted.
    std::vector<std::unique_ptr<CScanState>> states;
    for (unsigned t = 0; t < count; ++t)
        states.push_back(std::make_unique<CScanState>(context, makeTypes, CSerialSet::kMaxPieces / count));
    std::vector<std::thread> workers;
    try {
        for (unsigned t = 1; t < count; ++t)
            workers.emplace_back([&, t] { scanTheRest(*states[t], {}); });
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started and this one share the stretches all the same.
    }
    // This thread scans the first stretch itself, telling the observer of each choice as it is made, and
    // then takes its share of the others.
    CScanState& state = *states[0];
    CStretch& first = *stretches[0];
    std::function<bool(std::uint64_t)> tick;
    if (observer)
        tick = [&](std::uint64_t position) {
            report(&first.counts, position);
            return true;
        };
    ScanStretch(worldPath, first, state, options, stop, cancel, observer, tick);
    if (first.failed)
        stop = true;
    finished();
    std::function<bool(std::uint64_t)> tickAll;
    if (observer)
        tickAll = [&](std::uint64_t) {
            report(nullptr, 0);
            return true;
        };
    scanTheRest(state, tickAll);
    {
        std::unique_lock<std::mutex> lock(doneLock);
        while (done < stretches.size()) {
            if (doneSignal.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout &&
                observer) {
                lock.unlock();
                report(nullptr, 0);
                lock.lock();
            }
        }
    }
    for (std::thread& worker : workers)
        worker.join();

    if (IsCancelled(cancel))
        return Cancelled(freezeList);
    for (const auto& stretch : stretches) {
        if (stretch->failed)
            return ReadFailure(worldPath, stretch->error, freezeList, stretch->outOfMemory);
    }
    for (const auto& scanState : states)
        if (RefuseOnEvaluationFault(scanState->context, freezeList, result))
            return result;
    // The first stretch's records become the list, the others follow in file order.
    freezeList.Splice(first.chosen);
    CAnalysisCounts& counts = result.counts;
    counts = first.counts;
    for (std::size_t i = 1; i < stretches.size(); ++i) {
        CStretch& stretch = *stretches[i];
        const std::size_t from = freezeList.Count();
        freezeList.Splice(stretch.chosen);
        if (observer)
            for (std::size_t k = from; k < freezeList.Count(); ++k) {
                // An observer that lists millions of records takes its time.
                if (k % 65536 == 0 && IsCancelled(cancel))
                    return Cancelled(freezeList);
                observer->OnChosen(freezeList[k], k);
            }
        counts.lines += stretch.counts.lines;
        counts.topLevel += stretch.counts.topLevel;
        counts.toFreeze += stretch.counts.toFreeze;
        counts.outsideMap += stretch.counts.outsideMap;
    }
    counts.sizeEstimate = counts.toFreeze * kEstimatedBytesPerObject;
    if (IsCancelled(cancel))
        return Cancelled(freezeList);

    // The plan holds only for the file as it was throughout the scan.
    CFileIdentity after;
    bool stillEndsWithLineFeed = false;
    if (identified && endsWithLineFeed && IdentityOf(worldPath, after, stillEndsWithLineFeed) &&
        after == before) {
        std::unique_ptr<CCleanPlan> plan = JoinPlanParts(stretches, states);
        if (plan && plan->lengths.size() == freezeList.Count()) {
            plan->file = before;
            plan->serialSum = freezeList.SerialSum();
            freezeList.SetCleanPlan(std::move(plan));
        }
    }
    return result;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::uint64_t TextHash(std::string_view text) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = text.size() * kMultiplier;
    for (std::size_t at = 0; at < text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, std::min<std::size_t>(8, text.size() - at));
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    hash ^= hash >> 32;
    return hash;
}

} // namespace

CScriptItemTypes::CKnown* CScriptItemTypes::FindKnown(std::string_view text, std::uint64_t hash) {
    if (m_known.empty())
        return nullptr;
    const std::size_t mask = m_known.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        CKnown& slot = m_known[at];
        if (!slot.used)
            return nullptr;
        if (slot.hash == hash && slot.text == text)
            return &slot;
    }
}

void CScriptItemTypes::Remember(std::string_view text, std::uint64_t hash,
                                std::optional<std::uint32_t> type) {
    if (2 * (m_knownUsed + 1) > m_known.size()) {
        std::vector<CKnown> old(m_known.empty() ? 256 : 2 * m_known.size());
        old.swap(m_known);
        m_knownUsed = 0;
        for (CKnown& slot : old)
            if (slot.used)
                Remember(slot.text, slot.hash, slot.type);
    }
    const std::size_t mask = m_known.size() - 1;
    std::size_t at = hash & mask;
    while (m_known[at].used)
        at = (at + 1) & mask;
    m_known[at] = CKnown{hash, std::string(text), type, true};
    ++m_knownUsed;
}

std::optional<std::uint32_t> CScriptItemTypes::DefinitionType(std::string_view idText) {
    if (idText.size() == 5 && idText[0] == '0') {
        int value = 0;
        for (std::size_t i = 1; i < 5 && value >= 0; ++i) {
            int digit = HexDigit(idText[i]);
            value = digit < 0 ? -1 : value * 16 + digit;
        }
        if (value >= 0) {
            if (m_fourDigits.empty())
                m_fourDigits.assign(0x10000, 0);
            std::uint16_t& known = m_fourDigits[static_cast<std::size_t>(value)];
            if (known == 0) {
                const std::optional<std::uint32_t> type = Lookup(idText);
                if (type && *type > 0xFFFDu)
                    return type; // too large for the table: asked again next time
                known = static_cast<std::uint16_t>(type ? *type + 2 : 1);
            }
            if (known == 1)
                return std::nullopt;
            return static_cast<std::uint32_t>(known - 2);
        }
    }
    const std::uint64_t hash = TextHash(idText);
    if (const CKnown* known = FindKnown(idText, hash))
        return known->type;
    std::optional<std::uint32_t> type = Lookup(idText);
    // A name's answer may be remembered only where the name always gives the same definition.
    if (!IsNameText(idText) || NameHasFixedValue(idText, m_scripts))
        Remember(idText, hash, type);
    return type;
}

std::optional<std::uint32_t> CScriptItemTypes::Lookup(std::string_view idText) {
    std::unique_lock<CSpinLock> guard;
    if (m_lock)
        guard = std::unique_lock<CSpinLock>(*m_lock);
    const CSObject* definition = m_scripts.FindItemDefinition(idText);
    if (!definition)
        return std::nullopt;
    return static_cast<std::uint32_t>(m_scripts.GetItemType(*definition));
}

bool RefuseOnScriptReadFault(CScriptObjects& scripts, CAnalysisResult& result) {
    const auto& fault = scripts.ReadFault();
    if (!fault)
        return false;
    result = CAnalysisResult();
    result.status = fault->outOfMemory ? AnalysisStatus::OutOfMemory : AnalysisStatus::ReadFailed;
    result.errorPath = fault->path;
    result.errorReason = fault->reason;
    // Half a script set would choose other objects than the whole one: the next analysis reads it again.
    scripts.UnloadScripts();
    return true;
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
        const CScriptDirectoryCheck check = CheckScriptDirectory(request.scriptDirectory);
        if (!check.Ok()) {
            result.status = check.problem == ScriptDirectoryProblem::NoScriptFiles
                                ? AnalysisStatus::NoScriptFiles
                                : AnalysisStatus::ScriptsUnreadable;
            result.errorPath = request.scriptDirectory;
            result.errorReason = check.reason;
            return result;
        }
        if (!LoadAllScripts(scripts, request.scriptDirectory, services)) {
            result.status = AnalysisStatus::ScriptsUnreadable;
            result.errorPath = request.scriptDirectory;
            result.errorReason = "Permission denied";
            return result;
        }
        if (RefuseOnScriptReadFault(scripts, result))
            return result;
        if (scriptsLoaded)
            *scriptsLoaded = true;
    }
    if (IsCancelled(request.cancel))
        return Cancelled(freezeList);
    // The scanning threads share the registry through one lock; each remembers its own answers.
    CSpinLock lock;
    ItemTypeSourceMaker makeTypes;
    if (!scripts.itemDefs.IsEmpty())
        makeTypes = [&] { return std::make_unique<CScriptItemTypes>(scripts, &lock); };
    result = AnalyzeWorldFile(request.worldPath, scripts, makeTypes, request.options, freezeList, observer,
                              request.threads, request.cancel);
    // The definitions' TYPEs are evaluated in the registry's own context.
    if (result.status == AnalysisStatus::Ok)
        RefuseOnEvaluationFault(scripts, freezeList, result);
    return result;
}

std::size_t RemoveFreezeEntries(CFreezeList& freezeList, const std::vector<std::size_t>& indexes,
                                CAnalysisCounts& counts) {
    std::size_t removed = freezeList.RemoveIndexes(indexes);
    counts.toFreeze = static_cast<std::int64_t>(freezeList.Count());
    counts.sizeEstimate = counts.toFreeze * kEstimatedBytesPerObject;
    return removed;
}

} // namespace frostmark
