#pragma once

#include "engine/Selection.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace frostmark {

class CScriptContext;

// What one scanning thread has learnt about the named IDs of a world ("i_chair" rather than "0b5f"):
// the art ID the name's constant gives and the TYPE of its item definition. A large script set names
// tens of thousands of items, too many for the constant cache and the definition tables to stay in the
// processor's cache, and each named record asked three of them; here it asks one table, once the name
// has been seen. Only names whose constant gives the same value at every evaluation are kept (or names
// of no constant, which read as 0); any other text is answered afresh every time, as the rules say.
class CNamedIdMemo {
public:
    static constexpr std::size_t kMaxText = 18; // longer names are rare and are answered afresh
    // At most this many names are kept, a few megabytes; later ones are answered afresh.
    static constexpr std::size_t kMaxEntries = std::size_t(1) << 19;

    struct CEntry {
        std::uint32_t hash = 0;
        std::uint8_t length = 0; // 0: a free slot (an empty text is never kept)
        std::uint8_t typeState = kTypeUnasked;
        char text[kMaxText];
        std::uint32_t art = 0;
        std::uint32_t type = 0;

        static constexpr std::uint8_t kTypeUnasked = 0;
        static constexpr std::uint8_t kNoDefinition = 1;
        static constexpr std::uint8_t kTypeKnown = 2;
    };

    // The entry for an ID text whose art ID the constant table gives (it begins with a letter), found or
    // made (the art ID computed as ArtId does), or null when the text cannot be kept.
    CEntry* Find(std::string_view idText, CScriptContext& context);

    // The item definition TYPE of the entry's text, asked of source the first time only.
    static std::optional<std::uint32_t> DefinitionType(CEntry& entry, CItemTypeSource& source);

    std::size_t Size() const { return m_used; }

private:
    void Grow();
    CEntry* Slot(std::string_view text, std::uint32_t hash);

    std::vector<CEntry> m_slots;
    std::size_t m_used = 0;
};

// Answers the rules' question for one record through its memo entry (see CNamedIdMemo); a scan points
// it at the record's entry before judging the record.
class CMemoItemTypes : public CItemTypeSource {
public:
    explicit CMemoItemTypes(CItemTypeSource& source) : m_source(source) {}
    void Use(CNamedIdMemo::CEntry* entry) { m_entry = entry; }
    std::optional<std::uint32_t> DefinitionType(std::string_view idText) override {
        return m_entry ? CNamedIdMemo::DefinitionType(*m_entry, m_source) : m_source.DefinitionType(idText);
    }

private:
    CItemTypeSource& m_source;
    CNamedIdMemo::CEntry* m_entry = nullptr;
};

} // namespace frostmark
