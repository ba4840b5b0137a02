#include "model/ItemType.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "model/Item.h"
#include "script/SObject.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

// Whether text contains pattern (already upper-cased), letters compared without case: the test
// LoadDefinition applies to each line after the section offset.
bool ContainsHeader(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) {
        return true;
    }
    if (text.size() < pattern.size()) {
        return false;
    }
    const size_t last = text.size() - pattern.size();
    for (size_t i = 0; i <= last; ++i) {
        if (AsciiUpper(text[i]) == pattern[0] && EqualNames(text.substr(i, pattern.size()), pattern)) {
            return true;
        }
    }
    return false;
}

CScriptContext* ContextOf(const CSObject& entry, CScriptContext* context) {
    return context != nullptr ? context : entry.Context();
}

// Positions an open file at the entry's section and reads its TYPE, as LoadDefinition would.
bool ReadTypeAt(CLineReader& file, const CSObject& entry, CScriptContext* context, int32_t& type) {
    type = 0;
    if (!file.Seek(entry.m_sectionOffset)) {
        return false;
    }
    const std::string header =
        DefinitionHeader(entry.m_kind, entry.m_name, context != nullptr && context->newerLayout);
    if (header.empty()) {
        return false;
    }
    std::string_view line;
    while (file.ReadLine(line)) {
        if (ContainsHeader(line, header)) {
            ReadItemTypeSection(file, context, type);
            return true;
        }
    }
    return false;
}

} // namespace

bool ReadItemType(const CSObject& entry, int32_t& type, CScriptContext* context) {
    type = 0;
    if (entry.m_name.empty() || entry.m_sourcePath.empty()) {
        return false;
    }
    CLineReader file;
    if (!file.Open(entry.m_sourcePath)) {
        return false;
    }
    return ReadTypeAt(file, entry, ContextOf(entry, context), type);
}

bool CItemTypeReader::ReadFromFile(const CSObject& entry, int32_t& type) {
    type = 0;
    if (entry.m_name.empty() || entry.m_sourcePath.empty()) {
        return false;
    }
    if (!m_file.IsOpen() || m_file.Path() != entry.m_sourcePath) {
        ++m_opens;
        if (!m_file.Open(entry.m_sourcePath)) {
            return false;
        }
    }
    ++m_reads;
    return ReadTypeAt(m_file, entry, ContextOf(entry, m_context), type);
}

const CItemTypeReader::Remembered& CItemTypeReader::Lookup(const CSObject& entry) {
    auto it = m_remembered.find(&entry);
    if (it != m_remembered.end()) {
        const Remembered& r = it->second;
        if (r.sectionOffset == entry.m_sectionOffset && r.kind == entry.m_kind && r.name == entry.m_name &&
            r.sourcePath == entry.m_sourcePath) {
            return r;
        }
    }
    Remembered fresh;
    fresh.name = entry.m_name;
    fresh.sourcePath = entry.m_sourcePath;
    fresh.kind = entry.m_kind;
    fresh.sectionOffset = entry.m_sectionOffset;
    fresh.found = ReadFromFile(entry, fresh.type);
    Remembered& stored = m_remembered[&entry];
    stored = std::move(fresh);
    return stored;
}

int32_t CItemTypeReader::GetType(const CSObject& entry) {
    return Lookup(entry).type;
}

bool CItemTypeReader::WasFound(const CSObject& entry) {
    return Lookup(entry).found;
}

void CItemTypeReader::Preload(const CScriptArray& definitions) {
    std::vector<const CSObject*> pending;
    pending.reserve(size_t(definitions.GetSize()));
    for (const CTObject* object : definitions) {
        const auto* entry = dynamic_cast<const CSObject*>(object);
        if (entry != nullptr && m_remembered.find(entry) == m_remembered.end()) {
            pending.push_back(entry);
        }
    }
    std::stable_sort(pending.begin(), pending.end(), [](const CSObject* a, const CSObject* b) {
        if (a->m_sourcePath != b->m_sourcePath) {
            return a->m_sourcePath < b->m_sourcePath;
        }
        return a->m_sectionOffset < b->m_sectionOffset;
    });
    for (const CSObject* entry : pending) {
        Lookup(*entry);
    }
}

void CItemTypeReader::Clear() {
    m_remembered.clear();
    m_file.Close();
    m_reads = 0;
    m_opens = 0;
}

} // namespace frostmark
