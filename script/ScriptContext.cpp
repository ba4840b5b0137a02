#include "script/ScriptContext.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "script/Numbers.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

// A hash of the name that names equal without regard to case share: every byte is taken with its 0x20 bit
// set, which is all that tells an ASCII capital from its small letter. A few other pairs ('@' and '`', '['
// and '{') merge too; the comparison of names tells them apart. Eight bytes at a time, as a scan looks up
// millions of names.
uint64_t FoldedHash(std::string_view name) {
    constexpr uint64_t kFold = 0x2020202020202020ull;
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = uint64_t(name.size()) * kMultiplier;
    const char* p = name.data();
    size_t left = name.size();
    while (left > 0) {
        uint64_t word = 0;
        const size_t take = left < 8 ? left : 8;
        std::memcpy(&word, p, take);
        hash = (hash ^ (word | kFold)) * kMultiplier;
        hash ^= hash >> 29;
        p += take;
        left -= take;
    }
    hash ^= hash >> 32;
    hash *= 0xC4CEB9FE1A85EC53ull;
    hash ^= hash >> 29;
    return hash;
}

} // namespace

CScriptContext::CScriptContext() : clock([] { return static_cast<int64_t>(std::time(nullptr)); }) {}

CScriptContext::~CScriptContext() {
    DeleteDefNames();
}

size_t CScriptContext::DefSlot(std::string_view name, uint64_t hash) const {
    const size_t mask = m_defSlots.size() - 1;
    for (size_t at = size_t(hash) & mask;; at = (at + 1) & mask) {
        const SDefSlot& slot = m_defSlots[at];
        if (slot.def == nullptr || (slot.hash == hash && EqualNames(slot.def->m_name, name))) {
            return at;
        }
    }
}

void CScriptContext::FindDefsIn(const CScriptContext& other) {
    m_defsOf = other.m_defsOf != nullptr ? other.m_defsOf : &other;
    clock = other.clock;
    newerLayout = other.newerLayout;
}

CDef* CScriptContext::FindDef(std::string_view name) const {
    return FindDefHashed(name, FoldedHash(name));
}

CDef* CScriptContext::FindDefHashed(std::string_view name, uint64_t hash) const {
    if (m_defsOf != nullptr) {
        return m_defsOf->FindDefHashed(name, hash);
    }
    if (m_defSlots.empty()) {
        return nullptr;
    }
    return m_defSlots[DefSlot(name, hash)].def;
}

int32_t CScriptContext::ValueOfName(std::string_view name) {
    if (budgetCut) {
        return 0;
    }
    const uint64_t hash = FoldedHash(name);
    const uint32_t generation = (m_defsOf != nullptr ? m_defsOf : this)->m_generation;
    SNameValue* entry = nullptr;
    // Only outside any evaluation: within one that went too deep even a fixed constant gives 0.
    if (rememberValues && name.size() <= kNameCacheLength && nesting == 0 && !nestingCut) {
        if (!m_nameValues) {
            m_nameValues = std::make_unique<SNameValue[]>(kNameCacheEntries);
        }
        // Two places a name may be in, so that a few names falling on one place do not take turns.
        SNameValue* const pair = &m_nameValues[size_t(hash >> 40) & (kNameCacheEntries - 2)];
        for (int way = 0; way < 2; ++way) {
            const SNameValue& held = pair[way];
            if (held.generation == generation && held.hash == hash && held.length == name.size() &&
                std::memcmp(held.name, name.data(), name.size()) == 0) {
                return held.value;
            }
        }
        entry = pair[0].generation == generation ? &pair[1] : &pair[0];
    }
    const CDef* def = FindDefHashed(name, hash);
    const uint64_t draws = randomDraws;
    const uint64_t cuts = m_nestingCuts;
    const int32_t value = def == nullptr ? 0 : EvaluateDef(*def);
    const bool steady = def == nullptr || def->IsFixed() || (draws == randomDraws && cuts == m_nestingCuts);
    if (entry != nullptr && steady && !budgetCut && !m_fault) {
        entry->hash = hash;
        entry->generation = generation;
        entry->value = value;
        entry->length = uint8_t(name.size());
        std::memcpy(entry->name, name.data(), name.size());
    }
    return value;
}

int32_t CScriptContext::EvaluateDef(const CDef& def) {
    const bool outermost = m_valueDepth == 0;
    if (outermost) {
        m_evaluations = 0;
        m_valueDef = &def;
    }
    if (++m_evaluations > maxEvaluationsPerValue) {
        budgetCut = true;
        if (!m_fault) {
            m_fault = CEvaluationFault{m_valueDef->m_name, m_valueDef->m_sourcePath};
        }
        return 0;
    }
    const bool plain = def.m_expression.IsEmpty();
    // Past a cut at the depth limit every expression gives 0 until the outermost evaluation returns, so
    // its value, remembered or not, is not what it gives here; and a 0 given here is no value to remember.
    if (!plain && nestingCut) {
        return 0;
    }
    const uint32_t generation = (m_defsOf != nullptr ? m_defsOf : this)->m_generation;
    if (!plain && rememberValues) {
        if (m_knownGeneration != generation) {
            m_knownValues.clear();
            m_knownGeneration = generation;
        }
        const auto known = m_knownValues.find(&def);
        if (known != m_knownValues.end() && nesting + known->second.height <= kMaxNesting) {
            NoteDepth(nesting + known->second.height);
            // Evaluating it would have seeded the random generator (and drawn nothing after): draws that
            // follow in the enclosing expression must start from that seed all the same.
            random.Seed(uint32_t(Now()));
            if (outermost) {
                m_mostEvaluations = std::max(m_mostEvaluations, m_evaluations);
            }
            return known->second.value;
        }
    }
    const uint64_t draws = randomDraws;
    const uint64_t cuts = m_nestingCuts;
    const int deepest = m_deepest;
    m_deepest = nesting;
    ++m_valueDepth;
    const int32_t value = def.GetValue(*this);
    --m_valueDepth;
    const int height = m_deepest - nesting;
    m_deepest = std::max(deepest, m_deepest);
    if (!plain && rememberValues && !budgetCut && draws == randomDraws && cuts == m_nestingCuts) {
        m_knownValues[&def] = SKnownValue{value, height};
    }
    if (outermost) {
        m_mostEvaluations = std::max(m_mostEvaluations, m_evaluations);
        budgetCut = false;
    }
    return value;
}

int CScriptContext::AddDef(CDef* def) {
    ++m_generation;
    if (def->m_name.empty()) {
        return m_defnames.ReplaceByName(def); // deletes it
    }
    // Room first, so that the slot found now stays the slot after the table has run.
    if ((m_defSlotsUsed + 1) * 2 > m_defSlots.size()) {
        std::vector<SDefSlot> old;
        old.swap(m_defSlots);
        m_defSlots.resize(old.empty() ? 64 : old.size() * 2);
        for (const SDefSlot& slot : old) {
            if (slot.def != nullptr) {
                m_defSlots[DefSlot(slot.def->m_name, slot.hash)] = slot;
            }
        }
    }
    // The slot is found while the constant it may hold is still alive: replace-by-name deletes it.
    const std::string name = def->m_name;
    const uint64_t hash = FoldedHash(name);
    SDefSlot& slot = m_defSlots[DefSlot(name, hash)];
    const int index = m_defnames.ReplaceByName(def);
    if (slot.def == nullptr) {
        ++m_defSlotsUsed;
    }
    // Replace-by-name leaves one constant per name, but the index takes whatever the table's own search
    // gives, so the two cannot disagree even if that ever changes.
    slot.hash = hash;
    slot.def = static_cast<CDef*>(m_defnames.Find(name));
    return index;
}

void CScriptContext::DeleteDefNames() {
    ++m_generation;
    m_fault.reset();
    m_defSlots.clear();
    m_defSlotsUsed = 0;
    m_defnames.DeleteAll();
}

} // namespace frostmark
