#include "MapTestSupport.h"

#include "mapview/MapRender.h"
#include "mapview/png/MapPng.h"

#include <gtest/gtest.h>
#if __has_include(<png.h>)
#include <png.h>
#else
#include <zlib.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace frostmark {
namespace {

#if __has_include(<png.h>)
// The pixels of a PNG as 8-bit RGB, read back with libpng, a reader made apart from our writer.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}
#else
// Where libpng is not at hand (the Windows build), a reader of 8-bit RGB PNGs of every filter kind: the
// chunks with their checksums, the joined IDAT stream inflated, each row unfiltered.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto get32 = [&](std::size_t at) {
        return (std::uint32_t(std::uint8_t(bytes[at])) << 24) |
               (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint32_t(std::uint8_t(bytes[at + 3]));
    };
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return false;
    std::string compressed;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = get32(at);
        const std::string type = bytes.substr(at + 4, 4);
        if (at + 12 + length > bytes.size())
            return false;
        const auto* start = reinterpret_cast<const Bytef*>(bytes.data() + at + 4);
        if (crc32(0L, start, length + 4) != get32(at + 8 + length))
            return false;
        if (type == "IHDR") {
            width = static_cast<int>(get32(at + 8));
            height = static_cast<int>(get32(at + 12));
            if (bytes[at + 16] != 8 || bytes[at + 17] != 2 || bytes[at + 20] != 0)
                return false; // not the 8-bit RGB without interlacing that this reads
        } else if (type == "IDAT") {
            compressed += bytes.substr(at + 8, length);
        } else if (type == "IEND") {
            break;
        }
        at += 12 + length;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> raw((rowBytes + 1) * static_cast<std::size_t>(height));
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(compressed.data()),
                   static_cast<uLong>(compressed.size())) != Z_OK ||
        rawSize != raw.size())
        return false;
    rgb.assign(rowBytes * static_cast<std::size_t>(height), 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::uint8_t filter = raw[y * (rowBytes + 1)];
        const std::uint8_t* in = raw.data() + y * (rowBytes + 1) + 1;
        std::uint8_t* row = rgb.data() + y * rowBytes;
        const std::uint8_t* above = y > 0 ? row - rowBytes : nullptr;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= 3 ? row[i - 3] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= 3 ? above[i - 3] : 0;
            const int p = a + b - c;
            const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c) ? a
                              : std::abs(p - b) <= std::abs(p - c)                                     ? b
                                                                                                       : c;
            const int predicted = filter == 1   ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? paeth
                                                : 0;
            if (filter > 4)
                return false;
            row[i] = static_cast<std::uint8_t>(in[i] + predicted);
        }
    }
    return true;
}
#endif

std::uint32_t RgbAt(const std::vector<std::uint8_t>& rgb, int width, int x, int y) {
    const std::size_t i = static_cast<std::size_t>((y * width + x) * 3);
    return MakeColor(rgb[i], rgb[i + 1], rgb[i + 2]);
}

// A client folder whose map0.mul holds the 48 westmost block columns (x < 384) of tile 1, red; east of
// them the file has ended and everything reads as tile 0, blue.
void WriteClient(const test::CTempDir& dir) {
    test::CProceduralMap map(1);
    dir.Write("map0.mul", test::MapBytes(map, 48 * 512 * 196));
    std::vector<std::uint8_t> radar(4, 0);
    radar[0] = 0x1F; // tile 0: pure blue 0x001F
    radar[1] = 0x00;
    radar[2] = 0x00; // tile 1: pure red 0x7C00
    radar[3] = 0x7C;
    dir.Write("radarcol.mul", radar);
}

TEST(MapPng, PictureShowsTerrainPatchAreasAndPointsAsTheDialogWould) {
    test::CTempDir dir;
    WriteClient(dir);
    MapRenderOptions options; // level -16: 16 tiles a pixel, the whole world
    options.patchAreas = {{"160, 160, 320, 480", false}, {"3200, 160, 3360, 480", true}};
    options.points = {{1600, 3200}, {99999, 5}};
    const std::string png = (dir.Path() / "map.png").string();
    const MapRenderResult result = WriteMapPng(dir.Directory(), options, png);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.colorsLoaded);
    EXPECT_EQ(result.pointsShown, 1u);
    EXPECT_FALSE(std::filesystem::exists(png + ".partial"));

    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(ReadPng(png, width, height, rgb));
    ASSERT_EQ(width, 384);
    ASSERT_EQ(height, 256);
    EXPECT_EQ(RgbAt(rgb, width, 0, 0), MakeColor(255, 0, 0));    // west
    EXPECT_EQ(RgbAt(rgb, width, 23, 200), MakeColor(255, 0, 0)); // x 368
    EXPECT_EQ(RgbAt(rgb, width, 24, 200), MakeColor(0, 0, 255)); // x 384: past the end of the file
    // The areas: tiles 160..320 x 160..480 are pixels 10..20 x 10..30; the selected one lighter.
    EXPECT_EQ(RgbAt(rgb, width, 10, 10), MakeColor(0, 0x77, 0));
    EXPECT_EQ(RgbAt(rgb, width, 19, 29), MakeColor(0, 0x77, 0));
    EXPECT_EQ(RgbAt(rgb, width, 20, 29), MakeColor(255, 0, 0));
    EXPECT_EQ(RgbAt(rgb, width, 200, 15), MakeColor(0, 0xAA, 0));
    // The point (1600, 3200) is pixel (100, 200), a dot of 3 x 3.
    EXPECT_EQ(RgbAt(rgb, width, 99, 199), MakeColor(255, 0, 255));
    EXPECT_EQ(RgbAt(rgb, width, 101, 201), MakeColor(255, 0, 255));
    EXPECT_EQ(RgbAt(rgb, width, 102, 201), MakeColor(0, 0, 255));
}

TEST(MapPng, CloseLevelCentresTheDotOnItsTile) {
    test::CTempDir dir;
    WriteClient(dir);
    RgbImage image;
    MapRenderOptions options;
    options.zoom = 8;
    options.centreX = 380;
    options.centreY = 1;          // clamped to 16
    options.points = {{378, 18}}; // 2 tiles left, 2 below: pixel (176, 144), its tile to (184, 152)
    options.pointSize = 1;
    const MapRenderResult result = RenderMap(dir.Directory(), options, image);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.centreY, 16);
    const auto at = [&](int x, int y) { return RgbAt(image.rgb, image.width, x, y); };
    EXPECT_EQ(at(180, 148), MakeColor(255, 0, 255));
    EXPECT_EQ(at(179, 148), MakeColor(255, 0, 0));
    // x 384 is 4 tiles right of the centre: pixel 224.
    EXPECT_EQ(at(223, 148), MakeColor(255, 0, 0));
    EXPECT_EQ(at(224, 148), MakeColor(0, 0, 255));
}

TEST(MapPng, FailuresSayWhyAndLeaveNoFileBehind) {
    test::CTempDir dir;
    const std::string png = (dir.Path() / "map.png").string();
    MapRenderOptions options;
    MapRenderResult result = WriteMapPng(dir.Directory(), options, png);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Unable to open file"), std::string::npos);
    EXPECT_NE(result.error.find("map0.mul"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(png));

    options.zoom = 3;
    result = WriteMapPng(dir.Directory(), options, png);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("zoom"), std::string::npos);

    // Without radarcol.mul the map is still drawn, black, and the caller is told.
    test::CProceduralMap map(1);
    dir.Write("map0.mul", test::MapBytes(map, 196));
    options.zoom = -16;
    result = WriteMapPng(dir.Directory(), options, png);
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.colorsLoaded);

    // Never over the client's own files, and a folder that cannot take the picture fails cleanly.
    const auto mapSize = std::filesystem::file_size(dir.Path() / "map0.mul");
    result = WriteMapPng(dir.Directory(), options, (dir.Path() / "map0.mul").string());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "map0.mul"), mapSize);
    result = WriteMapPng(dir.Directory(), options, (dir.Path() / "no-such-folder" / "map.png").string());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Unable to open file"), std::string::npos);
}

} // namespace
} // namespace frostmark
