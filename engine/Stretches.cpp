#include "engine/Stretches.h"

#include "engine/CommandProgress.h"

#include <algorithm>
#include <string_view>
#include <thread>

#include "script/LineReader.h"

namespace frostmark {

unsigned ThreadsFor(std::uint64_t size, const CScanThreads& threads) {
    unsigned wanted = threads.threads;
    if (wanted == 0)
        wanted = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    const std::uint64_t perThread = std::max<std::uint64_t>(threads.minBytesPerThread, 1);
    return static_cast<unsigned>(std::clamp<std::uint64_t>(size / perThread, 1, wanted));
}

namespace {

// The offset of the first line at or after `from` that begins with "[", or the file's size.
bool FindStretchStart(CLineReader& reader, std::uint64_t from, std::uint64_t& start) {
    // A file shorter than the number of stretches puts cuts at 0: the stretches before it are empty.
    if (from == 0) {
        start = 0;
        return true;
    }
    if (!reader.Seek(from - 1))
        return false;
    std::string_view line;
    // The rest of the line holding byte from - 1: the next line begins at `from` or later.
    if (reader.ReadLine(line)) {
        while (reader.ReadLine(line)) {
            if (!line.empty() && line[0] == '[') {
                start = reader.LineStart();
                return true;
            }
        }
    }
    start = reader.Size();
    return !reader.Failed();
}

} // namespace

bool CutIntoStretches(const std::string& path, std::uint64_t size, unsigned count,
                      std::vector<std::uint64_t>& bounds, std::string* error) {
    bounds.assign(1, 0);
    CLineReader reader;
    const auto fail = [&] {
        if (error)
            *error = reader.OutOfMemory() ? CCommandResult::kNotEnoughMemory : reader.Error().message;
        return false;
    };
    if (count > 1 && !reader.Open(path))
        return fail();
    for (unsigned i = 1; i < count; ++i) {
        std::uint64_t start = 0;
        if (!FindStretchStart(reader, size / count * i, start))
            return fail();
        bounds.push_back(std::max(std::min(start, size), bounds.back()));
    }
    bounds.push_back(size);
    return true;
}

} // namespace frostmark
