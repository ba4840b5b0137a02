#include "engine/WorldCleaner.h"

#include <string_view>

#include "engine/SafeOutputFile.h"
#include "engine/WorldItem.h"
#include "script/LineReader.h"

namespace frostmark {

void CleanWorld(CLineReader& input, CSafeOutputFile& output, const CFreezeList& frozen,
                CScriptContext& context, const CCleanOptions& options, CCleanResult& result,
                ICommandProgress* progress) {
    const std::string_view lineEnd =
        options.lineEnd == LineEnd::CrLf ? std::string_view("\r\n", 2) : std::string_view("\n", 1);
    const std::size_t frozenCount = frozen.Count();
    std::size_t cursor = 0;
    std::size_t next = 1;
    result.recordsExpected = frozenCount;

    CWorldItem item;
    std::string_view line;
    std::uint64_t lines = 0;
    const std::uint64_t total = input.Size();
    if (progress != nullptr)
        progress->OnProgress(0, total);
    while (input.ReadLine(line)) {
        ++lines;
        if (line.size() >= 10 && line[0] == '[' && IsWorldItemHeader(line)) {
            const std::uint64_t headerStart = input.LineStart();
            item.Reset();
            ReadWorldItemBody(input, item, context);
            if (frozenCount != 0 && item.serial == frozen[cursor].serial) {
                ++result.recordsDropped;
                if (next < frozenCount) {
                    cursor = next;
                    ++next;
                }
            } else {
                // Kept: go back to the header and copy it; the loop then copies the body lines as they come.
                if (!input.Seek(headerStart) || !input.ReadLine(line)) {
                    result.Fail(input.Path(), "the file changed while it was read", "Unable to read");
                    break;
                }
                output.Write(line);
                output.Write(lineEnd);
            }
        } else {
            output.Write(line);
            output.Write(lineEnd);
        }
        if (progress != nullptr && lines % 1000 == 0)
            progress->OnProgress(input.Position(), total);
        if (output.Failed())
            break;
    }
    if (progress != nullptr)
        progress->OnProgress(input.Position(), total);
    result.linesRead = lines;
    result.bytesWritten = output.BytesWritten();
}

} // namespace frostmark
