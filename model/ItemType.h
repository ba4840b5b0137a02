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

// Remembers the TYPE of every item section of every script file it had to open, so each file is read at
// most once per loaded script set, whatever order the definitions are asked for in (a world's items come in
// no useful order). The first question about a definition in a file reads that whole file from start to
// end, section by section, with the item reader's rules; later questions about any definition of that file
// are answered from memory. A definition whose recorded section offset does not sit on its header line (the
// file changed since it was indexed) is read on its own, exactly as LoadDefinition would.
//
// The answers equal ReadItemType's. Definitions are recognised by address and identity (name, source path,
// kind, section offset): an address reused by another definition after an unload is never answered from
// the old one. Still, call Clear() when the scripts are unloaded or loaded again, to drop what is
// remembered and close the file.
class CItemTypeReader {
public:
    explicit CItemTypeReader(CScriptContext* context = nullptr) : m_context(context) {}
    CItemTypeReader(const CItemTypeReader&) = delete;
    CItemTypeReader& operator=(const CItemTypeReader&) = delete;

    // The TYPE of the definition, as ReadItemType gives it (0 when its section cannot be read again).
    int32_t GetType(const CSObject& entry);
    // Whether the definition's section was found again, as ReadItemType's result says.
    bool WasFound(const CSObject& entry);
    // Answers every element of an item definitions collection now, so that later questions touch no file.
    // Elements that are not CSObject are passed over.
    void Preload(const CScriptArray& definitions);
    // Forgets everything remembered and closes the file.
    void Clear();

    // Item sections read since construction or Clear (for tests and benchmarks).
    size_t ReadCount() const { return m_reads; }
    // Script files opened since construction or Clear.
    size_t OpenCount() const { return m_opens; }

private:
    // One section of a file read whole: its header line as written, and the TYPE of its body.
    struct Section {
        std::string headerLine;
        int32_t type = 0;
    };
    struct FileTypes {
        bool opened = false;
        bool openFailed = false;
        std::unordered_map<uint64_t, Section> sections; // by the offset of the header line
    };
    struct Remembered {
        std::string name;
        const std::string* sourcePath = nullptr; // the key in m_files
        ScriptKind kind = kKindNone;
        uint32_t sectionOffset = 0;
        int32_t type = 0;
        bool found = false;
    };

    const Remembered& Lookup(const CSObject& entry);
    bool Answer(const CSObject& entry, const std::string& path, FileTypes& file, int32_t& type);
    void ReadWholeFile(const std::string& path, FileTypes& file, CScriptContext* context);
    bool ReadOne(const CSObject& entry, int32_t& type);
    CScriptContext* ContextFor(const CSObject& entry) const;

    CScriptContext* m_context = nullptr;
    std::unordered_map<std::string, FileTypes> m_files;
    std::pair<const std::string, FileTypes>* m_lastFile = nullptr; // the file of the last new question
    std::unordered_map<const CSObject*, Remembered> m_remembered;
    CLineReader m_file;
    size_t m_reads = 0;
    size_t m_opens = 0;
};

} // namespace frostmark
