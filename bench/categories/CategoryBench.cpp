// Times the category passes on script sets that file every definition somewhere new: 100,000 item
// definitions in as many categories, 100,000 in one category with as many subsections, and 100,000
// trigger sections named in falling order (each lands at the front of its sorted collection). Side by
// side with `wc -l` of the same file in each round; medians of the rounds.
// Usage: frostmark-bench-categories WORK_DIR [REPEATS] [DEFINITIONS]

#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct CSet {
    const char* label;
    std::filesystem::path directory;
};

// One script set of the newer layout: tavrel.ini listing one file of `count` sections.
CSet Write(const std::filesystem::path& root, const char* label, const char* name, int count, int kind) {
    const std::filesystem::path directory = root / name;
    std::filesystem::create_directories(directory);
    std::ofstream(directory / "tavrel.ini") << "[RESOURCES]\nall.scp\n[TAVREL]\n";
    std::ofstream out(directory / "all.scp");
    for (int i = 0; i < count; ++i) {
        char section[160];
        if (kind == 0)
            std::snprintf(section, sizeof section,
                          "[ITEMDEF i_%d]\nCATEGORY=Category %d\nSUBSECTION=Things\n", i, i);
        else if (kind == 1)
            std::snprintf(section, sizeof section,
                          "[ITEMDEF i_%d]\nCATEGORY=Items\nSUBSECTION=Subsection %d\n", i, i);
        else
            std::snprintf(section, sizeof section, "[TRIG t_%08d]\nON=@Step\n", count - i);
        out << section;
    }
    return {label, directory};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: frostmark-bench-categories WORK_DIR [REPEATS] [DEFINITIONS]\n");
        return 2;
    }
    const std::filesystem::path root = std::filesystem::absolute(argv[1]);
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const int count = argc > 3 ? std::max(1, std::atoi(argv[3])) : 100000;
    const CSet sets[] = {
        Write(root, "distinct categories", "categories", count, 0),
        Write(root, "subsections of one category", "subsections", count, 1),
        Write(root, "triggers in falling order", "triggers", count, 2),
    };
    std::printf("%d sections a set, median of %d rounds\n", count, repeats);
    for (const CSet& set : sets) {
        const std::string wc = "wc -l '" + (set.directory / "all.scp").string() + "' > /dev/null";
        if (std::system(wc.c_str()) != 0) // warms the page cache for both sides
            return 1;
        std::vector<double> wcs, loads, passes;
        for (int round = 0; round < repeats; ++round) {
            auto start = Clock::now();
            if (std::system(wc.c_str()) != 0)
                return 1;
            wcs.push_back(Since(start));
            auto objects = std::make_unique<frostmark::CScriptObjects>();
            start = Clock::now();
            frostmark::LoadAllScripts(*objects, set.directory.string(), frostmark::CServices());
            loads.push_back(Since(start));
            // The item pass alone, on the loaded definitions.
            objects->ClearItemCategories();
            start = Clock::now();
            objects->CategorizeItems();
            passes.push_back(Since(start));
        }
        const double wcMs = Median(wcs);
        std::printf(
            "%-29s wc -l %7.1f ms   load %8.1f ms (%.2f x wc -l)   item pass %8.1f ms (%.2f x wc -l)\n",
            set.label, wcMs, Median(loads), Median(loads) / wcMs, Median(passes), Median(passes) / wcMs);
    }
    return 0;
}
