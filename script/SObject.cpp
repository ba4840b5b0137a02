#include "script/SObject.h"

#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

const char* const kDefinitionKeys[] = {"CATEGORY", "SUBSECTION", "DESCRIPTION", "NOINDEX", "DUPEITEM"};
enum { kKeyCategory, kKeySubsection, kKeyDescription, kKeyNoIndex, kKeyDupeItem };

} // namespace

CSObject::~CSObject() = default;

std::string DefinitionHeader(ScriptKind kind, std::string_view name, bool newerLayout) {
    std::string prefix;
    switch (kind) {
    case kKindNone:
        return std::string();
    case kKindItemDef:
        prefix = newerLayout ? "[ITEMDEF " : "[";
        break;
    case kKindCharDef:
        prefix = newerLayout ? "[CHARDEF " : "[";
        break;
    case kKindSkill:
        prefix = "[SKILL ";
        break;
    case kKindSkillClass:
        prefix = "[SKILLCLASS ";
        break;
    case kKindSpell:
        prefix = "[Spell ";
        break;
    case kKindSpawn:
        prefix = "[SPAWN ";
        break;
    case kKindPotion:
        prefix = "[POTION ";
        break;
    case kKindNames:
        prefix = "[NAMES ";
        break;
    default:
        prefix = "[";
        break;
    }
    std::string header = prefix;
    header += name;
    header += ']';
    return ToUpper(header);
}

void CSObject::AddDefNameConstant(std::string_view defName) {
    if (m_context == nullptr) {
        return;
    }
    auto* def = new CDef;
    def->m_name = std::string(defName);
    def->m_sourcePath = m_sourcePath;
    def->m_expression.Set(m_name);
    m_context->AddDef(def);
}

bool CSObject::ReadSection(CLineReader& file) {
    std::string_view line;
    for (;;) {
        if (!file.ReadLine(line)) {
            return false;
        }
        if (IsHeaderLine(line)) {
            file.StepBack();
            return true;
        }
        if (EqualNames(line, "NOINDEX")) {
            m_noIndex = 1;
        }
        std::string_view key;
        std::string_view value;
        if (!SplitKeyValue(line, key, value)) {
            continue;
        }
        key = Trim(key);
        value = Trim(value);
        switch (FindKeyword(key, kDefinitionKeys)) {
        case kKeyCategory:
            m_category = std::string(value);
            break;
        case kKeySubsection:
            m_subsection = std::string(value);
            break;
        case kKeyDescription:
            m_description = std::string(value);
            break;
        case kKeyDupeItem:
            m_dupeItem = std::string(value);
            break;
        default:
            // Only the upper-case spelling counts: "DEFNAME", "DEFNAME2" and the like.
            if (key.substr(0, 7) == "DEFNAME") {
                AddDefNameConstant(value);
            }
            break;
        }
    }
}

bool CSObject::LoadDefinition() {
    if (m_name.empty() || m_sourcePath.empty()) {
        return false;
    }
    CLineReader file;
    if (!file.Open(m_sourcePath)) {
        return false;
    }
    if (!file.Seek(m_sectionOffset)) {
        return false;
    }
    const std::string header =
        DefinitionHeader(m_kind, m_name, m_context != nullptr && m_context->newerLayout);
    if (header.empty()) {
        return false;
    }
    std::string_view line;
    while (file.ReadLine(line)) {
        if (ContainsNameUpper(line, header)) {
            ReadSection(file);
            return true;
        }
    }
    return false;
}

} // namespace frostmark
