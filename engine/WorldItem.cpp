#include "engine/WorldItem.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "script/LineReader.h"
#include "script/Numbers.h"

namespace frostmark {

namespace {

// The number readers of the script layer, inlined here because a world scan calls them for nearly
// every line; WorldItemTest checks that they agree with ParseHex and ParseDecimal.
struct CHexTable {
    unsigned char value[256];
    constexpr CHexTable() : value() {
        for (int i = 0; i < 256; ++i)
            value[i] = 0xFF;
        for (int i = 0; i < 10; ++i)
            value['0' + i] = static_cast<unsigned char>(i);
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = static_cast<unsigned char>(10 + i);
            value['A' + i] = static_cast<unsigned char>(10 + i);
        }
    }
};
constexpr CHexTable kHex;

constexpr std::uint64_t kOnes = 0x0101010101010101ull;

// The leading hexadecimal digits of eight bytes (the first byte in the low end of the word): their
// number in count and their value. Per-byte range tests without carries between bytes: every byte is
// first cut to seven bits (a byte with the top bit set is no digit anyway).
inline std::uint32_t HexWord(std::uint64_t word, unsigned& count) {
    const std::uint64_t top = kOnes * 0x80;
    const std::uint64_t low7 = word & (kOnes * 0x7F);
    const std::uint64_t digit = (((low7 | top) - kOnes * 0x30) & ((kOnes * 0xB9) - low7)) & top;
    const std::uint64_t lower = low7 | (kOnes * 0x20);
    const std::uint64_t letter = (((lower | top) - kOnes * 0x61) & ((kOnes * 0xE6) - lower)) & top;
    const std::uint64_t invalid = ~((digit | letter) & ~word) & top;
    count = invalid == 0 ? 8 : static_cast<unsigned>(__builtin_ctzll(invalid)) / 8;
    if (count == 0)
        return 0;
    // Nibble values, the digits moved to the top bytes, then folded pairwise: most significant first.
    std::uint64_t v = (word & (kOnes * 0x0F)) + ((letter >> 7) * 9);
    v <<= 8 * (8 - count);
    v = ((v & 0x00FF00FF00FF00FFull) << 4) + ((v >> 8) & 0x00FF00FF00FF00FFull);
    v = ((v & 0x0000FFFF0000FFFFull) << 8) + ((v >> 16) & 0x0000FFFF0000FFFFull);
    return static_cast<std::uint32_t>(((v & 0xFFFFFFFFull) << 16) + (v >> 32));
}

inline std::uint32_t HexValue(const char* p, const char* end) {
    while (p != end && (*p == ' ' || *p == '\t'))
        ++p;
    std::uint32_t value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            unsigned count;
            value = HexWord(word, count);
            if (count < 8)
                return value;
            p += 8;
        }
    }
    for (; p != end; ++p) {
        const unsigned digit = kHex.value[static_cast<unsigned char>(*p)];
        if (digit > 15)
            break;
        value = value * 16u + digit;
    }
    return value;
}

inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decimal reading from p: leading white space, an optional sign, digits; wraps to 32 bits. Returns
// where the reading stopped (never past a comma, which is none of those).
inline const char* DecimalValue(const char* p, const char* end, std::uint32_t& result) {
    while (p != end && IsSpace(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::uint32_t value = 0;
    for (; p != end && static_cast<unsigned>(*p - '0') < 10u; ++p)
        value = value * 10u + static_cast<std::uint32_t>(*p - '0');
    result = negative ? 0u - value : value;
    return p;
}

inline const char* FindComma(const char* p, const char* end) {
    while (p != end && *p != ',')
        ++p;
    return p;
}

// P=X,Y,Z: the value starts after "P=". X ends at the first comma; Y is read from the text after X
// and one separator and ends at the next comma; Z is read from after that comma; a missing part
// reads as 0. The number usually ends right at its comma, so the search for it rarely moves.
inline void ApplyPoint(const char* p, const char* end, CWorldItem& item) {
    std::uint32_t number;
    const char* xEnd = FindComma(DecimalValue(p, end, number), end);
    item.x = static_cast<std::uint16_t>(number);
    if (xEnd == end) {
        item.y = 0;
        item.z = 0;
        return;
    }
    const char* const yEnd = FindComma(DecimalValue(xEnd + 1, end, number), end);
    item.y = static_cast<std::uint16_t>(number);
    if (yEnd == end) {
        item.z = 0;
        return;
    }
    DecimalValue(yEnd + 1, end, number);
    item.z = static_cast<std::uint8_t>(number);
}

// A keyword as the little-endian word its lower-case letters make.
constexpr std::uint64_t KeyWord(const char* word) {
    std::uint64_t value = 0;
    for (int i = 0; word[i] != '\0'; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(word[i]) | 0x20u) << (8 * i);
    return value;
}

// Inlined into the body loop: as a call it spends a good part of its time saving and restoring registers.
[[gnu::always_inline]] inline void ApplyLine(std::string_view line, CWorldItem& item,
                                             CScriptContext& context) {
    // The key is everything before the first "=". No key of the table is longer than six characters,
    // so only a "=" among the first eight bytes can matter. Those bytes are taken as one word: the
    // first "=" is found with a word-wide zero-byte test, and the key, with bit 0x20 set in each byte,
    // is compared whole with the lower-case keywords. Keywords are letters only and OR-ing 0x20 maps
    // exactly the two cases of a letter onto the same byte, so this is a case-insensitive compare, and
    // since every key byte then has bit 0x20 set, keys of different lengths never compare equal.
    const char* const text = line.data();
    const std::size_t size = line.size();
    std::uint64_t word = 0;
    if (size >= 8) {
        std::memcpy(&word, text, 8);
    } else {
        for (std::size_t i = 0; i < size; ++i)
            word |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    const std::uint64_t diff = word ^ 0x3D3D3D3D3D3D3D3Dull; // zero bytes where the line has "="
    const std::uint64_t equals = (diff - 0x0101010101010101ull) & ~diff & 0x8080808080808080ull;
    if (equals == 0)
        return;
    // The lowest flagged byte is exact (a borrow only runs upwards from a true zero byte).
    const unsigned keyLength = static_cast<unsigned>(__builtin_ctzll(equals)) / 8;
    if (keyLength > 6)
        return;
    const std::uint64_t key = (word | 0x2020202020202020ull) & ((1ull << (8 * keyLength)) - 1);
    const char* const value = text + keyLength + 1;
    const char* const end = text + size;
    switch (key) {
    case KeyWord("P"):
        ApplyPoint(value, end, item);
        break;
    case KeyWord("SERIAL"):
        item.serial = HexValue(value, end);
        break;
    case KeyWord("CONT"):
        item.cont = HexValue(value, end);
        break;
    case KeyWord("ATTR"):
        item.attr = static_cast<std::uint16_t>(HexValue(value, end));
        break;
    case KeyWord("COLOR"):
        item.color = static_cast<std::uint16_t>(HexValue(value, end));
        break;
    case KeyWord("TYPE"):
        item.type = static_cast<std::uint16_t>(
            GetNumber(std::string_view(value, static_cast<std::size_t>(end - value)), context));
        break;
    case KeyWord("ID"):
    case KeyWord("DISPID"):
        item.id.assign(value, static_cast<std::size_t>(end - value));
        break;
    default:
        break;
    }
}

// The six bytes of a key that should read SERIAL, letter case ignored (see ApplyLine for why OR-ing
// 0x20 is an exact case-insensitive compare for letters).
inline bool KeyIsSerial(const char* key) {
    static constexpr char kSerial[] = "serial";
    for (int i = 0; i < 6; ++i)
        if ((static_cast<unsigned char>(key[i]) | 0x20u) != static_cast<unsigned char>(kSerial[i]))
            return false;
    return true;
}

} // namespace

std::string_view WorldItemHeaderId(std::string_view line) {
    if (line.size() <= 11)
        return line.substr(line.size()); // empty, but a view into the line like every other answer
    const std::string_view text = line.substr(11);
    return text.substr(0, text.find(']'));
}

void ApplyWorldItemLine(std::string_view line, CWorldItem& item, CScriptContext& context) {
    ApplyLine(line, item, context);
}

std::uint64_t ReadWorldItemBody(CLineReader& reader, CWorldItem& item, CScriptContext& context) {
    std::string_view line;
    std::uint64_t lines = 0;
    while (reader.ReadLine(line)) {
        if (!line.empty() && line[0] == '[') {
            reader.StepBack();
            return lines;
        }
        ++lines;
        ApplyLine(line, item, context);
    }
    return lines;
}

bool ApplySerialLine(std::string_view line, std::uint32_t& serial) {
    if (line.size() < 7 || line[6] != '=')
        return false;
    if constexpr (std::endian::native == std::endian::little) {
        if (line.size() >= 8) {
            std::uint64_t word;
            std::memcpy(&word, line.data(), 8);
            if (((word | 0x2020202020202020ull) & 0xFFFFFFFFFFFFull) != KeyWord("SERIAL"))
                return false;
        } else if (!KeyIsSerial(line.data())) {
            return false;
        }
    } else if (!KeyIsSerial(line.data())) {
        return false;
    }
    serial = HexValue(line.data() + 7, line.data() + line.size());
    return true;
}

std::uint32_t ArtId(const CWorldItem& item, CScriptContext& context) {
    // Most IDs are hexadecimal with a leading zero, which GetNumber reads with ParseHex; that case is
    // taken here directly, the rest (names, decimal, empty) goes to GetNumber.
    if (!item.id.empty() && item.id[0] == '0')
        return HexValue(item.id.data(), item.id.data() + item.id.size());
    return static_cast<std::uint32_t>(GetNumber(item.id, context));
}

std::string GetPointText(const CWorldItem& item) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu, %lu, %lu", static_cast<unsigned long>(item.x),
                  static_cast<unsigned long>(item.y), static_cast<unsigned long>(item.z));
    return text;
}

} // namespace frostmark
