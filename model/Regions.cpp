#include "model/Regions.h"

#include <cstdio>

#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptArray.h"
#include "script/ScriptText.h"

namespace frostmark {

const char* const kAreaKeywords[30] = {
    "GROUP",       "TITLE",        "P",          "RECT",    "MIDILIST", "MAGICDAMAGE", "MAGIC",   "MARK",
    "RECALLIN",    "RECALLOUT",    "GATE",       "GATEIN",  "GATEOUT",  "BUILDABLE",   "NOBUILD", "GUARDED",
    "GUARDOWNER",  "RAINCHANCE",   "COLDCHANCE", "LOCAL",   "GLOBAL",   "SOUNDS",      "NODECAY", "SAFE",
    "UNDERGROUND", "ANNOUNCEMENT", "ANNOUNCE",   "TRIGGER", "FLAGS",    "TRIGPERIODIC"};

namespace {

enum AreaKey {
    kKeyGroup,
    kKeyTitle,
    kKeyP,
    kKeyRect,
    kKeyMidiList,
    kKeyMagicDamage,
    kKeyMagic,
    kKeyMark,
    kKeyRecallIn,
    kKeyRecallOut,
    kKeyGate,
    kKeyGateIn,
    kKeyGateOut,
    kKeyBuildable,
    kKeyNoBuild,
    kKeyGuarded,
    kKeyGuardOwner,
    kKeyRainChance,
    kKeyColdChance,
    kKeyLocal,
    kKeyGlobal,
    kKeySounds,
    kKeyNoDecay,
    kKeySafe,
    kKeyUnderground,
    kKeyAnnouncement,
    kKeyAnnounce,
    kKeyTrigger,
    kKeyFlags,
    kKeyTrigPeriodic,
};

// The bit a flag keyword sets, or 0 for keys that are not flag keywords.
uint16_t FlagBit(int key) {
    switch (key) {
    case kKeyMagic:
        return kAreaMagic;
    case kKeyMark:
    case kKeyRecallIn:
        return kAreaMark;
    case kKeyRecallOut:
        return kAreaRecallOut;
    case kKeyGate:
    case kKeyGateIn:
    case kKeyGateOut:
        return kAreaGate;
    case kKeyMagicDamage:
        return kAreaMagicDamage;
    case kKeyNoBuild:
        return kAreaNoBuild;
    case kKeyGlobal:
        return kAreaGlobal;
    case kKeyAnnounce:
        return kAreaAnnounce;
    case kKeyUnderground:
        return kAreaUnderground;
    case kKeyNoDecay:
        return kAreaNoDecay;
    case kKeySafe:
        return kAreaSafe;
    case kKeyGuarded:
        return kAreaGuarded;
    default:
        return 0;
    }
}

void AppendText(std::string& out, const char* key, const std::string& value) {
    if (!value.empty()) {
        out += key;
        out += '=';
        out += value;
        out += '\n';
    }
}

std::string Hex5(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%05x", unsigned(value));
    return buffer;
}

} // namespace

// ---------------------------------------------------------------- CArea

CArea::~CArea() = default;

bool CArea::ReadBody(CLineReader& file) {
    std::string_view line;
    while (file.ReadLine(line)) {
        if (IsHeaderLine(line)) {
            file.StepBack();
            return true;
        }
        if (line.substr(0, 2) != "//") {
            ParseKey(line);
        }
    }
    return false;
}

void CArea::ParseKey(std::string_view line) {
    if (line.empty()) {
        return;
    }
    std::string_view key;
    std::string_view value;
    size_t split = line.find('=');
    if (split == std::string_view::npos) {
        split = line.find(' ');
    }
    if (split == std::string_view::npos) {
        key = line;
    } else {
        key = line.substr(0, split);
        value = line.substr(split + 1);
    }
    const int index = FindKeyword(key, kAreaKeywords);
    switch (index) {
    case kKeyGroup:
        m_group = std::string(value);
        break;
    case kKeyTitle:
        m_title = std::string(value);
        break;
    case kKeyP:
        m_point = std::string(value);
        break;
    case kKeyRect:
        m_rects.emplace_back(value);
        break;
    case kKeyMidiList:
        m_midiList = std::string(value);
        break;
    case kKeyGuardOwner:
        m_guardOwner = std::string(value);
        break;
    case kKeyLocal:
        m_local = std::string(value);
        break;
    case kKeySounds:
        m_sounds = std::string(value);
        break;
    case kKeyAnnouncement:
        m_announcement = std::string(value);
        break;
    case kKeyRainChance:
        m_rainChance = ParseDecimal(value);
        break;
    case kKeyColdChance:
        m_coldChance = ParseDecimal(value);
        break;
    case kKeyBuildable:
        if (ParseDecimal(value) == 0) {
            m_flags |= kAreaNoBuild;
        }
        break;
    case kKeyFlags:
        m_flags = static_cast<uint16_t>(ParseHex(value));
        break;
    case kKeyTrigger:
        m_trigger = ParseHex(value);
        break;
    case kKeyTrigPeriodic:
        m_trigPeriodic = ParseHex(value);
        break;
    default:
        if (index >= 0 && ParseDecimal(value) != 0) {
            m_flags |= FlagBit(index);
        }
        break;
    }
}

std::string CArea::KeyText(std::string_view key, bool room) const {
    std::string text;
    switch (FindKeyword(key, kAreaKeywords)) {
    case kKeyGroup:
        AppendText(text, "GROUP", m_group);
        break;
    case kKeyTitle:
        AppendText(text, "TITLE", m_title);
        break;
    case kKeyP:
        AppendText(text, "P", m_point);
        break;
    case kKeyMidiList:
        AppendText(text, "MIDILIST", m_midiList);
        break;
    case kKeyGuardOwner:
        AppendText(text, "GUARDOWNER", m_guardOwner);
        break;
    case kKeyLocal:
        AppendText(text, "LOCAL", m_local);
        break;
    case kKeySounds:
        AppendText(text, "SOUNDS", m_sounds);
        break;
    case kKeyAnnouncement:
        AppendText(text, "ANNOUNCEMENT", m_announcement);
        break;
    case kKeyRect:
        for (const std::string& rect : m_rects) {
            text += "RECT=";
            text += rect;
            text += '\n';
        }
        break;
    case kKeyRainChance:
        if (m_rainChance != -1) {
            text = "RAINCHANCE " + std::to_string(m_rainChance) + "\n";
        }
        break;
    case kKeyColdChance:
        if (m_coldChance != -1) {
            text = "COLDCHANCE " + std::to_string(m_coldChance) + "\n";
        }
        break;
    case kKeyTrigger:
        if (!room && m_trigger != 0xFFFFFFFFu) {
            text = "TRIGGER=" + Hex5(m_trigger) + "\n";
        }
        break;
    case kKeyTrigPeriodic:
        if (!room && m_trigPeriodic != 0xFFFFFFFFu) {
            text = "TRIGPERIODIC=" + Hex5(m_trigPeriodic) + "\n";
        }
        break;
    case kKeyFlags:
        text = "FLAGS=" + Hex5(m_flags);
        if (!room) {
            text += '\n';
        }
        break;
    default:
        break;
    }
    return text;
}

void CArea::WriteKey(std::string_view key, std::string& out) const {
    out += KeyText(key, false);
}

void CArea::WriteSection(std::string& out) const {
    out += "[AREA ";
    out += m_areaName;
    out += "]\n";
    for (const char* key : {"TITLE", "GROUP", "P", "RECT", "GUARDOWNER", "RAINCHANCE", "COLDCHANCE", "LOCAL",
                            "SOUNDS", "ANNOUNCEMENT", "FLAGS", "TRIGGER", "TRIGPERIODIC"}) {
        WriteKey(key, out);
    }
    out += '\n';
}

// ---------------------------------------------------------------- CRoom

CRoom::~CRoom() = default;

void CRoom::WriteKey(std::string_view key, std::string& out) const {
    out += KeyText(key, true);
}

void CRoom::WriteSection(std::string& out) const {
    out += "[ROOM ";
    out += m_areaName;
    out += "]\n";
    for (const char* key : {"GROUP", "TITLE", "P", "RECT", "MIDILIST", "GUARDOWNER", "RAINCHANCE",
                            "COLDCHANCE", "LOCAL", "SOUNDS", "ANNOUNCEMENT", "FLAGS"}) {
        WriteKey(key, out);
    }
    out += '\n';
}

// ---------------------------------------------------------------- CLocation

CLocation::~CLocation() = default;

bool CLocation::ReadSection(CLineReader& file) {
    static const char* const kLocationKeys[] = {"CATEGORY", "SUBSECTION", "DESCRIPTION", "POINT"};
    std::string_view line;
    while (file.ReadLine(line)) {
        if (line.find('[') != std::string_view::npos) {
            file.StepBack();
            return true;
        }
        line = line.substr(0, line.find('/'));
        std::string_view key;
        std::string_view value;
        if (!SplitKeyValue(line, key, value)) {
            continue;
        }
        switch (FindKeyword(key, kLocationKeys)) {
        case 0:
            m_category = std::string(value);
            break;
        case 1:
            m_subsection = std::string(value);
            break;
        case 2:
            m_description = std::string(value);
            break;
        case 3:
            m_point = std::string(value);
            break;
        default:
            break;
        }
    }
    return false;
}

void CLocation::WriteSection(std::string& out) const {
    out += "[LOCATION]\n";
    out += "CATEGORY=" + m_category + "\n";
    out += "SUBSECTION=" + m_subsection + "\n";
    out += "DESCRIPTION=" + m_description + "\n";
    out += "POINT=" + m_point + "\n";
    out += '\n';
}

} // namespace frostmark
