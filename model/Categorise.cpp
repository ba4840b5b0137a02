// The category passes: file every definition under its CATEGORY and SUBSECTION, the two-level index the
// server's tools browse by.
#include <cstdio>
#include <memory>

#include "model/ScriptObjects.h"
#include "platform/FileReadProgress.h"
#include "platform/Log.h"
#include "script/Numbers.h"

namespace frostmark {

namespace {

// The caller's progress window, or one of the pass's own for its duration.
class CPassProgress {
public:
    CPassProgress(CFileReadProgress* given, IProgressViewFactory* factory) : m_progress(given) {
        if (m_progress == nullptr) {
            m_own = std::make_unique<CFileReadProgress>(factory);
            m_progress = m_own.get();
        }
    }
    CFileReadProgress& operator*() const { return *m_progress; }
    CFileReadProgress* operator->() const { return m_progress; }

private:
    std::unique_ptr<CFileReadProgress> m_own;
    CFileReadProgress* m_progress;
};

void ReplaceAt(std::string& text, const std::string& by) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '@') {
            result += by;
        } else {
            result += c;
        }
    }
    text = std::move(result);
}

void StartPhase(CFileReadProgress& progress, int count, const char* status) {
    progress.SetRange(0, static_cast<uint32_t>(count));
    progress.SetPosition(0);
    progress.DrawProgress();
    progress.SetCaption("Loading");
    progress.SetStatusText(status);
}

} // namespace

void CScriptObjects::CategorizeItems(CFileReadProgress* given) {
    if (itemCategoriesBuilt) {
        return;
    }
    CPassProgress progress(given, m_progressViews);
    if (!itemsLoaded) {
        LoadItems();
    }
    if (!templatesLoaded) {
        LoadTemplates();
    }
    g_Log.Log("Categorizing Items");
    CWaitCursorGuard wait(m_waitCursor);
    CCategoryFiler filer(itemCategories);
    StartPhase(*progress, itemDefs.GetSize(), "Categorizing items");
    for (int i = 0; i < itemDefs.GetSize(); ++i) {
        if (i % 256 == 0) {
            progress->SetPosition(static_cast<uint32_t>(i));
            progress->DrawProgress();
        }
        auto* definition = dynamic_cast<CSObject*>(itemDefs.At(i));
        if (definition == nullptr || definition->m_noIndex) {
            continue;
        }
        if (!definition->m_dupeItem.empty()) {
            std::string key = definition->m_dupeItem;
            if (!newerLayout) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%04x", ParseHex(definition->m_dupeItem));
                key = hex;
            }
            const int found = itemDefs.FindIndex(key);
            if (found >= 0) {
                const auto* original = dynamic_cast<const CSObject*>(itemDefs.At(found));
                if (original != nullptr) {
                    // A copy of a hidden definition stays hidden.
                    if (original->m_noIndex) {
                        continue;
                    }
                    if (definition->m_category == "<none>") {
                        definition->m_category = original->m_category;
                    }
                    if (definition->m_subsection == "<none>") {
                        definition->m_subsection = original->m_subsection;
                    }
                    if (definition->m_description.find("<unnamed>") != std::string::npos) {
                        definition->m_description = original->m_description;
                    }
                }
            }
        }
        if (definition->m_description.find('@') != std::string::npos) {
            ReplaceAt(definition->m_description, definition->m_subsection);
        }
        filer.File(definition, definition->m_category, definition->m_subsection);
    }

    StartPhase(*progress, templates.GetSize(), "Categorizing templates");
    for (int i = 0; i < templates.GetSize(); ++i) {
        if (i % 256 == 0) {
            progress->SetPosition(static_cast<uint32_t>(i));
            progress->DrawProgress();
        }
        auto* definition = dynamic_cast<CSObject*>(templates.At(i));
        if (definition != nullptr) {
            filer.File(definition, definition->m_category, definition->m_subsection);
        }
    }
    itemCategoriesBuilt = true;
}

void CScriptObjects::CategorizeNPCs(CFileReadProgress* given) {
    if (npcCategoriesBuilt) {
        return;
    }
    CPassProgress progress(given, m_progressViews);
    if (!npcsLoaded) {
        LoadNPCs();
    }
    if (!spawnGroupsLoaded) {
        LoadSpawnGroups();
    }
    ClearNPCCategories();
    g_Log.Log("Categorizing NPCs");
    CCategoryFiler filer(npcCategories);
    StartPhase(*progress, charDefs.GetSize(), "Categorizing NPCs");
    for (int i = 0; i < charDefs.GetSize(); ++i) {
        if (i % 100 == 0) {
            progress->SetPosition(static_cast<uint32_t>(i));
            progress->DrawProgress();
        }
        auto* definition = dynamic_cast<CSObject*>(charDefs.At(i));
        if (definition == nullptr || definition->m_noIndex) {
            continue;
        }
        ReplaceAt(definition->m_description, definition->m_subsection);
        filer.File(definition, definition->m_category, definition->m_subsection);
    }

    CTObArray& spawns = tables.spawn;
    progress->SetRange(0, static_cast<uint32_t>(spawns.GetSize()));
    progress->SetPosition(0);
    progress->SetStatusText("Categorizing Spawn Groups");
    for (int i = 0; i < spawns.GetSize(); ++i) {
        progress->SetPosition(static_cast<uint32_t>(i));
        progress->DrawProgress();
        auto* group = dynamic_cast<CSObject*>(spawns.At(i));
        if (group == nullptr) {
            continue;
        }
        ReplaceAt(group->m_description, group->m_subsection);
        filer.File(group, group->m_category, group->m_subsection);
    }
    npcCategoriesBuilt = true;
}

void CScriptObjects::CategorizeLocations(CFileReadProgress* given) {
    if (locationCategoriesBuilt) {
        return;
    }
    CPassProgress progress(given, m_progressViews);
    if (!mapLoaded) {
        LoadMap();
    }
    if (!locationsLoaded) {
        LoadLocations();
    }
    g_Log.Log("Categorizing Locations");
    CCategoryFiler filer(locationCategories);
    for (CArea* area : areas) {
        if (!area->m_point.empty() && !area->m_group.empty()) {
            filer.File(area, "Map Regions", area->m_group);
        }
    }
    for (CRoom* room : rooms) {
        if (!room->m_point.empty() && !room->m_group.empty()) {
            filer.File(room, "Map Regions", room->m_group);
        }
    }
    for (CLocation* location : locations) {
        if (location != nullptr) {
            filer.File(location, location->m_category, location->m_subsection);
        }
    }
    locationCategoriesBuilt = true;
}

} // namespace frostmark
