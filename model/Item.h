#pragma once

// Full item definitions: what an [ITEMDEF id] (newer layout) or [id] (older layout) section holds. The
// loaders keep only a light CSObject index entry per item section; a CItem is made from such an entry when
// the whole definition is needed, and read again from its file with LoadDefinition.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/Numbers.h"
#include "script/SObject.h"

namespace frostmark {

class CLineReader;
class CScriptContext;

// The item reader's key list, in lookup order (34 entries).
extern const char* const kItemKeywords[34];

class CItem : public CSObject {
public:
    // Kind 1 (item definition). The context resolves DEFNAME names in TYPE and ID values and chooses the
    // header form LoadDefinition searches for; without one, names read as 0 and the older layout is assumed.
    explicit CItem(CScriptContext* context = nullptr);
    ~CItem() override;
    CItem(const CItem&) = default;
    CItem& operator=(const CItem&) = default;
    // Gives the item an index entry's identity (name, source path, kind, offset, description, category,
    // subsection, dupe item, no-index flag, context) before LoadDefinition. Item fields are left alone.
    CItem& operator=(const CSObject& entry) {
        CSObject::operator=(entry);
        return *this;
    }

    // The item reader. Lines are trimmed; "//" lines are kept as comment lines; after an ONTRIGGER line
    // every further line goes to the trigger lines except CATEGORY=, SUBSECTION= and DESCRIPTION= lines.
    // The key is the upper-cased text before the first "=", untrimmed (a blank before "=" makes it
    // unknown); unknown keys are kept as other lines (or trigger lines in trigger mode). Unlike the generic
    // reader it makes no DEFNAME constants. Stops at the next header line (true, stepped back) or at end of
    // file (false); a line that begins with "[" only after blanks ends the section too (true, consumed),
    // except in trigger mode, where it is a trigger line. Blank lines at the very end of the trigger lines
    // (the blank line that closes a written section) are dropped, so writing and reading again is stable.
    bool ReadSection(CLineReader& file) override;

    // Appends the item as one "[name]" section, in the order and formats the reader reads back: comment
    // lines first, then the known keys, other lines, NOINDEX or CATEGORY/SUBSECTION/DESCRIPTION, trigger
    // lines and a closing blank line. Numbers that the reader takes as hexadecimal (ID, ATTR, MORE1, MORE2)
    // are written with a leading zero; WEIGHT is written as a whole number when it has no fraction, else
    // with one decimal.
    void WriteSection(std::string& out) const override;

    std::vector<std::string> m_otherLines;   // unknown keys outside trigger mode, trimmed
    std::vector<std::string> m_commentLines; // lines starting with "//", trimmed
    int32_t m_timer = 0;
    std::string m_defName; // DEFNAME as written
    std::string m_dupeList;
    std::vector<std::string> m_triggerLines; // the ONTRIGGER line and what follows it
    uint32_t m_more1 = 0;                    // MORE and MORE1
    uint32_t m_more2 = 0;
    uint16_t m_attr = 0;
    CIntRange m_sellValue;
    CIntRange m_buyValue;
    float m_weight = 0.0f;
    CIntRange m_hitPoints;
    CIntRange m_dam; // DAM and ATT
    CIntRange m_armor;
    uint8_t m_reqStr = 0;
    int32_t m_speed = 0;
    uint8_t m_morepFirst = 0;
    int32_t m_morepThird = 0;
    int32_t m_morepSecond = 0;
    std::string m_itemName; // NAME (the CTObject name is the section's name, the item's ID)
    std::string m_skill;
    uint16_t m_id = 0; // graphic ID
    uint8_t m_repair = 0;
    uint8_t m_dye = 0;
    uint8_t m_twoHands = 0;
    std::string m_color; // as written
    int32_t m_type = 0;  // behaviour type (3 door, 56 sign...)
    std::vector<std::string> m_components;
    std::string m_multiRegion;
    std::string m_material;
};

// The script vocabulary's names of the item TYPE numbers, indexed by TYPE value. The name of 0 keeps the two
// blanks on each side that the server's own list gives it.
inline constexpr int kItemTypeNameCount = 183;
extern const char* const kItemTypeNames[kItemTypeNameCount];
// The name of a TYPE value ("DOOR" for 3, "SIGN_GUMP" for 56), or nullptr outside 0 to 182.
const char* ItemTypeName(int32_t type);

// Reads only the TYPE of the item section whose header line was just read, by the very rules of
// CItem::ReadSection (trigger mode, untrimmed keys, the last TYPE line wins), without building the item:
// type is what m_type of a CItem reading the same lines would hold (0 when no TYPE line counts). Returns
// what CItem::ReadSection would return and leaves the file where it would. The context resolves DEFNAME
// names; null reads them as 0.
bool ReadItemTypeSection(CLineReader& file, CScriptContext* context, int32_t& type);

// The WEIGHT value of a script line: optional sign, digits, optional fraction and exponent, read without
// regard to the process locale (a decimal point is always "."); 0 when the text holds no number.
float ParseWeight(std::string_view text);
// The WEIGHT line's value text: "%ld" when the weight has no fraction, else one decimal ("%-.1f"), always
// with "." as the decimal point.
std::string FormatWeight(float weight);

} // namespace frostmark
