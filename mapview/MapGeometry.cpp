#include "mapview/MapGeometry.h"

#include <algorithm>

namespace frostmark {

namespace {

// Centre bounds keep half the visible extent (192 and 128 pixels' worth of tiles) inside the world.
constexpr std::array<ZoomLevelInfo, 11> kLevelTable = {{
    {-16, 3072, 3072, 2048, 2048, 768, 512, 1, 1, 2},
    {-8, 1536, 4608, 1024, 3072, 384, 256, 1, 1, 1},
    {-4, 768, 5376, 512, 3584, 192, 128, 2, 1, 1},
    {-2, 384, 5760, 256, 3840, 96, 64, 4, 1, 1},
    {-1, 192, 5952, 128, 3968, 48, 32, 8, 1, 1},
    {1, 192, 5952, 128, 3968, 48, 32, 8, 1, 1},
    {2, 96, 6048, 64, 4032, 24, 16, 8, 2, 1},
    {4, 48, 6096, 32, 4064, 12, 8, 8, 4, 1},
    {8, 24, 6120, 16, 4080, 6, 4, 8, 8, 1},
    {16, 12, 6132, 8, 4088, 3, 2, 8, 16, 1},
    {32, 6, 6138, 4, 4092, 1, 1, 8, 32, 1},
}};

int LevelIndex(int zoom) {
    for (std::size_t i = 0; i < kZoomLevels.size(); ++i) {
        if (kZoomLevels[i] == zoom) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

bool IsZoomLevel(int zoom) {
    return LevelIndex(zoom) >= 0;
}

const ZoomLevelInfo& GetZoomLevelInfo(int zoom) {
    const int index = LevelIndex(zoom);
    return kLevelTable[static_cast<std::size_t>(index < 0 ? 0 : index)];
}

int ZoomInLevel(int zoom) {
    if (zoom == -1 || zoom == 1) {
        return 2;
    }
    const int index = LevelIndex(zoom);
    if (index < 0 || index + 1 >= static_cast<int>(kZoomLevels.size())) {
        return zoom;
    }
    return kZoomLevels[static_cast<std::size_t>(index + 1)];
}

int ZoomOutLevel(int zoom) {
    if (zoom == -1 || zoom == 1) {
        return -2;
    }
    const int index = LevelIndex(zoom);
    if (index <= 0) {
        return zoom;
    }
    return kZoomLevels[static_cast<std::size_t>(index - 1)];
}

double TilesPerPixel(int zoom) {
    return zoom > 0 ? 1.0 / zoom : static_cast<double>(-zoom);
}

float ViewFactor(int zoom) {
    return zoom > 0 ? static_cast<float>(zoom) : 1.0f / static_cast<float>(-zoom);
}

namespace {

long long TruncateClamped(double value) {
    constexpr double kLimit = 4.0e18; // inside the range of long long
    return static_cast<long long>(std::clamp(value, -kLimit, kLimit));
}

} // namespace

long long WorldDeltaToPixels(long long delta, int zoom) {
    constexpr long long kExactInFloat = 1LL << 24;
    if (delta > -kExactInFloat && delta < kExactInFloat) {
        return static_cast<long long>(static_cast<float>(delta) * ViewFactor(zoom));
    }
    return TruncateClamped(static_cast<double>(delta) * static_cast<double>(ViewFactor(zoom)));
}

long long PixelDeltaToWorld(long long delta, int zoom) {
    return TruncateClamped(static_cast<double>(delta) * TilesPerPixel(zoom));
}

std::string DescribeZoomLevel(int zoom) {
    if (zoom == 1 || zoom == -1) {
        return "1 tile a pixel";
    }
    return zoom < 0 ? std::to_string(-zoom) + " tiles a pixel" : std::to_string(zoom) + " pixels a tile";
}

void ClampCentre(int zoom, int& centreX, int& centreY) {
    const ZoomLevelInfo& level = GetZoomLevelInfo(zoom);
    centreX = std::clamp(centreX, level.minCentreX, level.maxCentreX);
    centreY = std::clamp(centreY, level.minCentreY, level.maxCentreY);
}

namespace {

// Half a picture side (rounded down) in tiles at `zoom`, rounded up: a centre this far from the edge
// shows the world up to the picture's edge and no further.
long long HalfExtentTiles(int pictureSide, int zoom) {
    const long long half = std::max(pictureSide, 0) / 2;
    return zoom > 0 ? (half + zoom - 1) / zoom : half * -zoom;
}

// The picture side in blocks, rounded down.
int ExtentBlocks(int pictureSide, int zoom) {
    const long long side = std::max(pictureSide, 0);
    const long long tiles = zoom > 0 ? side / zoom : side * -zoom;
    return static_cast<int>(std::min<long long>(tiles / kBlockSide, 1 << 20));
}

void CentreBounds(long long half, int world, int& low, int& high) {
    if (2 * half > world) {
        low = high = world / 2;
        return;
    }
    low = static_cast<int>(half);
    high = world - static_cast<int>(half);
}

} // namespace

LevelExtent GetLevelExtent(int zoom, int pictureWidth, int pictureHeight) {
    if (!IsZoomLevel(zoom)) {
        zoom = kInitialZoom;
    }
    LevelExtent extent{};
    CentreBounds(HalfExtentTiles(pictureWidth, zoom), kWorldWidth, extent.minCentreX, extent.maxCentreX);
    CentreBounds(HalfExtentTiles(pictureHeight, zoom), kWorldHeight, extent.minCentreY, extent.maxCentreY);
    extent.blocksWide = ExtentBlocks(pictureWidth, zoom);
    extent.blocksHigh = ExtentBlocks(pictureHeight, zoom);
    return extent;
}

void ClampCentre(int zoom, int pictureWidth, int pictureHeight, int& centreX, int& centreY) {
    const LevelExtent extent = GetLevelExtent(zoom, pictureWidth, pictureHeight);
    centreX = std::clamp(centreX, extent.minCentreX, extent.maxCentreX);
    centreY = std::clamp(centreY, extent.minCentreY, extent.maxCentreY);
}

int WholeWorldLevel(int pictureWidth, int pictureHeight) {
    for (auto it = kZoomLevels.rbegin(); it != kZoomLevels.rend(); ++it) {
        const double tiles = TilesPerPixel(*it);
        if (pictureWidth * tiles >= kWorldWidth && pictureHeight * tiles >= kWorldHeight) {
            return *it;
        }
    }
    return kZoomLevels.front();
}

} // namespace frostmark
