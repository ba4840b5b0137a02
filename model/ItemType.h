#pragma once

// The light route to an item definition's TYPE, for the freeze rules, which ask for the TYPE of the item
// definition of every top-level world item. Reading a full CItem through LoadDefinition per world item
// would reopen a script file a million times; these read only the TYPE, with the same result.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "script/LineReader.h"
#include "script/TObject.h"

namespace frostmark {

class CScriptArray;
class CScriptContext;
class CSObject;

// What LoadDefinition followed by the item reader would leave in CItem::m_type for this index entry:
// the section is found again the same way (its source path opened, the section offset sought, the header
// of its kind searched forward) and its lines classified by the item reader's rules. False, with type 0,
// when LoadDefinition would fail (empty name or path, file not there, kind 0, header not found). The
// context resolves DEFNAME names and gives the newer-layout flag; null takes the entry's own context.
bool ReadItemType(const CSObject& entry, int32_t& type, CScriptContext* context = nullptr);

// Remembers the TYPE of every definition it was asked about, so each definition's section is read at most
// once per loaded script set, and keeps the last script file open, so consecutive lookups in one file
// seek instead of reopening it.
//
// Entries are recognised by address and identity (name, source path, kind, section offset): an address
// reused by another definition after an unload is read afresh, never answered from the old one. Still,
// call Clear() when the scripts are unloaded or loaded again, to drop what is remembered and close the
// file.
class CItemTypeReader {
public:
    explicit CItemTypeReader(CScriptContext* context = nullptr) : m_context(context) {}
    CItemTypeReader(const CItemTypeReader&) = delete;
    CItemTypeReader& operator=(const CItemTypeReader&) = delete;

    // The TYPE of the definition, as ReadItemType gives it (0 when its section cannot be read again).
    int32_t GetType(const CSObject& entry);
    // Whether the definition's section was found again (the first time it was asked about).
    bool WasFound(const CSObject& entry);
    // Reads the TYPE of every element of an item definitions collection that is not remembered yet, file by
    // file in offset order, so each script file is read once from start to end. Elements that are not
    // CSObject are passed over.
    void Preload(const CScriptArray& definitions);
    // Forgets every remembered TYPE and closes the file.
    void Clear();

    // How many section reads were made since construction or Clear (for tests and benchmarks).
    size_t ReadCount() const { return m_reads; }
    // How many times a script file was opened since construction or Clear.
    size_t OpenCount() const { return m_opens; }

private:
    struct Remembered {
        std::string name;
        std::string sourcePath;
        ScriptKind kind = kKindNone;
        uint32_t sectionOffset = 0;
        int32_t type = 0;
        bool found = false;
    };

    const Remembered& Lookup(const CSObject& entry);
    bool ReadFromFile(const CSObject& entry, int32_t& type);

    CScriptContext* m_context = nullptr;
    std::unordered_map<const CSObject*, Remembered> m_remembered;
    CLineReader m_file;
    size_t m_reads = 0;
    size_t m_opens = 0;
};

} // namespace frostmark
