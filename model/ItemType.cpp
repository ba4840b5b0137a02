#include "model/ItemType.h"

#include <string_view>
#include <vector>

#include "model/Item.h"
#include "script/SObject.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

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
        if (ContainsNameUpper(line, header)) {
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

CScriptContext* CItemTypeReader::ContextFor(const CSObject& entry) const {
    return ContextOf(entry, m_context);
}

void CItemTypeReader::ReadWholeFile(const std::string& path, FileTypes& file, CScriptContext* context) {
    file.opened = true;
    ++m_opens;
    if (!m_file.Open(path)) {
        file.openFailed = true;
        return;
    }
    // The loaders' section loop: every line whose first character is "[" starts a section, and each
    // section is read with the item reader's rules, as LoadDefinition would read it after its header.
    std::string_view line;
    while (m_file.ReadLine(line)) {
        if (!IsHeaderLine(line)) {
            continue;
        }
        Section section;
        section.headerLine = std::string(line);
        const uint64_t offset = m_file.LineStart();
        const bool more = ReadItemTypeSection(m_file, context, section.type);
        ++m_reads;
        file.sections.emplace(offset, std::move(section));
        if (!more) {
            break;
        }
    }
}

bool CItemTypeReader::ReadOne(const CSObject& entry, int32_t& type) {
    type = 0;
    if (!m_file.IsOpen() || m_file.Path() != entry.m_sourcePath) {
        ++m_opens;
        if (!m_file.Open(entry.m_sourcePath)) {
            return false;
        }
    }
    ++m_reads;
    return ReadTypeAt(m_file, entry, ContextFor(entry), type);
}

bool CItemTypeReader::Answer(const CSObject& entry, const std::string& path, FileTypes& file, int32_t& type) {
    type = 0;
    if (entry.m_name.empty() || path.empty()) {
        return false;
    }
    CScriptContext* context = ContextFor(entry);
    if (!file.opened) {
        ReadWholeFile(path, file, context);
    }
    if (file.openFailed) {
        return false;
    }
    const std::string header =
        DefinitionHeader(entry.m_kind, entry.m_name, context != nullptr && context->newerLayout);
    if (header.empty()) {
        return false;
    }
    const auto section = file.sections.find(entry.m_sectionOffset);
    if (section != file.sections.end() && ContainsNameUpper(section->second.headerLine, header)) {
        type = section->second.type;
        return true;
    }
    // The recorded offset is not on the definition's header line: scan forward from it, as LoadDefinition.
    return ReadOne(entry, type);
}

const CItemTypeReader::Remembered& CItemTypeReader::Lookup(const CSObject& entry) {
    auto known = m_remembered.find(&entry);
    if (known != m_remembered.end()) {
        const Remembered& r = known->second;
        if (r.sectionOffset == entry.m_sectionOffset && r.kind == entry.m_kind && r.name == entry.m_name &&
            *r.sourcePath == entry.m_sourcePath) {
            return r;
        }
    }
    // Definitions of one file tend to come together; comparing with the last path is cheaper than hashing.
    if (m_lastFile == nullptr || m_lastFile->first != entry.m_sourcePath) {
        m_lastFile = &*m_files.try_emplace(entry.m_sourcePath).first;
    }
    const std::string& path = m_lastFile->first;
    FileTypes& file = m_lastFile->second;
    const bool firstInFile = !file.opened;
    Remembered fresh;
    fresh.name = entry.m_name;
    fresh.sourcePath = &path;
    fresh.kind = entry.m_kind;
    fresh.sectionOffset = entry.m_sectionOffset;
    fresh.found = Answer(entry, path, file, fresh.type);
    if (firstInFile) {
        m_remembered.reserve(m_remembered.size() + file.sections.size());
    }
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
    m_remembered.reserve(m_remembered.size() + size_t(definitions.GetSize()));
    for (const CTObject* object : definitions) {
        const auto* entry = dynamic_cast<const CSObject*>(object);
        if (entry != nullptr) {
            Lookup(*entry);
        }
    }
}

void CItemTypeReader::Clear() {
    m_remembered.clear();
    m_files.clear();
    m_lastFile = nullptr;
    m_file.Close();
    m_reads = 0;
    m_opens = 0;
}

} // namespace frostmark
