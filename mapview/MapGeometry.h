#pragma once

// The world's fixed geometry and the zoom levels of the map view, with everything each level needs:
// which centres it allows, how much of the world it shows and how map blocks become pixels.

#include <array>
#include <cstdint>
#include <string>

namespace frostmark {

inline constexpr int kWorldWidth = 6144;                       // tiles, x 0..6143
inline constexpr int kWorldHeight = 4096;                      // tiles, y 0..4095
inline constexpr int kBlockSide = 8;                           // a map block is 8 x 8 tiles
inline constexpr int kBlockColumns = kWorldWidth / kBlockSide; // 768
inline constexpr int kBlockRows = kWorldHeight / kBlockSide;   // 512
inline constexpr int kMapBlockBytes = 196;                     // 4-byte header and 64 cells of 3 bytes
inline constexpr int kMapCellBytes = 3;
inline constexpr int kMapBlockHeaderBytes = 4;
inline constexpr std::uint64_t kMapFileBytes =
    std::uint64_t{kBlockColumns} * kBlockRows * kMapBlockBytes; // 77,070,336

inline constexpr int kRadarImageWidth = 384;
inline constexpr int kRadarImageHeight = 256;

inline constexpr int kInitialZoom = -16;
inline constexpr int kInitialCentreX = 3072;
inline constexpr int kInitialCentreY = 2048;

// One zoom level. Negative levels -n show n tiles per pixel, positive levels n show a tile as n x n
// pixels; -1 and 1 both show one tile per pixel.
struct ZoomLevelInfo {
    int zoom;
    int minCentreX, maxCentreX; // also the horizontal scroll range
    int minCentreY, maxCentreY; // also the vertical scroll range
    int blocksWide;             // visible extent in blocks (W)
    int blocksHigh;             // (H)
    int samplesPerBlock;        // cells sampled along each block side (S)
    int pixelsPerSample;        // pixels each sample fills along each side (P)
    int blockStep;              // block columns and rows advanced per sample
};

// Every level from the farthest to the closest.
inline constexpr std::array<int, 11> kZoomLevels = {-16, -8, -4, -2, -1, 1, 2, 4, 8, 16, 32};

bool IsZoomLevel(int zoom);

// The parameters of `zoom`; a value that is not a level answers those of the initial level.
const ZoomLevelInfo& GetZoomLevelInfo(int zoom);

// The next closer level (32 stays 32) and the next farther one (-16 stays -16). -1 and 1 both lead to 2
// inwards and to -2 outwards.
int ZoomInLevel(int zoom);
int ZoomOutLevel(int zoom);

// Tiles per pixel as a double (used when turning pixels into tiles) and pixels per tile as a float
// (used when turning tiles into pixels); the two precisions are part of how positions round.
double TilesPerPixel(int zoom);
float ViewFactor(int zoom);

// A distance in tiles as pixels at `zoom`: trunc(delta * ViewFactor(zoom)), toward zero. The product is
// taken in single precision (exact for every distance inside the world); distances too large for that
// are taken in double precision so that no input can overflow.
long long WorldDeltaToPixels(long long delta, int zoom);

// A distance in pixels as tiles at `zoom`: trunc(delta * TilesPerPixel(zoom)), toward zero.
long long PixelDeltaToWorld(long long delta, int zoom);

// How a level shows the world, for people: "16 tiles a pixel", "1 tile a pixel", "4 pixels a tile".
std::string DescribeZoomLevel(int zoom);

// Moves a centre into the bounds of `zoom` for the default 384 x 256 picture.
void ClampCentre(int zoom, int& centreX, int& centreY);

// A level's centre bounds and visible extent for a picture of any size, by the rules the table above
// follows for 384 x 256: the bounds keep half the visible extent (half the picture's width and height,
// rounded down, in tiles, rounded up) inside the world, and where the world is narrower or lower than
// the picture the centre stays at the world's middle; the extent in blocks is the picture's size in
// tiles divided by 8, rounded down. At 384 x 256 (and 384 x 257) this is the table.
struct LevelExtent {
    int minCentreX, maxCentreX;
    int minCentreY, maxCentreY;
    int blocksWide, blocksHigh;
};
LevelExtent GetLevelExtent(int zoom, int pictureWidth, int pictureHeight);

// Moves a centre into the bounds of `zoom` for a picture of the given size.
void ClampCentre(int zoom, int pictureWidth, int pictureHeight, int& centreX, int& centreY);

// The closest level at which the whole world fits into a picture of the given size (-16 when it fits
// at no level).
int WholeWorldLevel(int pictureWidth, int pictureHeight);

} // namespace frostmark
