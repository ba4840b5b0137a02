#include "mapview/RadarImage.h"

#include "mapview/ClientDirectory.h"
#include "mapview/MapGeometry.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace frostmark {

void CRadarImage::Resize(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_bytes.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height) * 3, 0);
}

void CRadarImage::Clear() {
    std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t{0});
}

std::uint32_t CRadarImage::Pixel(int x, int y) const {
    if (x < 0 || x >= m_width || y < 0 || y >= m_height) {
        return 0;
    }
    const std::uint8_t* p = &m_bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride()) +
                                     static_cast<std::size_t>(x) * 3];
    return MakeColor(p[2], p[1], p[0]);
}

void CRadarImage::SetPixel(int x, int y, std::uint32_t colour) {
    if (x < 0 || x >= m_width || y < 0 || y >= m_height) {
        return;
    }
    std::uint8_t* p = &m_bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride()) +
                               static_cast<std::size_t>(x) * 3];
    p[0] = ColorBlue(colour);
    p[1] = ColorGreen(colour);
    p[2] = ColorRed(colour);
}

void CRadarSamples::Reset(int width, int height, int pixelsPerSample, int originX, int originY,
                          int pictureWidth, int pictureHeight) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixelsPerSample = std::max(pixelsPerSample, 1);
    m_originX = originX;
    m_originY = originY;
    m_pictureWidth = pictureWidth;
    m_pictureHeight = pictureHeight;
    // Every sample is written by the build; growing only, the buffer is reused from build to build.
    const std::size_t count = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    if (m_pixels.size() < count) {
        m_pixels.resize(count);
    }
}

std::uint32_t CRadarSamples::PictureColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_pictureWidth || y >= m_pictureHeight || x < m_originX || y < m_originY) {
        return 0;
    }
    const int sx = (x - m_originX) / m_pixelsPerSample;
    const int sy = (y - m_originY) / m_pixelsPerSample;
    if (sx >= m_width || sy >= m_height) {
        return 0;
    }
    const std::uint32_t pixel = m_pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(m_width) +
                                         static_cast<std::size_t>(sx)];
    return MakeColor(static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                     static_cast<std::uint8_t>(pixel));
}

std::unique_ptr<CMapFileSource> CMapFileSource::Open(const std::string& path) {
    CFile file;
    if (!file.OpenRegular(path)) {
        return nullptr;
    }
    return std::unique_ptr<CMapFileSource>(new CMapFileSource(std::move(file)));
}

CMapFileSource::~CMapFileSource() = default;

std::size_t CMapFileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const std::int64_t got = m_file.ReadAt(buffer.data() + done, buffer.size() - done, offset + done);
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::unique_ptr<CMapMemorySource> CMapMemorySource::Load(const std::string& path) {
    CFile file;
    std::unique_ptr<CMapMemorySource> source(new CMapMemorySource());
    std::uint64_t size = 0;
    if (!file.OpenRegular(path) || !file.Identity(source->m_identity) || !file.Size(size)) {
        return nullptr;
    }
    source->m_path = path;
    source->m_bytes.resize(static_cast<std::size_t>(std::min(size, kMapFileBytes)));
    std::size_t done = 0;
    while (done < source->m_bytes.size()) {
        const std::int64_t got =
            file.ReadAt(source->m_bytes.data() + done, source->m_bytes.size() - done, done);
        if (got <= 0) {
            return nullptr; // shorter than it said, or unreadable: not a state of the file to keep
        }
        done += static_cast<std::size_t>(got);
    }
    return source;
}

std::size_t CMapMemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) {
    if (offset >= m_bytes.size()) {
        return 0;
    }
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), m_bytes.size() - offset));
    std::memcpy(buffer.data(), m_bytes.data() + offset, count);
    return count;
}

const std::uint8_t* CMapMemorySource::BytesAt(std::uint64_t offset, std::size_t size) const {
    if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
        return nullptr;
    }
    return m_bytes.data() + offset;
}

namespace {

// Image position of a world coordinate, as the view's conversion computes it for a picture whose middle
// is `halfExtent` pixels from its edge.
int ImagePosition(int world, int centre, int halfExtent, int zoom) {
    return static_cast<int>(WorldDeltaToPixels(static_cast<long long>(world) - centre, zoom)) + halfExtent;
}

} // namespace

RadarBlockRange ComputeRadarBlockRange(int zoom, int centreX, int centreY, int pictureWidth,
                                       int pictureHeight) {
    const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
    const LevelExtent extent = GetLevelExtent(zoom, pictureWidth, pictureHeight);
    // Block 0 is a block like any other: at level 32 a centre x of 6 or 7 lies in block column 0.
    const int blockX = centreX / kBlockSide;
    const int blockY = centreY / kBlockSide;
    const int step = level.blockStep;

    RadarBlockRange range{};
    range.x0 = blockX - extent.blocksWide / 2;
    range.x1 = blockX + extent.blocksWide / 2;
    range.y0 = blockY - extent.blocksHigh / 2;
    range.y1 = blockY + extent.blocksHigh / 2;
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
    // Where every other block is sampled, the sampled ones stay the even ones wherever the view is, so
    // that the picture does not change its terrain as it moves.
    range.x0 -= range.x0 % step;
    range.y0 -= range.y0 % step;

    const int samplePixels = level.samplesPerBlock * level.pixelsPerSample;
    const int halfWidth = pictureWidth / 2;
    const int halfHeight = pictureHeight / 2;
    const auto origin = [&](int block, int centre, int halfExtent) {
        return ImagePosition(block * kBlockSide, centre, halfExtent, zoom);
    };
    // Aligning the first block with the conversion moves the image by up to a block against the
    // plain range: reach further where the world has more to show.
    while (range.x0 > 0 && origin(range.x0, centreX, halfWidth) > 0) {
        range.x0 = std::max(range.x0 - step, 0);
    }
    while (range.y0 > 0 && origin(range.y0, centreY, halfHeight) > 0) {
        range.y0 = std::max(range.y0 - step, 0);
    }
    range.originX = origin(range.x0, centreX, halfWidth);
    range.originY = origin(range.y0, centreY, halfHeight);
    const auto coveredTo = [&](int first, int last, int originPos) {
        return originPos + (last - first + step - 1) / step * samplePixels;
    };
    while (range.x1 < kBlockColumns && coveredTo(range.x0, range.x1, range.originX) < pictureWidth) {
        ++range.x1;
    }
    while (range.y1 < kBlockRows && coveredTo(range.y0, range.y1, range.originY) < pictureHeight) {
        ++range.y1;
    }
    return range;
}

namespace {

// a / b rounded up, for b > 0 and any a.
int CeilDiv(int a, int b) {
    return a >= 0 ? (a + b - 1) / b : -(-a / b);
}

// The samples of one block row and column range that show: [first, end) of the grid's columns or rows.
struct SampleSpan {
    int first;
    int end;
};

// Which of `total` samples, `pixels` wide each and the first at picture position `origin`, reach into a
// picture side of `side` pixels.
SampleSpan VisibleSamples(int origin, int pixels, int side, int total) {
    const int first = origin < 0 ? -origin / pixels : 0;
    const int end = std::clamp(CeilDiv(side - origin, pixels), 0, total);
    return {std::min(first, end), end};
}

// The eight samples of one row of cells of a block, on machines that keep numbers little-end first as
// the file does: three 8-byte loads instead of sixteen byte loads, and every load before the stores,
// which the compiler may not move past them on its own (a store could change the colour table).
inline void LayCellRow(const std::uint8_t* cells, const std::uint32_t* pixelOf, std::uint32_t* out) {
    std::uint64_t a = 0, b = 0, c = 0;
    std::memcpy(&a, cells, 8);
    std::memcpy(&b, cells + 8, 8);
    std::memcpy(&c, cells + 16, 8);
    const std::uint32_t p0 = pixelOf[a & 0xFFFF];
    const std::uint32_t p1 = pixelOf[(a >> 24) & 0xFFFF];
    const std::uint32_t p2 = pixelOf[(a >> 48) & 0xFFFF];
    const std::uint32_t p3 = pixelOf[(b >> 8) & 0xFFFF];
    const std::uint32_t p4 = pixelOf[(b >> 32) & 0xFFFF];
    const std::uint32_t p5 = pixelOf[((b >> 56) | (c << 8)) & 0xFFFF];
    const std::uint32_t p6 = pixelOf[(c >> 16) & 0xFFFF];
    const std::uint32_t p7 = pixelOf[(c >> 40) & 0xFFFF];
    out[0] = p0;
    out[1] = p1;
    out[2] = p2;
    out[3] = p3;
    out[4] = p4;
    out[5] = p5;
    out[6] = p6;
    out[7] = p7;
}

} // namespace

void BuildRadarSamples(CMapSource& source, const CRadarColorTable& colors, int zoom, int centreX, int centreY,
                       int pictureWidth, int pictureHeight, CRadarSamples& samples) {
    const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
    const RadarBlockRange range = ComputeRadarBlockRange(zoom, centreX, centreY, pictureWidth, pictureHeight);
    const int step = level.blockStep;
    const int perBlock = level.samplesPerBlock;
    const int pixels = level.pixelsPerSample;

    const int totalColumns = (range.x1 - range.x0 + step - 1) / step * perBlock;
    const int totalRows = (range.y1 - range.y0 + step - 1) / step * perBlock;
    const SampleSpan columns = VisibleSamples(range.originX, pixels, pictureWidth, totalColumns);
    const SampleSpan rows = VisibleSamples(range.originY, pixels, pictureHeight, totalRows);
    const int width = columns.end - columns.first;
    samples.Reset(width, rows.end - rows.first, pixels, range.originX + columns.first * pixels,
                  range.originY + rows.first * pixels, pictureWidth, pictureHeight);
    if (width == 0 || rows.end == rows.first) {
        return;
    }

    // Byte offset of each sampled cell inside its block, sample row by sample row.
    std::array<int, 64> cellOffsets{};
    for (int sy = 0; sy < perBlock; ++sy) {
        for (int sx = 0; sx < perBlock; ++sx) {
            const int cellX = kBlockSide * sx / perBlock;
            const int cellY = kBlockSide * sy / perBlock;
            cellOffsets[static_cast<std::size_t>(sy * perBlock + sx)] =
                kMapBlockHeaderBytes + (cellY * kBlockSide + cellX) * kMapCellBytes;
        }
    }

    // Block columns are read one strip each (or used in place where the source holds them in memory),
    // but laid out several at a time: a sample row then gets runs of many samples in a row rather than
    // eight, which spares the large pictures a cache miss on nearly every write.
    constexpr int kColumnsAtOnce = 8;
    const auto stripBlocks = static_cast<std::size_t>(range.y1 - range.y0);
    const std::size_t stripBytes = stripBlocks * kMapBlockBytes;
    std::vector<std::uint8_t> buffer;
    const std::uint32_t* const pixelOf = colors.Pixels();
    std::uint32_t* const out = samples.Data();
    // The levels that sample every cell of a block take a row of cells at once.
    const bool wholeCellRows = perBlock == kBlockSide && std::endian::native == std::endian::little;

    struct Column {
        const std::uint8_t* strip;
        std::ptrdiff_t out; // where its first sample of a row goes, from the row's start
        int sxFrom, sxTo;
    };
    std::array<Column, kColumnsAtOnce> batch{};
    bool past = false; // a column beyond the picture was reached
    for (int bx = range.x0; bx < range.x1 && !past;) {
        int count = 0;
        for (; count < kColumnsAtOnce && bx < range.x1; bx += step) {
            const int columnBase = (bx - range.x0) / step * perBlock;
            if (columnBase >= columns.end) {
                past = true;
                break;
            }
            if (columnBase + perBlock <= columns.first) {
                continue; // nothing of this column shows
            }
            const std::uint64_t offset =
                (static_cast<std::uint64_t>(bx) * kBlockRows + static_cast<std::uint64_t>(range.y0)) *
                kMapBlockBytes;
            const std::uint8_t* strip = source.BytesAt(offset, stripBytes);
            if (strip == nullptr) {
                buffer.resize(stripBytes * kColumnsAtOnce);
                std::uint8_t* into = buffer.data() + static_cast<std::size_t>(count) * stripBytes;
                const std::size_t got =
                    std::min(source.ReadAt(offset, std::span<std::uint8_t>(into, stripBytes)), stripBytes);
                // Whatever the file does not have reads as tile number 0.
                std::fill(into + got, into + stripBytes, std::uint8_t{0});
                strip = into;
            }
            const int sxFrom = std::max(0, columns.first - columnBase);
            const int sxTo = std::min(perBlock, columns.end - columnBase);
            batch[static_cast<std::size_t>(count++)] = {strip, columnBase + sxFrom - columns.first, sxFrom,
                                                        sxTo};
        }

        for (int by = range.y0; by < range.y1 && count > 0; by += step) {
            const int rowBase = (by - range.y0) / step * perBlock;
            if (rowBase >= rows.end) {
                break;
            }
            if (rowBase + perBlock <= rows.first) {
                continue;
            }
            const std::size_t blockAt = static_cast<std::size_t>(by - range.y0) * kMapBlockBytes;
            const int syFrom = std::max(0, rows.first - rowBase);
            const int syTo = std::min(perBlock, rows.end - rowBase);
            for (int sy = syFrom; sy < syTo; ++sy) {
                std::uint32_t* const row =
                    out + static_cast<std::ptrdiff_t>(rowBase + sy - rows.first) * width;
                const int* offsets = &cellOffsets[static_cast<std::size_t>(sy * perBlock)];
                for (int k = 0; k < count; ++k) {
                    const Column& column = batch[static_cast<std::size_t>(k)];
                    const std::uint8_t* block = column.strip + blockAt;
                    std::uint32_t* o = row + column.out;
                    if (wholeCellRows && column.sxFrom == 0 && column.sxTo == kBlockSide) {
                        LayCellRow(block + offsets[0], pixelOf, o);
                        continue;
                    }
                    for (int sx = column.sxFrom; sx < column.sxTo; ++sx) {
                        const std::uint8_t* cell = block + offsets[sx];
                        *o++ = pixelOf[cell[0] | (cell[1] << 8)];
                    }
                }
            }
        }
    }
}

void ExpandRadarSamples(const CRadarSamples& samples, CRadarImage& image) {
    if (image.Width() != samples.PictureWidth() || image.Height() != samples.PictureHeight()) {
        image.Resize(samples.PictureWidth(), samples.PictureHeight());
    } else {
        image.Clear();
    }
    const int pixels = samples.PixelsPerSample();
    const int stride = image.Stride();
    std::uint8_t* const out = image.Data();
    for (int sy = 0; sy < samples.Height(); ++sy) {
        const int top = samples.OriginY() + sy * pixels;
        const int y0 = std::max(top, 0);
        const int y1 = std::min(top + pixels, image.Height());
        if (y0 >= y1) {
            continue;
        }
        std::uint8_t* first = out + static_cast<std::ptrdiff_t>(y0) * stride;
        const std::uint32_t* in = samples.Data() + static_cast<std::ptrdiff_t>(sy) * samples.Width();
        for (int sx = 0; sx < samples.Width(); ++sx) {
            const int left = samples.OriginX() + sx * pixels;
            const int x0 = std::max(left, 0);
            const int x1 = std::min(left + pixels, image.Width());
            const std::uint32_t pixel = in[sx];
            for (int x = x0; x < x1; ++x) {
                std::uint8_t* p = first + static_cast<std::ptrdiff_t>(x) * 3;
                p[0] = static_cast<std::uint8_t>(pixel);       // blue
                p[1] = static_cast<std::uint8_t>(pixel >> 8);  // green
                p[2] = static_cast<std::uint8_t>(pixel >> 16); // red
            }
        }
        // The rows of a sample are all alike.
        const auto rowBytes = static_cast<std::size_t>(stride);
        for (int y = y0 + 1; y < y1; ++y) {
            std::memcpy(out + static_cast<std::ptrdiff_t>(y) * stride, first, rowBytes);
        }
    }
}

void BuildRadarImageFrom(CMapSource& source, const CRadarColorTable& colors, int zoom, int centreX,
                         int centreY, CRadarImage& image) {
    CRadarSamples samples;
    BuildRadarSamples(source, colors, zoom, centreX, centreY, image.Width(), image.Height(), samples);
    ExpandRadarSamples(samples, image);
}

bool BuildRadarImage(const std::string& clientDirectory, const CRadarColorTable& colors, int zoom,
                     int& centreX, int& centreY, CRadarImage& image) {
    ClampCentre(zoom, image.Width(), image.Height(), centreX, centreY);
    const std::unique_ptr<CMapFileSource> source =
        CMapFileSource::Open(ClientFilePath(clientDirectory, kMapFileName));
    if (!source) {
        return false;
    }
    BuildRadarImageFrom(*source, colors, zoom, centreX, centreY, image);
    return true;
}

bool BuildRadarSamples(const std::string& clientDirectory, const CRadarColorTable& colors, int zoom,
                       int& centreX, int& centreY, int pictureWidth, int pictureHeight,
                       CRadarSamples& samples) {
    ClampCentre(zoom, pictureWidth, pictureHeight, centreX, centreY);
    const std::unique_ptr<CMapFileSource> source =
        CMapFileSource::Open(ClientFilePath(clientDirectory, kMapFileName));
    if (!source) {
        return false;
    }
    BuildRadarSamples(*source, colors, zoom, centreX, centreY, pictureWidth, pictureHeight, samples);
    return true;
}

} // namespace frostmark
