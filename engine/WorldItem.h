#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "mapview/MapGeometry.h"

namespace frostmark {

class CLineReader;
class CScriptContext;

// The ID text of a record. Nearly every ID is a few characters long ("0eed", "i_gen_0eed"); those are
// kept inside the object, so that a freeze list of millions of records needs no allocation per record and
// 16 bytes per ID where a std::string takes 32. Longer texts go to the heap.
class CIdText {
public:
    CIdText() { m_bytes[kTag] = 0; }
    CIdText(std::string_view text) : CIdText() { assign(text.data(), text.size()); }
    CIdText(const CIdText& other) : CIdText() { assign(other.data(), other.size()); }
    CIdText(CIdText&& other) noexcept { Take(other); }
    CIdText& operator=(const CIdText& other) {
        if (this != &other)
            assign(other.data(), other.size());
        return *this;
    }
    CIdText& operator=(CIdText&& other) noexcept {
        if (this != &other) {
            clear();
            Take(other);
        }
        return *this;
    }
    ~CIdText() { clear(); }

    void assign(const char* text, std::size_t size) {
        if (size < kTag) {
            clear();
            // An empty text may come with a null pointer, which memcpy must not be given even for 0 bytes.
            if (size != 0)
                std::memcpy(m_bytes, text, size);
            m_bytes[kTag] = static_cast<unsigned char>(size);
            return;
        }
        char* heap = new char[size];
        std::memcpy(heap, text, size);
        clear();
        std::memcpy(m_bytes, &heap, sizeof heap);
        const std::uint64_t length = size;
        std::memcpy(m_bytes + 8, &length, 7); // little or big endian alike: read back the same way
        m_bytes[kTag] = kHeap;
    }
    void clear() {
        if (m_bytes[kTag] == kHeap)
            delete[] HeapText();
        m_bytes[kTag] = 0;
    }
    bool empty() const { return size() == 0; }
    std::size_t size() const {
        if (m_bytes[kTag] != kHeap)
            return m_bytes[kTag];
        std::uint64_t length = 0;
        std::memcpy(&length, m_bytes + 8, 7);
        return static_cast<std::size_t>(length);
    }
    const char* data() const {
        return m_bytes[kTag] == kHeap ? HeapText() : reinterpret_cast<const char*>(m_bytes);
    }
    char operator[](std::size_t index) const { return data()[index]; }
    operator std::string_view() const { return std::string_view(data(), size()); }
    std::string str() const { return std::string(data(), size()); }
    friend bool operator==(const CIdText& a, std::string_view b) { return std::string_view(a) == b; }
    friend bool operator==(const CIdText& a, const CIdText& b) {
        return std::string_view(a) == std::string_view(b);
    }

private:
    static constexpr std::size_t kTag = 15;
    static constexpr unsigned char kHeap = 0xFF;
    char* HeapText() const {
        char* heap;
        std::memcpy(&heap, m_bytes, sizeof heap);
        return heap;
    }
    void Take(CIdText& other) {
        std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
        other.m_bytes[kTag] = 0;
    }
    unsigned char m_bytes[16];
};

// One item record of the world file: the few keys that decide whether the item can be frozen and where
// it stands. Everything else in the record is left to the file.
class CWorldItem {
public:
    void SetId(std::string_view text) { id.assign(text.data(), text.size()); }
    std::string GetId() const { return id.str(); }

    // Back to the state of a new record, keeping the id's storage (a scan reuses one record).
    void Reset() {
        id.clear();
        type = 0;
        serial = 0;
        cont = 0;
        attr = 0;
        x = 0;
        y = 0;
        z = 0;
        color = 0;
    }

    bool IsTopLevel() const { return cont == 0; }

    CIdText id;             // header ID text, replaced by a later ID= or DISPID= line
    std::uint16_t type = 0; // TYPE, low 16 bits of its number
    std::uint32_t serial = 0;
    std::uint32_t cont = 0; // serial of the container; 0 for a top-level item
    std::uint16_t attr = 0; // 0x0010 never moveable, 0x8000 static
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint8_t z = 0; // low 8 bits: a negative z is kept in two's complement
    std::uint16_t color = 0;
};

// True for a line that opens an item record: it starts with "[WORLDITEM" exactly (upper case).
inline bool IsWorldItemHeader(std::string_view line) {
    return line.size() >= 10 && line[0] == '[' && line.compare(0, 10, "[WORLDITEM") == 0;
}

// The ID text of a header line: from the twelfth character (after "[WORLDITEM" and one separator) up
// to the next "]" or the end of the line. "[WORLDITEM 0eed]" gives "0eed", "[WORLDITEM]" gives "".
std::string_view WorldItemHeaderId(std::string_view line);

// Reads the body of the record whose header line was just read: every line up to the next line that
// begins with "[", applying the keys SERIAL, CONT, ATTR, COLOR (hexadecimal), TYPE (a script number,
// names resolved through the context's DEFNAMEs), ID, DISPID (text) and P (x,y,z). Keys match without
// regard to case and nothing is trimmed, so "SERIAL =1" is not SERIAL. The last occurrence of a key
// wins. Returns with the reader placed so that its next ReadLine gives the "[" line again, or at the
// end of the file. Never fails on content. Returns the number of body lines read.
std::uint64_t ReadWorldItemBody(CLineReader& reader, CWorldItem& item, CScriptContext& context);

// Applies one body line to the record (what ReadWorldItemBody does per line); exposed for tests and
// for readers that hold the lines already.
void ApplyWorldItemLine(std::string_view line, CWorldItem& item, CScriptContext& context);

// If line is a SERIAL key line (the key compared as ReadWorldItemBody does), stores its value in serial
// and returns true. For readers that need nothing of a record but its serial, such as the cleaner.
bool ApplySerialLine(std::string_view line, std::uint32_t& serial);

// The art ID: the id text read as a script number, as an unsigned 32-bit value. Scenery is 1..0x3FFF.
std::uint32_t ArtId(const CWorldItem& item, CScriptContext& context);

// The 8x8 map block holding the item, blocks numbered column by column, 512 to a column.
inline std::uint32_t BlockIndex(const CWorldItem& item) {
    return static_cast<std::uint32_t>(item.x / 8u) * 512u + static_cast<std::uint32_t>(item.y / 8u);
}

// Whether the item stands on the map (x below 6144, y below 4096). Only such items have a map block: the
// block number of any other either names no block or, with y of 4096 or more, another column's block.
inline bool LiesOnMap(const CWorldItem& item) {
    return item.x < kWorldWidth && item.y < kWorldHeight;
}

// The item's cell inside its block, 0..63.
inline std::uint32_t CellIndex(const CWorldItem& item) {
    return static_cast<std::uint32_t>(item.x % 8u) + static_cast<std::uint32_t>(item.y % 8u) * 8u;
}

// "x, y, z" as unsigned numbers (z from 0 to 255), the way the Patch Objects list shows a position.
std::string GetPointText(const CWorldItem& item);

} // namespace frostmark
