// frostmark-scriptgen: writes a synthetic script set of the newer layout for tests, demos and benchmarks.
#include "tools/scriptgen/ScriptGen.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kHelp[] =
    "Usage: frostmark-scriptgen [options] DIRECTORY\n"
    "Writes a synthetic script set (deterministic for a given seed) into DIRECTORY, which is created\n"
    "when missing. A directory that holds a tavrel.ini already is left alone unless --force is given.\n"
    "\n"
    "  --seed N            random seed (default 1)\n"
    "  --items N           item definitions (default 1000)\n"
    "  --items-per-file N  item definitions per scripts/items_NNN.scp (default 5000)\n"
    "  --chars N           character definitions (default 100)\n"
    "  --templates N       templates (default 20)\n"
    "  --areas N           areas, and as many rooms and locations (default 40)\n"
    "  --constants N       constants in [DEFNAME generated_N] sections (default 500)\n"
    "  --types N           per mille of item definitions with a TYPE line (default 600)\n"
    "  --triggers N        per mille of item definitions with ONTRIGGER blocks (default 400)\n"
    "  --crlf              end lines with CR LF instead of LF\n"
    "  --shuffle           item definitions in random order (default: by ID)\n"
    "  --force             write into a directory that holds a script set already\n"
    "  -h, --help          this text\n"
    "\n"
    "The set: tavreltables.scp, tavrel.ini (SCPFILES=scripts and a [RESOURCES] list with comments and\n"
    "both kinds of slashes), hoglocs.scp, scripts/defs.scp ([DEFNAME types] with t_gen_0 to t_gen_182,\n"
    "generated constants), scripts/items_NNN.scp, scripts/chars.scp, scripts/map.scp, scripts/misc.scp,\n"
    "and scripts/unlisted.scp, which the resource table does not list.\n"
    "\n"
    "Conventions shared with frostmark-worldgen:\n"
    "  item definitions 1 to 0x3FFF are [ITEMDEF 0XXXX], XXXX the art ID in four lower-case hex digits,\n"
    "    as the world writes its IDs, each with DEFNAME=i_gen_XXXX, so named world IDs resolve;\n"
    "  further definitions are named [ITEMDEF i_scn_NNNNNN];\n"
    "  TYPE values are t_gen_N, decimal N or hexadecimal 0N; t_gen_N is defined as N.\n";

bool ParseNumber(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0')
        return false;
    value = number;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    frostmark::SScriptGenOptions options;
    std::string directory;
    bool force = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::uint64_t number = 0;
        auto value = [&]() -> std::uint64_t {
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], number)) {
                std::fprintf(stderr, "frostmark-scriptgen: %s needs a number\n", arg.c_str());
                std::exit(2);
            }
            ++i;
            return number;
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--seed") {
            options.seed = value();
        } else if (arg == "--items") {
            options.itemDefs = value();
        } else if (arg == "--items-per-file") {
            options.itemsPerFile = value();
        } else if (arg == "--chars") {
            options.charDefs = value();
        } else if (arg == "--templates") {
            options.templates = value();
        } else if (arg == "--areas") {
            options.areas = value();
        } else if (arg == "--constants") {
            options.constants = value();
        } else if (arg == "--types") {
            options.typeShare = static_cast<unsigned>(value());
        } else if (arg == "--triggers") {
            options.triggerShare = static_cast<unsigned>(value());
        } else if (arg == "--crlf") {
            options.crlf = true;
        } else if (arg == "--shuffle") {
            options.shuffle = true;
        } else if (arg == "--force") {
            force = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "frostmark-scriptgen: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        } else if (directory.empty()) {
            directory = arg;
        } else {
            std::fprintf(stderr, "frostmark-scriptgen: only one directory may be given\n");
            return 2;
        }
    }
    if (directory.empty()) {
        std::fputs("frostmark-scriptgen: no directory given (see --help)\n", stderr);
        return 2;
    }
    frostmark::SScriptGenStats stats;
    std::string error;
    if (!frostmark::GenerateScriptSet(options, directory, force, &stats, &error)) {
        std::fprintf(stderr, "frostmark-scriptgen: %s\n", error.c_str());
        return 1;
    }
    std::printf("%llu files, %llu bytes, %llu lines, %llu item definitions (%llu named)\n",
                static_cast<unsigned long long>(stats.files), static_cast<unsigned long long>(stats.bytes),
                static_cast<unsigned long long>(stats.lines), static_cast<unsigned long long>(stats.itemDefs),
                static_cast<unsigned long long>(stats.namedItemDefs));
    return 0;
}
