// frostmark-worldgen: writes a synthetic Tavrel world file for tests, demos and benchmarks.
#include "tools/worldgen/WorldGen.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kHelp[] =
    "Usage: frostmark-worldgen [options] [-o FILE]\n"
    "Writes a synthetic world file (deterministic for a given seed) to FILE or to standard output.\n"
    "\n"
    "  -o, --out FILE     output file (default: standard output)\n"
    "  --seed N           random seed (default 1)\n"
    "  --bytes N[K|M|G]   stop after the item record that reaches N bytes\n"
    "  --items N          stop after N item records (default 1000 when neither limit is given)\n"
    "  --crlf             end lines with CR LF instead of LF\n"
    "  --contained N      per mille of items inside a container (default 250)\n"
    "  --named N          per mille of items with a named ID (default 60)\n"
    "  --high-ids N       per mille of art IDs of 0x4000 and above (default 30)\n"
    "  --stack N          per mille of items on the cell of the item before them (default 100)\n"
    "  -h, --help         this text\n"
    "\n"
    "What the world holds: [WORLDITEM] records with SERIAL, P, CONT, ATTR (bits 0x10 and 0x8000),\n"
    "TYPE, COLOR, ID/DISPID overrides and other keys, some keys in lower case; negative z values;\n"
    "[WORLDCHAR], [GMPAGE] and lower-case [worlditem] sections, // comments, and an [EOF] end marker.\n"
    "\n"
    "Conventions shared with the script generator:\n"
    "  art IDs 0x0001-0x3FFF are written hexadecimal with a leading zero (0eed); some are 0x4000+;\n"
    "  named IDs are i_gen_XXXX, XXXX the art ID in four lower-case hex digits: a script set resolves\n"
    "    them with [DEFNAME ...] lines 'i_gen_XXXX 0XXXX' or DEFNAME=i_gen_XXXX in [ITEMDEF 0XXXX];\n"
    "  named TYPE values are t_gen_N (N decimal), numeric ones decimal (12) or hexadecimal (0c);\n"
    "  serials are hexadecimal from 040000001 upward in file order.\n";

bool ParseCount(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text)
        return false;
    std::uint64_t scale = 1;
    if (*end == 'K' || *end == 'k')
        scale = 1ull << 10, ++end;
    else if (*end == 'M' || *end == 'm')
        scale = 1ull << 20, ++end;
    else if (*end == 'G' || *end == 'g')
        scale = 1ull << 30, ++end;
    if (*end != '\0')
        return false;
    value = number * scale;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    frostmark::SWorldGenOptions options;
    std::string outPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto needValue = [&](std::uint64_t& value) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], value)) {
                std::fprintf(stderr, "frostmark-worldgen: %s needs a number\n", arg.c_str());
                std::exit(2);
            }
            ++i;
        };
        std::uint64_t number = 0;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "-o" || arg == "--out") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "frostmark-worldgen: %s needs a file name\n", arg.c_str());
                return 2;
            }
            outPath = argv[++i];
        } else if (arg == "--seed") {
            needValue(options.seed);
        } else if (arg == "--bytes") {
            needValue(options.targetBytes);
        } else if (arg == "--items") {
            needValue(options.itemCount);
        } else if (arg == "--crlf") {
            options.crlf = true;
        } else if (arg == "--contained") {
            needValue(number);
            options.containedShare = static_cast<unsigned>(number);
        } else if (arg == "--named") {
            needValue(number);
            options.namedIdShare = static_cast<unsigned>(number);
        } else if (arg == "--high-ids") {
            needValue(number);
            options.highIdShare = static_cast<unsigned>(number);
        } else if (arg == "--stack") {
            needValue(number);
            options.stackShare = static_cast<unsigned>(number);
        } else {
            std::fprintf(stderr, "frostmark-worldgen: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    std::FILE* out = stdout;
    if (!outPath.empty()) {
        out = std::fopen(outPath.c_str(), "wb");
        if (out == nullptr) {
            std::fprintf(stderr, "frostmark-worldgen: cannot create %s: %s\n", outPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    frostmark::SWorldGenStats stats;
    const bool ok = frostmark::GenerateWorld(
        options,
        [out](const char* data, std::size_t size) { return std::fwrite(data, 1, size, out) == size; },
        &stats);
    const bool closed = out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
    if (!ok || !closed) {
        std::fprintf(stderr, "frostmark-worldgen: write failed: %s\n", std::strerror(errno));
        return 1;
    }
    std::fprintf(
        stderr, "frostmark-worldgen: %llu items (%llu top-level, %llu contained), %llu lines, %llu bytes\n",
        static_cast<unsigned long long>(stats.items), static_cast<unsigned long long>(stats.topLevel),
        static_cast<unsigned long long>(stats.contained), static_cast<unsigned long long>(stats.lines),
        static_cast<unsigned long long>(stats.bytes));
    return 0;
}
