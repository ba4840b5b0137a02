#pragma once

#include <cstdint>
#include <string_view>

#include "script/LineReader.h"

namespace frostmark {

// The first steps of every loader's section loop: reads lines until a section header line (first character
// "[") and yields its header text and the offset of its line (the section offset). Lines outside sections,
// and body lines no object consumed, are skipped. False at end of file. The header view is valid until the
// next read from file.
inline bool FindNextHeader(CLineReader& file, std::string_view& headerText, uint64_t& sectionOffset) {
    std::string_view line;
    while (file.ReadLine(line)) {
        if (!line.empty() && line[0] == '[') {
            line.remove_prefix(1);
            const size_t close = line.find(']');
            headerText = close == std::string_view::npos ? line : line.substr(0, close);
            sectionOffset = file.LineStart();
            return true;
        }
    }
    return false;
}

} // namespace frostmark
