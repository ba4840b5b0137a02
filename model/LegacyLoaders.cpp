// The loaders of the older script layout: fixed file names in the script directory, section headers that
// hold only the definition's name.
#include <string_view>

#include "model/ScriptFiles.h"
#include "model/ScriptObjects.h"
#include "platform/FileReadProgress.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptText.h"

namespace frostmark {

namespace {

// Trigger numbers beyond this are not slots anyone uses; storing them would grow an array to the number.
constexpr int32_t kMaxTriggerNumber = 65535;

constexpr const char* kMessageCaption = "Frostmark";

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}
bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view CutAtFirstSlash(std::string_view line) {
    const size_t slash = line.find('/');
    return slash == std::string_view::npos ? line : line.substr(0, slash);
}

// The text after the first "[" (or after the first character) up to the first "]".
std::string BracketText(std::string_view line, size_t start) {
    std::string_view text = line.substr(start);
    const size_t close = text.find(']');
    return std::string(close == std::string_view::npos ? text : text.substr(0, close));
}

} // namespace

void CScriptObjects::ReportOpenFailure(const std::string& name, bool showMessage) {
    std::string shown = name;
    if (shown.find(PathSeparator()) == std::string::npos) {
        shown = ScriptDirectory() + PathSeparator() + name;
    }
    g_Log.Log("Unable to open file %s", shown.c_str());
    if (showMessage) {
        ShowMessage(m_messages, "Unable to open file " + shown + " for input.", kMessageCaption,
                    MessageIcon::Warning);
    }
}

void CScriptObjects::CheckReadToTheEnd(const CLineReader& file) {
    if (!file.Failed() || m_readFault) {
        return;
    }
    CReadFault fault{file.Path(), file.OutOfMemory() ? std::string() : file.Error().message,
                     file.OutOfMemory()};
    g_Log.Log("Unable to read file %s: %s", fault.path.c_str(),
              fault.outOfMemory ? "not enough memory" : fault.reason.c_str());
    m_readFault = std::move(fault);
}

bool CScriptObjects::OpenPairFile(CLineReader& file, const std::string& name, int fileNumber,
                                  std::string& source, CFileReadProgress& progress) {
    if (!OpenInScriptDirectory(file, name, source)) {
        ReportOpenFailure(name, fileNumber == 0);
        return false;
    }
    progress.SetStatusText("Reading " + name);
    return true;
}

void CScriptObjects::LoadDefs() {
    if (defsLoaded || newerLayout) {
        return;
    }
    g_Log.Log("Loading defs");
    CWaitCursorGuard wait(m_waitCursor);
    const std::string directory = GetScriptPath();
    CFileReadProgress progress(m_progressViews);
    uint64_t lines = 0;
    const char* const files[] = {"tavreldefs.scp", "tavreldefs2.scp"};
    for (int fileNumber = 0; fileNumber < 2; ++fileNumber) {
        const std::string name = directory + files[fileNumber];
        CLineReader file;
        std::string source;
        if (!OpenPairFile(file, name, fileNumber, source, progress)) {
            break;
        }
        progress.SetPosition(0);
        progress.DrawProgress();
        const CProgressScale scale = CProgressScale::ForLength(file.Size());
        progress.SetRange(0, scale.maximum);
        std::string group;
        std::string_view line;
        while (file.ReadLine(line)) {
            if (++lines % 100 == 0) {
                progress.SetPosition(scale.Scale(file.Position()));
                progress.DrawProgress();
            }
            const std::string_view trimmed = Trim(line);
            const size_t open = trimmed.find('[');
            if (open != std::string_view::npos) {
                const std::string bracket = BracketText(trimmed, open + 1);
                if (Contains(bracket, "DEFNAME") && bracket.size() > 7) {
                    group = std::string(
                        TrimLeft(std::string_view(bracket).substr(std::min<size_t>(8, bracket.size()))));
                } else {
                    group = bracket;
                }
            }
            const std::string_view text = CutAtFirstSlash(trimmed);
            if (text.empty()) {
                continue;
            }
            AddDefLine(text, group, std::string(), fileNumber == 1 ? 1 : 0);
        }
        CheckReadToTheEnd(file);
    }
    defsLoaded = true;
}

void CScriptObjects::LoadDefinitionFiles(const char* message, const char* file0, const char* file1,
                                         ScriptKind kind, CScriptArray& store, int refreshEvery,
                                         bool statusInitializing, bool skipEof) {
    g_Log.Log("%s", message);
    CWaitCursorGuard wait(m_waitCursor);
    const std::string directory = GetScriptPath();
    CFileReadProgress progress(m_progressViews);
    if (statusInitializing) {
        progress.SetStatusText("Initializing storage");
    }
    if (!defsLoaded) {
        LoadDefs();
    }
    if (kind == kKindCharDef && !spawnGroupsLoaded) {
        LoadSpawnGroups();
    }
    uint64_t made = 0;
    const char* const files[] = {file0, file1};
    for (int fileNumber = 0; fileNumber < 2; ++fileNumber) {
        const std::string name = directory + files[fileNumber];
        CLineReader file;
        std::string source;
        if (!OpenPairFile(file, name, fileNumber, source, progress)) {
            break;
        }
        progress.SetPosition(0);
        progress.DrawProgress();
        const CProgressScale scale = CProgressScale::ForLength(file.Size());
        progress.SetRange(0, scale.maximum);
        std::string_view line;
        while (file.ReadLine(line)) {
            if (!IsHeaderLine(line)) {
                continue;
            }
            const uint32_t p = static_cast<uint32_t>(file.LineStart());
            std::string name = BracketText(line, 1);
            if (skipEof && EqualsNoCase(name, "EOF")) {
                continue;
            }
            if (made % static_cast<uint64_t>(refreshEvery) == 0) {
                progress.SetPosition(scale.Scale(file.Position()));
                progress.DrawProgress();
            }
            auto* definition = new CSObject(this);
            definition->m_kind = kind;
            definition->m_name = std::move(name);
            // Set before reading, so the constants of its DEFNAME keys know their file as well.
            definition->m_sourcePath = source;
            definition->m_sectionOffset = p;
            definition->ReadSection(file);
            ++made;
            store.ReplaceByName(definition);
        }
        CheckReadToTheEnd(file);
    }
}

void CScriptObjects::LoadItems() {
    if (itemsLoaded || newerLayout) {
        return;
    }
    LoadDefinitionFiles("Loading items", "tavrelitem.scp", "tavrelitem2.scp", kKindItemDef, itemDefs, 100,
                        false, false);
    itemsLoaded = true;
}

void CScriptObjects::LoadNPCs() {
    if (npcsLoaded || newerLayout) {
        return;
    }
    LoadDefinitionFiles("Loading NPCs", "tavrelchar.scp", "tavrelchar2.scp", kKindCharDef, charDefs, 10,
                        false, true);
    npcsLoaded = true;
}

void CScriptObjects::LoadTemplates() {
    if (templatesLoaded || newerLayout) {
        return;
    }
    LoadDefinitionFiles("Loading templates", "tavreltemplate.scp", "tavreltemplate2.scp", kKindTemplate,
                        templates, 10, true, false);
    templatesLoaded = true;
}

void CScriptObjects::LoadSectionList(const char* message, const char* fileName, std::vector<CTObject*>& store,
                                     bool& flag) {
    if (flag || newerLayout) {
        return;
    }
    g_Log.Log("%s", message);
    CWaitCursorGuard wait(m_waitCursor);
    const std::string name = GetScriptPath() + fileName;
    CFileReadProgress progress(m_progressViews);
    progress.SetStatusText("Initializing storage");
    CLineReader file;
    std::string source;
    if (!OpenInScriptDirectory(file, name, source)) {
        // The flag stays clear: the next call tries again.
        ReportOpenFailure(name, true);
        return;
    }
    progress.SetStatusText("Reading " + name);
    progress.SetPosition(0);
    progress.DrawProgress();
    progress.SetRange(0, ProgressValue(file.Size()));
    std::string_view line;
    while (file.ReadLine(line)) {
        const size_t open = line.find('[');
        if (open == std::string_view::npos) {
            continue;
        }
        auto* object = new CTObject;
        object->m_name = BracketText(line, open + 1);
        object->m_sectionOffset = static_cast<uint32_t>(file.LineStart());
        object->m_sourcePath = source;
        object->ReadSection(file);
        store.push_back(object);
        progress.SetPosition(ProgressValue(file.Position()));
        progress.DrawProgress();
    }
    CheckReadToTheEnd(file);
    flag = true;
}

void CScriptObjects::LoadNames() {
    LoadSectionList("Loading names", "tavrelname.scp", names, namesLoaded);
}

void CScriptObjects::LoadSpeech() {
    LoadSectionList("Loading speech", "tavrelspee.scp", speech, speechLoaded);
}

void CScriptObjects::LoadSpawnGroups() {
    spawnGroupsLoaded = true;
}

void CScriptObjects::LoadMap() {
    if (mapLoaded || newerLayout) {
        return;
    }
    g_Log.Log("Loading map");
    CWaitCursorGuard wait(m_waitCursor);
    const std::string directory = GetScriptPath();
    CFileReadProgress progress(m_progressViews);
    progress.SetStatusText("Initializing storage");
    if (!defsLoaded) {
        LoadDefs();
    }
    if (!triggersLoaded) {
        LoadTriggers();
    }
    uint64_t sections = 0;
    const char* const files[] = {"tavrelmap.scp", "tavrelmap2.scp"};
    for (int fileNumber = 0; fileNumber < 2; ++fileNumber) {
        const std::string name = directory + files[fileNumber];
        CLineReader file;
        std::string source;
        if (!OpenPairFile(file, name, fileNumber, source, progress)) {
            break;
        }
        const CProgressScale scale = CProgressScale::ForLength(file.Size());
        progress.SetRange(0, scale.maximum);
        progress.SetPosition(0);
        progress.DrawProgress();
        std::string_view line;
        while (file.ReadLine(line)) {
            const bool area = StartsWith(line, "[AREA");
            const bool room = !area && StartsWith(line, "[ROOM");
            const bool location = !area && !room && StartsWith(line, "[LOCATION");
            if (!area && !room && !location) {
                continue;
            }
            if (sections++ % 10 == 0) {
                progress.SetPosition(scale.Scale(file.Position()));
                progress.DrawProgress();
            }
            const uint32_t p = static_cast<uint32_t>(file.LineStart());
            if (location) {
                auto* object = new CLocation(this);
                object->m_sectionOffset = p;
                object->m_sourcePath = source;
                object->ReadSection(file);
                locations.push_back(object);
                continue;
            }
            // The name runs from after the first blank (from the start without one) to the first "]".
            const size_t blank = line.find(' ');
            const std::string regionName = BracketText(line, blank == std::string_view::npos ? 0 : blank + 1);
            CArea* object = area ? new CArea(this) : new CRoom(this);
            object->m_areaName = regionName;
            object->m_description = regionName;
            object->m_sectionOffset = p;
            object->m_sourcePath = source;
            object->ReadBody(file);
            if (area) {
                areas.push_back(object);
            } else {
                rooms.push_back(static_cast<CRoom*>(object));
            }
        }
        CheckReadToTheEnd(file);
    }
    mapLoaded = true;
}

void CScriptObjects::LoadTriggers() {
    if (triggersLoaded || newerLayout) {
        return;
    }
    g_Log.Log("Loading Triggers");
    CWaitCursorGuard wait(m_waitCursor);
    const std::string directory = GetScriptPath();
    CFileReadProgress progress(m_progressViews);
    progress.SetStatusText("Initializing storage");
    static const char* const kTriggerKinds[] = {"PLOTITEM", "REGION", "TRIG"};
    CScriptSlots* const stores[] = {&plotItems, &regions, &triggers};
    uint64_t lines = 0;
    const char* const files[] = {"tavreltrig.scp", "tavreltrig2.scp"};
    for (int fileNumber = 0; fileNumber < 2; ++fileNumber) {
        const std::string name = directory + files[fileNumber];
        CLineReader file;
        std::string source;
        if (!OpenPairFile(file, name, fileNumber, source, progress)) {
            break;
        }
        const CProgressScale scale = CProgressScale::ForLength(file.Size());
        progress.SetRange(0, scale.maximum);
        progress.SetPosition(0);
        progress.DrawProgress();
        std::string_view line;
        while (file.ReadLine(line)) {
            if (lines++ % 50 == 0) {
                progress.SetPosition(scale.Scale(file.Position()));
                progress.DrawProgress();
            }
            if (!IsHeaderLine(line)) {
                continue;
            }
            auto* object = new CTObject;
            object->m_name = BracketText(line, 1);
            object->m_sourcePath = source;
            object->m_sectionOffset = static_cast<uint32_t>(file.LineStart());
            object->ReadSection(file);
            const std::string_view header = object->m_name;
            const size_t blank = header.find(' ');
            const std::string_view kind = header.substr(0, blank);
            const int32_t number = blank == std::string_view::npos ? 0 : ParseDecimal(header.substr(blank));
            const int which = FindKeyword(kind, kTriggerKinds);
            if (which < 0 || number < 0 || number > kMaxTriggerNumber) {
                delete object;
                continue;
            }
            stores[which]->SetAtGrow(number, object);
        }
        CheckReadToTheEnd(file);
    }
    triggersLoaded = true;
}

void CScriptObjects::LoadLocations() {
    if (locationsLoaded || newerLayout) {
        return;
    }
    g_Log.Log("Loading Locations");
    CWaitCursorGuard wait(m_waitCursor);
    CFileReadProgress progress(m_progressViews);
    progress.SetStatusText("Initializing storage");
    const char* const files[] = {"hoglocs.scp", "custloc.scp"};
    for (int fileNumber = 0; fileNumber < 2; ++fileNumber) {
        const std::string name = files[fileNumber];
        CLineReader file;
        std::string source;
        if (!OpenInScriptDirectory(file, name, source)) {
            g_Log.Log("Unable to open file %s", name.c_str());
            if (fileNumber == 0) {
                ShowMessage(m_messages, "Unable to open file " + name + " for input.", kMessageCaption,
                            MessageIcon::Warning);
            }
            break;
        }
        progress.SetStatusText("Reading " + name);
        progress.SetRange(0, ProgressValue(file.Size()));
        progress.SetPosition(0);
        progress.DrawProgress();
        std::string_view line;
        while (file.ReadLine(line)) {
            const std::string_view text = CutAtFirstSlash(line);
            if (text.empty()) {
                continue;
            }
            progress.SetPosition(ProgressValue(file.Position()));
            progress.DrawProgress();
            if (Contains(text, "[LOCATION") || Contains(text, "[CUSTOM LOC")) {
                auto* location = new CLocation(this);
                location->m_sectionOffset = static_cast<uint32_t>(file.LineStart());
                location->m_sourcePath = source;
                location->ReadSection(file);
                locations.push_back(location);
            }
        }
        CheckReadToTheEnd(file);
    }
    locationsLoaded = true;
}

} // namespace frostmark
