#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace frostmark {

// Settings of one synthetic script set of the newer layout (scripts listed in the resource table of
// "tavrel.ini"). The same seed and settings always give the same bytes. Shares are per mille.
//
// The set matches the worlds of frostmark-worldgen:
//   - item definitions 1 to 0x3FFF are [ITEMDEF 0xxxx] (the ID as the world writes it, so the lookup of a
//     world item's ID text hits the definition at once), each with DEFNAME=i_gen_xxxx, so named world IDs
//     resolve to the art ID; definitions beyond 0x3FFF are named ones, [ITEMDEF i_scn_NNNNNN];
//   - TYPE values are written as t_gen_N (defined in a [DEFNAME types] section), decimal or hexadecimal;
//   - everything else (characters, templates, regions, tables, constants) is there so that every loader
//     path runs, not for its content.
struct SScriptGenOptions {
    std::uint64_t seed = 1;
    std::uint64_t itemDefs = 1000;     // [ITEMDEF] sections in all
    std::uint64_t itemsPerFile = 5000; // item definitions per items_NNN.scp file (at least 1)
    std::uint64_t charDefs = 100;
    std::uint64_t templates = 20;
    std::uint64_t areas = 40;      // areas; as many rooms and locations again
    std::uint64_t constants = 500; // plain constants in [DEFNAME generated] sections
    unsigned typeShare = 600;      // item definitions with a TYPE line
    unsigned triggerShare = 400;   // item definitions with an ONTRIGGER block
    unsigned noIndexShare = 30;    // item definitions marked NOINDEX
    unsigned dupeShare = 50;       // item definitions with a DUPEITEM line
    unsigned lowerCaseShare = 20;  // headers and keys written in lower case
    bool crlf = false;
    bool shuffle = false; // item definitions in random order rather than by ID
};

// What was written.
struct SScriptGenStats {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
    std::uint64_t itemDefs = 0;        // [ITEMDEF] sections written
    std::uint64_t namedItemDefs = 0;   // of them with a name rather than a hexadecimal ID
    std::uint64_t noIndexItemDefs = 0; // of them marked NOINDEX
    std::uint64_t charDefs = 0;
    std::uint64_t templates = 0;
    std::uint64_t areas = 0;
    std::uint64_t rooms = 0;
    std::uint64_t locations = 0;
    std::uint64_t constants = 0; // DEFNAME lines in [DEFNAME] sections (DEFNAME keys of items not counted)
    std::uint64_t resourceLines = 0;
};

// Writes a script set into `directory`: "tavreltables.scp", "tavrel.ini" (SCPFILES=scripts and the
// [RESOURCES] list), "hoglocs.scp" and the listed files in "scripts/", plus one file in "scripts/" that the
// resource table does not list, which the loader finds by its scan. The directory is created when
// missing; it must not hold a "tavrel.ini" already unless `overwrite` is set, so an existing script set is
// never written over by mistake. Each file is written under a temporary name and renamed when complete.
// False, with `error` set, when the directory is not usable or a file cannot be written.
bool GenerateScriptSet(const SScriptGenOptions& options, const std::filesystem::path& directory,
                       bool overwrite, SScriptGenStats* stats, std::string* error);

// The art ID of item definition number `index` (0-based) when it has one: index + 1 for the first 0x3FFF
// definitions, 0 for the named ones beyond.
std::uint32_t GeneratedItemArtId(std::uint64_t index);

// The TYPE the generator gives definition number `index`, or -1 when it writes no TYPE line, so tests can
// check a loaded set against what was written without parsing the files again.
std::int32_t GeneratedItemType(const SScriptGenOptions& options, std::uint64_t index);

} // namespace frostmark
