#pragma once

// Made-up map data for the map tests: map bytes computed from a tile function, so that tests can use
// the full-size world without writing 77 MB files, and temporary folders for the file-based cases.

#include "mapview/MapGeometry.h"
#include "mapview/RadarImage.h"
#include "platform/System.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace frostmark::test {

// map0.mul bytes of the world whose tile at (x, y) is tileAt(x, y); altitudes and headers are 0.
// `fileBytes` makes the "file" shorter than a full map.
class CProceduralMap final : public CMapSource {
public:
    explicit CProceduralMap(std::function<std::uint16_t(int, int)> tileAt,
                            std::uint64_t fileBytes = kMapFileBytes)
        : m_tileAt(std::move(tileAt)), m_fileBytes(fileBytes) {}

    // Every tile the same: the bytes are a repeated block, quick enough for the full-size world.
    explicit CProceduralMap(std::uint16_t tile, std::uint64_t fileBytes = kMapFileBytes)
        : m_tileAt([tile](int, int) { return tile; }), m_fileBytes(fileBytes), m_uniform(true) {
        m_block.assign(kMapBlockBytes, 0);
        for (int cell = 0; cell < 64; ++cell) {
            m_block[static_cast<std::size_t>(kMapBlockHeaderBytes + cell * kMapCellBytes)] =
                static_cast<std::uint8_t>(tile & 0xFF);
            m_block[static_cast<std::size_t>(kMapBlockHeaderBytes + cell * kMapCellBytes + 1)] =
                static_cast<std::uint8_t>(tile >> 8);
        }
    }

    struct Read {
        std::uint64_t offset;
        std::size_t size;
    };

    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        m_reads.push_back({offset, buffer.size()});
        if (offset >= m_fileBytes) {
            return 0;
        }
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), m_fileBytes - offset));
        if (m_uniform) {
            for (std::size_t i = 0; i < count; ++i) {
                buffer[i] = m_block[static_cast<std::size_t>((offset + i) % kMapBlockBytes)];
            }
            return count;
        }
        // One tile lookup per cell: the high byte reuses the tile of the low byte before it.
        std::uint16_t tile = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t at = offset + i;
            const int inBlock = static_cast<int>(at % kMapBlockBytes);
            const int part = (inBlock - kMapBlockHeaderBytes) % kMapCellBytes;
            if (inBlock < kMapBlockHeaderBytes || part == 2) {
                buffer[i] = 0;
            } else if (part == 0 || i == 0) {
                tile = TileAt(at);
                buffer[i] = static_cast<std::uint8_t>(part == 0 ? tile & 0xFF : tile >> 8);
            } else {
                buffer[i] = static_cast<std::uint8_t>(tile >> 8);
            }
        }
        return count;
    }

    const std::vector<Read>& Reads() const { return m_reads; }

    std::uint8_t ByteAt(std::uint64_t offset) const {
        const int inBlock = static_cast<int>(offset % kMapBlockBytes);
        if (inBlock < kMapBlockHeaderBytes) {
            return 0;
        }
        const int part = (inBlock - kMapBlockHeaderBytes) % kMapCellBytes;
        if (part == 2) {
            return 0;
        }
        const std::uint16_t tile = TileAt(offset);
        return static_cast<std::uint8_t>(part == 0 ? tile & 0xFF : tile >> 8);
    }

private:
    // The tile of the cell that holds the byte at `offset` (which lies past the block header).
    std::uint16_t TileAt(std::uint64_t offset) const {
        const std::uint64_t blockIndex = offset / kMapBlockBytes;
        const int cell = (static_cast<int>(offset % kMapBlockBytes) - kMapBlockHeaderBytes) / kMapCellBytes;
        const int bx = static_cast<int>(blockIndex / kBlockRows);
        const int by = static_cast<int>(blockIndex % kBlockRows);
        return m_tileAt(bx * 8 + cell % 8, by * 8 + cell / 8);
    }

    std::function<std::uint16_t(int, int)> m_tileAt;
    std::uint64_t m_fileBytes;
    bool m_uniform = false;
    std::vector<std::uint8_t> m_block;
    std::vector<Read> m_reads;
};

// A fresh, empty folder under the system's temporary folder, removed again at the end of the test.
class CTempDir {
public:
    CTempDir() {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("frostmark-mapview-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~CTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The folder as a client directory text (ending with a separator).
    std::string Directory() const { return m_path.string() + "/"; }

    void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(m_path / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_path;
};

// The first `bytes` bytes of a procedural map, as a file's contents.
inline std::vector<std::uint8_t> MapBytes(const CProceduralMap& map, std::uint64_t bytes) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bytes));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = map.ByteAt(i);
    }
    return out;
}

} // namespace frostmark::test
