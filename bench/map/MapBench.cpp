// Times the map build of every zoom level from a full-size map0.mul, for the classic 384 x 256 picture
// and for a 1920 x 1080 one, side by side with reading bytes the plain way, in one run (each figure the
// median of REPEATS runs, and the middle of three such medians taken in turn), and prints the ratios:
//   build / cat   the build against `cat map0.mul > /dev/null` (the whole file, a process of its own)
//   build / same  the build against reading exactly the strips the build reads, in this process
//   view / same   the desktop program's rebuild (its view keeps map0.mul in memory, checking at every
//                 build that the file is unchanged) against the same reading
// Then the marks of 4.3 million objects to freeze (as many as a 1 GB world chooses), painted for a
// 1920 x 1080 picture at every level, against one plain pass over their positions and against `cat`.
// Usage: frostmark-map-bench CLIENT_DIR [REPEATS]

#include "mapview/ClientDirectory.h"
#include "mapview/MapGeometry.h"
#include "mapview/MapView.h"
#include "mapview/ObjectMarks.h"
#include "mapview/RadarColors.h"
#include "mapview/RadarImage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MedianMs(int repeats, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Records which strips a build reads.
class CRecordingSource final : public frostmark::CMapSource {
public:
    explicit CRecordingSource(frostmark::CMapSource& inner) : m_inner(inner) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        m_reads.emplace_back(offset, buffer.size());
        return m_inner.ReadAt(offset, buffer);
    }
    std::vector<std::pair<std::uint64_t, std::size_t>> m_reads;

private:
    frostmark::CMapSource& m_inner;
};

// Reads the given strips with plain stdio into one buffer, as a minimal program would.
std::size_t ReadStrips(const std::string& path,
                       const std::vector<std::pair<std::uint64_t, std::size_t>>& strips) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return 0;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::vector<unsigned char> buffer;
    std::size_t total = 0;
    for (const auto& [offset, size] : strips) {
        buffer.resize(size);
        std::fseek(file, static_cast<long>(offset), SEEK_SET);
        total += std::fread(buffer.data(), 1, size, file);
    }
    std::fclose(file);
    return total;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: frostmark-map-bench CLIENT_DIR [REPEATS]\n");
        return 2;
    }
    const std::string directory =
        frostmark::ResolveClientDirectory({std::string(argv[1]), {}, {}, {}}).directory;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    const std::string mapPath = frostmark::ClientFilePath(directory, frostmark::kMapFileName);

    frostmark::CRadarColorTable colors;
    if (!frostmark::LoadRadarColors(directory, colors)) {
        std::fprintf(stderr, "warning: no radarcol.mul in %s, colours are black\n", directory.c_str());
    }
    const std::string cat = "cat '" + mapPath + "' > /dev/null";
    if (std::system(cat.c_str()) != 0) { // also brings the file into the page cache
        std::fprintf(stderr, "cannot read %s\n", mapPath.c_str());
        return 1;
    }

    // The classic picture as the dialog first shows it, then a large one as a maximised window shows it
    // (what the desktop program rebuilds at every zoom and pan step: the samples, which the toolkit
    // scales onto the picture).
    struct PictureSize {
        int width, height;
    };
    double worstCat = 0, worstLarge = 0, worstView = 0;
    for (const PictureSize size : {PictureSize{384, 256}, PictureSize{1920, 1080}}) {
        std::printf("\npicture %d x %d\n", size.width, size.height);
        std::printf("%6s %12s %10s %10s %10s %10s %9s %10s %9s\n", "level", "bytes read", "build ms",
                    "view ms", "same ms", "cat ms", "build/cat", "build/same", "view/same");
        for (const int zoom : frostmark::kZoomLevels) {
            int cx = frostmark::kInitialCentreX, cy = frostmark::kInitialCentreY;
            frostmark::ClampCentre(zoom, size.width, size.height, cx, cy);
            // Which strips the build reads.
            auto file = frostmark::CMapFileSource::Open(mapPath);
            CRecordingSource recorder(*file);
            frostmark::CRadarSamples samples;
            frostmark::BuildRadarSamples(recorder, colors, zoom, cx, cy, size.width, size.height, samples);
            std::uint64_t bytes = 0;
            for (const auto& read : recorder.m_reads) {
                bytes += read.second;
            }

            frostmark::CMapView view;
            frostmark::PictureGeometry picture;
            picture.frame = {0, 0, size.width, size.height};
            picture.clientWidth = size.width;
            picture.clientHeight = size.height;
            view.SetPictureGeometry(picture);
            view.SetClientDirectory(directory);
            view.Colors() = colors;
            view.KeepMapInMemory(true);
            view.SetZoom(zoom);
            view.SetCentre(cx, cy);
            if (!view.BuildRadarImage()) { // loads the map, once
                std::fprintf(stderr, "cannot read %s\n", mapPath.c_str());
                return 1;
            }

            // Interleaved, so that all see the same machine load.
            std::vector<double> build, viewTimes, same, catTimes;
            for (int round = 0; round < 3; ++round) {
                build.push_back(MedianMs(repeats, [&] {
                    int x = cx, y = cy;
                    frostmark::BuildRadarSamples(directory, colors, zoom, x, y, size.width, size.height,
                                                 samples);
                }));
                viewTimes.push_back(MedianMs(repeats, [&] { view.BuildRadarImage(); }));
                same.push_back(MedianMs(repeats, [&] { ReadStrips(mapPath, recorder.m_reads); }));
                catTimes.push_back(
                    MedianMs(std::max(3, repeats / 3), [&] { (void)std::system(cat.c_str()); }));
            }
            std::sort(build.begin(), build.end());
            std::sort(viewTimes.begin(), viewTimes.end());
            std::sort(same.begin(), same.end());
            std::sort(catTimes.begin(), catTimes.end());
            const double b = build[1], v = viewTimes[1], s = same[1], c = catTimes[1];
            if (size.width == 384) {
                worstCat = std::max(worstCat, b / c);
            } else {
                worstLarge = std::max(worstLarge, b / s);
                worstView = std::max(worstView, v / s);
            }
            std::printf("%6d %12llu %10.3f %10.3f %10.3f %10.3f %9.2f %10.2f %9.2f\n", zoom,
                        static_cast<unsigned long long>(bytes), b, v, s, c, b / c, b / s, v / s);
        }
    }
    // Objects as a grown world has them: half of them in a few hundred towns, half spread thinly.
    std::vector<frostmark::MapObject> objects;
    {
        std::uint64_t state = 12345;
        const auto next = [&state](std::uint32_t below) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<std::uint32_t>((state >> 33) % below);
        };
        constexpr std::size_t kObjects = 4'300'000;
        objects.reserve(kObjects);
        std::vector<std::pair<int, int>> towns;
        for (int i = 0; i < 400; ++i)
            towns.emplace_back(64 + next(6016), 64 + next(3968));
        while (objects.size() < kObjects) {
            if (objects.size() % 2 == 0) {
                const auto& [tx, ty] = towns[next(static_cast<std::uint32_t>(towns.size()))];
                objects.push_back({static_cast<std::uint16_t>(tx - 64 + static_cast<int>(next(128))),
                                   static_cast<std::uint16_t>(ty - 64 + static_cast<int>(next(128)))});
            } else {
                objects.push_back(
                    {static_cast<std::uint16_t>(next(6144)), static_cast<std::uint16_t>(next(4096))});
            }
        }
    }
    // The desktop program paints from an index of the list by map cell, made once per list.
    const double indexMs = MedianMs(5, [&] { (void)frostmark::CObjectMarkIndex(objects); });
    const frostmark::CObjectMarkIndex index(objects);
    std::printf("\nmarks of %zu objects, picture 1920 x 1080 (list: every position in list order; index: by "
                "map cell, made once per list in %.3f ms)\n",
                objects.size(), indexMs);
    std::printf("%6s %10s %10s %10s %10s %9s %9s %9s %11s\n", "level", "list ms", "index ms", "pass ms",
                "cat ms", "list/pass", "index/pass", "index/cat", "marked %");
    for (const int zoom : frostmark::kZoomLevels) {
        frostmark::CMapView view;
        frostmark::PictureGeometry picture;
        picture.frame = {0, 0, 1920, 1080};
        picture.clientWidth = 1920;
        picture.clientHeight = 1080;
        view.SetPictureGeometry(picture);
        view.SetZoom(zoom);
        view.ClampToBounds();
        std::vector<double> paint, indexed, pass, catTimes;
        for (int round = 0; round < 3; ++round) {
            paint.push_back(MedianMs(std::max(3, repeats / 3), [&] {
                (void)frostmark::PaintObjectMarks(view, objects, 0xFFFF00FF, 0xFF000000);
            }));
            indexed.push_back(MedianMs(std::max(3, repeats / 3), [&] {
                (void)frostmark::PaintObjectMarks(view, index, 0xFFFF00FF, 0xFF000000);
            }));
            // The least any painting does: look at every position once.
            volatile std::uint64_t sink = 0;
            pass.push_back(MedianMs(std::max(3, repeats / 3), [&] {
                std::uint64_t sum = 0;
                for (const frostmark::MapObject& object : objects)
                    sum += static_cast<std::uint64_t>(object.x) * 4096u + object.y;
                sink = sink + sum;
            }));
            catTimes.push_back(MedianMs(3, [&] { (void)std::system(cat.c_str()); }));
        }
        const frostmark::MarkLayer layer = frostmark::PaintObjectMarks(view, objects, 0xFFFF00FF, 0xFF000000);
        const auto marked = static_cast<std::size_t>(
            std::count_if(layer.pixels.begin(), layer.pixels.end(), [](std::uint32_t p) { return p != 0; }));
        std::sort(paint.begin(), paint.end());
        std::sort(indexed.begin(), indexed.end());
        std::sort(pass.begin(), pass.end());
        std::sort(catTimes.begin(), catTimes.end());
        std::printf("%6d %10.3f %10.3f %10.3f %10.3f %9.2f %10.2f %9.2f %10.1f%%\n", zoom, paint[1],
                    indexed[1], pass[1], catTimes[1], paint[1] / pass[1], indexed[1] / pass[1],
                    indexed[1] / catTimes[1], 100.0 * static_cast<double>(marked) / (1920.0 * 1080.0));
    }

    std::printf("\nworst build/cat at 384 x 256: %.2f (goal: at most 2)\n", worstCat);
    std::printf("worst build/same at 1920 x 1080: %.2f\n", worstLarge);
    std::printf("worst view/same at 1920 x 1080: %.2f (goal: below 3)\n", worstView);
    return worstCat <= 2.0 && worstView < 3.0 ? 0 : 1;
}
