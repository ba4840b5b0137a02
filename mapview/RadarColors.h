#pragma once

// Radar colours: one colour per tile number, read from the client's radarcol.mul.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace frostmark {

inline constexpr std::size_t kRadarColorCount = 65536;
inline constexpr std::size_t kRadarColorFileBytes = kRadarColorCount * 2; // only this much is read

// A 15-bit radar colour (red bits 10-14, green 5-9, blue 0-4; bit 15 ignored) as a colour reference
// (red in bits 0-7, green 8-15, blue 16-23). Each channel c becomes c * 255 / 31, so 0 stays 0 and 31
// becomes 255: 0x7FFF gives 0xFFFFFF, 0x001F gives 0xFF0000, 0x7C00 gives 0x0000FF.
constexpr std::uint32_t ConvertRadarColor(std::uint16_t value) {
    const std::uint32_t red = ((value >> 10) & 0x1F) * 255u / 31u;
    const std::uint32_t green = ((value >> 5) & 0x1F) * 255u / 31u;
    const std::uint32_t blue = (value & 0x1F) * 255u / 31u;
    return red | (green << 8) | (blue << 16);
}

// Channels of a colour reference.
constexpr std::uint8_t ColorRed(std::uint32_t colour) {
    return static_cast<std::uint8_t>(colour);
}
constexpr std::uint8_t ColorGreen(std::uint32_t colour) {
    return static_cast<std::uint8_t>(colour >> 8);
}
constexpr std::uint8_t ColorBlue(std::uint32_t colour) {
    return static_cast<std::uint8_t>(colour >> 16);
}
constexpr std::uint32_t MakeColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return std::uint32_t{red} | (std::uint32_t{green} << 8) | (std::uint32_t{blue} << 16);
}

// A colour reference as a 32-bit pixel value 0xFFRRGGBB (opaque), the form toolkits draw directly.
constexpr std::uint32_t ColorToPixel(std::uint32_t colour) {
    return 0xFF000000u | (std::uint32_t{ColorRed(colour)} << 16) | (std::uint32_t{ColorGreen(colour)} << 8) |
           ColorBlue(colour);
}

// The 65536 colours by tile number; all black until loaded. Each colour is also kept as a pixel value,
// so that building an image costs one lookup per sample.
class CRadarColorTable {
public:
    CRadarColorTable() : m_colors(kRadarColorCount, 0), m_pixels(kRadarColorCount, ColorToPixel(0)) {}

    std::uint32_t operator[](std::uint16_t tile) const { return m_colors[tile]; }
    // The colour of `tile` as ColorToPixel gives it.
    std::uint32_t Pixel(std::uint16_t tile) const { return m_pixels[tile]; }
    const std::uint32_t* Pixels() const { return m_pixels.data(); }
    void Set(std::uint16_t tile, std::uint32_t colour) {
        m_colors[tile] = colour;
        m_pixels[tile] = ColorToPixel(colour);
    }
    void Clear();

    // Fills the table from the bytes of a radarcol.mul: 16-bit little-endian entries; entries beyond
    // the given bytes stay black, bytes beyond the 65536th entry are ignored.
    void LoadFromBytes(std::span<const std::uint8_t> bytes);

private:
    std::vector<std::uint32_t> m_colors;
    std::vector<std::uint32_t> m_pixels;
};

// Clears the table, then fills it from "<clientDirectory>radarcol.mul". False when the file cannot be
// opened: the table is then all black, which still lets a map be built. Nothing is reported.
bool LoadRadarColors(const std::string& clientDirectory, CRadarColorTable& table);

} // namespace frostmark
