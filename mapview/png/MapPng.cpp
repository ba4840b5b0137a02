#include "mapview/png/MapPng.h"

#include "mapview/ClientDirectory.h"

#include "platform/Files.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace frostmark {

namespace {

// PNG, written directly over zlib (the same bytes on every system): 8-bit RGB, no interlacing, each row
// with the filter that leaves the smallest sum of differences, as PNG writers usually choose.
class CPngWriter {
public:
    explicit CPngWriter(CFile& file) : m_file(file) {}

    bool Write(const RgbImage& image) {
        static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        if (!m_file.Write(kSignature, sizeof kSignature))
            return false;
        std::vector<unsigned char> header;
        Put32(header, static_cast<std::uint32_t>(image.width));
        Put32(header, static_cast<std::uint32_t>(image.height));
        header.insert(header.end(), {8, 2, 0, 0, 0}); // depth, RGB, deflate, adaptive filters, no interlace
        if (!Chunk("IHDR", header.data(), header.size()))
            return false;
        if (!Pixels(image))
            return false;
        return Chunk("IEND", nullptr, 0);
    }

private:
    static void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<unsigned char>(value >> shift));
    }

    bool Chunk(const char* type, const unsigned char* data, std::size_t size) {
        std::vector<unsigned char> head;
        Put32(head, static_cast<std::uint32_t>(size));
        head.insert(head.end(), type, type + 4);
        uLong crc = crc32(0L, head.data() + 4, 4);
        if (size > 0)
            crc = crc32(crc, data, static_cast<uInt>(size));
        std::vector<unsigned char> tail;
        Put32(tail, static_cast<std::uint32_t>(crc));
        return m_file.Write(head.data(), head.size()) && (size == 0 || m_file.Write(data, size)) &&
               m_file.Write(tail.data(), tail.size());
    }

    static int Paeth(int a, int b, int c) {
        const int p = a + b - c;
        const int pa = std::abs(p - a);
        const int pb = std::abs(p - b);
        const int pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }

    // The row filtered each of the five ways; the one whose bytes, read as signed, sum smallest.
    static void FilterRow(const unsigned char* row, const unsigned char* above, std::size_t bytes,
                          std::vector<unsigned char>& best,
                          std::array<std::vector<unsigned char>, 5>& tries) {
        constexpr std::size_t kPixel = 3;
        std::uint64_t bestCost = UINT64_MAX;
        for (int filter = 0; filter < 5; ++filter) {
            std::vector<unsigned char>& out = tries[static_cast<std::size_t>(filter)];
            out.assign(bytes + 1, 0);
            out[0] = static_cast<unsigned char>(filter);
            std::uint64_t cost = 0;
            for (std::size_t i = 0; i < bytes; ++i) {
                const int a = i >= kPixel ? row[i - kPixel] : 0;
                const int b = above ? above[i] : 0;
                const int c = above && i >= kPixel ? above[i - kPixel] : 0;
                const int predicted = filter == 0   ? 0
                                      : filter == 1 ? a
                                      : filter == 2 ? b
                                      : filter == 3 ? (a + b) / 2
                                                    : Paeth(a, b, c);
                const auto value = static_cast<unsigned char>(row[i] - predicted);
                out[i + 1] = value;
                cost += value < 128 ? value : 256 - value;
            }
            if (cost < bestCost) {
                bestCost = cost;
                best.swap(out);
            }
        }
    }

    bool Pixels(const RgbImage& image) {
        z_stream stream{};
        if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
            return false;
        const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
        std::vector<unsigned char> out(256 * 1024);
        std::vector<unsigned char> filtered;
        std::array<std::vector<unsigned char>, 5> tries;
        bool ok = true;
        for (int y = 0; ok && y <= image.height; ++y) {
            const bool last = y == image.height;
            if (!last) {
                const unsigned char* row = image.rgb.data() + static_cast<std::size_t>(y) * rowBytes;
                FilterRow(row, y > 0 ? row - rowBytes : nullptr, rowBytes, filtered, tries);
                stream.next_in = filtered.data();
                stream.avail_in = static_cast<uInt>(filtered.size());
            }
            int status = Z_OK;
            do {
                stream.next_out = out.data();
                stream.avail_out = static_cast<uInt>(out.size());
                status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
                const std::size_t produced = out.size() - stream.avail_out;
                if (status == Z_STREAM_ERROR || (produced > 0 && !Chunk("IDAT", out.data(), produced)))
                    ok = false;
            } while (ok && (stream.avail_out == 0 || (last && status != Z_STREAM_END)));
        }
        deflateEnd(&stream);
        return ok;
    }

    CFile& m_file;
};

} // namespace

bool WritePng(const std::string& path, const RgbImage& image, std::string& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() !=
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3) {
        error = "The picture to write has no pixels";
        return false;
    }
    const std::string temporary = path + ".partial";
    RemoveFile(temporary); // left by a run that was killed
    CFile file;
    if (!file.CreateNew(temporary)) {
        error = "Unable to open file " + temporary + " for output.";
        return false;
    }
    const bool encoded = CPngWriter(file).Write(image);
    const bool closed = file.Close();
    if (!encoded || !closed) {
        RemoveFile(temporary);
        error = "Unable to write file " + temporary;
        return false;
    }
    CFileError failure;
    if (!MoveIntoPlace(temporary, path, failure)) {
        RemoveFile(temporary);
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
