#pragma once

// Command line parsing of frostmark-cli: subcommand, paths, option flags, art ID lists, patch areas.
// Parsing touches no file except the @files of the art ID options.

#include "engine/Selection.h"
#include "engine/WorldCleaner.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace frostmark {

// Exit statuses, distinct per kind of failure so scripts can tell them apart.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // anything not covered below (should not happen)
inline constexpr int kExitUsage = 2;   // bad command line
inline constexpr int kExitInput = 3;   // an input is missing, unreadable or not what it should be
inline constexpr int kExitOutput = 4;  // an output could not be written

enum class CliCommand { None, Help, Version, Analyze, Patch, Clean, Freeze, Inspect, Scripts, Map };

inline constexpr const char* kDefaultPatchFile = "stat_tavrel.frz";

struct CCliOptions {
    CliCommand command = CliCommand::None;
    // Help asked for a subcommand ("frostmark-cli help patch", "frostmark-cli patch --help").
    CliCommand helpTopic = CliCommand::None;

    std::string world;
    std::string patch = kDefaultPatchFile;
    bool patchGiven = false;
    std::string out;
    std::string scripts;
    bool scriptsGiven = false;
    // The positional argument of inspect and scripts.
    std::string operand;

    std::uint32_t flags = 0;
    std::vector<std::uint16_t> excludeArt;
    std::vector<std::uint16_t> includeArt;
    std::vector<CPatchArea> areas;

    bool json = false;
    bool list = false;    // analyze: print the objects to freeze; inspect: every object
    bool progress = true; // --no-progress turns the terminal bar off
    bool quiet = false;   // errors only (and the output asked for: --list, --json, a file on stdout)
    bool verbose = false; // also every file read and written, and every script warning
    // How the cleaned world ends its lines (--line-end); the system's own line end unless given.
    LineEnd lineEnd = kSystemLineEnd;
    bool lineEndGiven = false;

    // map
    std::string clientDir; // empty: FROSTMARK_CLIENT_DIR, else the working directory
    int zoom = -16;        // a zoom level of the map view
    bool centerGiven = false;
    long centerX = 3072;
    long centerY = 2048;
    int width = 384; // the picture's size in pixels
    int height = 256;
    bool showFrozen = false; // analyse first and draw the frozen objects as points

    CFreezeOptions FreezeOptions() const;
};

struct CCliParseResult {
    std::optional<CCliOptions> options;
    // Set on an error: names the option and what is wrong with it.
    std::string error;
    // kExitUsage, or kExitInput when an @file of an art ID option cannot be read.
    int exitCode = kExitOk;
};

// Parses argv[1..] (without the program name). `standardInput` is read for "@-" (art IDs from standard
// input); without it "@-" is refused.
CCliParseResult ParseCommandLine(const std::vector<std::string>& args, std::istream* standardInput = nullptr);

// Parses one value of --exclude-art/--include-art: comma or blank separated hexadecimal IDs, or
// "@file" with one ID per line (read the way the dialog reads its box; "@-" reads standard input).
// Appends to `ids`; on error returns false with `error` set (a bad ID, an unreadable file).
bool ParseArtIdArgument(const std::string& value, std::vector<std::uint16_t>& ids, std::string& error,
                        std::istream* standardInput = nullptr);

// A hexadecimal number as every option reads one: with or without "0x", digits in either case, at most
// `maxDigits` of them after leading zeros. False for anything else.
bool ParseHexNumber(const std::string& text, std::size_t maxDigits, std::uint32_t& value);

// " (did you mean analyze?)" for a mistyped command or option; empty when nothing is close.
std::string CommandSuggestion(const std::string& word);
std::string OptionSuggestion(const std::string& word);

// Parses --area "LEFT,TOP,RIGHT,BOTTOM": four decimal numbers, strictly (a typo must not silently
// become an empty rectangle on the command line).
bool ParseAreaArgument(const std::string& value, CPatchArea& area, std::string& error);

// Help texts: the overview, and one per subcommand (with examples).
std::string UsageText();
std::string CommandHelpText(CliCommand command);
std::string VersionText();
const char* CommandName(CliCommand command);

} // namespace frostmark
