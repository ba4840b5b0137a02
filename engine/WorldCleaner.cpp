#include "engine/WorldCleaner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/SafeOutputFile.h"
#include "engine/WorldItem.h"
#include "platform/Files.h"
#include "script/LineReader.h"

namespace frostmark {

namespace {

inline void AppendLine(std::string& record, std::string_view line, bool plainLf, std::string_view lineEnd) {
    if (plainLf) {
        record.append(line.data(), line.size() + 1);
    } else {
        record.append(line);
        record.append(lineEnd);
    }
}

// The serial cursor: the frozen record the clean awaits. A record with its serial is dropped and the
// cursor moves on; at the end it stays on the last record, so a later record with that serial goes too.
class CSerialCursor {
public:
    CSerialCursor(const CFreezeList& frozen, std::size_t at) : m_frozen(frozen), m_at(at) {}
    bool Drops(std::uint32_t serial) {
        const std::size_t count = m_frozen.Count();
        if (count == 0 || serial != m_frozen[m_at].serial)
            return false;
        if (m_at + 1 < count)
            ++m_at;
        return true;
    }
    std::size_t At() const { return m_at; }

private:
    const CFreezeList& m_frozen;
    std::size_t m_at;
};

// The item record being read: a "[" line ends it, a "[WORLDITEM" header opens the next, and its serial is
// the value of the last SERIAL line of its body.
struct CRecordInProgress {
    bool open = false;
    std::uint64_t start = 0; // offset of its header line
    std::uint32_t serial = 0;

    // Takes the line that begins at lineStart; ended(lineStart) is called when it ends the open record,
    // while start and serial are still that record's.
    template <class Ended> void Line(std::string_view line, std::uint64_t lineStart, Ended&& ended) {
        if (!line.empty() && line[0] == '[') {
            End(lineStart, ended);
            if (IsWorldItemHeader(line)) {
                open = true;
                start = lineStart;
                serial = 0;
            }
        } else if (open && line.size() > 6 && line[6] == '=') {
            // Only a line of the form SERIAL=... can change the serial; its shape is tested before the key.
            ApplySerialLine(line, serial);
        }
    }
    template <class Ended> void End(std::uint64_t end, Ended&& ended) {
        if (open) {
            open = false;
            ended(end);
        }
    }
};

// Writes the bytes of [from, to) of the input to the output: long pieces copied file to file by the
// system, short ones through a window read ahead from the input.
class CKeptCopier {
public:
    CKeptCopier(CFile* input, CSafeOutputFile& output) : m_input(input), m_output(output) {}

    bool Copy(std::uint64_t from, std::uint64_t to) {
        if (to <= from)
            return true;
        if (to - from >= kCopyInKernel)
            return m_output.CopyFrom(*m_input, from, to - from);
        if (from < m_windowStart || to > m_windowEnd) {
            if (!m_window)
                m_window = std::make_unique<char[]>(kWindow);
            std::size_t have = 0;
            while (have < kWindow) {
                const std::int64_t got = m_input->ReadAt(m_window.get() + have, kWindow - have, from + have);
                if (got < 0) {
                    m_output.Fail(m_input->Error().message);
                    return false;
                }
                if (got == 0)
                    break;
                have += static_cast<std::size_t>(got);
            }
            m_windowStart = from;
            m_windowEnd = from + have;
            if (to > m_windowEnd) {
                m_output.Fail("the input file ended early");
                return false;
            }
        }
        return m_output.Write(m_window.get() + (from - m_windowStart), static_cast<std::size_t>(to - from));
    }

private:
    static constexpr std::uint64_t kCopyInKernel = 256 * 1024;
    static constexpr std::size_t kWindow = 1 << 20;
    CFile* m_input;
    CSafeOutputFile& m_output;
    std::unique_ptr<char[]> m_window;
    std::uint64_t m_windowStart = 0;
    std::uint64_t m_windowEnd = 0;
};

} // namespace

void CleanWorld(CLineReader& input, CSafeOutputFile& output, const CFreezeList& frozen,
                CScriptContext& /*context*/, const CCleanOptions& options, CCleanResult& result,
                ICommandProgress* progress, CFile* inputFile) {
    const std::string_view lineEnd =
        options.lineEnd == LineEnd::CrLf ? std::string_view("\r\n", 2) : std::string_view("\n", 1);
    const bool lfOut = options.lineEnd == LineEnd::Lf;
    result.recordsExpected = frozen.Count();
    CSerialCursor cursor(frozen, 0);

    // Two ways to produce the same output.
    //
    // Span mode, while every line read so far ended with a lone line feed and the output wants line
    // feeds: then the output is the input minus the dropped records' bytes, so only the offsets of the
    // records are tracked and the kept stretches are copied (see CKeptCopier). At the first line that
    // has to be rewritten (a CR LF end, or a last line without an end) the rest is done in line mode,
    // going back to the start of the record being read if there is one.
    //
    // Line mode: the lines of the item record being read are held back (with their line ends) until the
    // record ends, when its serial, the last SERIAL line of its body, decides whether they are written.
    // That gives what reading a record for its serial and then copying it line by line gives, reading
    // each line once; and only one record is held at a time.
    bool spanMode = lfOut && inputFile != nullptr;
    std::uint64_t spanStart = 0; // span mode: first input byte not yet copied or left out
    std::string record;          // line mode: the record being read
    CRecordInProgress current;

    CKeptCopier copier(inputFile, output);
    const auto copySpan = [&](std::uint64_t end) {
        copier.Copy(spanStart, end);
        spanStart = end;
    };
    const auto finishRecord = [&](std::uint64_t recordEnd) {
        const bool dropped = cursor.Drops(current.serial);
        if (dropped)
            ++result.recordsDropped;
        if (spanMode) {
            if (dropped) {
                copySpan(current.start);
                spanStart = recordEnd;
            }
        } else {
            if (!dropped)
                output.Write(record);
            record.clear();
        }
    };

    if (options.cancel != nullptr)
        output.SetCancel(options.cancel);
    std::string_view line;
    std::uint64_t lines = 0;
    const std::uint64_t total = input.Size();
    if (progress != nullptr)
        progress->OnProgress(0, total);
    while (input.ReadLine(line)) {
        if (++lines % 1000 == 0) {
            if (progress != nullptr)
                progress->OnProgress(input.Position(), total);
            // Span mode may go a long way without writing, so the token is asked here too.
            if (output.CheckCancel() || output.Failed())
                break;
        }
        // A line the input ended with a lone line feed is followed by that line feed in the reader's
        // buffer; with LF output the line and its end then go out as one piece.
        const bool plainLf = lfOut && input.Position() - input.LineStart() == line.size() + 1;
        if (spanMode) {
            if (plainLf) {
                current.Line(line, input.LineStart(), finishRecord);
                continue;
            }
            spanMode = false;
            if (current.open) {
                // Read the record again in line mode, from its header.
                copySpan(current.start);
                current.open = false;
                if (!input.Seek(current.start)) {
                    result.Fail(input.Path(), "the file changed while it was read", "Unable to read");
                    return;
                }
                continue;
            }
            copySpan(input.LineStart());
        }
        current.Line(line, input.LineStart(), finishRecord);
        if (current.open) {
            AppendLine(record, line, plainLf, lineEnd);
        } else if (plainLf) {
            output.Write(line.data(), line.size() + 1);
        } else {
            output.Write(line);
            output.Write(lineEnd);
        }
    }
    if (!output.Failed()) {
        current.End(input.Position(), finishRecord);
        if (spanMode)
            copySpan(input.Position());
    }
    if (progress != nullptr)
        progress->OnProgress(input.Position(), total);
    result.linesRead = lines;
    result.bytesWritten = output.BytesWritten();
}

namespace {

// One stretch of the file and what its thread found there.
struct CCleanStretch {
    std::uint64_t begin = 0;
    std::uint64_t end = 0; // the last stretch: reset to where the file ended
    std::size_t startCursor = 0;
    std::size_t endCursor = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> drops; // [header, end of record), in order
    std::uint64_t lines = 0;
    bool needsLineMode = false; // a line that has to be rewritten, or a read failure
    std::atomic<std::uint64_t> bytesDone{0};
    std::atomic<bool> finished{false};
};

void FindDrops(const std::string& path, CCleanStretch& stretch, const CFreezeList& frozen, bool last,
               const std::atomic<bool>& stop, const CCancelToken* cancel) {
    CLineReader input;
    if (!input.Open(path) || !input.Seek(stretch.begin)) {
        stretch.needsLineMode = true;
        return;
    }
    CSerialCursor cursor(frozen, stretch.startCursor);
    CRecordInProgress current;
    const auto finishRecord = [&](std::uint64_t recordEnd) {
        if (cursor.Drops(current.serial))
            stretch.drops.emplace_back(current.start, recordEnd);
    };
    const std::uint64_t end = last ? UINT64_MAX : stretch.end;
    std::uint64_t reached = stretch.begin;
    std::string_view line;
    while (input.ReadLine(line)) {
        if (input.LineStart() >= end)
            break;
        reached = input.Position();
        if (++stretch.lines % 4096 == 0) {
            stretch.bytesDone.store(reached - stretch.begin, std::memory_order_relaxed);
            // Cut short, the stretch is of no use: whoever stops or cancels does not read it.
            if (stop.load(std::memory_order_relaxed) || IsCancelled(cancel))
                return;
        }
        if (reached - input.LineStart() != line.size() + 1) {
            stretch.needsLineMode = true; // CR LF, or a last line without its line feed
            return;
        }
        current.Line(line, input.LineStart(), finishRecord);
    }
    if (input.Failed()) {
        stretch.needsLineMode = true;
        return;
    }
    if (last)
        stretch.end = reached;
    current.End(stretch.end, finishRecord);
    stretch.endCursor = cursor.At();
}

} // namespace

bool CleanWorldByPlan(CFile& inputFile, CSafeOutputFile& output, const CFreezeList& frozen,
                      const CCleanOptions& options, CCleanResult& result, ICommandProgress* progress) {
    const CCleanPlan* plan = frozen.CleanPlan();
    const std::size_t count = frozen.Count();
    if (options.lineEnd != LineEnd::Lf || plan == nullptr || plan->lengths.size() != count)
        return false;
    CFileIdentity file;
    if (!inputFile.Identity(file) || !(file == plan->file) || frozen.SerialSum() != plan->serialSum)
        return false;
    std::uint64_t previousEnd = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t offset = frozen.OffsetOf(i);
        if (offset == CFreezeList::kNoOffset || offset < previousEnd || offset + plan->lengths[i] > file.size)
            return false;
        previousEnd = offset + plan->lengths[i];
    }

    if (options.cancel != nullptr)
        output.SetCancel(options.cancel);
    if (progress != nullptr)
        progress->OnProgress(0, file.size);
    CKeptCopier copier(&inputFile, output);
    std::uint64_t kept = 0; // first input byte not yet copied or left out
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t offset = frozen.OffsetOf(i);
        if (!copier.Copy(kept, offset))
            break;
        kept = offset + plan->lengths[i];
        ++result.recordsDropped;
        if (i % 4096 == 0) {
            if (progress != nullptr)
                progress->OnProgress(kept, file.size);
            if (output.CheckCancel())
                break;
        }
    }
    if (!output.Failed())
        copier.Copy(kept, file.size);
    if (progress != nullptr)
        progress->OnProgress(file.size, file.size);
    result.recordsExpected = count;
    result.linesRead = plan->lines;
    result.bytesWritten = output.BytesWritten();
    return true;
}

bool CleanWorldOnThreads(const std::string& path, CFile& inputFile, std::uint64_t size,
                         CSafeOutputFile& output, const CFreezeList& frozen, const CCleanOptions& options,
                         CCleanResult& result, ICommandProgress* progress) {
    if (options.lineEnd != LineEnd::Lf || !inputFile.IsOpen())
        return false;
    const unsigned threads = ThreadsFor(size, options.threads);
    if (threads <= 1)
        return false;
    const std::size_t frozenCount = frozen.Count();
    // The offsets tell where each stretch's cursor starts; they must be known and in file order.
    for (std::size_t i = 0; i < frozenCount; ++i) {
        const std::uint64_t offset = frozen.OffsetOf(i);
        if (offset == CFreezeList::kNoOffset || (i > 0 && offset <= frozen.OffsetOf(i - 1)))
            return false;
    }
    // More stretches than threads: this thread copies the first ones out while the others are searched.
    const unsigned count = threads * 4;
    std::vector<std::uint64_t> bounds;
    if (!CutIntoStretches(path, size, count, bounds))
        return false;
    std::vector<std::unique_ptr<CCleanStretch>> stretches;
    std::size_t cursor = 0;
    for (unsigned i = 0; i < count; ++i) {
        auto stretch = std::make_unique<CCleanStretch>();
        stretch->begin = bounds[i];
        stretch->end = bounds[i + 1];
        while (cursor < frozenCount && frozen.OffsetOf(cursor) < stretch->begin)
            ++cursor;
        stretch->startCursor = frozenCount == 0 ? 0 : std::min(cursor, frozenCount - 1);
        stretches.push_back(std::move(stretch));
    }

    std::atomic<unsigned> next{0};
    std::atomic<bool> stop{false};
    std::mutex doneLock;
    std::condition_variable doneSignal;
    const auto search = [&] {
        for (unsigned i = next++; i < count && !stop.load(); i = next++) {
            try {
                FindDrops(path, *stretches[i], frozen, i + 1 == count, stop, options.cancel);
            } catch (const std::bad_alloc&) {
                // No memory for this stretch's list of drops (an exception must not leave the thread):
                // the walk line by line, which needs no such list, does the whole file instead.
                stretches[i]->needsLineMode = true;
            }
            std::lock_guard<std::mutex> guard(doneLock);
            stretches[i]->finished = true;
            doneSignal.notify_all();
        }
    };
    struct CWorkers {
        std::atomic<bool>& stop;
        std::vector<std::thread> threads;
        ~CWorkers() {
            stop = true;
            for (std::thread& thread : threads)
                thread.join();
        }
    } workers{stop, {}};
    try {
        for (unsigned i = 0; i < threads; ++i)
            workers.threads.emplace_back(search);
    } catch (const std::system_error&) {
        if (workers.threads.empty())
            return false; // no thread to be had: the walk does it
    }

    if (options.cancel != nullptr)
        output.SetCancel(options.cancel);
    if (progress != nullptr)
        progress->OnProgress(0, size);
    CKeptCopier copier(&inputFile, output);
    std::uint64_t kept = 0; // first input byte not yet copied or left out
    std::uint64_t dropped = 0;
    std::uint64_t lines = 0;
    const std::atomic<bool> neverStop{false};
    for (unsigned k = 0; k < count; ++k) {
        CCleanStretch& stretch = *stretches[k];
        {
            std::unique_lock<std::mutex> lock(doneLock);
            while (!stretch.finished) {
                if (!doneSignal.wait_for(lock, std::chrono::milliseconds(100),
                                         [&] { return stretch.finished.load(); }) &&
                    progress != nullptr) {
                    std::uint64_t bytes = 0;
                    for (const auto& other : stretches)
                        bytes += other->bytesDone.load(std::memory_order_relaxed);
                    lock.unlock();
                    progress->OnProgress(std::min(bytes, size), size);
                    lock.lock();
                }
            }
        }
        // A search stopped by the token ended early: its findings are not to be used.
        if (output.CheckCancel())
            return true;
        if (k > 0 && !stretch.needsLineMode && stretch.startCursor != stretches[k - 1]->endCursor) {
            // The stretch began with a cursor the walk would not have had there (the file is not as the
            // offsets say): it is searched again from the walk's own.
            stretch.drops.clear();
            stretch.lines = 0;
            stretch.startCursor = stretches[k - 1]->endCursor;
            FindDrops(path, stretch, frozen, k + 1 == count, neverStop, options.cancel);
            if (output.CheckCancel())
                return true;
        }
        if (stretch.needsLineMode) {
            // Lines to rewrite: the walk line by line does the whole file, so what was copied goes.
            stop = true;
            if (!output.Rewind())
                return true; // the output failed; the caller reports it
            return false;
        }
        for (const auto& [from, to] : stretch.drops) {
            if (!copier.Copy(kept, from))
                break;
            kept = to;
            ++dropped;
        }
        lines += stretch.lines;
        if (output.Failed())
            break;
    }
    if (!output.Failed())
        copier.Copy(kept, stretches.back()->end);
    if (progress != nullptr)
        progress->OnProgress(stretches.back()->end, size);
    result.recordsExpected = frozenCount;
    result.recordsDropped = dropped;
    result.linesRead = lines;
    result.bytesWritten = output.BytesWritten();
    return true;
}

} // namespace frostmark
