#include "cli/CliOptions.h"

#include "mapview/MapGeometry.h"
#include "mapview/MapRender.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <istream>

namespace frostmark {

namespace {

struct FlagOption {
    const char* name;
    std::uint32_t bit;
    const char* help;
};

// One flag per checkbox of the dialog's Options group.
constexpr FlagOption kFlagOptions[] = {
    {"--never-moveable", OPT_NEVER_MOVEABLE, "include objects with ATTR bit 010 (Never Moveable)"},
    {"--static", OPT_STATIC, "include objects with ATTR bit 08000 (Static)"},
    {"--exclude-typed", OPT_EXCLUDE_TYPED, "exclude any object with a TYPE value"},
    {"--exclude-doors", OPT_EXCLUDE_DOORS, "exclude doors"},
    {"--exclude-signs", OPT_EXCLUDE_SIGNS, "exclude signs"},
    {"--exclude-lights", OPT_EXCLUDE_LIGHTS, "exclude lights"},
    {"--exclude-containers", OPT_EXCLUDE_CONTAINERS, "exclude containers"},
};

struct CommandEntry {
    const char* name;
    CliCommand command;
};

constexpr CommandEntry kCommands[] = {
    {"analyze", CliCommand::Analyze}, {"patch", CliCommand::Patch},     {"clean", CliCommand::Clean},
    {"freeze", CliCommand::Freeze},   {"inspect", CliCommand::Inspect}, {"scripts", CliCommand::Scripts},
    {"map", CliCommand::Map},         {"help", CliCommand::Help},       {"version", CliCommand::Version},
};

std::optional<CliCommand> LookupCommand(const std::string& name) {
    for (const CommandEntry& entry : kCommands)
        if (name == entry.name)
            return entry.command;
    return std::nullopt;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A whole-text decimal number, sign allowed, within long.
bool ParseLongStrict(const std::string& text, long& value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str())
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    value = v;
    return true;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t pos = text.find(separator, start);
        parts.push_back(text.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
        if (pos == std::string::npos)
            break;
        start = pos + 1;
    }
    return parts;
}

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Every long and short option, for suggestions.
constexpr const char* kOptionNames[] = {
    "--world",
    "--patch",
    "--out",
    "--scripts",
    "--never-moveable",
    "--static",
    "--exclude-typed",
    "--exclude-doors",
    "--exclude-signs",
    "--exclude-lights",
    "--exclude-containers",
    "--flags",
    "--exclude-art",
    "--include-art",
    "--area",
    "--json",
    "--list",
    "--no-progress",
    "--line-end",
    "--quiet",
    "--verbose",
    "--client-dir",
    "--zoom",
    "--center",
    "--size",
    "--frozen",
    "--help",
    "--version",
    "-w",
    "-p",
    "-o",
    "-s",
    "-q",
    "-v",
    "-h",
    "-V",
};

// Edits (insertions, deletions, changes, swaps of neighbours) that turn one text into the other.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// " (did you mean X?)" for the closest candidate within a few edits, or the only one the word begins;
// empty when nothing is close.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
    const std::string lowered = Lower(word);
    std::string best;
    std::size_t bestDistance = std::string::npos;
    std::vector<std::string> extensions;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(lowered, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
        if (lowered.size() >= 3 && candidate.rfind(lowered, 0) == 0)
            extensions.push_back(candidate);
    }
    // Short words are easily close to anything: a two-letter option is one edit from many others.
    const std::size_t allowed = std::max<std::size_t>(1, std::min<std::size_t>(3, lowered.size() / 4));
    if (!best.empty() && bestDistance <= allowed && lowered.size() > 2)
        return " (did you mean " + best + "?)";
    if (extensions.size() == 1)
        return " (did you mean " + extensions.front() + "?)";
    return {};
}

} // namespace

bool ParseHexNumber(const std::string& text, std::size_t maxDigits, std::uint32_t& value) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty())
        return false;
    // Leading zeros never count against the width: 00000eed is 0eed.
    const std::size_t significant = digits.find_first_not_of('0');
    for (char c : digits)
        if (!IsHexDigit(c))
            return false;
    if (significant != std::string::npos && digits.size() - significant > maxDigits)
        return false;
    value = significant == std::string::npos
                ? 0
                : static_cast<std::uint32_t>(std::strtoul(digits.c_str() + significant, nullptr, 16));
    return true;
}

std::string CommandSuggestion(const std::string& word) {
    std::vector<std::string> names;
    for (const CommandEntry& entry : kCommands)
        names.push_back(entry.name);
    return DidYouMean(word, names);
}

std::string OptionSuggestion(const std::string& word) {
    return DidYouMean(word, std::vector<std::string>(std::begin(kOptionNames), std::end(kOptionNames)));
}

CFreezeOptions CCliOptions::FreezeOptions() const {
    CFreezeOptions options;
    options.flags = flags;
    options.excludeArt = excludeArt;
    options.includeArt = includeArt;
    options.areas = areas;
    return options;
}

const char* CommandName(CliCommand command) {
    for (const CommandEntry& entry : kCommands)
        if (entry.command == command)
            return entry.name;
    return "";
}

bool ParseArtIdArgument(const std::string& value, std::vector<std::uint16_t>& ids, std::string& error,
                        std::istream* standardInput) {
    if (!value.empty() && value[0] == '@') {
        const std::string path = value.substr(1);
        // The file is read the way the dialog reads its box (one ID per line, anything else skipped),
        // except that an ID may be written 0x0eed as on the command line. Only a line's first characters
        // count, and an ID the list holds already adds nothing to it, so the memory taken is bounded
        // whatever the file holds (a device such as /dev/zero is refused, standard input may be endless).
        std::vector<bool> listed(0x10000, false);
        for (std::uint16_t id : ids)
            listed[id] = true;
        std::string line;
        const auto endLine = [&] {
            const std::string trimmed = Trim(line);
            const bool prefixed =
                trimmed.size() > 2 && trimmed[0] == '0' && (trimmed[1] == 'x' || trimmed[1] == 'X');
            const std::uint16_t id = ParseArtIdLine(prefixed ? std::string_view(trimmed).substr(2) : line);
            if (id != 0 && !listed[id]) {
                listed[id] = true;
                ids.push_back(id);
            }
            line.clear();
        };
        const auto take = [&](const char* bytes, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) {
                if (bytes[i] == '\n')
                    endLine();
                else if (line.size() < 512)
                    line += bytes[i];
            }
        };
        char chunk[1 << 16];
        if (path == "-") {
            if (!standardInput) {
                error = "standard input is read only once on a command line";
                return false;
            }
            while (standardInput->read(chunk, sizeof chunk) || standardInput->gcount() > 0)
                take(chunk, static_cast<std::size_t>(standardInput->gcount()));
        } else {
            CFile file;
            if (!file.OpenRegular(path)) {
                const CFileError& failure = file.Error();
                error = path + ": " +
                        (failure.kind == FileErrorKind::IsDirectory ? "is a directory" : failure.message);
                return false;
            }
            std::int64_t got = 0;
            while ((got = file.Read(chunk, sizeof chunk)) > 0)
                take(chunk, static_cast<std::size_t>(got));
            if (got < 0) {
                error = path + ": " + file.Error().message;
                return false;
            }
        }
        if (!line.empty())
            endLine();
        return true;
    }
    std::string normalised = value;
    for (char& c : normalised)
        if (c == ' ' || c == '\t')
            c = ',';
    for (const std::string& raw : SplitAt(normalised, ',')) {
        if (raw.empty())
            continue;
        std::uint32_t id = 0;
        if (!ParseHexNumber(raw, 8, id)) {
            error = "'" + raw + "' is not a hexadecimal art ID";
            return false;
        }
        if (id == 0 || id > 0xFFFF) {
            error = "'" + raw + "' is outside the art IDs 1 to ffff";
            return false;
        }
        ids.push_back(static_cast<std::uint16_t>(id));
    }
    return true;
}

bool ParseAreaArgument(const std::string& value, CPatchArea& area, std::string& error) {
    std::vector<std::string> parts = SplitAt(value, ',');
    if (parts.size() != 4) {
        error = "'" + value + "' must be LEFT,TOP,RIGHT,BOTTOM";
        return false;
    }
    long numbers[4];
    for (int i = 0; i < 4; ++i) {
        const std::string part = Trim(parts[i]);
        if (!ParseLongStrict(part, numbers[i])) {
            error = "'" + part + "' in '" + value + "' is not a decimal number";
            return false;
        }
    }
    area = CPatchArea{numbers[0], numbers[1], numbers[2], numbers[3]};
    if (area.left >= area.right || area.top >= area.bottom) {
        error = "'" + value + "' is an empty rectangle (right and bottom must exceed left and top)";
        return false;
    }
    return true;
}

CCliParseResult ParseCommandLine(const std::vector<std::string>& args, std::istream* standardInput) {
    CCliParseResult result;
    CCliOptions options;
    auto fail = [&](const std::string& message, int code = kExitUsage) {
        result.error = message;
        result.exitCode = code;
        result.options.reset();
        return result;
    };

    std::size_t i = 0;
    if (args.empty())
        return fail("no command given");

    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        options.command = CliCommand::Help;
        if (args.size() > 1) {
            if (auto topic = LookupCommand(args[1]))
                options.helpTopic = *topic;
        }
        result.options = options;
        return result;
    }
    if (first == "--version" || first == "-V") {
        options.command = CliCommand::Version;
        result.options = options;
        return result;
    }
    auto command = LookupCommand(first);
    if (!command) {
        if (!first.empty() && first[0] == '-')
            return fail("'" + first + "' comes before any command; the command comes first (e.g. analyze)");
        return fail("unknown command '" + first + "'" + CommandSuggestion(first));
    }
    options.command = *command;
    ++i;

    if (options.command == CliCommand::Help) {
        if (i < args.size()) {
            auto topic = LookupCommand(args[i]);
            if (!topic)
                return fail("help: unknown command '" + args[i] + "'" + CommandSuggestion(args[i]));
            options.helpTopic = *topic;
        }
        result.options = options;
        return result;
    }
    if (options.command == CliCommand::Version) {
        result.options = options;
        return result;
    }

    bool flagsGiven = false;
    std::uint32_t flagWord = 0;
    std::uint32_t flagBits = 0;
    bool zoomGiven = false;
    bool endOfOptions = false;
    // What reads standard input ("-" or "@-"): it can be read only once.
    std::vector<std::string> stdinReaders;
    auto readsStdin = [&](const std::string& what) {
        stdinReaders.push_back(what);
        return stdinReaders.size() == 1;
    };
    auto stdinTwice = [&]() {
        return fail("standard input can be read only once: " + stdinReaders[0] + " and " + stdinReaders[1] +
                    " both ask for it");
    };

    for (; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string inlineValue;
        bool hasInline = false;
        if (!endOfOptions && arg.rfind("--", 0) == 0 && arg.size() > 2) {
            std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInline = true;
            }
        }
        // Fetches the option's value, from "--opt=value" or the next argument.
        auto value = [&](std::string& out) -> bool {
            if (hasInline) {
                out = inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        auto needsValue = [&](const std::string& what) { return fail(arg + ": needs " + what); };

        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
            if (options.command != CliCommand::Inspect && options.command != CliCommand::Scripts)
                return fail("unexpected argument '" + arg + "' (options start with --)" +
                            CommandSuggestion(arg));
            if (!options.operand.empty())
                return fail("unexpected second argument '" + arg + "'");
            if (arg == "-" && options.command == CliCommand::Scripts)
                return fail("scripts: '-' would be standard input, but a script set is a directory: name it");
            if (arg == "-" && !readsStdin("the patch file '-'"))
                return stdinTwice();
            options.operand = arg;
            continue;
        }
        if (arg == "--") {
            endOfOptions = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.helpTopic = options.command;
            options.command = CliCommand::Help;
            result.options = options;
            return result;
        }

        bool isFlag = false;
        for (const FlagOption& flag : kFlagOptions) {
            if (arg == flag.name) {
                if (hasInline)
                    return fail(arg + ": takes no value");
                flagBits |= flag.bit;
                isFlag = true;
            }
        }
        if (isFlag)
            continue;

        std::string v;
        if (arg == "--world" || arg == "-w") {
            if (!value(v) || v.empty())
                return needsValue("the path of the world file");
            if (v == "-" && !readsStdin("--world -"))
                return stdinTwice();
            options.world = v;
        } else if (arg == "--patch" || arg == "-p") {
            if (!value(v) || v.empty())
                return needsValue("the path of the patch file");
            options.patch = v;
            options.patchGiven = true;
        } else if (arg == "--out" || arg == "-o") {
            if (!value(v) || v.empty())
                return needsValue("the path of the output file");
            options.out = v;
        } else if (arg == "--scripts" || arg == "-s") {
            if (!value(v) || v.empty())
                return needsValue("the script directory");
            if (v == "-")
                return fail(
                    "--scripts: '-' would be standard input, but the script set is a directory: name it");
            options.scripts = v;
            options.scriptsGiven = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--flags") {
            if (!value(v) || v.empty())
                return needsValue("a hexadecimal option word (e.g. 108010)");
            std::uint32_t word = 0;
            if (!ParseHexNumber(v, 8, word))
                return fail("--flags: '" + v + "' is not a hexadecimal number");
            if (word & ~OPT_ALL) {
                char buffer[96];
                std::snprintf(buffer, sizeof buffer,
                              "--flags: %x holds bits that are no option (options: %x)", word & ~OPT_ALL,
                              OPT_ALL);
                return fail(buffer);
            }
            flagWord |= word;
            flagsGiven = true;
        } else if (arg == "--exclude-art" || arg == "--include-art") {
            if (!value(v))
                return needsValue("hexadecimal art IDs (e.g. 0eed,0eee or @file)");
            std::string error;
            bool exclude = arg == "--exclude-art";
            if (v == "@-" && !readsStdin(arg + " @-"))
                return stdinTwice();
            if (!ParseArtIdArgument(v, exclude ? options.excludeArt : options.includeArt, error,
                                    standardInput))
                return fail(arg + ": " + error, !v.empty() && v[0] == '@' ? kExitInput : kExitUsage);
        } else if (arg == "--area") {
            if (!value(v))
                return needsValue("LEFT,TOP,RIGHT,BOTTOM");
            CPatchArea area;
            std::string error;
            if (!ParseAreaArgument(v, area, error))
                return fail("--area: " + error);
            options.areas.push_back(area);
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--no-progress") {
            options.progress = false;
        } else if (arg == "--line-end") {
            if (!value(v) || v.empty())
                return needsValue("lf or crlf");
            if (Lower(v) == "lf")
                options.lineEnd = LineEnd::Lf;
            else if (Lower(v) == "crlf")
                options.lineEnd = LineEnd::CrLf;
            else
                return fail("--line-end: '" + v + "' is no line end (lf or crlf)");
            options.lineEndGiven = true;
        } else if (arg == "--client-dir") {
            if (!value(v) || v.empty())
                return needsValue("the game client's directory");
            if (v == "-")
                return fail("--client-dir: '-' would be standard input, but the client's files are a "
                            "directory: name it");
            options.clientDir = v;
        } else if (arg == "--zoom") {
            long zoom = 0;
            if (!value(v) || !ParseLongStrict(v, zoom) || !IsZoomLevel(static_cast<int>(zoom)))
                return fail(
                    "--zoom: '" + v +
                    "' is no zoom level (-16, -8, -4, -2, -1: tiles per pixel; 1, 2, 4, 8, 16, 32: pixels "
                    "per tile)");
            options.zoom = static_cast<int>(zoom);
            zoomGiven = true;
        } else if (arg == "--center") {
            if (!value(v))
                return needsValue("X,Y in world tiles");
            std::vector<std::string> parts = SplitAt(v, ',');
            long x = 0, y = 0;
            if (parts.size() != 2 || !ParseLongStrict(Trim(parts[0]), x) ||
                !ParseLongStrict(Trim(parts[1]), y))
                return fail("--center: '" + v + "' must be X,Y in world tiles");
            if (x < 0 || x >= 6144 || y < 0 || y >= 4096)
                return fail("--center: '" + v + "' lies outside the world (0-6143, 0-4095)");
            options.centerX = x;
            options.centerY = y;
            options.centerGiven = true;
        } else if (arg == "--size") {
            if (!value(v))
                return needsValue("WIDTHxHEIGHT in pixels");
            const std::size_t cross = v.find_first_of("xX");
            long w = 0, h = 0;
            if (cross == std::string::npos || !ParseLongStrict(Trim(v.substr(0, cross)), w) ||
                !ParseLongStrict(Trim(v.substr(cross + 1)), h))
                return fail("--size: '" + v + "' must be WIDTHxHEIGHT in pixels, e.g. 1920x1080");
            if (w < 1 || h < 1 || w > kMaxRenderSide || h > kMaxRenderSide)
                return fail("--size: '" + v + "' must be between 1x1 and " + std::to_string(kMaxRenderSide) +
                            "x" + std::to_string(kMaxRenderSide));
            options.width = static_cast<int>(w);
            options.height = static_cast<int>(h);
        } else if (arg == "--frozen") {
            options.showFrozen = true;
        } else {
            return fail("unknown option '" + arg + "'" + OptionSuggestion(arg));
        }
    }
    if (options.quiet && options.verbose)
        return fail("--quiet and --verbose ask for opposite things; give one of them");
    if (options.list && options.command != CliCommand::Analyze && options.command != CliCommand::Inspect)
        return fail("--list: only analyze and inspect list objects");
    if (options.lineEndGiven && options.command != CliCommand::Clean && options.command != CliCommand::Freeze)
        return fail("--line-end: only clean and freeze write a world file");
    options.flags = flagBits | (flagsGiven ? flagWord : 0);

    // What each command needs, and where "-" (standard input or output) can take the place of a file.
    const bool patchIsDash = options.patchGiven && options.patch == "-";
    const bool outIsDash = options.out == "-";
    switch (options.command) {
    case CliCommand::Analyze:
    case CliCommand::Patch:
        if (options.world.empty())
            return fail("--world: the world file is required");
        if (options.command == CliCommand::Patch && patchIsDash && options.json)
            return fail("--json: standard output already carries the patch file (--patch -)");
        break;
    case CliCommand::Clean:
    case CliCommand::Freeze:
        if (options.world.empty())
            return fail("--world: the world file is required");
        if (options.out.empty())
            return fail("--out: the output world file is required");
        if (outIsDash)
            return fail("--out -: the cleaned world is written beside its target and put in place only "
                        "when complete, so that a failure never leaves a cut-off world where a good one is "
                        "expected; standard output cannot be written that way: name a file");
        if (options.command == CliCommand::Freeze && patchIsDash)
            return fail(
                "--patch -: freeze puts the cleaned world in place only once the patch file is safely "
                "written; on standard output nothing would keep it: name a file (or run "
                "'patch --patch -' and 'clean' one after the other)");
        if (options.command == CliCommand::Clean && patchIsDash && !readsStdin("--patch -"))
            return stdinTwice();
        break;
    case CliCommand::Inspect:
        if (options.operand.empty()) {
            options.operand = options.patchGiven ? options.patch : "";
            if (options.operand == "-" && !readsStdin("--patch -"))
                return stdinTwice();
        }
        if (options.operand.empty())
            return fail("inspect: name the patch file to inspect");
        break;
    case CliCommand::Scripts:
        if (options.operand.empty())
            options.operand = options.scripts;
        if (options.operand.empty())
            return fail("scripts: name the script directory to load");
        break;
    case CliCommand::Map: {
        if (options.out.empty())
            return fail("--out: the path of the PNG image to write is required");
        std::string extension = Lower(std::filesystem::path(options.out).extension().string());
        if (!outIsDash && extension != ".png")
            return fail("--out: map writes PNG images only; name the image '" +
                        std::filesystem::path(options.out).replace_extension(".png").string() + "'");
        if (outIsDash && options.json)
            return fail("--json: standard output already carries the image (--out -)");
        if (options.showFrozen && options.world.empty())
            return fail("--frozen: needs --world (and usually --scripts) to analyse");
        break;
    }
    default:
        break;
    }
    (void)zoomGiven;
    result.options = options;
    return result;
}

std::string VersionText() {
    return "frostmark-cli 1.04\n";
}

std::string UsageText() {
    return R"(Usage: frostmark-cli COMMAND [OPTIONS]

Picks the static scenery out of a Tavrel world file, writes it into a freeze patch file
grouped by 8x8 map blocks, and writes a copy of the world file without it.

Commands:
  analyze   read the scripts and the world file; print the top-level count, the number of
            objects to freeze and the approximate patch file size
  patch     analyze, then write the freeze patch file (--patch, default stat_tavrel.frz)
  clean     analyze, then write the world file without the frozen objects (--out);
            the patch file must already hold exactly those objects
  freeze    analyze, patch and clean in one run (the three buttons in order)
  inspect   check a freeze patch file and summarise it (--list: every object)
  scripts   load a script directory and show what it holds
  map       draw the radar map of the world as a PNG image
  help      help on a command: frostmark-cli help COMMAND

Files ("-" is standard input or output where that can work: --world - from a redirected file,
patch --patch - and map --out - to stdout, clean --patch - and inspect - from stdin):
  -w, --world FILE       the world file to read
  -p, --patch FILE       the freeze patch file (default stat_tavrel.frz)
  -o, --out FILE         the output world file (map: the PNG image)
  -s, --scripts DIR      the server's script directory
      --line-end lf|crlf the cleaned world's line ends (default: crlf on Windows, lf elsewhere)

Selection (as the Options group of the desktop program):
      --never-moveable   include objects with ATTR bit 010
      --static           include objects with ATTR bit 08000
      --exclude-typed    exclude any object with a TYPE value
      --exclude-doors, --exclude-signs, --exclude-lights, --exclude-containers
      --flags HEX        the option word as stored in the settings (e.g. 108010); adds to the above
      --exclude-art IDS  hexadecimal art IDs never to freeze: 0eed,0x0eee or @FILE (one per
                         line; @- reads stdin); may be repeated
      --include-art IDS  hexadecimal art IDs always to freeze (unless excluded or outside the areas)
      --area L,T,R,B     freeze only inside this rectangle of world tiles (right, bottom outside);
                         may be repeated

Map:
      --client-dir DIR   the game client's directory (default $FROSTMARK_CLIENT_DIR, else .)
      --zoom N           -16, -8, -4, -2, -1 (tiles per pixel) or 1, 2, 4, 8, 16, 32 (pixels per tile)
      --center X,Y       the centre in world tiles (default 3072,2048)
      --size WxH         the picture's size in pixels (default 384x256)
      --out IMAGE.png    the image to write (PNG only; - for stdout)
      --frozen           analyse (--world, --scripts, selection) and mark the objects to freeze

Output (results on stdout, progress, warnings and errors on stderr):
      --json             print the result as one JSON object (hex values as "0x..." text)
      --list             analyze: every object to freeze; inspect: every object; as a
                         tab-separated table with a header line, the figures then on stderr
      --no-progress      no progress bar (it is drawn on stderr only when stderr is a terminal)
  -q, --quiet            print only errors (and what --list or --json asked for)
  -v, --verbose          also print every file read and written, and every script warning
  -h, --help             this help; COMMAND --help for a command's
  -V, --version          the version

Hexadecimal values (--flags, art IDs) may be written with or without 0x, in either case.

Exit status: 0 done, 2 bad command line, 3 an input cannot be read or is invalid,
4 an output cannot be written, 1 any other failure, 130 or 143 stopped by SIGINT or
SIGTERM (every existing file as it was).

Examples:
  frostmark-cli analyze --world tavrel.wsc --scripts scripts --static --never-moveable --exclude-doors
  frostmark-cli freeze -w tavrel.wsc -s scripts -o tavrel-clean.wsc --flags 108010 --area 1000,1000,2000,2000
  frostmark-cli inspect stat_tavrel.frz
)";
}

std::string CommandHelpText(CliCommand command) {
    switch (command) {
    case CliCommand::Analyze:
        return R"(Usage: frostmark-cli analyze --world FILE [--scripts DIR] [SELECTION] [--list] [--json]

Loads the scripts once, reads the world file and prints three figures:
  Number of Top-Level Objects, Number of Objects to Freeze, Approximate size of resulting patch file.
--list prints every object to freeze, in world file order, as a tab-separated table with the
header line "id art serial x y z color type attr" (hexadecimal art, serial, color and attr; z
as the world file writes it); the three figures then go to stderr.

Example:
  frostmark-cli analyze -w tavrel.wsc -s scripts --static --exclude-doors --exclude-signs --list
)";
    case CliCommand::Patch:
        return R"(Usage: frostmark-cli patch --world FILE [--patch FILE] [--scripts DIR] [SELECTION] [--json]

Analyzes, then writes the freeze patch file (default stat_tavrel.frz in the working directory).
The file appears complete or not at all; an existing file is replaced only on success.

Example:
  frostmark-cli patch -w tavrel.wsc -s scripts --static -p stat_tavrel.frz
)";
    case CliCommand::Clean:
        return R"(Usage: frostmark-cli clean --world FILE --out FILE [--patch FILE] [--scripts DIR] [SELECTION]
       [--line-end lf|crlf] [--json]

Analyzes, then writes the world file without the records of the objects to freeze. The patch
file (--patch) must hold exactly the objects this analysis chooses, so that no object is lost:
run patch with the same options first, or use freeze. The output must not be the input.
Its lines end as the system's text files do (CR LF on Windows, LF elsewhere) unless --line-end
says otherwise, whatever the input used.

Example:
  frostmark-cli clean -w tavrel.wsc -s scripts --static -o tavrel-clean.wsc
)";
    case CliCommand::Freeze:
        return R"(Usage: frostmark-cli freeze --world FILE --out FILE [--patch FILE] [--scripts DIR] [SELECTION]
       [--line-end lf|crlf] [--json]

Analyze, patch and clean in one run. Prints the three figures, the patch file written and the
number of records dropped from the world file. The cleaned world's lines end as the system's
text files do (CR LF on Windows, LF elsewhere) unless --line-end says otherwise.

Example:
  frostmark-cli freeze -w tavrel.wsc -s scripts -o tavrel-clean.wsc -p stat_tavrel.frz \
      --static --never-moveable --exclude-doors --exclude-signs --exclude-lights --exclude-containers
)";
    case CliCommand::Inspect:
        return R"(Usage: frostmark-cli inspect PATCHFILE [--list] [--json]

Checks a freeze patch file (header, magic, groups in ascending block order, group lengths,
objects inside their block) and prints its size, groups and object count. --list prints every
object as a tab-separated table with the header line "block art x y z color" (the summary then
goes to stderr). PATCHFILE - reads the file from standard input.
Exits with 3 when the file is not a valid freeze patch file.

Example:
  frostmark-cli inspect stat_tavrel.frz --list
)";
    case CliCommand::Scripts:
        return R"(Usage: frostmark-cli scripts DIR [--json]

Loads the script set of DIR as the analysis does and prints what it holds: the layout, the
number of objects per collection and the item categories.

Example:
  frostmark-cli scripts /srv/tavrel/scripts
)";
    case CliCommand::Map:
        return R"(Usage: frostmark-cli map [--client-dir DIR] --out IMAGE.png [--zoom N] [--center X,Y]
                        [--size WxH] [--area L,T,R,B ...] [--frozen --world FILE [--scripts DIR] [SELECTION]]

Draws the radar map (384 x 256 pixels, or --size) from the client's map0.mul and radarcol.mul as a PNG
image, as the desktop program's map of that size shows it.
The client directory is --client-dir, else $FROSTMARK_CLIENT_DIR, else the working directory.
--zoom: -16, -8, -4, -2 or -1 tiles per pixel, or 1, 2, 4, 8, 16 or 32 pixels per tile (default -16);
--center in world tiles (default 3072,2048). Patch areas are drawn in green; --frozen analyses
first and marks the objects to freeze.

Example:
  frostmark-cli map --client-dir /opt/client --zoom -4 --center 1500,1200 --out world.png \
      --area 1000,1000,2000,2000 --frozen -w tavrel.wsc -s scripts --static
)";
    default:
        return UsageText();
    }
}

} // namespace frostmark
