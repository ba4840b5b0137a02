#pragma once

#include <cstdint>
#include <string>

namespace frostmark {

class CLineReader;

// The section kind an object was read from. It chooses the header LoadDefinition searches for.
using ScriptKind = uint8_t;
inline constexpr ScriptKind kKindNone = 0; // locations, tables, older-layout name and speech sections
inline constexpr ScriptKind kKindItemDef = 1;
inline constexpr ScriptKind kKindCharDef = 2;
inline constexpr ScriptKind kKindSkill = 3;
inline constexpr ScriptKind kKindSkillClass = 4;
inline constexpr ScriptKind kKindSpell = 5;
inline constexpr ScriptKind kKindSpawn = 6;
inline constexpr ScriptKind kKindPotion = 7; // no loader assigns it
inline constexpr ScriptKind kKindNames = 8;
inline constexpr ScriptKind kKindTemplate = 9;
inline constexpr ScriptKind kKindTrig = 10;
inline constexpr ScriptKind kKindPlotItem = 11;
inline constexpr ScriptKind kKindRegion = 12;
inline constexpr ScriptKind kKindWebPage = 13;

// Root of every object read from a script: where it came from, and how it reads and writes its section.
class CTObject {
public:
    CTObject() = default;
    CTObject(const CTObject&) = default;
    CTObject& operator=(const CTObject&) = default;
    virtual ~CTObject();

    // Appends the object as one script section (header and body lines, each ending in "\n") to out.
    // The root writes nothing.
    virtual void WriteSection(std::string& out) const;
    // Reads the body of the section whose header line was just read. Returns true when it stopped at the
    // next header line, which it leaves unread (stepped back) for the caller; false at end of file.
    // The root reads nothing and returns true.
    virtual bool ReadSection(CLineReader& file);

    const std::string& Name() const { return m_name; }

    // The object's name: its section header text without the kind word, or a constant's upper-cased name.
    std::string m_name;
    // Full path of the script file the object was read from.
    std::string m_sourcePath;
    ScriptKind m_kind = kKindNone;
    // Byte offset of the object's section header line in its source file.
    uint32_t m_sectionOffset = 0;
};

} // namespace frostmark
