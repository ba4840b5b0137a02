// frostmark-mapgen: writes made-up client map files (map0.mul, radarcol.mul) for tests, benchmarks and
// the sample shard, so that nothing ever has to come from a real client installation.

#include "tools/mapgen/TerrainGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs("usage: frostmark-mapgen --out DIR [--seed N] [--columns N] [--force]\n"
               "  Writes DIR/map0.mul (768 x 512 map blocks, 77,070,336 bytes) and DIR/radarcol.mul.\n"
               "  --seed N     which world (default 1); the same seed always gives the same bytes\n"
               "  --columns N  write only the first N of the 768 block columns (a short map for tests)\n"
               "  --force      replace files that exist already\n",
               to);
}

bool ParseNumber(std::string_view text, unsigned long long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const std::string copy(text);
    value = std::strtoull(copy.c_str(), &end, 10);
    return end != nullptr && *end == '\0' && copy[0] != '-';
}

} // namespace

int main(int argc, char** argv) {
    frostmark::mapgen::MapFilesOptions options;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        unsigned long long number = 0;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg == "--seed" && hasValue && ParseNumber(argv[i + 1], number)) {
            options.seed = number;
            ++i;
        } else if (arg == "--columns" && hasValue && ParseNumber(argv[i + 1], number) && number <= 768) {
            options.columns = static_cast<int>(number);
            ++i;
        } else if (arg == "--force") {
            options.overwrite = true;
        } else {
            std::fprintf(stderr, "frostmark-mapgen: unexpected or incomplete argument '%s'\n", argv[i]);
            PrintUsage(stderr);
            return 2;
        }
    }
    if (out.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    std::string error;
    std::vector<frostmark::mapgen::Town> towns;
    if (!frostmark::mapgen::WriteMapFiles(out, options, error, &towns)) {
        std::fprintf(stderr, "frostmark-mapgen: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s/map0.mul (%d block columns) and %s/radarcol.mul\n", out.c_str(), options.columns,
                out.c_str());
    for (const frostmark::mapgen::Town& town : towns) {
        std::printf("town at %d, %d, %d x %d tiles\n", town.x, town.y, town.width, town.height);
    }
    return 0;
}
