#include "script/ScriptContext.h"

#include <ctime>

#include "script/Numbers.h"
#include "script/ScriptText.h"

namespace frostmark {

CScriptContext::CScriptContext() : clock([] { return static_cast<int64_t>(std::time(nullptr)); }) {}

CScriptContext::~CScriptContext() {
    DeleteDefNames();
}

size_t CScriptContext::SFoldedHash::operator()(std::string_view name) const {
    // FNV-1a over the folded bytes: names differing only in the case of letters hash alike.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

bool CScriptContext::SFoldedEqual::operator()(std::string_view a, std::string_view b) const {
    return EqualNames(a, b);
}

CDef* CScriptContext::FindDef(std::string_view name) const {
    const auto found = m_defIndex.find(name);
    return found == m_defIndex.end() ? nullptr : found->second;
}

int CScriptContext::AddDef(CDef* def) {
    // The table may delete def (an empty name), so its name is copied first.
    std::string name = def->m_name;
    const int index = m_defnames.ReplaceByName(def);
    if (index < 0) {
        return index;
    }
    // Replace-by-name leaves one constant per name, but the index takes whatever the table's own search
    // gives, so the two cannot disagree even if that ever changes.
    auto* current = static_cast<CDef*>(m_defnames.Find(name));
    const auto [at, inserted] = m_defIndex.try_emplace(std::move(name), current);
    if (!inserted) {
        at->second = current;
    }
    return index;
}

void CScriptContext::DeleteDefNames() {
    m_defIndex.clear();
    m_defnames.DeleteAll();
}

} // namespace frostmark
