#pragma once
// The toolkit-free half of the dialog's settings: which checkbox holds which option bit, and how the
// art ID boxes are turned into stored string lists and back. The Qt dialog only moves the results
// between widgets and the settings store.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace frostmark {

struct COptionCheckbox {
    int id;            // checkbox control
    std::uint32_t bit; // option flag it stands for
};

// The seven option checkboxes with their flag bits, in the order of the flag table.
const std::vector<COptionCheckbox>& OptionCheckboxes();

// Stored form of an art ID box: every non-empty line, in order, each cut to 259 characters.
// `text` uses "\n" or "\r\n" between lines.
std::vector<std::string> ArtBoxToStrings(std::string_view text);

// Text of an art ID box restored from its stored strings: each non-empty string followed by a line
// break (`newline`), so the box shows one art ID per line with a break after the last; at most
// 32767 characters, cut at a whole entry.
std::string StringsToArtBox(const std::vector<std::string>& strings, std::string_view newline = "\n");

// The three result fields' texts.
std::string FormatCount(long value);     // "%ld"
std::string FormatPatchSize(long bytes); // "%ld bytes"

} // namespace frostmark
