#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frostmark {

// How many threads may share out the reading of a world file.
struct CScanThreads {
    // 0: one per processor of the machine (at most 8).
    unsigned threads = 0;
    // A file is cut into no stretch shorter than this.
    std::uint64_t minBytesPerThread = std::uint64_t(32) << 20;
};

// The number of threads to use on a file of this size: at least 1.
unsigned ThreadsFor(std::uint64_t size, const CScanThreads& threads);

// Cuts a file of `size` bytes into `count` stretches that each begin at a line beginning with "[" (the
// first at 0): a record body ends before such a line, so each stretch begins between records. The
// returned offsets are the stretches' beginnings, in order, followed by `size`. A stretch may be empty.
// False (with the reason in error, when given: CCommandResult::kNotEnoughMemory when a line was too long
// for the memory to be had) when the file cannot be read.
bool CutIntoStretches(const std::string& path, std::uint64_t size, unsigned count,
                      std::vector<std::uint64_t>& bounds, std::string* error = nullptr);

} // namespace frostmark
