// Times the routes by which the freeze rules learn an item definition's TYPE, side by side in one run with
// `wc -l` over the same script files:
//   - full: a CItem per definition, given the index entry and read with LoadDefinition (opens the file);
//   - light: ReadItemType per definition (opens the file, reads only the TYPE);
//   - reader, world order: CItemTypeReader asked about every definition in a shuffled order, as a world's
//     items come (the first question about a file reads that file whole);
//   - reader, preload: CItemTypeReader::Preload over the whole collection (each file read once in order).
// The two per-definition routes run over a sample; their figure is scaled to the whole collection.
// Usage: frostmark-bench-itemtype SCRIPT_DIR [SAMPLE]   (SCRIPT_DIR: a set made by frostmark-scriptgen)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "model/Item.h"
#include "model/ItemType.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"

namespace {

using Clock = std::chrono::steady_clock;

double TimeMs(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

int main(int argc, char** argv) {
    using namespace frostmark;
    if (argc < 2) {
        std::fprintf(stderr, "usage: frostmark-bench-itemtype SCRIPT_DIR [SAMPLE]\n");
        return 2;
    }
    const std::filesystem::path directory = std::filesystem::absolute(argv[1]);
    const size_t sampleSize = argc > 2 ? size_t(std::max(1, std::atoi(argv[2]))) : 2000;

    std::string wc = "wc -l";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        const auto extension = entry.path().extension();
        if (entry.is_regular_file() && (extension == ".scp" || extension == ".ini")) {
            wc += ' ';
            wc += Quote(entry.path().string());
        }
    }
    wc += " > /dev/null";

    CScriptObjects objects;
    if (!LoadAllScripts(objects, directory.string(), CServices())) {
        std::fprintf(stderr, "cannot load %s\n", directory.string().c_str());
        return 1;
    }
    std::vector<const CSObject*> all;
    for (const CTObject* object : objects.itemDefs) {
        all.push_back(static_cast<const CSObject*>(object));
    }
    if (all.empty()) {
        std::fprintf(stderr, "no item definitions\n");
        return 1;
    }
    std::vector<const CSObject*> sample = all;
    std::mt19937 shuffle(7);
    std::shuffle(sample.begin(), sample.end(), shuffle);
    sample.resize(std::min(sampleSize, sample.size()));
    const double scale = double(all.size()) / double(sample.size());

    int runs = 0;
    const double wcMs = TimeMs([&] {
                            for (int i = 0; i < 3; ++i) {
                                runs += std::system(wc.c_str()) == 0 ? 1 : 0;
                            }
                        }) /
                        3.0;

    long long checksum = 0;
    long long worldOrderSum = 0;
    long long mismatches = 0;
    std::vector<int32_t> fullTypes;
    const double fullMs = TimeMs([&] {
        for (const CSObject* entry : sample) {
            CItem item;
            item = *entry;
            item.SetContext(&objects);
            item.LoadDefinition();
            fullTypes.push_back(item.m_type);
        }
    });
    const double lightMs = TimeMs([&] {
        for (size_t i = 0; i < sample.size(); ++i) {
            int32_t type = 0;
            ReadItemType(*sample[i], type, &objects);
            mismatches += type != fullTypes[i] ? 1 : 0;
        }
    });
    // Every definition, in world order: the first question about a file reads that file whole.
    std::vector<const CSObject*> shuffled = all;
    std::shuffle(shuffled.begin(), shuffled.end(), shuffle);
    CItemTypeReader lazy(&objects);
    const double lazyMs = TimeMs([&] {
        for (const CSObject* entry : shuffled) {
            worldOrderSum += lazy.GetType(*entry);
        }
    });
    for (size_t i = 0; i < sample.size(); ++i) {
        mismatches += lazy.GetType(*sample[i]) != fullTypes[i] ? 1 : 0;
    }
    CItemTypeReader preloaded(&objects);
    const double preloadMs = TimeMs([&] { preloaded.Preload(objects.itemDefs); });
    for (size_t i = 0; i < sample.size(); ++i) {
        mismatches += preloaded.GetType(*sample[i]) != fullTypes[i] ? 1 : 0;
    }
    for (const CSObject* entry : all) {
        checksum += preloaded.GetType(*entry);
    }

    mismatches += worldOrderSum != checksum ? 1 : 0;
    std::printf("%zu item definitions, sample of %zu, sum of all TYPEs %lld, %lld mismatches\n", all.size(),
                sample.size(), checksum, mismatches);
    std::printf("ratios to wc -l over the whole set (all definitions; sampled routes scaled):\n");
    std::printf("  full CItem + LoadDefinition    %8.2f\n", fullMs * scale / wcMs);
    std::printf("  ReadItemType per definition    %8.2f\n", lightMs * scale / wcMs);
    std::printf("  CItemTypeReader, world order   %8.2f\n", lazyMs / wcMs);
    std::printf("  CItemTypeReader::Preload       %8.2f\n", preloadMs / wcMs);
    return mismatches == 0 && runs == 3 ? 0 : 1;
}
