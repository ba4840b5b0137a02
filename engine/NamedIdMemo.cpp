#include "engine/NamedIdMemo.h"

#include "engine/WorldItem.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

#include <cstring>

namespace frostmark {

namespace {

std::uint32_t NameHash(std::string_view text) {
    // FNV-1a: the names are short, and one multiply a byte costs less than the cache misses it saves.
    std::uint32_t hash = 2166136261u;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

} // namespace

CNamedIdMemo::CEntry* CNamedIdMemo::Slot(std::string_view text, std::uint32_t hash) {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        CEntry& slot = m_slots[at];
        if (slot.length == 0 || (slot.hash == hash && slot.length == text.size() &&
                                 std::memcmp(slot.text, text.data(), text.size()) == 0))
            return &slot;
    }
}

void CNamedIdMemo::Grow() {
    std::vector<CEntry> old(m_slots.empty() ? 1024 : 2 * m_slots.size());
    old.swap(m_slots);
    for (const CEntry& entry : old)
        if (entry.length != 0)
            *Slot(std::string_view(entry.text, entry.length), entry.hash) = entry;
}

CNamedIdMemo::CEntry* CNamedIdMemo::Find(std::string_view idText, CScriptContext& context) {
    if (idText.size() > kMaxText || !IsNameText(idText))
        return nullptr;
    // Inside an evaluation that went too deep every constant reads 0; nothing learnt there is kept.
    if (context.nesting != 0 || context.nestingCut)
        return nullptr;
    const std::uint32_t hash = NameHash(idText);
    if (!m_slots.empty()) {
        CEntry* found = Slot(idText, hash);
        if (found->length != 0)
            return found;
    }
    if (!NameHasFixedValue(idText, context))
        return nullptr;
    if (m_used >= kMaxEntries)
        return nullptr;
    if (2 * (m_used + 1) > m_slots.size())
        Grow();
    CEntry* entry = Slot(idText, hash);
    entry->hash = hash;
    entry->length = static_cast<std::uint8_t>(idText.size());
    std::memcpy(entry->text, idText.data(), idText.size());
    entry->typeState = CEntry::kTypeUnasked;
    entry->art = static_cast<std::uint32_t>(GetNumber(idText, context));
    ++m_used;
    return entry;
}

std::optional<std::uint32_t> CNamedIdMemo::DefinitionType(CEntry& entry, CItemTypeSource& source) {
    if (entry.typeState == CEntry::kTypeUnasked) {
        const std::optional<std::uint32_t> type =
            source.DefinitionType(std::string_view(entry.text, entry.length));
        entry.typeState = type ? CEntry::kTypeKnown : CEntry::kNoDefinition;
        entry.type = type.value_or(0);
    }
    if (entry.typeState == CEntry::kNoDefinition)
        return std::nullopt;
    return entry.type;
}

} // namespace frostmark
