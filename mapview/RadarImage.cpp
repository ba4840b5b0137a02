#include "mapview/RadarImage.h"

#include "mapview/ClientDirectory.h"
#include "mapview/MapGeometry.h"

#include <algorithm>
#include <cstring>

namespace frostmark {

void CRadarImage::Clear() {
    std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t{0});
}

std::uint32_t CRadarImage::Pixel(int x, int y) const {
    if (x < 0 || x >= kWidth || y < 0 || y >= kHeight) {
        return 0;
    }
    const std::uint8_t* p = &m_bytes[static_cast<std::size_t>(y * kStride + x * 3)];
    return MakeColor(p[2], p[1], p[0]);
}

void CRadarImage::SetPixel(int x, int y, std::uint32_t colour) {
    if (x < 0 || x >= kWidth || y < 0 || y >= kHeight) {
        return;
    }
    std::uint8_t* p = &m_bytes[static_cast<std::size_t>(y * kStride + x * 3)];
    p[0] = ColorBlue(colour);
    p[1] = ColorGreen(colour);
    p[2] = ColorRed(colour);
}

std::unique_ptr<CMapFileSource> CMapFileSource::Open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return nullptr;
    }
    // Every read is one large strip: the stream's own buffer would only add a copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::unique_ptr<CMapFileSource>(new CMapFileSource(file));
}

CMapFileSource::~CMapFileSource() {
    std::fclose(m_file);
}

std::size_t CMapFileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) {
    if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) {
        return 0;
    }
    return std::fread(buffer.data(), 1, buffer.size(), m_file);
}

namespace {

// Image position of a world coordinate, as the view's conversion computes it for a 384 x 256 picture.
int ImagePosition(int world, int centre, int halfExtent, int zoom) {
    return static_cast<int>(WorldDeltaToPixels(static_cast<long long>(world) - centre, zoom)) + halfExtent;
}

} // namespace

RadarBlockRange ComputeRadarBlockRange(int zoom, int centreX, int centreY) {
    const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
    // Block 0 is a block like any other: at level 32 a centre x of 6 or 7 lies in block column 0.
    const int blockX = centreX / kBlockSide;
    const int blockY = centreY / kBlockSide;

    RadarBlockRange range{};
    range.x0 = blockX - level.blocksWide / 2;
    range.x1 = blockX + level.blocksWide / 2;
    range.y0 = blockY - level.blocksHigh / 2;
    range.y1 = blockY + level.blocksHigh / 2;
    if (range.x0 > 0) {
        --range.x0;
    }
    if (range.y0 > 0) {
        --range.y0;
    }
    if (range.x1 < kBlockColumns) {
        ++range.x1;
    }
    if (range.y1 < kBlockRows) {
        ++range.y1;
    }
    range.x0 = std::max(range.x0, 0);
    range.y0 = std::max(range.y0, 0);
    range.x1 = std::min(range.x1, kBlockColumns);
    range.y1 = std::min(range.y1, kBlockRows);

    const int step = level.blockStep;
    const int samplePixels = level.samplesPerBlock * level.pixelsPerSample;
    const auto origin = [&](int block, int centre, int halfExtent) {
        return ImagePosition(block * kBlockSide, centre, halfExtent, zoom);
    };
    // Aligning the first block with the conversion moves the image by up to a block against the
    // plain range: reach further where the world has more to show.
    while (range.x0 > 0 && origin(range.x0, centreX, kRadarImageWidth / 2) > 0) {
        range.x0 = std::max(range.x0 - step, 0);
    }
    while (range.y0 > 0 && origin(range.y0, centreY, kRadarImageHeight / 2) > 0) {
        range.y0 = std::max(range.y0 - step, 0);
    }
    range.originX = origin(range.x0, centreX, kRadarImageWidth / 2);
    range.originY = origin(range.y0, centreY, kRadarImageHeight / 2);
    const auto coveredTo = [&](int first, int last, int originPos) {
        return originPos + (last - first + step - 1) / step * samplePixels;
    };
    while (range.x1 < kBlockColumns && coveredTo(range.x0, range.x1, range.originX) < kRadarImageWidth) {
        ++range.x1;
    }
    while (range.y1 < kBlockRows && coveredTo(range.y0, range.y1, range.originY) < kRadarImageHeight) {
        ++range.y1;
    }
    return range;
}

namespace {

// Fills the part of a size x size square at (left, top) that lies inside the image.
void FillSquare(std::uint8_t* image, int left, int top, int size, std::uint32_t colour) {
    const int x0 = std::max(left, 0);
    const int x1 = std::min(left + size, CRadarImage::kWidth);
    const int y0 = std::max(top, 0);
    const int y1 = std::min(top + size, CRadarImage::kHeight);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const std::uint8_t blue = ColorBlue(colour);
    const std::uint8_t green = ColorGreen(colour);
    const std::uint8_t red = ColorRed(colour);
    std::uint8_t* first = image + static_cast<std::ptrdiff_t>(y0) * CRadarImage::kStride + x0 * 3;
    std::uint8_t* p = first;
    for (int x = x0; x < x1; ++x) {
        *p++ = blue;
        *p++ = green;
        *p++ = red;
    }
    const auto rowBytes = static_cast<std::size_t>(x1 - x0) * 3;
    for (int y = y0 + 1; y < y1; ++y) {
        std::memcpy(first + static_cast<std::ptrdiff_t>(y - y0) * CRadarImage::kStride, first, rowBytes);
    }
}

} // namespace

void BuildRadarImageFrom(CMapSource& source, const CRadarColorTable& colors, int zoom, int centreX,
                         int centreY, CRadarImage& image) {
    const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
    const RadarBlockRange range = ComputeRadarBlockRange(zoom, centreX, centreY);
    image.Clear();

    const int step = level.blockStep;
    const int samples = level.samplesPerBlock;
    const int pixels = level.pixelsPerSample;
    const int blockPixels = samples * pixels;
    const auto stripBlocks = static_cast<std::size_t>(range.y1 - range.y0);
    std::vector<std::uint8_t> strip(stripBlocks * kMapBlockBytes);
    std::uint8_t* const out = image.Data();

    for (int bx = range.x0; bx < range.x1; bx += step) {
        const int left = range.originX + (bx - range.x0) / step * blockPixels;
        if (left >= CRadarImage::kWidth) {
            break;
        }
        if (left + blockPixels <= 0) {
            continue; // nothing of this column shows
        }
        const std::uint64_t offset =
            (static_cast<std::uint64_t>(bx) * kBlockRows + static_cast<std::uint64_t>(range.y0)) *
            kMapBlockBytes;
        const std::size_t got = std::min(source.ReadAt(offset, strip), strip.size());
        // Whatever the file does not have reads as tile number 0.
        std::fill(strip.begin() + static_cast<std::ptrdiff_t>(got), strip.end(), std::uint8_t{0});

        for (int by = range.y0; by < range.y1; by += step) {
            const int top = range.originY + (by - range.y0) / step * blockPixels;
            if (top >= CRadarImage::kHeight) {
                break;
            }
            if (top + blockPixels <= 0) {
                continue;
            }
            const std::uint8_t* block =
                strip.data() + static_cast<std::size_t>(by - range.y0) * kMapBlockBytes;
            for (int sy = 0; sy < samples; ++sy) {
                const int cellY = kBlockSide * sy / samples;
                for (int sx = 0; sx < samples; ++sx) {
                    const int cellX = kBlockSide * sx / samples;
                    const std::uint8_t* cell =
                        block + kMapBlockHeaderBytes + (cellY * kBlockSide + cellX) * kMapCellBytes;
                    const auto tile = static_cast<std::uint16_t>(cell[0] | (cell[1] << 8));
                    FillSquare(out, left + sx * pixels, top + sy * pixels, pixels, colors[tile]);
                }
            }
        }
    }
}

bool BuildRadarImage(const std::string& clientDirectory, const CRadarColorTable& colors, int zoom,
                     int& centreX, int& centreY, CRadarImage& image) {
    ClampCentre(zoom, centreX, centreY);
    const std::unique_ptr<CMapFileSource> source =
        CMapFileSource::Open(ClientFilePath(clientDirectory, kMapFileName));
    if (!source) {
        return false;
    }
    BuildRadarImageFrom(*source, colors, zoom, centreX, centreY, image);
    return true;
}

} // namespace frostmark
