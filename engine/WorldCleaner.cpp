#include "engine/WorldCleaner.h"

#include <string_view>

#include "engine/SafeOutputFile.h"
#include "engine/WorldItem.h"
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

} // namespace

void CleanWorld(CLineReader& input, CSafeOutputFile& output, const CFreezeList& frozen,
                CScriptContext& /*context*/, const CCleanOptions& options, CCleanResult& result,
                ICommandProgress* progress, int inputFd) {
    const std::string_view lineEnd =
        options.lineEnd == LineEnd::CrLf ? std::string_view("\r\n", 2) : std::string_view("\n", 1);
    const bool lfOut = options.lineEnd == LineEnd::Lf;
    const std::size_t frozenCount = frozen.Count();
    std::size_t cursor = 0;
    std::size_t next = 1;
    result.recordsExpected = frozenCount;
    // The cursor: is this serial the one awaited? Moves on when it is.
    const auto dropSerial = [&](std::uint32_t serial) {
        if (frozenCount == 0 || serial != frozen[cursor].serial)
            return false;
        ++result.recordsDropped;
        if (next < frozenCount) {
            cursor = next;
            ++next;
        }
        return true;
    };

    // Two ways to produce the same output.
    //
    // Span mode, while every line read so far ended with a lone line feed and the output wants line
    // feeds: then the output is the input minus the dropped records' bytes, so only the offsets of the
    // records are tracked and the kept stretches are copied file to file. At the first line that has to
    // be rewritten (a CR LF end, or a last line without an end) the rest is done in
    // line mode, going back to the start of the record being read if there is one.
    //
    // Line mode: the lines of the item record being read are held back (with their line ends) until the
    // record ends, when its serial, the last SERIAL line of its body, decides whether they are written.
    // That gives what reading a record for its serial and then copying it line by line gives, reading
    // each line once; and only one record is held at a time.
    bool spanMode = lfOut && inputFd >= 0;
    std::uint64_t spanStart = 0;   // span mode: first input byte not yet copied or left out
    std::uint64_t recordStart = 0; // span mode: offset of the header of the record being read
    std::string record;            // line mode: the record being read
    bool inRecord = false;
    std::uint32_t serial = 0;

    const auto copySpan = [&](std::uint64_t end) {
        if (end > spanStart)
            output.CopyFrom(inputFd, spanStart, end - spanStart);
        spanStart = end;
    };
    const auto finishRecord = [&](std::uint64_t recordEnd) {
        const bool dropped = dropSerial(serial);
        if (spanMode) {
            if (dropped) {
                copySpan(recordStart);
                spanStart = recordEnd;
            }
        } else {
            if (!dropped)
                output.Write(record);
            record.clear();
        }
        inRecord = false;
    };

    std::string_view line;
    std::uint64_t lines = 0;
    const std::uint64_t total = input.Size();
    if (progress != nullptr)
        progress->OnProgress(0, total);
    while (input.ReadLine(line)) {
        if (++lines % 1000 == 0) {
            if (progress != nullptr)
                progress->OnProgress(input.Position(), total);
            if (output.Failed())
                break;
        }
        // A line the input ended with a lone line feed is followed by that line feed in the reader's
        // buffer; with LF output the line and its end then go out as one piece.
        const bool plainLf = lfOut && input.Position() - input.LineStart() == line.size() + 1;
        const bool bracket = !line.empty() && line[0] == '[';
        if (spanMode) {
            if (plainLf) {
                if (bracket) {
                    if (inRecord)
                        finishRecord(input.LineStart());
                    if (IsWorldItemHeader(line)) {
                        inRecord = true;
                        recordStart = input.LineStart();
                        serial = 0;
                    }
                } else if (inRecord && line.size() > 6 && line[6] == '=') {
                    ApplySerialLine(line, serial);
                }
                continue;
            }
            spanMode = false;
            if (inRecord) {
                // Read the record again in line mode, from its header.
                copySpan(recordStart);
                inRecord = false;
                if (!input.Seek(recordStart)) {
                    result.Fail(input.Path(), "the file changed while it was read", "Unable to read");
                    return;
                }
                continue;
            }
            copySpan(input.LineStart());
        }
        if (bracket) {
            if (inRecord)
                finishRecord(input.LineStart());
            if (IsWorldItemHeader(line)) {
                inRecord = true;
                serial = 0;
                AppendLine(record, line, plainLf, lineEnd);
                continue;
            }
        } else if (inRecord) {
            // Only a line of the form SERIAL=... can change the serial; test its shape before the key.
            if (line.size() > 6 && line[6] == '=')
                ApplySerialLine(line, serial);
            AppendLine(record, line, plainLf, lineEnd);
            continue;
        }
        if (plainLf) {
            output.Write(line.data(), line.size() + 1);
        } else {
            output.Write(line);
            output.Write(lineEnd);
        }
    }
    if (!output.Failed()) {
        if (inRecord)
            finishRecord(input.Position());
        if (spanMode)
            copySpan(input.Position());
    }
    if (progress != nullptr)
        progress->OnProgress(input.Position(), total);
    result.linesRead = lines;
    result.bytesWritten = output.BytesWritten();
}

} // namespace frostmark
