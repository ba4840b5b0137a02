#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace frostmark {

// Settings of one synthetic world. Shares are per mille of the items (or lines) they apply to; the same
// seed and settings always give the same bytes.
struct SWorldGenOptions {
    std::uint64_t seed = 1;
    // Stop after the item record that reaches this many bytes (0: no byte limit).
    std::uint64_t targetBytes = 0;
    // Stop after this many item records (0: no count limit). With neither limit, 1000 items are written.
    std::uint64_t itemCount = 0;
    bool crlf = false;
    unsigned containedShare = 250;   // items inside a container (CONT line)
    unsigned namedIdShare = 60;      // header ID is a name i_gen_XXXX instead of a hexadecimal ID
    unsigned highIdShare = 30;       // art IDs of 0x4000 and above
    unsigned overrideShare = 40;     // an ID= or DISPID= line overrides the header's ID
    unsigned typeShare = 150;        // items with a TYPE line
    unsigned stackShare = 100;       // items placed on the cell of the item before them
    unsigned staticShare = 300;      // ATTR with 0x8000 (static)
    unsigned neverMoveShare = 300;   // ATTR with 0x0010 (never moveable)
    unsigned lowerCaseKeyShare = 20; // keys written in lower case
    unsigned commentShare = 10;      // a comment line before an item
    unsigned otherSectionShare = 20; // a character or other section before an item
};

// What was written, for callers that check or report it.
struct SWorldGenStats {
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
    std::uint64_t items = 0;
    std::uint64_t topLevel = 0;
    std::uint64_t contained = 0;
    std::uint64_t otherSections = 0;
};

// Receives the generated text in chunks; returns false to stop (a write error).
using WorldSink = std::function<bool(const char* data, std::size_t size)>;

// Streams a synthetic world file to the sink, holding one chunk at a time. Returns false when the sink
// failed. The world uses these conventions (shared with the script generator):
//   - art IDs are 0x0001-0x3FFF for scenery, written with a leading zero ("0eed"); some are 0x4000+;
//   - named IDs are "i_gen_XXXX", XXXX the art ID in four lower-case hex digits; a script set that wants
//     them resolved defines DEFNAME i_gen_XXXX as 0XXXX;
//   - named TYPE values are "t_gen_N" (N decimal), numeric ones decimal ("12") or hexadecimal ("0c");
//   - serials are hexadecimal from 040000001 upward, in file order.
bool GenerateWorld(const SWorldGenOptions& options, const WorldSink& sink, SWorldGenStats* stats = nullptr);

// Convenience: the whole world as one string (tests, small worlds).
std::string GenerateWorldText(const SWorldGenOptions& options, SWorldGenStats* stats = nullptr);

} // namespace frostmark
