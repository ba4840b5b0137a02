#include "engine/WorldItem.h"

#include <cstdio>

#include "script/LineReader.h"
#include "script/Numbers.h"

namespace frostmark {

namespace {

// Case-insensitive match of a key against an upper-case keyword of the same length. Keywords are letters
// only, and OR-ing 0x20 maps exactly the two cases of a letter onto the same byte, so one OR per byte does
// what a case-insensitive compare does for them.
inline bool KeyIs(const char* key, const char* upperWord, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if ((static_cast<unsigned char>(key[i]) | 0x20u) !=
            (static_cast<unsigned char>(upperWord[i]) | 0x20u))
            return false;
    }
    return true;
}

// P=X,Y,Z: the value starts after "P=". Y is read from the text after X and one separator, Z from the
// text after Y and one more character; a missing part reads as 0.
inline void ApplyPoint(std::string_view value, CWorldItem& item) {
    const std::size_t xEnd = value.find(',');
    const std::string_view xText = value.substr(0, xEnd);
    item.x = static_cast<std::uint16_t>(ParseDecimal(xText));
    const std::string_view rest =
        xText.size() + 1 <= value.size() ? value.substr(xText.size() + 1) : std::string_view();
    const std::size_t yEnd = rest.find(',');
    const std::string_view yText = rest.substr(0, yEnd);
    item.y = static_cast<std::uint16_t>(ParseDecimal(yText));
    if (yText.size() < rest.size()) {
        item.z = static_cast<std::uint8_t>(ParseDecimal(rest.substr(yText.size() + 1)));
    } else {
        item.z = 0;
    }
}

} // namespace

std::string_view WorldItemHeaderId(std::string_view line) {
    if (line.size() <= 11)
        return {};
    const std::string_view text = line.substr(11);
    return text.substr(0, text.find(']'));
}

void ApplyWorldItemLine(std::string_view line, CWorldItem& item, CScriptContext& context) {
    // The key is everything before the first "="; no key of the table is longer than six characters, so
    // a line whose first "=" lies further on (or that has none) has nothing for us.
    const char* const text = line.data();
    const std::size_t limit = line.size() < 7 ? line.size() : 7;
    std::size_t keyLength = 0;
    while (keyLength < limit && text[keyLength] != '=')
        ++keyLength;
    if (keyLength == limit)
        return;
    const std::string_view value(text + keyLength + 1, line.size() - keyLength - 1);
    const unsigned first = static_cast<unsigned char>(text[0]) | 0x20u;
    switch (keyLength) {
    case 1:
        if (first == 'p')
            ApplyPoint(value, item);
        break;
    case 2:
        if (first == 'i' && KeyIs(text + 1, "D", 1))
            item.id.assign(value.data(), value.size());
        break;
    case 4:
        if (first == 't' && KeyIs(text + 1, "YPE", 3))
            item.type = static_cast<std::uint16_t>(GetNumber(value, context));
        else if (first == 'c' && KeyIs(text + 1, "ONT", 3))
            item.cont = ParseHex(value);
        else if (first == 'a' && KeyIs(text + 1, "TTR", 3))
            item.attr = static_cast<std::uint16_t>(ParseHex(value));
        break;
    case 5:
        if (first == 'c' && KeyIs(text + 1, "OLOR", 4))
            item.color = static_cast<std::uint16_t>(ParseHex(value));
        break;
    case 6:
        if (first == 's' && KeyIs(text + 1, "ERIAL", 5))
            item.serial = ParseHex(value);
        else if (first == 'd' && KeyIs(text + 1, "ISPID", 5))
            item.id.assign(value.data(), value.size());
        break;
    default:
        break;
    }
}

void ReadWorldItemBody(CLineReader& reader, CWorldItem& item, CScriptContext& context) {
    std::string_view line;
    while (reader.ReadLine(line)) {
        if (!line.empty() && line[0] == '[') {
            reader.StepBack();
            return;
        }
        ApplyWorldItemLine(line, item, context);
    }
}

std::uint32_t ArtId(const CWorldItem& item, CScriptContext& context) {
    return static_cast<std::uint32_t>(GetNumber(item.id, context));
}

std::string GetPointText(const CWorldItem& item) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu, %lu, %lu", static_cast<unsigned long>(item.x),
                  static_cast<unsigned long>(item.y), static_cast<unsigned long>(item.z));
    return text;
}

} // namespace frostmark
