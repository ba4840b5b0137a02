#pragma once

// The radar image: a 384 x 256 overview of the world around the view centre, one colour per sampled
// map cell, built from the client's map0.mul and the radar colours.

#include "mapview/RadarColors.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace frostmark {

// 384 x 256 pixels, 24 bits, rows from the top down, each pixel three bytes blue, green, red.
class CRadarImage {
public:
    static constexpr int kWidth = 384;
    static constexpr int kHeight = 256;
    static constexpr int kStride = kWidth * 3;           // 1152 bytes per row
    static constexpr int kByteCount = kStride * kHeight; // 294912

    CRadarImage() : m_bytes(kByteCount, 0) {}

    const std::uint8_t* Data() const { return m_bytes.data(); }
    std::uint8_t* Data() { return m_bytes.data(); }
    // Black everywhere.
    void Clear();
    // The pixel at (x, y) as a colour reference (red in the low byte); 0 outside the image.
    std::uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t colour);

private:
    std::vector<std::uint8_t> m_bytes;
};

// Where map0.mul's bytes come from: a file, or anything a test makes up.
class CMapSource {
public:
    virtual ~CMapSource() = default;
    // Reads up to buffer.size() bytes at `offset`; answers how many were read (fewer at the end).
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) = 0;
};

class CMapFileSource final : public CMapSource {
public:
    // nullptr when the file cannot be opened.
    static std::unique_ptr<CMapFileSource> Open(const std::string& path);
    ~CMapFileSource() override;
    CMapFileSource(const CMapFileSource&) = delete;
    CMapFileSource& operator=(const CMapFileSource&) = delete;

    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override;

private:
    explicit CMapFileSource(std::FILE* file) : m_file(file) {}
    std::FILE* m_file;
};

// The blocks a build reads and where they land. Blocks x0 <= bx < x1, y0 <= by < y1 are read (every
// step-th of them sampled); the sample of block (x0, y0)'s top-left cell fills the pixels from
// (originX, originY). The origin is where the view's world-to-view conversion puts the world point
// (8 * x0, 8 * y0), so terrain and patch areas agree at every level; the range is the visible extent
// around the centre block, widened by one block on each side and further where the image would
// otherwise keep an unread strip at its edges.
struct RadarBlockRange {
    int x0, x1, y0, y1;
    int originX, originY;
};

// For a centre that lies within the level's bounds (see ClampCentre).
RadarBlockRange ComputeRadarBlockRange(int zoom, int centreX, int centreY);

// Builds the image of `zoom` around a centre within the level's bounds from `source`. Reads once per
// block column that shows in the image, each read covering the column's blocks y0..y1-1; bytes the
// source does not have read as 0 (tile number 0).
void BuildRadarImageFrom(CMapSource& source, const CRadarColorTable& colors, int zoom, int centreX,
                         int centreY, CRadarImage& image);

// Clamps the centre into the bounds of `zoom` (always), then builds the image from
// "<clientDirectory>map0.mul". False when that file cannot be opened: the image keeps what it held.
bool BuildRadarImage(const std::string& clientDirectory, const CRadarColorTable& colors, int zoom,
                     int& centreX, int& centreY, CRadarImage& image);

} // namespace frostmark
