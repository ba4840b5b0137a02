#pragma once

// The radar image: an overview of the world around the view centre, as large as the picture that shows
// it, one colour per sampled map cell, built from the client's map0.mul and the radar colours.

#include "mapview/MapGeometry.h"
#include "mapview/RadarColors.h"
#include "platform/Files.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace frostmark {

// A picture-sized image, 24 bits, rows from the top down, each pixel three bytes blue, green, red.
// The default size is the dialog's classic 384 x 256 (1152 bytes a row, 294912 in all).
class CRadarImage {
public:
    static constexpr int kWidth = 384; // the default size
    static constexpr int kHeight = 256;
    static constexpr int kStride = kWidth * 3;
    static constexpr int kByteCount = kStride * kHeight;

    CRadarImage() : CRadarImage(kWidth, kHeight) {}
    CRadarImage(int width, int height) { Resize(width, height); }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_width * 3; }
    std::size_t ByteCount() const { return m_bytes.size(); }
    const std::uint8_t* Data() const { return m_bytes.data(); }
    std::uint8_t* Data() { return m_bytes.data(); }
    // A new size, all black. Sizes below 0 count as 0.
    void Resize(int width, int height);
    // Black everywhere.
    void Clear();
    // The pixel at (x, y) as a colour reference (red in the low byte); 0 outside the image.
    std::uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t colour);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_bytes;
};

// What a build computes: one pixel per sample (a tile at the close levels, a picture pixel at the far
// ones), covering the samples that show in the picture. Each sample fills PixelsPerSample() pixels
// along each side, the first one with its top-left corner at picture pixel (OriginX(), OriginY());
// picture pixels no sample covers are black. Drawing it scaled by that whole factor gives the picture
// image; toolkits scale it when they paint, so a build at a close level touches a few thousand samples
// rather than every pixel of a large picture.
class CRadarSamples {
public:
    int Width() const { return m_width; } // in samples
    int Height() const { return m_height; }
    int PixelsPerSample() const { return m_pixelsPerSample; }
    int OriginX() const { return m_originX; }
    int OriginY() const { return m_originY; }
    int PictureWidth() const { return m_pictureWidth; }
    int PictureHeight() const { return m_pictureHeight; }
    // Pixel values 0xFFRRGGBB (see ColorToPixel), rows from the top down, Width() values a row.
    const std::uint32_t* Data() const { return m_pixels.data(); }
    std::uint32_t* Data() { return m_pixels.data(); }
    // The sample that covers picture pixel (x, y), as a colour reference; 0 (black) where none does.
    std::uint32_t PictureColor(int x, int y) const;

    // Takes a new layout; the samples' values are left for the build to write.
    void Reset(int width, int height, int pixelsPerSample, int originX, int originY, int pictureWidth,
               int pictureHeight);

private:
    int m_width = 0;
    int m_height = 0;
    int m_pixelsPerSample = 1;
    int m_originX = 0;
    int m_originY = 0;
    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
    std::vector<std::uint32_t> m_pixels;
};

// Where map0.mul's bytes come from: a file, or anything a test makes up.
class CMapSource {
public:
    virtual ~CMapSource() = default;
    // Reads up to buffer.size() bytes at `offset`; answers how many were read (fewer at the end).
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) = 0;
    // The `size` bytes at `offset` where the source holds them in memory, to be used in place while the
    // source lives; nullptr otherwise (then ReadAt reads them).
    virtual const std::uint8_t* BytesAt(std::uint64_t offset, std::size_t size) const {
        (void)offset;
        (void)size;
        return nullptr;
    }
};

class CMapFileSource final : public CMapSource {
public:
    // nullptr when the file cannot be opened or is no regular file (a device, a FIFO).
    static std::unique_ptr<CMapFileSource> Open(const std::string& path);
    ~CMapFileSource() override;
    CMapFileSource(const CMapFileSource&) = delete;
    CMapFileSource& operator=(const CMapFileSource&) = delete;

    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override;

private:
    explicit CMapFileSource(CFile file) : m_file(std::move(file)) {}
    CFile m_file;
};

// The whole of a map0.mul in memory, for a view that rebuilds its image at every zoom and pan step: the
// build then reads the blocks in place instead of copying them out of the file each time, and zooming
// and panning cost only the drawing. Knows which state of the file it holds, so that a view can load it
// again when the client's files change.
class CMapMemorySource final : public CMapSource {
public:
    // nullptr when the file cannot be opened, is no regular file or cannot be read whole. Bytes past
    // the full map's size are never used and are left out.
    static std::unique_ptr<CMapMemorySource> Load(const std::string& path);

    const std::string& Path() const { return m_path; }
    const CFileIdentity& Identity() const { return m_identity; }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override;
    const std::uint8_t* BytesAt(std::uint64_t offset, std::size_t size) const override;

private:
    CMapMemorySource() = default;
    std::string m_path;
    CFileIdentity m_identity;
    std::vector<std::uint8_t> m_bytes;
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

// For a centre that lies within the level's bounds (see ClampCentre) and a picture of the given size.
RadarBlockRange ComputeRadarBlockRange(int zoom, int centreX, int centreY,
                                       int pictureWidth = kRadarImageWidth,
                                       int pictureHeight = kRadarImageHeight);

// Builds the samples of `zoom` around a centre within the level's bounds, for a picture of the given
// size, from `source`. Reads once per block column that shows in the picture, each read covering the
// column's blocks y0..y1-1; bytes the source does not have read as 0 (tile number 0).
void BuildRadarSamples(CMapSource& source, const CRadarColorTable& colors, int zoom, int centreX, int centreY,
                       int pictureWidth, int pictureHeight, CRadarSamples& samples);

// The picture image the samples stand for: black, with every sample filling its square (clipped).
void ExpandRadarSamples(const CRadarSamples& samples, CRadarImage& image);

// Builds the image of `zoom` around a centre within the level's bounds from `source`, at the image's
// own size.
void BuildRadarImageFrom(CMapSource& source, const CRadarColorTable& colors, int zoom, int centreX,
                         int centreY, CRadarImage& image);

// Clamps the centre into the bounds of `zoom` for the image's size (always), then builds the image from
// "<clientDirectory>map0.mul". False when that file cannot be opened: the image keeps what it held.
bool BuildRadarImage(const std::string& clientDirectory, const CRadarColorTable& colors, int zoom,
                     int& centreX, int& centreY, CRadarImage& image);

// The same for samples, for a picture of the given size.
bool BuildRadarSamples(const std::string& clientDirectory, const CRadarColorTable& colors, int zoom,
                       int& centreX, int& centreY, int pictureWidth, int pictureHeight,
                       CRadarSamples& samples);

} // namespace frostmark
