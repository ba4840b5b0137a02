#include "mapview/RadarColors.h"

#include "mapview/ClientDirectory.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace frostmark {

void CRadarColorTable::Clear() {
    std::fill(m_colors.begin(), m_colors.end(), 0u);
    std::fill(m_pixels.begin(), m_pixels.end(), ColorToPixel(0));
}

void CRadarColorTable::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    Clear();
    const std::size_t entries = std::min(bytes.size() / 2, kRadarColorCount);
    for (std::size_t i = 0; i < entries; ++i) {
        const auto value = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        Set(static_cast<std::uint16_t>(i), ConvertRadarColor(value));
    }
    // A trailing odd byte is the low half of one more entry.
    if (entries < kRadarColorCount && bytes.size() % 2 == 1) {
        Set(static_cast<std::uint16_t>(entries), ConvertRadarColor(bytes[2 * entries]));
    }
}

bool LoadRadarColors(const std::string& clientDirectory, CRadarColorTable& table) {
    table.Clear();
    const std::string path = ClientFilePath(clientDirectory, kRadarColorFileName);
    CFile file;
    if (!file.OpenRegular(path)) {
        return false;
    }
    std::vector<std::uint8_t> bytes(kRadarColorFileBytes, 0);
    std::size_t got = 0;
    for (std::int64_t read;
         got < bytes.size() && (read = file.Read(bytes.data() + got, bytes.size() - got)) > 0;) {
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    table.LoadFromBytes(bytes);
    return true;
}

} // namespace frostmark
