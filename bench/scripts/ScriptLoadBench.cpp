// Times loading a whole script set side by side with `wc -l` over the same files, in one run, and prints
// the ratio (the target is a load within 6 times the count of lines). Also shows what reading every item
// definition's TYPE once costs, the work a following analysis needs.
// Usage: frostmark-bench-scripts SCRIPT_DIR [REPEATS]

#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: frostmark-bench-scripts SCRIPT_DIR [REPEATS]\n");
        return 2;
    }
    const std::filesystem::path directory = std::filesystem::absolute(argv[1]);
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    // Every file the load reads: the set's *.scp and *.ini files, in and below the directory.
    std::vector<std::string> files;
    std::uintmax_t bytes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        const auto extension = entry.path().extension();
        if (entry.is_regular_file() && (extension == ".scp" || extension == ".ini")) {
            files.push_back(entry.path().string());
            bytes += entry.file_size();
        }
    }
    std::string wc = "wc -l";
    for (const std::string& file : files) {
        wc += ' ';
        wc += Quote(file);
    }
    wc += " > /dev/null";

    int items = 0;
    // Warm the page cache once for both sides.
    if (std::system(wc.c_str()) != 0) {
        std::fprintf(stderr, "wc -l failed\n");
        return 1;
    }
    // Side by side: each round runs wc -l and then the load, so both meet the same machine load; the
    // ratio is taken per round and its median reported. Each registry is destroyed after its time is
    // taken (unloading is timed apart below).
    std::vector<double> wcs;
    std::vector<double> loads;
    std::vector<double> ratios;
    for (int i = 0; i < repeats; ++i) {
        const auto wcStart = Clock::now();
        if (std::system(wc.c_str()) != 0) {
            std::fprintf(stderr, "wc -l failed\n");
            return 1;
        }
        wcs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - wcStart).count());
        auto objects = std::make_unique<frostmark::CScriptObjects>();
        const auto start = Clock::now();
        frostmark::LoadAllScripts(*objects, directory.string(), frostmark::CServices());
        loads.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        items = objects->itemDefs.GetSize();
        ratios.push_back(loads.back() / wcs.back());
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double wcMs = median(wcs);
    const double loadMs = median(loads);
    const double ratio = median(ratios);
    double unloadMs = 0;
    double typesMs = 0;
    {
        frostmark::CScriptObjects objects;
        frostmark::LoadAllScripts(objects, directory.string(), frostmark::CServices());
        const auto start = Clock::now();
        objects.PreloadItemTypes();
        typesMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const auto unloadStart = Clock::now();
        objects.UnloadScripts();
        unloadMs = std::chrono::duration<double, std::milli>(Clock::now() - unloadStart).count();
    }
    std::printf("script set: %zu files, %.1f MB, %d item definitions, median of %d runs\n", files.size(),
                static_cast<double>(bytes) / 1e6, items, repeats);
    std::printf("wc -l                  %8.1f ms\n", wcMs);
    std::printf("load                   %8.1f ms   ratio to wc -l: %.2f (target <= 6; rounds %.2f to %.2f)\n",
                loadMs, ratio, *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("unload                 %8.1f ms\n", unloadMs);
    std::printf("every TYPE read once   %8.1f ms   ratio to wc -l: %.2f\n", typesMs, typesMs / wcMs);
    return 0;
}
