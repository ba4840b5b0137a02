#include "engine/WorldCleaner.h"

#include <string_view>

#include "engine/SafeOutputFile.h"
#include "engine/WorldItem.h"
#include "script/LineReader.h"

namespace frostmark {

void CleanWorld(CLineReader& input, CSafeOutputFile& output, const CFreezeList& frozen,
                CScriptContext& /*context*/, const CCleanOptions& options, CCleanResult& result,
                ICommandProgress* progress) {
    const std::string_view lineEnd =
        options.lineEnd == LineEnd::CrLf ? std::string_view("\r\n", 2) : std::string_view("\n", 1);
    const std::size_t frozenCount = frozen.Count();
    std::size_t cursor = 0;
    std::size_t next = 1;
    result.recordsExpected = frozenCount;

    // One pass: the lines of the item record being read are held back (with their line ends) until the
    // record ends, when its serial, the last SERIAL line of its body, decides whether they are written.
    // That gives what reading a record for its serial and then copying it line by line gives, reading
    // each line once; and only one record is held at a time.
    std::string record;
    bool inRecord = false;
    std::uint32_t serial = 0;
    const auto finishRecord = [&]() {
        if (frozenCount != 0 && serial == frozen[cursor].serial) {
            ++result.recordsDropped;
            if (next < frozenCount) {
                cursor = next;
                ++next;
            }
        } else {
            output.Write(record);
        }
        record.clear();
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
        if (!line.empty() && line[0] == '[') {
            if (inRecord)
                finishRecord();
            if (IsWorldItemHeader(line)) {
                inRecord = true;
                serial = 0;
                record.append(line);
                record.append(lineEnd);
                continue;
            }
        } else if (inRecord) {
            // Only a line of the form SERIAL=... can change the serial; test its shape before the key.
            if (line.size() > 6 && line[6] == '=')
                ApplySerialLine(line, serial);
            record.append(line);
            record.append(lineEnd);
            continue;
        }
        output.Write(line);
        output.Write(lineEnd);
    }
    if (inRecord && !output.Failed())
        finishRecord();
    if (progress != nullptr)
        progress->OnProgress(input.Position(), total);
    result.linesRead = lines;
    result.bytesWritten = output.BytesWritten();
}

} // namespace frostmark
