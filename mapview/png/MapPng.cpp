#include "mapview/png/MapPng.h"

#include "mapview/ClientDirectory.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace frostmark {

namespace {

// libpng reports errors through a long jump; everything that needs cleaning up lives outside the
// jumping function so that nothing with a destructor is skipped.
bool EncodePng(std::FILE* file, const RgbImage& image, std::vector<png_bytep>& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec) &&
           std::filesystem::equivalent(a, b, ec);
}

} // namespace

bool WritePng(const std::string& path, const RgbImage& image, std::string& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() !=
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3) {
        error = "The picture to write has no pixels";
        return false;
    }
    const std::string temporary = path + ".partial";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = "Unable to open file " + temporary + " for output.";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3);
    }
    const bool encoded = EncodePng(file, image, rows);
    const bool closed = std::fclose(file) == 0;
    std::error_code ec;
    if (!encoded || !closed) {
        std::filesystem::remove(temporary, ec);
        error = "Unable to write file " + temporary;
        return false;
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        error = "Unable to rename " + temporary + " to " + path;
        return false;
    }
    return true;
}

MapRenderResult WriteMapPng(const std::string& clientDirectory, const MapRenderOptions& options,
                            const std::string& pngPath) {
    MapRenderResult result;
    for (const char* name : {kMapFileName, kRadarColorFileName}) {
        if (SameFile(pngPath, ClientFilePath(clientDirectory, name))) {
            result.error = pngPath + " is the client's own " + name + "; it is never written over";
            return result;
        }
    }
    RgbImage image;
    result = RenderMap(clientDirectory, options, image);
    if (!result.ok) {
        return result;
    }
    if (!WritePng(pngPath, image, result.error)) {
        result.ok = false;
    }
    return result;
}

} // namespace frostmark
