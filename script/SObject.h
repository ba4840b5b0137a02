#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/TObject.h"

namespace frostmark {

class CScriptContext;

// Base of every named definition read from a script (items, characters, regions...): what every definition
// carries, a generic section reader, and LoadDefinition to read the section again from its file.
//
// The context (DEFNAME table, newer-layout flag) is not owned. The loader that creates the object passes it
// in; without one, DEFNAME keys register nothing and LoadDefinition uses the older layout's headers.
class CSObject : public CTObject {
public:
    explicit CSObject(CScriptContext* context = nullptr) : m_context(context) {}
    // Copies every field of both levels (and the context), so a full object made from an index entry has the
    // entry's identity before LoadDefinition.
    CSObject(const CSObject&) = default;
    CSObject& operator=(const CSObject&) = default;
    ~CSObject() override;

    // The generic definition reader: CATEGORY, SUBSECTION, DESCRIPTION, DUPEITEM keys (trimmed, any case),
    // the bare line NOINDEX (any case, untrimmed), and keys starting with "DEFNAME" (upper case), each of
    // which makes a constant that evaluates to this definition's name. Steps back at the next header line.
    bool ReadSection(CLineReader& file) override;

    // Reads this definition's section again: opens the source path, seeks to the section offset, scans
    // forward for the header chosen by kind and runs ReadSection (the derived reader) there. False, without a
    // message, for an empty name or path, a file that cannot be opened, kind 0, or a header not found.
    bool LoadDefinition();

    // Makes the constant of a DEFNAME key: named by defName as written, from this object's source path,
    // evaluating to this object's name; stored in the context's DEFNAME table by replace-by-name (an empty
    // name is refused there). Does nothing without a context.
    void AddDefNameConstant(std::string_view defName);

    CScriptContext* Context() const { return m_context; }
    void SetContext(CScriptContext* context) { m_context = context; }

    std::string m_description = "<unnamed>";
    std::string m_subsection = "<none>";
    std::string m_category = "<none>";
    // The name of the definition this one duplicates.
    std::string m_dupeItem;
    // 1 when the section holds the bare line NOINDEX: kept out of the category index.
    uint8_t m_noIndex = 0;

protected:
    CScriptContext* m_context = nullptr;
};

// The header LoadDefinition looks for, upper-cased: by kind, filled with name. Empty for kind 0.
std::string DefinitionHeader(ScriptKind kind, std::string_view name, bool newerLayout);

} // namespace frostmark
