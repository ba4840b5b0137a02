#include "cli/CliOptions.h"

#include "mapview/MapGeometry.h"
#include "mapview/MapRender.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

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

} // namespace

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

bool ParseArtIdArgument(const std::string& value, std::vector<std::uint16_t>& ids, std::string& error) {
    if (!value.empty() && value[0] == '@') {
        std::string path = value.substr(1);
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        if (in)
            text << in.rdbuf();
        if (!in || in.bad()) {
            error = path + ": " + (errno ? std::strerror(errno) : "cannot be read");
            return false;
        }
        // The file is read the way the dialog reads its box: one ID per line, anything else skipped.
        std::vector<std::uint16_t> fromFile = ParseArtIdLines(text.str());
        ids.insert(ids.end(), fromFile.begin(), fromFile.end());
        return true;
    }
    std::string normalised = value;
    for (char& c : normalised)
        if (c == ' ' || c == '\t')
            c = ',';
    for (const std::string& raw : SplitAt(normalised, ',')) {
        if (raw.empty())
            continue;
        std::string token = raw;
        for (char c : token) {
            if (!IsHexDigit(c)) {
                error = "'" + raw + "' is not a hexadecimal art ID";
                return false;
            }
        }
        if (token.size() > 8) {
            error = "'" + raw + "' is too long for an art ID";
            return false;
        }
        unsigned long id = std::strtoul(token.c_str(), nullptr, 16);
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

CCliParseResult ParseCommandLine(const std::vector<std::string>& args) {
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
        return fail("unknown command '" + first + "'");
    }
    options.command = *command;
    ++i;

    if (options.command == CliCommand::Help) {
        if (i < args.size()) {
            auto topic = LookupCommand(args[i]);
            if (!topic)
                return fail("help: unknown command '" + args[i] + "'");
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
                return fail("unexpected argument '" + arg + "' (options start with --)");
            if (!options.operand.empty())
                return fail("unexpected second argument '" + arg + "'");
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
            options.scripts = v;
            options.scriptsGiven = true;
        } else if (arg == "--flags") {
            if (!value(v) || v.empty())
                return needsValue("a hexadecimal option word (e.g. 108010)");
            std::string digits = v;
            if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0)
                digits = digits.substr(2);
            bool ok = !digits.empty() && digits.size() <= 8;
            for (char c : digits)
                ok = ok && IsHexDigit(c);
            if (!ok)
                return fail("--flags: '" + v + "' is not a hexadecimal number");
            std::uint32_t word = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
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
            if (!ParseArtIdArgument(v, exclude ? options.excludeArt : options.includeArt, error))
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
        } else if (arg == "--client-dir") {
            if (!value(v) || v.empty())
                return needsValue("the game client's directory");
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
            return fail("unknown option '" + arg + "'");
        }
    }
    options.flags = flagBits | (flagsGiven ? flagWord : 0);

    // What each command needs.
    switch (options.command) {
    case CliCommand::Analyze:
    case CliCommand::Patch:
        if (options.world.empty())
            return fail("--world: the world file is required");
        break;
    case CliCommand::Clean:
    case CliCommand::Freeze:
        if (options.world.empty())
            return fail("--world: the world file is required");
        if (options.out.empty())
            return fail("--out: the output world file is required");
        break;
    case CliCommand::Inspect:
        if (options.operand.empty())
            options.operand = options.patchGiven ? options.patch : "";
        if (options.operand.empty())
            return fail("inspect: name the patch file to inspect");
        break;
    case CliCommand::Scripts:
        if (options.operand.empty())
            options.operand = options.scripts;
        if (options.operand.empty())
            return fail("scripts: name the script directory to load");
        break;
    case CliCommand::Map:
        if (options.out.empty())
            return fail("--out: the path of the PNG image to write is required");
        if (options.showFrozen && options.world.empty())
            return fail("--frozen: needs --world (and usually --scripts) to analyse");
        break;
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

Files:
  -w, --world FILE       the world file to read
  -p, --patch FILE       the freeze patch file (default stat_tavrel.frz)
  -o, --out FILE         the output world file (map: the PNG image)
  -s, --scripts DIR      the server's script directory

Selection (as the Options group of the desktop program):
      --never-moveable   include objects with ATTR bit 010
      --static           include objects with ATTR bit 08000
      --exclude-typed    exclude any object with a TYPE value
      --exclude-doors, --exclude-signs, --exclude-lights, --exclude-containers
      --flags HEX        the option word as stored in the settings (e.g. 108010); adds to the above
      --exclude-art IDS  hexadecimal art IDs never to freeze: 0eed,0eee or @FILE (one per line);
                         may be repeated
      --include-art IDS  hexadecimal art IDs always to freeze (unless excluded or outside the areas)
      --area L,T,R,B     freeze only inside this rectangle of world tiles (right, bottom outside);
                         may be repeated

Map:
      --client-dir DIR   the game client's directory (default $FROSTMARK_CLIENT_DIR, else .)
      --zoom N           -16, -8, -4, -2, -1 (tiles per pixel) or 1, 2, 4, 8, 16, 32 (pixels per tile)
      --center X,Y       the centre in world tiles (default 3072,2048)
      --size WxH         the picture's size in pixels (default 384x256)
      --frozen           analyse (--world, --scripts, selection) and mark the objects to freeze

Output:
      --json             print the result as JSON
      --list             analyze: print every object to freeze; inspect: every object
      --no-progress      no progress bar (it is shown on stderr only when stderr is a terminal)
  -h, --help             this help; COMMAND --help for a command's
  -V, --version          the version

Exit status: 0 done, 2 bad command line, 3 an input cannot be read or is invalid,
4 an output cannot be written, 1 any other failure.

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
--list prints every object to freeze as "ID<TAB>X, Y, Z<TAB>COLOR", in world file order.

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
        return R"(Usage: frostmark-cli clean --world FILE --out FILE [--patch FILE] [--scripts DIR] [SELECTION] [--json]

Analyzes, then writes the world file without the records of the objects to freeze. The patch
file (--patch) must hold exactly the objects this analysis chooses, so that no object is lost:
run patch with the same options first, or use freeze. The output must not be the input.

Example:
  frostmark-cli clean -w tavrel.wsc -s scripts --static -o tavrel-clean.wsc
)";
    case CliCommand::Freeze:
        return R"(Usage: frostmark-cli freeze --world FILE --out FILE [--patch FILE] [--scripts DIR] [SELECTION] [--json]

Analyze, patch and clean in one run. Prints the three figures, the patch file written and the
number of records dropped from the world file.

Example:
  frostmark-cli freeze -w tavrel.wsc -s scripts -o tavrel-clean.wsc -p stat_tavrel.frz \
      --static --never-moveable --exclude-doors --exclude-signs --exclude-lights --exclude-containers
)";
    case CliCommand::Inspect:
        return R"(Usage: frostmark-cli inspect PATCHFILE [--list] [--json]

Checks a freeze patch file (header, magic, groups in ascending block order, group lengths,
objects inside their block) and prints its groups and object count; --list prints every object.
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
