#include "model/Item.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"
#include "script/ScriptText.h"

namespace frostmark {

const char* const kItemKeywords[34] = {
    "NAME",       "DYE",         "REPAIR",   "REQSTR",    "MOREP",       "TYPE",     "CATEGORY",
    "SUBSECTION", "DESCRIPTION", "ID",       "COLOR",     "WEIGHT",      "ARMOR",    "BUYVALUE",
    "SELLVALUE",  "DAM",         "ATT",      "HITPOINTS", "DUPEITEM",    "ATTR",     "SPEED",
    "SKILL",      "MORE",        "MORE1",    "MORE2",     "ONTRIGGER",   "DUPELIST", "DEFNAME",
    "TIMER",      "NOINDEX",     "TWOHANDS", "COMPONENT", "MULTIREGION", "MATERIAL"};

const char* const kItemTypeNames[kItemTypeNameCount] = {
    "  NORMAL  ",
    "CONTAINER",
    "CONTAINER_LOCKED",
    "DOOR",
    "DOOR_LOCKED",
    "KEY",
    "LIGHT_LIT",
    "LIGHT_OUT",
    "FOOD",
    "FOOD_RAW",
    "ARMOR",
    "WEAPON_MACE_SMITH",
    "WEAPON_MACE_SHARP",
    "WEAPON_SWORD",
    "WEAPON_FENCE",
    "WEAPON_BOW",
    "WAND",
    "TELEPAD",
    "SWITCH",
    "BOOK",
    "RUNE",
    "BOOZE",
    "POTION",
    "FIRE",
    "CLOCK",
    "TRAP",
    "TRAP_ACTIVE",
    "MUSICAL",
    "SPELL",
    "GEM",
    "WATER",
    "CLOTHING",
    "SCROLL",
    "CARPENTRY",
    "SPAWN_CHAR",
    "GAME_PIECE",
    "PORTCULIS",
    "FIGURINE",
    "SHRINE",
    "MOONGATE",
    "CHAIR",
    "FORGE",
    "ORE",
    "LOG",
    "TREE",
    "ROCK",
    "CARPENTRY_CHOP",
    "MULTI",
    "REAGENT",
    "SHIP",
    "SHIP_PLANK",
    "SHIP_SIDE",
    "SHIP_SIDE_LOCKED",
    "SHIP_TILLER",
    "EQ_TRADE_WINDOW",
    "FISH",
    "SIGN_GUMP",
    "STONE_GUILD",
    "ANIM_ACTIVE",
    "ADVANCE_GATE",
    "CLOTH",
    "HAIR",
    "BEARD",
    "INGOT",
    "COIN",
    "PLANT",
    "DRINK",
    "ANVIL",
    "PORT_LOCKED",
    "SPAWN_ITEM",
    "TELESCOPE",
    "BED_EW",
    "BED_NS",
    "MAP",
    "EQ_MEMORY_OBJ",
    "WEAPON_MACE_STAFF",
    "EQ_HORSE",
    "COMM_CRYSTAL",
    "GAME_BOARD",
    "TRASH",
    "CANNON_MUZZLE",
    "CANNON",
    "CANNON_BALL",
    "PLANT_FRUITING",
    "PLANT_IMATURE",
    "RING_REAGENTS",
    "CRYSTAL_BALL",
    "CASHIERS_CHECK",
    "MESSAGE",
    "REAGENT_RAW",
    "EQ_CLIENT_LINGER",
    "DREAM_GATE",
    "ITEM_STONE",
    "METRONOME",
    "EXPLOSION",
    "EQ_NPC_SCRIPT",
    "WEB",
    "GRASS",
    "AROCK",
    "TRACKER",
    "SOUND",
    "STONE_TOWN",
    "WEAPON_MACE_CROOK",
    "WEAPON_MACE_PICK",
    "LEATHER",
    "SHIP_OTHER",
    "BBOARD",
    "SPELLBOOK",
    "CORPSE",
    "TRACK_ITEM",
    "TRACK_CHAR",
    "WEAPON_ARROW",
    "WEAPON_BOLT",
    "EQ_VENDOR_BOX",
    "EQ_BANK_BOX",
    "DEED",
    "LOOM",
    "BEE_HIVE",
    "ARCHERY_BUTTE",
    "EQ_MURDER_COUNT",
    "EQ_STUCK",
    "TRAP_INACTIVE",
    "STONE_ROOM",
    "BANDAGE",
    "CAMPFIRE",
    "MAP_BLANK",
    "SPY_GLASS",
    "SEXTANT",
    "SCROLL_BLANK",
    "FRUIT",
    "WATER_WASH",
    "WEAPON_AXE",
    "WEAPON_XBOW",
    "SPELLICON",
    "DOOR_OPEN",
    "MEAT_RAW",
    "GARBAGE",
    "KEYRING",
    "TABLE",
    "FLOOR",
    "ROOF",
    "FEATHER",
    "WOOL",
    "FUR",
    "BLOOD",
    "FOLIAGE",
    "GRAIN",
    "SCISSORS",
    "THREAD",
    "YARN",
    "SPINWHEEL",
    "BANDAGE_BLOOD",
    "FISH_POLE",
    "SHAFT",
    "LOCKPICK",
    "KINDLING",
    "TRAIN_DUMMY",
    "TRAIN_PICKPOCKET",
    "BEDROLL",
    "BELLOWS",
    "HIDE",
    "CLOTH_BOLT",
    "LUMBER",
    "PITCHER",
    "PITCHER_EMPTY",
    "DYE_VAT",
    "DYE",
    "POTION_EMPTY",
    "MORTAR",
    "HAIR_DYE",
    "SEWING_KIT",
    "TINKER_TOOLS",
    "WALL",
    "WINDOW",
    "COTTON",
    "BONE",
    "EQ_SCRIPT",
    "SHIP_HOLD",
    "SHIP_HOLD_LOCK",
    "LAVA",
    "SHIELD",
    "JEWELRY",
    "DIRT",
};

const char* ItemTypeName(int32_t type) {
    return type >= 0 && type < kItemTypeNameCount ? kItemTypeNames[type] : nullptr;
}

namespace {

enum ItemKey {
    kKeyName,
    kKeyDye,
    kKeyRepair,
    kKeyReqStr,
    kKeyMorep,
    kKeyType,
    kKeyCategory,
    kKeySubsection,
    kKeyDescription,
    kKeyId,
    kKeyColor,
    kKeyWeight,
    kKeyArmor,
    kKeyBuyValue,
    kKeySellValue,
    kKeyDam,
    kKeyAtt,
    kKeyHitPoints,
    kKeyDupeItem,
    kKeyAttr,
    kKeySpeed,
    kKeySkill,
    kKeyMore,
    kKeyMore1,
    kKeyMore2,
    kKeyOnTrigger,
    kKeyDupeList,
    kKeyDefName,
    kKeyTimer,
    kKeyNoIndex,
    kKeyTwoHands,
    kKeyComponent,
    kKeyMultiRegion,
    kKeyMaterial,
};

// Definitions read without a registry still need somewhere to look constants up; this one stays empty, so
// every name reads as 0.
CScriptContext& ContextOrEmpty(CScriptContext* context) {
    static CScriptContext empty;
    return context != nullptr ? *context : empty;
}

// The line loop shared by the full item reader and the TYPE-only reader, so both classify every line the
// same way. The handler receives comment lines, trigger lines, other lines and known keys with their
// trimmed value.
template <class Handler> bool ScanItemSection(CLineReader& file, Handler& handler) {
    bool trigger = false;
    std::string upper;
    std::string_view raw;
    for (;;) {
        if (!file.ReadLine(raw)) {
            return false;
        }
        if (IsHeaderLine(raw)) {
            file.StepBack();
            return true;
        }
        const std::string_view line = Trim(raw);
        if (line.substr(0, 2) == "//") {
            handler.Comment(line);
            continue;
        }
        upper.assign(line);
        for (char& c : upper) {
            c = AsciiUpper(c);
        }
        const size_t equals = upper.find('=');
        const std::string_view key =
            equals == std::string::npos ? std::string_view(upper) : std::string_view(upper).substr(0, equals);
        const std::string_view value = equals == std::string::npos ? line : Trim(line.substr(equals + 1));
        if (trigger && upper.find("CATEGORY=") == std::string::npos &&
            upper.find("SUBSECTION=") == std::string::npos &&
            upper.find("DESCRIPTION=") == std::string::npos) {
            handler.Trigger(line);
            continue;
        }
        if (key.empty()) {
            continue;
        }
        const int index = FindKeyword(key, kItemKeywords);
        if (index == kKeyOnTrigger) {
            handler.Trigger(line);
            trigger = true;
        } else if (index < 0) {
            if (trigger) {
                handler.Trigger(line);
            } else {
                handler.Other(line);
            }
        } else {
            handler.Key(index, value);
        }
        // A header indented by blanks was not caught above; it still ends the section, consumed.
        if (!line.empty() && line[0] == '[') {
            return true;
        }
    }
}

class CItemFiller {
public:
    explicit CItemFiller(CItem& item) : m_item(item) {}

    void Comment(std::string_view line) { m_item.m_commentLines.emplace_back(line); }
    void Trigger(std::string_view line) { m_item.m_triggerLines.emplace_back(line); }
    void Other(std::string_view line) { m_item.m_otherLines.emplace_back(line); }
    void Key(int index, std::string_view value);

private:
    void Morep(std::string_view value);

    CItem& m_item;
};

void CItemFiller::Key(int index, std::string_view value) {
    CItem& it = m_item;
    switch (index) {
    case kKeyName:
        it.m_itemName = std::string(value);
        break;
    case kKeyDye:
        it.m_dye = ParseDecimal(value) != 0 ? 1 : 0;
        break;
    case kKeyRepair:
        it.m_repair = ParseDecimal(value) != 0 ? 1 : 0;
        break;
    case kKeyReqStr:
        it.m_reqStr = static_cast<uint8_t>(ParseDecimal(value));
        break;
    case kKeyMorep:
        Morep(value);
        break;
    case kKeyType:
        it.m_type = GetNumber(value, ContextOrEmpty(it.Context()));
        break;
    case kKeyCategory:
        it.m_category = std::string(value);
        break;
    case kKeySubsection:
        it.m_subsection = std::string(value);
        break;
    case kKeyDescription:
        it.m_description = std::string(value);
        break;
    case kKeyId:
        it.m_id = static_cast<uint16_t>(
            IsNotHex(value) ? uint32_t(GetNumber(value, ContextOrEmpty(it.Context()))) : ParseHex(value));
        break;
    case kKeyColor:
        it.m_color = std::string(value);
        break;
    case kKeyWeight:
        it.m_weight = ParseWeight(value);
        break;
    case kKeyArmor:
        it.m_armor.Set(value);
        break;
    case kKeyBuyValue:
        it.m_buyValue.Set(value);
        break;
    case kKeySellValue:
        it.m_sellValue.Set(value);
        break;
    case kKeyDam:
    case kKeyAtt:
        it.m_dam.Set(value);
        break;
    case kKeyHitPoints:
        it.m_hitPoints.Set(value);
        break;
    case kKeyDupeItem:
        it.m_dupeItem = std::string(value);
        break;
    case kKeyAttr:
        it.m_attr = static_cast<uint16_t>(ParseHex(value));
        break;
    case kKeySpeed:
        it.m_speed = ParseDecimal(value);
        break;
    case kKeySkill:
        it.m_skill = std::string(value);
        break;
    case kKeyMore:
    case kKeyMore1:
        it.m_more1 = ParseHex(value);
        break;
    case kKeyMore2:
        it.m_more2 = ParseHex(value);
        break;
    case kKeyDupeList:
        it.m_dupeList = std::string(value);
        break;
    case kKeyDefName:
        it.m_defName = std::string(value);
        break;
    case kKeyTimer:
        it.m_timer = ParseDecimal(value);
        break;
    case kKeyNoIndex:
        it.m_noIndex = 1;
        break;
    case kKeyTwoHands:
        it.m_twoHands = EqualNames(value, "Y") ? 1 : 0;
        break;
    case kKeyComponent:
        it.m_components.emplace_back(value);
        break;
    case kKeyMultiRegion:
        it.m_multiRegion = std::string(value);
        break;
    case kKeyMaterial:
        it.m_material = std::string(value);
        break;
    default:
        break;
    }
}

// Three numbers separated by blanks (or, without any blank, by commas); with fewer than two separators the
// numbers stay as they were.
void CItemFiller::Morep(std::string_view value) {
    size_t first = value.find(' ');
    if (first == std::string_view::npos) {
        first = value.find(',');
    }
    size_t last = value.rfind(' ');
    if (last == std::string_view::npos) {
        last = value.rfind(',');
    }
    if (first == std::string_view::npos || last == std::string_view::npos || first == last) {
        return;
    }
    m_item.m_morepFirst = static_cast<uint8_t>(ParseDecimal(value.substr(0, first)));
    m_item.m_morepSecond = ParseDecimal(value.substr(first + 1, last - first - 1));
    m_item.m_morepThird = ParseDecimal(value.substr(last + 1));
}

// Remembers the value text of the last TYPE line; evaluating only that one gives the item reader's result,
// because every evaluation seeds the random generator afresh.
class CTypeFinder {
public:
    void Comment(std::string_view) {}
    void Trigger(std::string_view) {}
    void Other(std::string_view) {}
    void Key(int index, std::string_view value) {
        if (index == kKeyType) {
            m_value.assign(value);
            m_found = true;
        }
    }

    std::string m_value;
    bool m_found = false;
};

void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string& out, const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<size_t>(length) < sizeof buffer) {
        out.append(buffer, static_cast<size_t>(length));
    } else {
        std::string big(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(big.data(), big.size(), format, copy);
        big.resize(static_cast<size_t>(length));
        out += big;
    }
    va_end(copy);
}

void AppendKey(std::string& out, const char* key, const std::string& value) {
    if (!value.empty()) {
        out += key;
        out += '=';
        out += value;
        out += '\n';
    }
}

void AppendRange(std::string& out, const char* key, const CIntRange& range) {
    if (range.m_high != 0) {
        out += key;
        out += '=';
        out += range.ToString();
        out += '\n';
    }
}

} // namespace

CItem::CItem(CScriptContext* context) : CSObject(context) {
    m_kind = kKindItemDef;
}

CItem::~CItem() = default;

bool CItem::ReadSection(CLineReader& file) {
    CItemFiller filler(*this);
    const bool atHeader = ScanItemSection(file, filler);
    // The blank lines that close a section are not part of its triggers; kept, every write and read
    // again would add one more.
    while (!m_triggerLines.empty() && m_triggerLines.back().empty()) {
        m_triggerLines.pop_back();
    }
    return atHeader;
}

bool ReadItemTypeSection(CLineReader& file, CScriptContext* context, int32_t& type) {
    CTypeFinder finder;
    const bool atHeader = ScanItemSection(file, finder);
    type = finder.m_found ? GetNumber(finder.m_value, ContextOrEmpty(context)) : 0;
    return atHeader;
}

float ParseWeight(std::string_view text) {
    bool negative = false;
    size_t i = SkipSpaceAndSign(text, negative);
    // Only digits or a decimal point may start the number: from_chars would also take "inf" and "nan".
    if (i >= text.size() || !((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) {
        return 0.0f;
    }
    double value = 0.0;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for any float: keep the largest weight or none, never an infinity that
        // the writer could not write back as a number.
        const std::string_view rest(begin, size_t(end - begin));
        const size_t e = rest.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < rest.size() && rest[e + 1] == '-';
        value = tiny ? 0.0 : double(FLT_MAX);
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    if (value > double(FLT_MAX)) {
        value = double(FLT_MAX);
    }
    return static_cast<float>(negative ? -value : value);
}

std::string FormatWeight(float weight) {
    // Whole weights are written as integers. The bound keeps the truncation defined.
    if (std::isfinite(weight) && std::fabs(weight) < 9.0e18f) {
        const auto whole = static_cast<long long>(weight);
        if (static_cast<float>(whole) == weight) {
            return std::to_string(whole);
        }
    }
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(weight),
                                      std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

void CItem::WriteSection(std::string& out) const {
    out += '[';
    out += m_name;
    out += "]\n";
    for (const std::string& line : m_commentLines) {
        out += line;
        out += '\n';
    }
    AppendKey(out, "NAME", m_itemName);
    AppendKey(out, "DUPEITEM", m_dupeItem);
    if (m_type != 0) {
        AppendFormat(out, "TYPE=%ld\n", long(m_type));
    }
    if (m_id != 0) {
        AppendFormat(out, "ID=%05x\n", unsigned(m_id));
    }
    AppendKey(out, "COLOR", m_color);
    if (m_weight != 0.0f) {
        out += "WEIGHT=";
        out += FormatWeight(m_weight);
        out += '\n';
    }
    AppendRange(out, "BUYVALUE", m_buyValue);
    AppendRange(out, "SELLVALUE", m_sellValue);
    if (m_dye != 0) {
        out += "DYE=1\n";
    }
    if (m_repair != 0) {
        out += "REPAIR=1\n";
    }
    AppendKey(out, "SKILL", m_skill);
    AppendRange(out, "DAM", m_dam);
    AppendRange(out, "ARMOR", m_armor);
    if (m_reqStr != 0) {
        AppendFormat(out, "REQSTR=%ld\n", long(m_reqStr));
    }
    if (m_speed != 0) {
        AppendFormat(out, "SPEED=%ld\n", long(m_speed));
    }
    AppendRange(out, "HITPOINTS", m_hitPoints);
    if (m_attr != 0) {
        AppendFormat(out, "ATTR=%04x\n", unsigned(m_attr));
    }
    if (m_morepFirst != 0 || m_morepSecond != 0 || m_morepThird != 0) {
        AppendFormat(out, "MOREP=%ld %ld %ld\n", long(m_morepFirst), long(m_morepSecond), long(m_morepThird));
    }
    if (m_more1 != 0) {
        AppendFormat(out, "MORE1=0%x\n", unsigned(m_more1));
    }
    if (m_more2 != 0) {
        AppendFormat(out, "MORE2=0%x\n", unsigned(m_more2));
    }
    AppendKey(out, "DUPELIST", m_dupeList);
    AppendKey(out, "DEFNAME", m_defName);
    if (m_timer != 0) {
        AppendFormat(out, "TIMER=%ld\n", long(m_timer));
    }
    if (m_twoHands != 0) {
        out += "TWOHANDS=Y\n";
    }
    AppendKey(out, "MULTIREGION", m_multiRegion);
    for (const std::string& component : m_components) {
        AppendKey(out, "COMPONENT", component);
    }
    AppendKey(out, "MATERIAL", m_material);
    for (const std::string& line : m_otherLines) {
        if (!line.empty()) {
            out += line;
            out += '\n';
        }
    }
    if (m_noIndex != 0) {
        out += "NOINDEX\n";
    } else {
        AppendKey(out, "CATEGORY", m_category);
        AppendKey(out, "SUBSECTION", m_subsection);
        AppendKey(out, "DESCRIPTION", m_description);
    }
    for (const std::string& line : m_triggerLines) {
        out += line;
        out += '\n';
    }
    out += '\n';
}

} // namespace frostmark
