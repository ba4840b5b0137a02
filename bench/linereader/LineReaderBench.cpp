// Line reader throughput on a world file: FROSTMARK_BENCH_WORLD names it; without it a 256 MB world is
// generated once into the temporary directory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "script/LineReader.h"
#include "script/ScriptArray.h"
#include "script/ScriptFile.h"
#include "tools/worldgen/WorldGen.h"

namespace {

const std::string& WorldPath() {
    static const std::string path = [] {
        if (const char* given = std::getenv("FROSTMARK_BENCH_WORLD")) {
            return std::string(given);
        }
        const auto generated = std::filesystem::temp_directory_path() / "frostmark-linereader-bench.world";
        std::error_code ec;
        if (!std::filesystem::exists(generated, ec)) {
            const auto partial = generated.string() + ".part";
            std::FILE* out = std::fopen(partial.c_str(), "wb");
            frostmark::SWorldGenOptions options;
            options.targetBytes = uint64_t(256) << 20;
            frostmark::GenerateWorld(options, [out](const char* data, std::size_t size) {
                return std::fwrite(data, 1, size, out) == size;
            });
            std::fclose(out);
            std::filesystem::rename(partial, generated);
        }
        return generated.string();
    }();
    return path;
}

// The floor: big reads and memchr for every line feed, nothing else.
void BM_CountLineFeeds(benchmark::State& state) {
    const std::string& path = WorldPath();
    const size_t chunk = size_t(1) << 20;
    std::unique_ptr<char[]> buffer(new char[chunk]);
    uint64_t bytes = 0;
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::setvbuf(file, nullptr, _IONBF, 0);
        uint64_t lines = 0;
        size_t got;
        while ((got = std::fread(buffer.get(), 1, chunk, file)) > 0) {
            const char* p = buffer.get();
            const char* end = p + got;
            while ((p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) != nullptr) {
                ++lines;
                ++p;
            }
            bytes += got;
        }
        std::fclose(file);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_CountLineFeeds)->Unit(benchmark::kMillisecond);

// Every line through ReadLine, looking at its first byte as every reader does.
void BM_ReadLine(benchmark::State& state) {
    const std::string& path = WorldPath();
    uint64_t bytes = 0;
    frostmark::CLineReader reader;
    for (auto _ : state) {
        reader.Open(path);
        std::string_view line;
        uint64_t headers = 0;
        while (reader.ReadLine(line)) {
            headers += !line.empty() && line[0] == '[';
        }
        bytes += reader.Size();
        benchmark::DoNotOptimize(headers);
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond);

// The loaders' pattern: find a header, read its body up to the next header, step back to it.
void BM_SectionLoopWithStepBack(benchmark::State& state) {
    const std::string& path = WorldPath();
    uint64_t bytes = 0;
    frostmark::CLineReader reader;
    for (auto _ : state) {
        reader.Open(path);
        std::string_view header;
        uint64_t offset = 0;
        uint64_t sections = 0;
        while (frostmark::FindNextHeader(reader, header, offset)) {
            ++sections;
            std::string_view line;
            while (reader.ReadLine(line)) {
                if (!line.empty() && line[0] == '[') {
                    reader.StepBack();
                    break;
                }
            }
        }
        bytes += reader.Size();
        benchmark::DoNotOptimize(sections);
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_SectionLoopWithStepBack)->Unit(benchmark::kMillisecond);

// Storing 100,000 definitions by replace-by-name, in file order (ascending IDs) or shuffled, as script sets
// spread over many files give them.
void BM_ReplaceByName(benchmark::State& state) {
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "0%04x%02x", i / 256, i % 256);
        names.push_back(text);
    }
    if (state.range(0) != 0) {
        std::mt19937 random(1);
        std::shuffle(names.begin(), names.end(), random);
    }
    for (auto _ : state) {
        frostmark::CScriptArray array;
        for (const std::string& name : names) {
            auto* object = new frostmark::CTObject;
            object->m_name = name;
            array.ReplaceByName(object);
        }
        benchmark::DoNotOptimize(array.GetSize());
        array.DeleteAll();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(names.size()));
}
BENCHMARK(BM_ReplaceByName)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
