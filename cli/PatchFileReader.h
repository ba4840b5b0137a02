#pragma once

// Reads a freeze patch file back, checking every field the writer promises, for `inspect` and for the
// check that `clean` only drops what a patch file holds.

#include <cstdint>
#include <string>
#include <vector>

namespace frostmark {

struct CPatchObject {
    std::uint16_t art = 0;
    std::uint8_t x = 0; // inside the block, 0..7
    std::uint8_t y = 0;
    std::uint8_t z = 0;
    std::uint16_t color = 0;
    bool operator==(const CPatchObject&) const = default;
};

struct CPatchGroup {
    std::uint32_t block = 0;
    std::vector<CPatchObject> objects;
    // World tile of the block's top-left corner.
    std::uint32_t OriginX() const { return (block / 512) * 8; }
    std::uint32_t OriginY() const { return (block % 512) * 8; }
};

struct CPatchFileContents {
    bool ok = false;
    bool unreadable = false; // the file could not be opened or read (as opposed to bad contents)
    std::string error;       // "<path>: <reason>" when not ok
    std::vector<std::string> warnings;
    std::uint64_t size = 0;
    std::uint32_t declaredGroups = 0;
    std::vector<CPatchGroup> groups;
    std::uint64_t ObjectCount() const;
};

// Reads and checks the whole file: the 6-byte header with the magic 0xF00D, then exactly the declared
// number of groups of kind 2, in strictly ascending block order inside the world (768 x 512 blocks),
// each with a length that is a non-zero multiple of 7 and fits the file, and nothing after the last
// group. Objects out of cell order are reported as warnings. Only a regular file is read: a directory,
// device or FIFO is refused (unreadable) before a byte is read.
CPatchFileContents ReadPatchFile(const std::string& path);
// The same checks on bytes already read (standard input); `name` stands for the path in messages.
CPatchFileContents ParsePatchBytes(const std::vector<unsigned char>& data, const std::string& name);

// The bytes of a patch file holding `contents` (its groups in their order): what ParsePatchBytes read, for
// every file it accepts.
std::vector<unsigned char> EncodePatchFile(const CPatchFileContents& contents);

} // namespace frostmark
