#include "model/ScriptLoader.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string_view>

#include "model/ScriptFiles.h"
#include "platform/DirList.h"
#include "platform/FileReadProgress.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/ProfileString.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptText.h"
#include "script/ServerIni.h"

namespace frostmark {

namespace {

// The section kinds of the newer layout, in lookup order (the index is the SectionKind below). Kept with
// their lengths: the lookup runs for every header of every file.
constexpr std::string_view kSectionKinds[] = {
    "AAAAAAA", "ACCOUNT",   "ADVANCE",     "AREA",     "BLOCKEMAIL",  "BLOCKIP",    "BOOK",      "CHARCMD",
    "CHARDEF", "COMMENT",   "CRYSTALBALL", "DEFNAME",  "EMAILMSG",    "EVENTS",     "GMPAGE",    "GUMP",
    "HELP",    "ITEMDEF",   "LOCATION",    "MENU",     "MOONGATES",   "NAMES",      "NEWBIE",    "NOTOTITLES",
    "OBSCENE", "ORE",       "PLEVEL",      "PLOTITEM", "REGION",      "RESOURCES",  "ROOM",      "RUNES",
    "SCROLL",  "SECTOR",    "SERVER",      "SERVERS",  "SKILL",       "SKILLCLASS", "SKILLMENU", "SPAWN",
    "SPEECH",  "SPELL",     "TAVREL",      "STARTS",   "TELEPORTERS", "TEMPLATE",   "TIP",       "TRIG",
    "WEBPAGE", "WORLDCHAR", "WORLDITEM"};
static_assert(std::size(kSectionKinds) == 51);

// FindKeyword over the section kinds: the first equal entry, letters compared without regard to case.
int FindSectionKind(std::string_view word) {
    for (size_t i = 0; i < std::size(kSectionKinds); ++i) {
        const std::string_view entry = kSectionKinds[i];
        if (entry.size() != word.size()) {
            continue;
        }
        size_t k = 0;
        while (k < word.size() && AsciiUpper(word[k]) == entry[k]) {
            ++k;
        }
        if (k == word.size()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

enum SectionKind {
    kAaaaaaa,
    kAccount,
    kAdvance,
    kArea,
    kBlockEmail,
    kBlockIp,
    kBook,
    kCharCmd,
    kCharDef,
    kComment,
    kCrystalBall,
    kDefName,
    kEmailMsg,
    kEvents,
    kGmPage,
    kGump,
    kHelp,
    kItemDef,
    kLocation,
    kMenu,
    kMoonGates,
    kNames,
    kNewbie,
    kNotoTitles,
    kObscene,
    kOre,
    kPLevel,
    kPlotItem,
    kRegion,
    kResources,
    kRoom,
    kRunes,
    kScroll,
    kSector,
    kServer,
    kServers,
    kSkill,
    kSkillClass,
    kSkillMenu,
    kSpawn,
    kSpeech,
    kSpell,
    kTavrel,
    kStarts,
    kTeleporters,
    kTemplate,
    kTip,
    kTrig,
    kWebPage,
    kWorldChar,
    kWorldItem,
};

std::string_view CutAtFirstSlash(std::string_view line) {
    const size_t slash = line.find('/');
    return slash == std::string_view::npos ? line : line.substr(0, slash);
}

std::string_view CutAtComment(std::string_view line) {
    const size_t comment = line.find("//");
    return comment == std::string_view::npos ? line : line.substr(0, comment);
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// A resource line as the scan compares it with a file name: comment cut, trailing blanks dropped,
// separators of this system, lower case.
std::string ScanCompareForm(std::string_view resource) {
    std::string_view text = TrimRight(CutAtComment(resource));
    return ToLower(WithPlatformSeparators(text));
}

// A resource line names a file by itself (drive letter, or an absolute path of this system) rather than
// relative to the script directory.
bool IsStandalonePath(std::string_view entry) {
    return Contains(entry, ":") || (!entry.empty() && (entry[0] == '/' || entry[0] == '\\'));
}

} // namespace

void CScriptObjects::AddDefLine(std::string_view text, const std::string& group,
                                const std::string& sourcePath, uint8_t secondFile) {
    auto* def = new CDef;
    def->Set(text);
    if (def->m_name.empty()) {
        delete def;
        return;
    }
    def->m_group = group;
    def->m_sourcePath = sourcePath;
    def->m_secondFile = secondFile;
    AddDef(def);
}

void CScriptObjects::LoadScriptFile(const std::string& pathAsGiven, CFileReadProgress* progress) {
    const std::string path = WithPlatformSeparators(pathAsGiven);
    std::unique_ptr<CFileReadProgress> own;
    if (progress == nullptr) {
        own = std::make_unique<CFileReadProgress>(m_progressViews);
        progress = own.get();
    }
    g_Log.Log("Attempting to load file %s", path.c_str());
    CLineReader file;
    std::string source;
    if (!OpenInScriptDirectory(file, path, source)) {
        g_Log.Log("Unable to open file %s", path.c_str());
        return;
    }
    CWaitCursorGuard wait(m_waitCursor);
    progress->SetStatusText("Reading " + path);
    progress->SetPosition(0);
    progress->DrawProgress();
    progress->SetRange(0, ProgressValue(file.Size()));

    std::string_view line;
    uint64_t headers = 0;
    while (file.ReadLine(line)) {
        if (!IsHeaderLine(line)) {
            continue;
        }
        const uint32_t p = static_cast<uint32_t>(file.LineStart());
        if (++headers % 10 == 0) {
            progress->SetPosition(ProgressValue(file.Position()));
            progress->DrawProgress();
        }
        // The line's view ends with the next read: keep what the section needs.
        const std::string headerLine(line);
        const std::string headerText(HeaderText(line));
        std::string_view kindView;
        std::string_view argumentView;
        SplitHeader(headerText, kindView, argumentView);
        const std::string argument(argumentView);
        const int32_t number = ParseDecimal(argument);

        auto readObject = [&](CTObject* object, ScriptKind kind) {
            object->m_name = argument;
            object->m_kind = kind;
            object->m_sectionOffset = p;
            object->m_sourcePath = source;
            object->ReadSection(file);
            return object;
        };
        auto plainObject = [&](ScriptKind kind) {
            auto* object = new CTObject;
            object->m_name = argument;
            object->m_kind = kind;
            object->m_sectionOffset = p;
            object->m_sourcePath = source;
            return object;
        };
        auto readTable = [&](CTStringTable& table) {
            table.ReadSection(file);
            table.m_sourcePath = source;
            table.m_sectionOffset = p;
        };
        auto readArea = [&](CArea* area) {
            area->m_description = argument;
            area->m_areaName = argument;
            area->m_sectionOffset = p;
            area->ReadBody(file);
            area->m_sourcePath = source;
            return area;
        };

        switch (FindSectionKind(kindView)) {
        case kAaaaaaa:
        case kAccount:
        case kBook:
        case kCharCmd:
        case kComment:
        case kCrystalBall:
        case kEmailMsg:
        case kGmPage:
        case kGump:
        case kHelp:
        case kMenu:
        case kMoonGates:
        case kNewbie:
        case kScroll:
        case kSector:
        case kServer:
        case kSkillMenu:
        case kTeleporters:
        case kTip:
        case kWorldChar:
        case kWorldItem:
            break;
        case kAdvance:
            // Exactly three lines, whatever they are: a shorter section gives up the next header.
            for (int i = 0; i < 3; ++i) {
                std::string_view advance;
                if (!file.ReadLine(advance)) {
                    advance = std::string_view();
                }
                std::string_view key;
                std::string_view value;
                if (!SplitKeyValue(advance, key, value)) {
                    continue;
                }
                const std::string upper = ToUpper(key);
                const int entry = upper == "STR" ? 0 : upper == "INT" ? 1 : upper == "DEX" ? 2 : -1;
                if (entry >= 0) {
                    ParseTriple(value, tables.advance[static_cast<size_t>(entry)]);
                }
            }
            break;
        case kArea:
            areas.push_back(static_cast<CArea*>(readArea(new CArea)));
            break;
        case kRoom:
            rooms.push_back(static_cast<CRoom*>(readArea(new CRoom)));
            break;
        case kBlockEmail:
            readTable(tables.blockEmail);
            break;
        case kBlockIp:
            readTable(tables.blockIp);
            break;
        case kEvents:
            readTable(tables.events);
            break;
        case kNotoTitles:
            readTable(tables.notoTitles);
            break;
        case kObscene:
            readTable(tables.obscene);
            break;
        case kResources:
            readTable(tables.resources);
            break;
        case kRunes:
            readTable(tables.runes);
            break;
        case kServers:
            readTable(tables.servers);
            break;
        case kSpeech:
            readTable(tables.speech);
            break;
        case kTavrel:
            readTable(tables.tavrel);
            break;
        case kPLevel:
            if (number >= 1 && number <= 6) {
                CTStringTable& table = *tables.Plevel(number);
                table.m_title = headerText + " " + argument;
                readTable(table);
            } else {
                // Only six privilege levels have a table; say so rather than drop the lines unseen.
                g_Log.Log("Unknown section %s in file %s", headerLine.c_str(), path.c_str());
            }
            break;
        case kCharDef:
            charDefs.ReplaceByName(readObject(new CSObject(this), kKindCharDef));
            break;
        case kItemDef:
            StoreItemDefinition(static_cast<CSObject*>(readObject(new CSObject(this), kKindItemDef)));
            break;
        case kTemplate:
            templates.ReplaceByName(readObject(new CSObject(this), kKindTemplate));
            break;
        case kSpawn:
            tables.spawn.ReplaceByName(readObject(new CSObject(this), kKindSpawn));
            break;
        case kDefName:
            for (;;) {
                std::string_view body;
                if (!file.ReadLine(body)) {
                    break;
                }
                if (IsHeaderLine(body)) {
                    file.StepBack();
                    break;
                }
                const std::string_view text = Trim(CutAtFirstSlash(body));
                if (text.empty()) {
                    continue;
                }
                AddDefLine(text, argument, source, 0);
            }
            break;
        case kLocation: {
            auto* location = new CLocation(this);
            location->ReadSection(file);
            location->m_sectionOffset = p;
            location->m_sourcePath = source;
            locations.push_back(location);
            break;
        }
        case kNames:
            names.push_back(plainObject(kKindNames));
            break;
        case kWebPage:
            webPages.push_back(plainObject(kKindWebPage));
            break;
        case kOre:
            for (;;) {
                std::string_view body;
                const bool more = file.ReadLine(body);
                if (!more) {
                    break;
                }
                if (Contains(body, "[")) {
                    file.StepBack();
                    break;
                }
                const std::string_view text = Trim(CutAtFirstSlash(body));
                if (!text.empty()) {
                    auto* ore = new CTOreDef;
                    ore->ParseOreLine(std::string(text));
                    tables.ore.Append(ore);
                }
            }
            tables.ore.m_sourcePath = source;
            break;
        case kPlotItem:
            plotItems.ReplaceByName(plainObject(kKindPlotItem));
            break;
        case kRegion:
            regions.ReplaceByName(plainObject(kKindRegion));
            break;
        case kTrig:
            triggers.ReplaceByName(plainObject(kKindTrig));
            break;
        case kSkill:
            tables.skill.ReplaceByName(plainObject(kKindSkill));
            break;
        case kSkillClass:
            tables.skillClass.ReplaceByName(plainObject(kKindSkillClass));
            break;
        case kSpell:
            tables.spell.ReplaceByName(plainObject(kKindSpell));
            break;
        case kStarts:
            for (;;) {
                auto* start = new CTStartLocation;
                if (!start->ReadSection(file)) {
                    delete start;
                    break;
                }
                tables.starts.Append(start);
            }
            tables.starts.m_sourcePath = source;
            tables.starts.m_sectionOffset = p;
            break;
        default:
            g_Log.Log("Unknown section %s in file %s", headerLine.c_str(), path.c_str());
            break;
        }
    }
    CheckReadToTheEnd(file);
}

void CScriptObjects::LoadScripts() {
    // Definitions may be replaced by this load: TYPE values read before are no longer valid.
    m_typeReader.Clear();
    const std::string base = ScriptDirectory();
    const std::string separator(1, PathSeparator());
    g_Log.Log("Current working directory is %s", base.c_str());
    CFileReadProgress progress(m_progressViews);
    m_stagingItems = true;

    g_Log.Log("Loading table file from working directory");
    LoadScriptFile(base + separator + "tavreltables.scp", &progress);
    g_Log.Log("Reading server INI file from working directory");
    LoadScriptFile(base + separator + kServerIniName, &progress);

    const std::vector<std::string>& resources = tables.resources.m_lines;
    const long count = static_cast<long>(resources.size());
    if (count < 1) {
        g_Log.Log("No entries in the resource table.  Assuming scripts are in 0.52 format");
        LoadDefs();
        LoadItems();
        LoadLocations();
        LoadMap();
        LoadNames();
        LoadNPCs();
        LoadSpeech();
        LoadSpawnGroups();
        LoadTemplates();
        LoadTriggers();
    } else {
        g_Log.Log("Found %ld scripts in the resources table.", count);
        g_Log.Log("Assuming scripts are in the 0.53+ format");
        newerLayout = true;
        // Copied: a listed file may hold a [RESOURCES] section of its own, which grows the table.
        const std::vector<std::string> listed = resources;
        for (const std::string& line : listed) {
            const std::string entry(CutAtComment(line));
            if (entry.empty()) {
                continue;
            }
            if (Contains(ToLower(entry), "tavreltables.scp")) {
                continue;
            }
            LoadScriptFile(IsStandalonePath(entry) ? entry : base + separator + entry, &progress);
        }

        g_Log.Log("Checking for non-resource scripts in the current working directory");
        progress.SetStatusText("Checking for non-resource scripts");
        std::string scanDirectory = WithPlatformSeparators(
            GetProfileString(PathFromUtf8(base + separator + kServerIniName), "TAVREL", "SCPFILES", "", 260));
        if (!scanDirectory.empty() && scanDirectory.back() == PathSeparator()) {
            scanDirectory.pop_back();
        }
        const std::string prefix = scanDirectory.empty() ? "." + separator : scanDirectory + separator;
        std::vector<std::string> compareForms;
        for (const std::string& line : tables.resources.m_lines) {
            if (!line.empty()) {
                compareForms.push_back(ScanCompareForm(line));
            }
        }
        const std::string listDirectory = scanDirectory.empty() ? std::string(".") : scanDirectory;
        for (const std::string& name : ListScpFiles(ResolveScriptPath(listDirectory, PathFromUtf8(base)))) {
            const std::string compare =
                ToLower(scanDirectory.empty() ? name : scanDirectory + separator + name);
            bool skip = Contains(compare, "hoglocs.scp") || Contains(compare, "custloc.scp") ||
                        Contains(compare, "tavreltables.scp");
            for (size_t i = 0; !skip && i < compareForms.size(); ++i) {
                skip = !compareForms[i].empty() && Contains(compare, compareForms[i]);
            }
            if (!skip) {
                LoadScriptFile(prefix + name, &progress);
            }
        }
        LoadScriptFile("hoglocs.scp", &progress);
        LoadScriptFile("custloc.scp", &progress);
    }

    FlushStagedItems();
    m_stagingItems = false;
    CategorizeItems(&progress);
    CategorizeLocations(&progress);
    CategorizeNPCs(&progress);
    g_Log.Log("Finished loading scripts");
}

namespace {

// A name's first 16 bytes folded to lower case, big-endian in two words, so that ordering by the words
// orders by CompareNames as far as the words reach; equal words fall back to the full compare.
struct SSortKey {
    uint64_t high = 0;
    uint64_t low = 0;
    uint32_t sequence = 0;
    CSObject* object = nullptr;
};

SSortKey MakeKey(CSObject* object, uint32_t sequence) {
    SSortKey key;
    key.sequence = sequence;
    key.object = object;
    const std::string& name = object->m_name;
    for (size_t i = 0; i < 16; ++i) {
        const uint64_t byte = i < name.size() ? static_cast<unsigned char>(AsciiLower(name[i])) : 0u;
        if (i < 8) {
            key.high = (key.high << 8) | byte;
        } else {
            key.low = (key.low << 8) | byte;
        }
    }
    return key;
}

int CompareKeys(const SSortKey& a, const SSortKey& b) {
    if (a.high != b.high) {
        return a.high < b.high ? -1 : 1;
    }
    if (a.low != b.low) {
        return a.low < b.low ? -1 : 1;
    }
    return CompareNames(a.object->m_name, b.object->m_name);
}

} // namespace

void CScriptObjects::StoreItemDefinition(CSObject* definition) {
    if (!m_stagingItems) {
        itemDefs.ReplaceByName(definition);
    } else if (definition->m_name.empty()) {
        delete definition; // as replace-by-name would
    } else {
        m_stagedItems.push_back(definition);
    }
}

void CScriptObjects::FlushStagedItems() {
    std::vector<SSortKey> keys;
    keys.reserve(m_stagedItems.size());
    for (size_t i = 0; i < m_stagedItems.size(); ++i) {
        keys.push_back(MakeKey(m_stagedItems[i], static_cast<uint32_t>(i)));
    }
    m_stagedItems.clear();
    std::sort(keys.begin(), keys.end(), [](const SSortKey& a, const SSortKey& b) {
        const int order = CompareKeys(a, b);
        return order != 0 ? order < 0 : a.sequence < b.sequence;
    });
    // Of equal names only the last read stays, as replace-by-name one after the other would leave it.
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i + 1 < keys.size() && CompareKeys(keys[i], keys[i + 1]) == 0) {
            delete keys[i].object;
            continue;
        }
        itemDefs.ReplaceByName(keys[i].object);
    }
}

bool LoadAllScripts(CScriptObjects& objects, const std::string& scriptDirectory, const CServices& services) {
    objects.SetServices(services);
    // The directory as the system names it (links resolved), the way the working directory would show it.
    std::error_code ec;
    const std::filesystem::path directory =
        scriptDirectory.empty() ? std::filesystem::path()
                                : std::filesystem::canonical(ResolveScriptPath(scriptDirectory), ec);
    // A directory that cannot be listed cannot be read either (no permission): nothing is loaded then.
    if (!ec && !directory.empty())
        std::filesystem::directory_iterator(directory, ec);
    if (directory.empty() || ec) {
        g_Log.Log("Unable to change to script directory %s", scriptDirectory.c_str());
        return false;
    }
    objects.SetScriptDirectory(Utf8FromPath(directory));
    objects.LoadScripts();
    return true;
}

} // namespace frostmark
