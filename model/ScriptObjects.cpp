#include "model/ScriptObjects.h"

#include "model/ScriptFiles.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/Log.h"
#include "platform/Paths.h"
#include "script/LineReader.h"
#include "script/ScriptText.h"
#include "script/ServerIni.h"

namespace frostmark {

// ---------------------------------------------------------------- CScriptSlots

int CScriptSlots::FindIndex(std::string_view name) const {
    if (!m_byNumber) {
        return m_named.FindIndex(name);
    }
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i] != nullptr && EqualsNoCase(m_slots[i]->m_name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CScriptSlots::ReplaceByName(CTObject* object) {
    if (!m_byNumber) {
        return m_named.ReplaceByName(object);
    }
    if (object->m_name.empty()) {
        delete object;
        return -1;
    }
    const int found = FindIndex(object->m_name);
    if (found >= 0) {
        delete m_slots[static_cast<size_t>(found)];
        m_slots.erase(m_slots.begin() + found);
    }
    // Behind every element whose name is less or equal. Stored by number the array is in no order and may
    // hold empty slots: walk it, taking empty slots as less.
    auto at = std::find_if(m_slots.begin(), m_slots.end(), [&](const CTObject* element) {
        return element != nullptr && CompareNames(element->m_name, object->m_name) > 0;
    });
    at = m_slots.insert(at, object);
    return static_cast<int>(at - m_slots.begin());
}

void CScriptSlots::SetAtGrow(int index, CTObject* object) {
    if (!m_byNumber) {
        m_slots.assign(m_named.begin(), m_named.end());
        m_named.RemoveAll();
        m_byNumber = true;
    }
    const size_t slot = static_cast<size_t>(index);
    if (slot >= m_slots.size()) {
        m_slots.resize(slot + 1, nullptr);
    }
    delete m_slots[slot];
    m_slots[slot] = object;
}

void CScriptSlots::DeleteAll() {
    m_named.DeleteAll();
    for (CTObject* object : m_slots) {
        delete object;
    }
    m_slots.clear();
    m_byNumber = false;
}

// ---------------------------------------------------------------- CScriptObjects

CScriptObjects::CScriptObjects() = default;

CScriptObjects::~CScriptObjects() {
    UnloadScripts();
}

void CScriptObjects::SetServices(const CServices& services) {
    m_messages = services.messages;
    m_progressViews = services.progressViews;
    m_waitCursor = services.waitCursor;
}

std::string CScriptObjects::ScriptDirectory() const {
    return m_scriptDirectory.empty() ? GetWorkingDirectory() : m_scriptDirectory;
}

bool CScriptObjects::OpenInScriptDirectory(CLineReader& file, const std::string& name, std::string& source) {
    if (OpenScriptFile(file, name, ScriptDirectory(), source)) {
        return true;
    }
    const FileErrorKind kind = file.Error().kind;
    if (kind == FileErrorKind::NotRegular || kind == FileErrorKind::IsDirectory) {
        // A device such as /dev/zero would be read forever and a FIFO would wait for a writer; a script
        // set naming one is broken, so say so where a missing file is only logged.
        const std::string text = "Unable to read script file " + name + ": " + file.Error().message;
        g_Log.Log("%s", text.c_str());
        ShowMessage(m_messages, text, "Frostmark", MessageIcon::Warning);
    }
    return false;
}

std::string CScriptObjects::GetScriptPath() const {
    const std::string directory = ScriptDirectory();
    return ReadScriptPathFromIni(Utf8FromPath(PathFromUtf8(directory) / kServerIniName), directory);
}

namespace {

template <class T> void DeleteElements(std::vector<T*>& list) {
    for (T* object : list) {
        delete object;
    }
    list.clear();
}

} // namespace

void CScriptObjects::UnloadItems() {
    g_Log.Log("Unloading items");
    // The item tree refers to the definitions; it must not outlive them.
    if (!itemCategories.empty()) {
        ClearItemCategories();
    }
    m_typeReader.Clear();
    itemDefs.DeleteAll();
    itemsLoaded = false;
}

void CScriptObjects::UnloadNPCs() {
    g_Log.Log("Unloading NPCs");
    if (!npcCategories.empty()) {
        ClearNPCCategories();
    }
    charDefs.DeleteAll();
    npcsLoaded = false;
}

void CScriptObjects::UnloadTemplates() {
    g_Log.Log("Unloading templates");
    if (!itemCategories.empty()) {
        ClearItemCategories();
    }
    templates.DeleteAll();
    templatesLoaded = false;
}

void CScriptObjects::UnloadNames() {
    g_Log.Log("Unloading names");
    DeleteElements(names);
    namesLoaded = false;
}

void CScriptObjects::ClearItemCategories() {
    g_Log.Log("Clearing item categories");
    DeleteCategoryTree(itemCategories);
    itemCategoriesBuilt = false;
}

void CScriptObjects::ClearNPCCategories() {
    g_Log.Log("Clearing NPC categories");
    DeleteCategoryTree(npcCategories);
    npcCategoriesBuilt = false;
}

void CScriptObjects::ClearLocationCategories() {
    g_Log.Log("Clearing location categories");
    DeleteCategoryTree(locationCategories);
    locationCategoriesBuilt = false;
}

void CScriptObjects::UnloadScripts() {
    g_Log.Log("Unloading scripts");
    m_readFault.reset();
    for (CSObject* staged : m_stagedItems) {
        delete staged;
    }
    m_stagedItems.clear();
    // The trees first: they refer to objects the collections below delete.
    ClearNPCCategories();
    ClearItemCategories();
    ClearLocationCategories();
    DeleteDefNames();
    UnloadItems();
    UnloadNPCs();
    UnloadTemplates();
    triggers.DeleteAll();
    regions.DeleteAll();
    plotItems.DeleteAll();
    DeleteElements(areas);
    DeleteElements(rooms);
    DeleteElements(locations);
    UnloadNames();
    DeleteElements(speech);
    DeleteElements(webPages);
    tables.UnloadTables();
    defsLoaded = false;
    spawnGroupsLoaded = false;
    mapLoaded = false;
    triggersLoaded = false;
    locationsLoaded = false;
    speechLoaded = false;
}

// ---------------------------------------------------------------- lookups for the freeze rules

const CSObject* CScriptObjects::FindItemDefinition(std::string_view idText) {
    return dynamic_cast<const CSObject*>(itemDefs.FindObject(idText, *this));
}

int32_t CScriptObjects::GetItemType(const CSObject& definition) {
    return m_typeReader.GetType(definition);
}

void CScriptObjects::PreloadItemTypes() {
    m_typeReader.Preload(itemDefs);
}

} // namespace frostmark
