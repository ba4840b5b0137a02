#pragma once

// The server's tables: plain line lists (RESOURCES, OBSCENE, PLEVEL...), numbered or named entries (SKILL,
// SPELL, SPAWN...) and the small formats of STARTS, ORE and ADVANCE. CTableSet is the fixed set of them in
// the script registry; the loader fills them as it meets their sections.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptArray.h"
#include "script/TObject.h"

namespace frostmark {

class CLineReader;

// A table of lines. Several sections of one kind add to the same table. The CTObject part carries the
// source path and section offset of the last section read into it.
class CTStringTable : public CTObject {
public:
    explicit CTStringTable(std::string title = std::string()) : m_title(std::move(title)) {}
    ~CTStringTable() override;

    // Adds the section's lines, each cut before its first "//" and otherwise untrimmed, blank lines
    // included, up to (not including) the first line that holds "[" anywhere, which is stepped back for
    // the caller (true). At end of file the end-of-file read adds one more, empty line (false).
    bool ReadSection(CLineReader& file) override;
    // "[title]" and every line; nothing at all when the title is empty.
    void WriteSection(std::string& out) const override;

    int GetSize() const { return static_cast<int>(m_lines.size()); }
    void RemoveAll() { m_lines.clear(); }

    std::vector<std::string> m_lines;
    std::string m_title;
};

// Numbered or named entries ([SKILL 12], [SPAWN name]...), kept in name order, stored by replace-by-name.
// It does not delete its elements; the table set does (UnloadTables).
class CTObArray : public CScriptArray {
public:
    explicit CTObArray(std::string title = std::string()) : m_title(std::move(title)) {}
    ~CTObArray() override;

    // For each element at index i: "[title i]", the element's own section body, then a blank line.
    void WriteSection(std::string& out) const override;

    std::string m_title;
};

// One entry of a [STARTS] section: three lines (the name, the town and the position text).
class CTStartLocation : public CTObject {
public:
    ~CTStartLocation() override;

    // Reads the three lines of one entry, each cut before its first "/" (the first also trimmed). Returns
    // true when all three were read. A first line that is empty after trimming or holds "[" is stepped back
    // and ends the section (false); an end of file before the third line gives false, and the entry should
    // be discarded.
    bool ReadSection(CLineReader& file) override;
    // The three lines, each followed by "\n".
    void WriteSection(std::string& out) const override;

    std::string m_first;
    std::string m_second;
    std::string m_third;
};

// One line of an [ORE] section: "first,second,amount,amount,low-high,last", amounts in tenths.
class CTOreDef : public CTObject {
public:
    ~CTOreDef() override;

    // Fills the entry from one ORE line (comment already cut, trimmed). Without any "," nothing changes.
    // The fields are the comma-separated tokens in order; the text after the fifth "," is the last text,
    // and with more or fewer than five commas the last text is left as it was.
    void ParseOreLine(std::string_view line);
    // "%s,%s,%.1f,%.1f,%ld-%ld,%s\n" (the amounts shown in units, with "." as decimal point).
    void WriteSection(std::string& out) const override;

    std::string m_firstText;
    std::string m_secondText;
    int32_t m_firstAmount = 0;  // tenths
    int32_t m_secondAmount = 0; // tenths
    int32_t m_low = 0;
    int32_t m_high = 0;
    std::string m_lastText;
};

// Entries kept in the order they were read (STARTS, ORE): unnamed, so they cannot live in a name-sorted
// array, where an empty name is refused. Owns nothing by itself; the table set deletes the elements. The
// CTObject part carries the source path and section offset the loader records for the table.
template <class T> class CTEntryList : public CTObject {
public:
    CTEntryList() = default;
    CTEntryList(const CTEntryList&) = delete;
    CTEntryList& operator=(const CTEntryList&) = delete;

    void Append(T* entry) { m_items.push_back(entry); }
    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    T* At(int index) const { return m_items[static_cast<size_t>(index)]; }
    typename std::vector<T*>::const_iterator begin() const { return m_items.begin(); }
    typename std::vector<T*>::const_iterator end() const { return m_items.end(); }
    // Deletes every entry, then empties the list.
    void DeleteAll() {
        for (T* entry : m_items) {
            delete entry;
        }
        m_items.clear();
    }
    // Every entry's own section, in order.
    void WriteSection(std::string& out) const override {
        for (const T* entry : m_items) {
            if (entry != nullptr) {
                entry->WriteSection(out);
            }
        }
    }

private:
    std::vector<T*> m_items;
};

// STR, INT and DEX of an [ADVANCE] section: three numbers each.
using CAdvanceTriple = std::array<int32_t, 3>;

// Fills entries of triple from a value of up to three integers separated by "," (when the value holds
// one) or else by blanks. Entries the value does not reach keep their values; a fourth number and what
// follows are ignored.
void ParseTriple(std::string_view value, CAdvanceTriple& triple);

// The fixed set of tables of the script registry. It owns the elements of STARTS, ORE and the numbered
// tables and deletes them in UnloadTables (and on destruction).
class CTableSet {
public:
    CTableSet();
    ~CTableSet(); // UnloadTables()
    CTableSet(const CTableSet&) = delete;
    CTableSet& operator=(const CTableSet&) = delete;

    // Logs "Unloading tables"; deletes the elements of ORE, SKILLCLASS, SKILL, POTION, SPELL, SPAWN and
    // STARTS and empties every string table. Titles stay.
    void UnloadTables();

    // The PLEVEL table for a level from 1 to 6, or nullptr for any other level.
    CTStringTable* Plevel(int32_t level);

    CTStringTable resources{"RESOURCES"};
    CTStringTable obscene{"OBSCENE"};
    CTStringTable blockEmail{"BLOCKEMAIL"};
    std::array<CTStringTable, 6> plevel; // titles set when read ("PLEVEL 2 2")
    CTStringTable events{"EVENTS"};
    CTStringTable speech{"SPEECH"};
    std::array<CAdvanceTriple, 3> advance{}; // 0 STR, 1 INT, 2 DEX
    CTEntryList<CTStartLocation> starts;
    CTStringTable runes{"RUNES"};
    CTEntryList<CTOreDef> ore;
    CTObArray skillClass{"SKILLCLASS"};
    CTObArray skill{"SKILL"};
    CTObArray potion{"POTION"}; // no section kind fills it
    CTObArray spell{"SPELL"};
    CTObArray spawn{"SPAWN"};
    CTStringTable notoTitles{"NOTOTITLES"};
    CTStringTable tavrel;
    CTStringTable servers;
    CTStringTable blockIp;
};

} // namespace frostmark
