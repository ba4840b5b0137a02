#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Category.h"
#include "model/Item.h"
#include "model/ItemType.h"
#include "model/Regions.h"
#include "model/Tables.h"
#include "platform/Services.h"
#include "script/SObject.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"

namespace frostmark {

class CFileReadProgress;
class CLineReader;

// Trigger, region and plot item sections: the newer layout stores them by name (sorted, replace-by-name),
// the older layout by their number, as an array that grows to the highest number read and may hold empty
// slots. Owns nothing by itself: the registry deletes the elements when it unloads.
class CScriptSlots {
public:
    // Replace-by-name: an element of the same name (any case) is deleted, then the object is inserted behind
    // every element whose name is less or equal. An object with an empty name is deleted; -1 then.
    int ReplaceByName(CTObject* object);
    // Stores the object at index, growing the array with empty slots; an object already there is deleted.
    void SetAtGrow(int index, CTObject* object);
    // Index of an element whose name equals name without regard to case, or -1.
    int FindIndex(std::string_view name) const;
    // Deletes every element, then empties the array.
    void DeleteAll();

    int GetSize() const { return m_byNumber ? static_cast<int>(m_slots.size()) : m_named.GetSize(); }
    bool IsEmpty() const { return GetSize() == 0; }
    // May be null (an empty slot of the older layout).
    CTObject* At(int index) const {
        return m_byNumber ? m_slots[static_cast<size_t>(index)] : m_named.At(index);
    }
    std::vector<CTObject*>::const_iterator begin() const {
        return m_byNumber ? m_slots.cbegin() : m_named.begin();
    }
    std::vector<CTObject*>::const_iterator end() const { return m_byNumber ? m_slots.cend() : m_named.end(); }

private:
    // By name, until SetAtGrow is used: a sorted array that takes sections in any order without moving
    // all of it for each one (thousands of triggers would otherwise cost quadratic time to load).
    CScriptArray m_named;
    // By number once SetAtGrow was used: no name order, maybe empty slots.
    std::vector<CTObject*> m_slots;
    bool m_byNumber = false;
};

// The registry of everything read from the server's scripts, and the one owner of every object read: the
// collections below own their elements, the category trees own their categories and subsections but only
// refer to the definitions filed under them. It is also the evaluation context (DEFNAME table, random
// generator, newer-layout flag) that GetNumber and LoadDefinition are given.
//
// Typical use (see ScriptLoader.h): LoadAllScripts(registry, scriptDirectory, services) once, then
// FindItemDefinition / GetItemType for each world item, and UnloadScripts (or destruction) at the end.
//
// The loaders are members, as the server's own loader is: LoadScripts reads a whole script set from the
// script directory (SetScriptDirectory; the working directory until one is set); LoadScriptFile reads one
// file of the newer layout; LoadDefs ... LoadLocations read the fixed files of the older layout, each at most
// once per loaded set; the three Categorize passes build the category trees. Every step is written to the
// program log (g_Log); message boxes, progress windows and the wait cursor go through the services given by
// SetServices (none: nothing is shown).
class CScriptObjects : public CScriptContext {
public:
    CScriptObjects();
    ~CScriptObjects() override; // UnloadScripts()
    CScriptObjects(const CScriptObjects&) = delete;
    CScriptObjects& operator=(const CScriptObjects&) = delete;

    // The user-interface services the loaders use: message boxes ("Unable to open file %s for input."),
    // progress windows (one per loader run) and the wait cursor. Null members show nothing. The services
    // must outlive the loading calls.
    void SetServices(const CServices& services);

    // The directory every relative name of the loaders is taken from: the script files of both layouts,
    // "tavrel.ini", its SCPFILES directory, "hoglocs.scp" and "custloc.scp". The loaders never change the
    // process's working directory, so other threads can go on resolving relative paths meanwhile. An empty
    // text (the start) stands for the working directory.
    void SetScriptDirectory(std::string directory) { m_scriptDirectory = std::move(directory); }
    // The script directory as an absolute path: the one set, else the working directory.
    std::string ScriptDirectory() const;

    // ---------------------------------------------------------------- loading (newer and older layout)

    // Reads the script set of the script directory: the tables file and "tavrel.ini" as script files, then
    // every script the [RESOURCES] table lists plus every other *.scp of the SCPFILES directory (newer
    // layout), or the fixed files of the older layout when the table is empty; then the category passes.
    void LoadScripts();
    // Reads one script file of the newer layout, handing each section to the class its header word names.
    // `path` may use "\" or "/" and differ in letter case from the name on disk. Without a progress window
    // of the caller's it shows its own.
    void LoadScriptFile(const std::string& path, CFileReadProgress* progress = nullptr);

    // The older layout's loaders: each reads its fixed files from the script directory (GetScriptPath), at
    // most once per loaded set, and does nothing at all once the newer layout was found.
    void LoadDefs();
    void LoadItems();
    void LoadNPCs();
    void LoadTemplates();
    void LoadNames();
    void LoadSpeech();
    void LoadSpawnGroups();
    void LoadMap();
    void LoadTriggers();
    void LoadLocations();

    // The category passes (both layouts): file the definitions under their CATEGORY and SUBSECTION. Each
    // runs once per loaded set; `progress` is the caller's window, or null for one of their own.
    void CategorizeItems(CFileReadProgress* progress = nullptr);
    void CategorizeNPCs(CFileReadProgress* progress = nullptr);
    void CategorizeLocations(CFileReadProgress* progress = nullptr);

    // The script directory of the older layout: the SCPFILES line of "tavrel.ini" in the script directory,
    // else the script directory; always ending in the path separator. The directory keeps the letter case
    // it is written in (resolved without regard to case when it does not exist as written), and a relative
    // one stays relative: the loaders take it from the script directory.
    std::string GetScriptPath() const;

    // ---------------------------------------------------------------- unloading

    // Deletes every loaded object and empties every collection and tree; clears every completion flag but
    // leaves the newer-layout flag as it is. Safe to call any number of times.
    void UnloadScripts();

    // The first script file of the loaded set that could not be read to its end (a read error, or no
    // memory for one of its lines): the set lacks whatever followed, so it must not be used. Cleared by
    // UnloadScripts.
    struct CReadFault {
        std::string path;
        std::string reason; // the system's reason; empty when memory ran out
        bool outOfMemory = false;
    };
    const std::optional<CReadFault>& ReadFault() const { return m_readFault; }
    // Each deletes one collection and clears its loaded flag. The category tree that refers to the
    // collection (items and templates: the item tree; characters: the NPC tree) is cleared first when it
    // holds anything, so no tree is left pointing at deleted definitions.
    void UnloadItems();
    void UnloadNPCs();
    void UnloadTemplates();
    void UnloadNames();
    // Each deletes one tree's categories and subsections (not the definitions filed in them) and clears its
    // built flag.
    void ClearItemCategories();
    void ClearNPCCategories();
    void ClearLocationCategories();

    // ---------------------------------------------------------------- reading what was loaded

    // The item definition an item ID text names, as the freeze rules look it up: by name, else by the
    // text's numeric value written "%04x" and then "0%04x". Null when there is none.
    const CSObject* FindItemDefinition(std::string_view idText);
    // The TYPE of an item definition, read from its section (LoadDefinition and the item reader) the first
    // time it is asked for and remembered until the scripts are unloaded or loaded again, so a world of a
    // million items reads each definition at most once. 0 when the section cannot be read again.
    int32_t GetItemType(const CSObject& definition);
    // Reads the TYPE of every item definition now, file by file from start to end, so the lookups of a
    // following analysis never touch a file. Optional: GetItemType reads on demand without it.
    void PreloadItemTypes();

    // ---------------------------------------------------------------- the collections (owned)

    CScriptArray itemDefs;  // CSObject, kind 1, by name
    CScriptArray charDefs;  // CSObject, kind 2, by name
    CScriptArray templates; // CSObject, kind 9, by name
    // The DEFNAME table is the context's `defnames` (CDef, by name).
    CTableSet tables;
    std::vector<CArea*> areas;         // file order
    std::vector<CRoom*> rooms;         // file order
    std::vector<CLocation*> locations; // file order
    std::vector<CTObject*> names;      // kind 8 (newer layout) or 0 (older), file order
    std::vector<CTObject*> webPages;   // kind 13, file order
    std::vector<CTObject*> speech;     // kind 0, file order (older layout only)
    CScriptSlots regions;              // kind 12
    CScriptSlots plotItems;            // kind 11
    CScriptSlots triggers;             // kind 10

    // The category trees: categories in creation order, each with its subsections.
    CCategoryList npcCategories;
    CCategoryList itemCategories;
    CCategoryList locationCategories;

    // ---------------------------------------------------------------- completion flags
    // (the newer-layout flag is the context's `newerLayout`)

    bool defsLoaded = false;
    bool itemsLoaded = false;
    bool npcsLoaded = false;
    bool templatesLoaded = false;
    bool spawnGroupsLoaded = false;
    bool mapLoaded = false;
    bool triggersLoaded = false;
    bool locationsLoaded = false;
    bool namesLoaded = false;
    bool speechLoaded = false;
    bool itemCategoriesBuilt = false;
    bool npcCategoriesBuilt = false;
    bool locationCategoriesBuilt = false;

private:
    // The shared body of LoadItems, LoadNPCs and LoadTemplates.
    void LoadDefinitionFiles(const char* message, const char* file0, const char* file1, ScriptKind kind,
                             CScriptArray& store, int refreshEvery, bool statusInitializing, bool skipEof);
    // The shared body of LoadNames and LoadSpeech.
    void LoadSectionList(const char* message, const char* file, std::vector<CTObject*>& store, bool& flag);
    // Reads one DEFNAME line (comment already cut) into a constant and adds it to the table; a line without
    // a name adds nothing. Both layouts read their constants through here.
    void AddDefLine(std::string_view text, const std::string& group, const std::string& sourcePath,
                    uint8_t secondFile);
    // Opens one file of an older-layout pair and shows its name in progress. A file that cannot be opened is
    // reported (the message box only for the first of the pair, fileNumber 0) and false tells the caller to
    // stop reading the pair there.
    bool OpenPairFile(CLineReader& file, const std::string& name, int fileNumber, std::string& source,
                      CFileReadProgress& progress);
    // Reports a script file that cannot be opened: the log line always, the message box when asked.
    void ReportOpenFailure(const std::string& name, bool showMessage);
    // After a loader's last line: a file whose reading failed is logged and kept as the ReadFault.
    void CheckReadToTheEnd(const CLineReader& file);
    std::optional<CReadFault> m_readFault;

    // While LoadScripts reads the newer layout, item definitions collect here in file order and enter
    // itemDefs in one ordered pass at the end (the same result as storing each by replace-by-name, without
    // a search of a large array per definition when the files are not in name order).
    void StoreItemDefinition(CSObject* definition);
    void FlushStagedItems();
    std::vector<CSObject*> m_stagedItems;
    bool m_stagingItems = false;

    // OpenScriptFile with the script directory as the base of relative names. A name that is there but is
    // no regular file (a directory, a device, a FIFO) is reported with a warning message as well.
    bool OpenInScriptDirectory(CLineReader& file, const std::string& name, std::string& source);

    std::string m_scriptDirectory;
    IMessageBox* m_messages = nullptr;
    IProgressViewFactory* m_progressViews = nullptr;
    IWaitCursor* m_waitCursor = nullptr;
    CItemTypeReader m_typeReader{this};
};

} // namespace frostmark
