#pragma once

#include <cstdint>
#include <string>

#include "engine/CancelToken.h"
#include "engine/CommandProgress.h"
#include "engine/FreezeList.h"
#include "engine/Stretches.h"

namespace frostmark {

class CFile;
class CLineReader;
class CSafeOutputFile;
class CScriptContext;

enum class LineEnd { Lf, CrLf };

// The line end of the system's own text files, which both programs write unless told otherwise: on
// Windows the server's files, and the editors its administrators use, end their lines with CR LF.
#if defined(_WIN32)
inline constexpr LineEnd kSystemLineEnd = LineEnd::CrLf;
#else
inline constexpr LineEnd kSystemLineEnd = LineEnd::Lf;
#endif

struct CCleanOptions {
    // Every line is written with this ending whatever the input used. LF is the text line end here;
    // CR LF gives files for a server that expects them.
    LineEnd lineEnd = LineEnd::Lf;
    // Unchanged stretches of the input are copied file to file (by the system, without passing through
    // the program) when the input has on average at least this many bytes per frozen record; with
    // many frozen records the stretches are short and copying them line by line is faster. 0: always.
    std::uint64_t minCopyStretch = 256 * 1024;
    // How many threads may look for the records to drop (see CleanWorldOnThreads).
    CScanThreads threads;
    // Stops the clean when cancelled (null: it cannot be). The cleaners below give it to the output, whose
    // next write then fails as cancelled (CSafeOutputFile::Cancelled).
    const CCancelToken* cancel = nullptr;
};

struct CCleanResult : CCommandResult {
    std::uint64_t linesRead = 0; // lines the copy loop read (record bodies read for their serial not counted)
    std::uint64_t recordsDropped = 0;  // item records left out
    std::uint64_t recordsExpected = 0; // records in the freeze list
    std::uint64_t bytesWritten = 0;
    // False when the world file no longer holds the frozen records where the freeze list expects them
    // (it changed since the analysis): callers should warn, since the patch then freezes what stays.
    bool DroppedAsExpected() const { return recordsDropped == recordsExpected; }
};

// Copies the world file line by line, each line followed by the chosen line end, leaving out the item
// records of the frozen objects: the header and body (every line up to the next "[" line) of a
// "[WORLDITEM" record whose serial, the last SERIAL line of its body, is the one the cursor awaits. The
// cursor walks the freeze list in order, one step per dropped record, and stays on the last record at
// the end, so a later record with that serial is dropped too. Each line is read once; a record's lines
// are held until its end decides. Reports progress in input bytes every 1000 lines and once at the end.
// Fills the counts; the caller commits or abandons the output.
// inputFile, when given, is the same input file opened for reading: unchanged stretches of the input
// are then copied file to file instead of line by line.
void CleanWorld(CLineReader& input, CSafeOutputFile& output, const CFreezeList& frozen,
                CScriptContext& context, const CCleanOptions& options, CCleanResult& result,
                ICommandProgress* progress, CFile* inputFile = nullptr);

// CleanWorld with LF output by the plan the analysis left with the freeze list (see CCleanPlan), when
// inputFile is the file in the very state the plan was made for: the output is the input without the
// listed records, copied without reading the input line by line again. False, with nothing written,
// when there is no such plan or the file or the list changed since.
bool CleanWorldByPlan(CFile& inputFile, CSafeOutputFile& output, const CFreezeList& frozen,
                      const CCleanOptions& options, CCleanResult& result, ICommandProgress* progress);

// CleanWorld with LF output on several threads, for a file of `size` bytes at path (inputFile the same file)
// whose lines all end with a lone line feed. Each thread looks for the records to drop in its own
// stretch of the file, with the cursor starting where the freeze list's record offsets put it; the
// output is then the input without those records. The outcome is CleanWorld's exactly: each stretch
// must end with the cursor where the next one began, which holds when the file still has the records
// where the analysis found them. When it does not, when the list lacks offsets, when the file is too
// small to share out or when a line must be rewritten, nothing is written and false is returned: the
// caller then runs CleanWorld. True: the output is complete (or failed, see output) and the counts set.
bool CleanWorldOnThreads(const std::string& path, CFile& inputFile, std::uint64_t size,
                         CSafeOutputFile& output, const CFreezeList& frozen, const CCleanOptions& options,
                         CCleanResult& result, ICommandProgress* progress);

} // namespace frostmark
