#pragma once

// Map regions of the server's map scripts: areas ([AREA name]), rooms ([ROOM name]) and named locations
// ([LOCATION]). The registry keeps them in its areas, rooms and locations collections, which own them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/SObject.h"

namespace frostmark {

class CLineReader;

// Area flag bits. Several keywords share a bit; 0x0010, 0x0040, 0x0400 and 0x8000 can only be set by a
// FLAGS line.
inline constexpr uint16_t kAreaMagic = 0x0001;       // MAGIC
inline constexpr uint16_t kAreaMark = 0x0002;        // MARK, RECALLIN
inline constexpr uint16_t kAreaRecallOut = 0x0004;   // RECALLOUT
inline constexpr uint16_t kAreaGate = 0x0008;        // GATE, GATEIN, GATEOUT
inline constexpr uint16_t kAreaMagicDamage = 0x0020; // MAGICDAMAGE
inline constexpr uint16_t kAreaNoBuild = 0x0080;     // NOBUILD, and BUILDABLE with a zero value
inline constexpr uint16_t kAreaGlobal = 0x0100;      // GLOBAL
inline constexpr uint16_t kAreaAnnounce = 0x0200;    // ANNOUNCE
inline constexpr uint16_t kAreaUnderground = 0x0800; // UNDERGROUND
inline constexpr uint16_t kAreaNoDecay = 0x1000;     // NODECAY
inline constexpr uint16_t kAreaSafe = 0x2000;        // SAFE
inline constexpr uint16_t kAreaGuarded = 0x4000;     // GUARDED

// The area and room key list, in lookup order (30 entries).
extern const char* const kAreaKeywords[30];

// One [AREA name] section. The loader sets the area's name (m_areaName) and its description to the
// header's argument; the CTObject name stays empty. The point and the rectangles are kept as written.
class CArea : public CSObject {
public:
    explicit CArea(CScriptContext* context = nullptr) : CSObject(context) {}
    ~CArea() override;

    // Reads the body lines up to the next header line (stepped back: true) or the end of the file (false),
    // applying each with ParseKey. Lines beginning with "//" are skipped; a "//" later in a line is part of
    // the value.
    bool ReadBody(CLineReader& file);
    // Applies one body line: "KEY=value" or "KEY value", nothing trimmed, the key looked up without regard
    // to case; unknown keys are ignored. Flag keywords only ever add bits (BUILDABLE adds NOBUILD when its
    // value is 0); FLAGS replaces all bits with its hexadecimal value.
    void ParseKey(std::string_view line);

    // "[AREA name]", the keys TITLE GROUP P RECT GUARDOWNER RAINCHANCE COLDCHANCE LOCAL SOUNDS ANNOUNCEMENT
    // FLAGS TRIGGER TRIGPERIODIC that have a value, and a blank line. MIDILIST is not written for an area.
    void WriteSection(std::string& out) const override;
    // Appends the line(s) of one key when the key has a value (FLAGS always has one).
    virtual void WriteKey(std::string_view key, std::string& out) const;

    uint32_t m_trigger = 0xFFFFFFFFu;      // none
    uint32_t m_trigPeriodic = 0xFFFFFFFFu; // none
    std::string m_announcement;
    std::string m_sounds;
    std::string m_local;
    std::string m_guardOwner;
    std::string m_midiList;
    std::string m_point;
    std::string m_title;
    int32_t m_coldChance = -1; // none
    int32_t m_rainChance = -1; // none
    std::string m_areaName;
    std::string m_group;
    uint16_t m_flags = 0;
    std::vector<std::string> m_rects;

protected:
    // The text WriteKey writes for a key (empty when it writes nothing); rooms differ in FLAGS and triggers.
    std::string KeyText(std::string_view key, bool room) const;
};

// One [ROOM name] section: read exactly like an area; written with its own key set, without triggers, and
// with a FLAGS line that has no line end of its own, so the section's closing "\n" ends it.
class CRoom : public CArea {
public:
    explicit CRoom(CScriptContext* context = nullptr) : CArea(context) {}
    ~CRoom() override;

    // "[ROOM name]", the keys GROUP TITLE P RECT MIDILIST GUARDOWNER RAINCHANCE COLDCHANCE LOCAL SOUNDS
    // ANNOUNCEMENT FLAGS that have a value, then "\n".
    void WriteSection(std::string& out) const override;
    void WriteKey(std::string_view key, std::string& out) const override;
};

// One [LOCATION] section: a named point filed under its own category and subsection.
class CLocation : public CSObject {
public:
    explicit CLocation(CScriptContext* context = nullptr) : CSObject(context) {}
    ~CLocation() override;

    // Reads CATEGORY, SUBSECTION, DESCRIPTION and POINT lines, each cut at its first "/" and untrimmed, up
    // to the first line that holds "[" anywhere (stepped back: true) or the end of the file (false).
    bool ReadSection(CLineReader& file) override;
    // "[LOCATION]", one "KEY=value" line for each of the four keys (also when empty), a blank line.
    void WriteSection(std::string& out) const override;

    std::string m_point;
};

} // namespace frostmark
