#include "tools/scriptgen/ScriptGen.h"

#include "platform/Files.h"
#include "platform/Paths.h"

#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

namespace frostmark {

namespace {

constexpr std::uint32_t kLastArtId = 0x3FFF;
constexpr std::uint32_t kTypeCount = 183; // the script vocabulary names TYPE values 0 to 182

// Every choice about one entry is drawn from its index, not from a running generator, so that a test can
// ask what entry n got (GeneratedItemType) without replaying the whole set.
std::uint64_t Mix(std::uint64_t seed, std::uint64_t index, std::uint64_t salt) {
    std::uint64_t z =
        seed * 0x9E3779B97F4A7C15ull + index * 0xBF58476D1CE4E5B9ull + salt * 0x94D049BB133111EBull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool Chance(std::uint64_t seed, std::uint64_t index, std::uint64_t salt, unsigned perMille) {
    return Mix(seed, index, salt) % 1000 < perMille;
}

std::uint32_t Below(std::uint64_t seed, std::uint64_t index, std::uint64_t salt, std::uint32_t bound) {
    return bound == 0 ? 0 : static_cast<std::uint32_t>(Mix(seed, index, salt) % bound);
}

enum Salt : std::uint64_t {
    kSaltType = 1,
    kSaltTypeValue,
    kSaltTypeForm,
    kSaltTrigger,
    kSaltNoIndex,
    kSaltDupe,
    kSaltDupeTarget,
    kSaltLower,
    kSaltCategory,
    kSaltWeight,
    kSaltColour,
    kSaltAttr,
    kSaltName,
};

const char* const kWords[] = {"stone", "wooden", "brass", "iron", "marble", "golden", "small", "large",
                              "old",   "fine",   "plain", "dark", "bright", "carved", "rough", "long"};
const char* const kThings[] = {"wall",   "floor",  "lamp",   "sign",   "table",  "chair", "door", "crate",
                               "barrel", "pillar", "statue", "banner", "window", "fence", "roof", "rug"};
const char* const kCategories[] = {"Buildings", "Decoration", "Furniture", "Lights", "Provisions", "Nature"};

// A file being written: text collected in a buffer and handed to the file in large pieces.
class COutFile {
public:
    COutFile(SScriptGenStats& stats, bool crlf) : m_stats(stats), m_crlf(crlf) { m_buffer.reserve(1 << 20); }
    bool Open(const std::filesystem::path& path) {
        m_path = Utf8FromPath(path);
        m_temp = m_path + ".tmp";
        RemoveFile(m_temp); // left by a run that was killed
        return m_file.CreateNew(m_temp);
    }

    COutFile& Text(const char* text) {
        m_buffer += text;
        return *this;
    }
    COutFile& Text(const std::string& text) {
        m_buffer += text;
        return *this;
    }
    COutFile& Hex(std::uint64_t value, int digits) {
        char text[32];
        std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
        m_buffer += text;
        return *this;
    }
    COutFile& Decimal(std::int64_t value) {
        m_buffer += std::to_string(value);
        return *this;
    }
    bool EndLine() {
        m_buffer += m_crlf ? "\r\n" : "\n";
        ++m_stats.lines;
        return m_buffer.size() < (1u << 20) || Flush();
    }
    bool Line(const char* text) {
        Text(text);
        return EndLine();
    }

    // Writes what is left and gives the file its real name.
    bool Finish() {
        if (!Flush())
            return false;
        CFileError error;
        if (!m_file.Close() || !MoveIntoPlace(m_temp, m_path, error)) {
            RemoveFile(m_temp);
            return false;
        }
        ++m_stats.files;
        return true;
    }

private:
    bool Flush() {
        if (m_buffer.empty())
            return true;
        const bool ok = m_file.Write(m_buffer.data(), m_buffer.size());
        m_stats.bytes += m_buffer.size();
        m_buffer.clear();
        return ok;
    }

    SScriptGenStats& m_stats;
    bool m_crlf;
    std::string m_path;
    std::string m_temp;
    CFile m_file;
    std::string m_buffer;
};

class CGenerator {
public:
    CGenerator(const SScriptGenOptions& options, const std::filesystem::path& directory,
               SScriptGenStats& stats)
        : m_options(options), m_dir(directory), m_stats(stats) {}

    bool Run(std::string& error) {
        if (m_options.shuffle) {
            // Definitions in no particular order, as hand-edited script sets have them.
            m_order.resize(m_options.itemDefs);
            for (std::uint64_t i = 0; i < m_order.size(); ++i) {
                m_order[i] = i;
            }
            for (std::uint64_t i = m_order.size(); i > 1; --i) {
                std::swap(m_order[i - 1], m_order[Mix(m_options.seed, i, 4242) % i]);
            }
        }
        std::vector<std::string> listed;
        const std::uint64_t perFile = m_options.itemsPerFile == 0 ? 1 : m_options.itemsPerFile;
        listed.push_back("scripts/defs.scp");
        for (std::uint64_t first = 0, n = 0; first < m_options.itemDefs; first += perFile, ++n) {
            char name[64];
            std::snprintf(name, sizeof name, "scripts/items_%03llu.scp", static_cast<unsigned long long>(n));
            if (!Items(m_dir / name, first, std::min(m_options.itemDefs, first + perFile)))
                return Fail(error, name);
            listed.push_back(name);
        }
        if (!Defs(m_dir / "scripts/defs.scp"))
            return Fail(error, "scripts/defs.scp");
        if (!Chars(m_dir / "scripts/chars.scp"))
            return Fail(error, "scripts/chars.scp");
        listed.push_back("scripts\\chars.scp // characters and templates");
        if (!Map(m_dir / "scripts/map.scp"))
            return Fail(error, "scripts/map.scp");
        listed.push_back("scripts\\map.scp");
        if (!Misc(m_dir / "scripts/misc.scp"))
            return Fail(error, "scripts/misc.scp");
        listed.push_back("scripts/misc.scp");
        listed.push_back("tavreltables.scp");
        if (!Unlisted(m_dir / "scripts/unlisted.scp"))
            return Fail(error, "scripts/unlisted.scp");
        if (!Tables(m_dir / "tavreltables.scp"))
            return Fail(error, "tavreltables.scp");
        if (!Locations(m_dir / "hoglocs.scp"))
            return Fail(error, "hoglocs.scp");
        if (!Ini(m_dir / "tavrel.ini", listed))
            return Fail(error, "tavrel.ini");
        return true;
    }

private:
    static bool Fail(std::string& error, const std::string& name) {
        error = "cannot write " + name;
        return false;
    }

    bool Lower(std::uint64_t index, std::uint64_t salt) const {
        return Chance(m_options.seed, index, kSaltLower + salt * 1000, m_options.lowerCaseShare);
    }

    bool Items(const std::filesystem::path& path, std::uint64_t first, std::uint64_t last) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        out.Line("// Generated item definitions");
        for (std::uint64_t i = first; i < last; ++i) {
            if (!Item(out, m_order.empty() ? i : m_order[i]))
                return false;
        }
        return out.Finish();
    }

    bool Item(COutFile& out, std::uint64_t i) {
        const std::uint64_t seed = m_options.seed;
        const std::uint32_t art = GeneratedItemArtId(i);
        const bool lower = Lower(i, 1);
        ++m_stats.itemDefs;
        out.Text(lower ? "[itemdef " : "[ITEMDEF ");
        if (art != 0) {
            out.Text("0").Hex(art, 4);
        } else {
            ++m_stats.namedItemDefs;
            char name[32];
            std::snprintf(name, sizeof name, "i_scn_%06llu", static_cast<unsigned long long>(i));
            out.Text(name);
        }
        out.Text("]");
        out.EndLine();
        if (art != 0) {
            // Always upper case: the server makes no constant of a lower-case DEFNAME key.
            out.Text("DEFNAME=i_gen_").Hex(art, 4);
            out.EndLine();
        }
        const char* word = kWords[Below(seed, i, kSaltName, 16)];
        const char* thing = kThings[Below(seed, i, kSaltName + 100, 16)];
        out.Text("NAME=").Text(word).Text(" ").Text(thing);
        out.EndLine();
        out.Text("ID=0").Hex(art != 0 ? art : 1 + Below(seed, i, kSaltName + 200, kLastArtId), 4);
        out.EndLine();
        const std::int32_t type = GeneratedItemType(m_options, i);
        if (type >= 0) {
            out.Text(Lower(i, 2) ? "type=" : "TYPE=");
            switch (Below(seed, i, kSaltTypeForm, 3)) {
            case 0:
                out.Decimal(type);
                break;
            case 1:
                out.Text("0").Hex(static_cast<std::uint64_t>(type), 1);
                break;
            default:
                out.Text("t_gen_").Decimal(type);
                break;
            }
            out.EndLine();
        }
        const std::uint32_t weight = Below(seed, i, kSaltWeight, 400);
        out.Text("WEIGHT=").Decimal(weight / 10);
        if (weight % 10 != 0)
            out.Text(".").Decimal(weight % 10);
        out.EndLine();
        out.Text("VALUE=").Decimal(1 + Below(seed, i, kSaltWeight + 1, 500));
        out.EndLine();
        out.Text("RESOURCES=")
            .Decimal(1 + Below(seed, i, kSaltName + 300, 9))
            .Text(" i_gen_")
            .Hex(1 + Below(seed, i, kSaltName + 301, kLastArtId), 4);
        out.Text(", 1 i_gen_0eed");
        out.EndLine();
        out.Text("SKILLMAKE=CARPENTRY ")
            .Decimal(Below(seed, i, kSaltName + 302, 100))
            .Text(".0, TINKERING 10.0");
        out.EndLine();
        if (Chance(seed, i, kSaltColour, 300)) {
            out.Text("COLOR=0").Hex(Below(seed, i, kSaltColour + 1, 0x0BB6), 3);
            out.EndLine();
        }
        if (Chance(seed, i, kSaltAttr, 200)) {
            out.Text("ATTR=0").Hex(0x10u | (Below(seed, i, kSaltAttr + 1, 2) << 15), 4);
            out.EndLine();
        }
        if (i > 0 && Chance(seed, i, kSaltDupe, m_options.dupeShare)) {
            const std::uint32_t target =
                GeneratedItemArtId(Below(seed, i, kSaltDupeTarget,
                                         static_cast<std::uint32_t>(std::min<std::uint64_t>(i, kLastArtId))));
            out.Text("DUPEITEM=0").Hex(target, 4);
            out.EndLine();
        }
        if (Chance(seed, i, kSaltNoIndex, m_options.noIndexShare)) {
            ++m_stats.noIndexItemDefs;
            out.Line(Lower(i, 3) ? "noindex" : "NOINDEX");
        }
        const std::uint32_t category = Below(seed, i, kSaltCategory, 6);
        out.Text("CATEGORY=").Text(kCategories[category]);
        out.EndLine();
        out.Text("SUBSECTION=").Text(thing).Text("s");
        out.EndLine();
        out.Text("DESCRIPTION=").Text(word).Text(" @");
        out.EndLine();
        if (Chance(seed, i, kSaltTrigger, m_options.triggerShare)) {
            out.Line("ONTRIGGER=DCLICK");
            out.Line("    IF (<SRC.DISTANCE> > 2)");
            out.Line("        SRC.SYSMESSAGE That is too far away.");
            out.Line("        RETURN 1");
            out.Line("    ENDIF");
            out.Line("ONTRIGGER=STEP");
            out.Line("    SRC.SYSMESSAGE You step on it. // a comment inside a trigger");
            out.Line("    SRC.SOUND 0x57");
        }
        return out.EndLine();
    }

    bool Defs(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        out.Line("// Generated constants");
        out.Line("[DEFNAME types]");
        for (std::uint32_t t = 0; t < kTypeCount; ++t) {
            out.Text("t_gen_").Decimal(t).Text(" ").Decimal(t);
            ++m_stats.constants;
            if (!out.EndLine())
                return false;
        }
        out.EndLine();
        for (std::uint64_t c = 0; c < m_options.constants; ++c) {
            if (c % 100 == 0) {
                out.Text(Lower(c, 4) ? "[defname generated_" : "[DEFNAME generated_")
                    .Decimal(static_cast<std::int64_t>(c / 100))
                    .Text("]");
                out.EndLine();
            }
            ++m_stats.constants;
            out.Text("c_gen_").Decimal(static_cast<std::int64_t>(c));
            switch (c % 4) {
            case 0:
                out.Text(" 0").Hex(Mix(m_options.seed, c, 77) & 0xFFFF, 4).Text(" // hexadecimal");
                break;
            case 1:
                out.Text("\t").Decimal(static_cast<std::int64_t>(Mix(m_options.seed, c, 78) % 1000));
                break;
            case 2:
                out.Text(" 10 20");
                break;
            default:
                out.Text(" {1 5 0a 2}");
                break;
            }
            if (!out.EndLine())
                return false;
        }
        return out.Finish();
    }

    bool Chars(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        for (std::uint64_t c = 0; c < m_options.charDefs; ++c) {
            ++m_stats.charDefs;
            out.Text("[CHARDEF 0").Hex(0x100 + c, 3).Text("]");
            out.EndLine();
            out.Text("DEFNAME=c_gen_").Hex(0x100 + c, 3);
            out.EndLine();
            out.Text("NAME=creature ").Decimal(static_cast<std::int64_t>(c));
            out.EndLine();
            out.Text("CATEGORY=Creatures");
            out.EndLine();
            out.Text("SUBSECTION=Kind ").Decimal(static_cast<std::int64_t>(c % 7));
            out.EndLine();
            out.Line("DESCRIPTION=A creature of @");
            out.EndLine();
        }
        for (std::uint64_t t = 0; t < m_options.templates; ++t) {
            ++m_stats.templates;
            out.Text("[TEMPLATE tm_gen_").Decimal(static_cast<std::int64_t>(t)).Text("]");
            out.EndLine();
            out.Line("CATEGORY=Templates");
            out.Line("SUBSECTION=Loot");
            out.Text("DESCRIPTION=Loot bag ").Decimal(static_cast<std::int64_t>(t));
            out.EndLine();
            out.Line("CONTAINER=i_gen_0e75");
            out.EndLine();
        }
        return out.Finish();
    }

    bool Map(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        for (std::uint64_t a = 0; a < m_options.areas; ++a) {
            const std::int64_t x = static_cast<std::int64_t>(Mix(m_options.seed, a, 90) % 6000);
            const std::int64_t y = static_cast<std::int64_t>(Mix(m_options.seed, a, 91) % 4000);
            ++m_stats.areas;
            out.Text("[AREA Region ").Decimal(static_cast<std::int64_t>(a)).Text("]");
            out.EndLine();
            out.Text("GROUP=Group ").Decimal(static_cast<std::int64_t>(a % 5));
            out.EndLine();
            out.Text("P=").Decimal(x + 20).Text(",").Decimal(y + 20);
            out.EndLine();
            out.Text("RECT=").Decimal(x).Text(",").Decimal(y).Text(",").Decimal(x + 40).Text(",").Decimal(y +
                                                                                                          40);
            out.EndLine();
            out.Line("GUARDED=1");
            out.Line("RAINCHANCE 20");
            out.EndLine();
            ++m_stats.rooms;
            out.Text("[ROOM Room ").Decimal(static_cast<std::int64_t>(a)).Text("]");
            out.EndLine();
            out.Text("GROUP=Group ").Decimal(static_cast<std::int64_t>(a % 5));
            out.EndLine();
            out.Text("P=").Decimal(x + 5).Text(",").Decimal(y + 5);
            out.EndLine();
            out.Line("FLAGS=02000");
            out.EndLine();
            ++m_stats.locations;
            out.Line("[LOCATION]");
            out.Line("CATEGORY=Places");
            out.Text("SUBSECTION=Group ").Decimal(static_cast<std::int64_t>(a % 5));
            out.EndLine();
            out.Text("DESCRIPTION=Place ").Decimal(static_cast<std::int64_t>(a));
            out.EndLine();
            out.Text("POINT=").Decimal(x + 1).Text(",").Decimal(y + 1);
            out.EndLine();
            out.EndLine();
        }
        return out.Finish();
    }

    bool Misc(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        for (int n = 0; n < 20; ++n) {
            out.Text("[NAMES names_").Decimal(n % 10).Text("]");
            out.EndLine();
            out.Line("Grunt");
            out.Line("Snaga");
            out.Text("[TRIG ").Decimal(n).Text("]");
            out.EndLine();
            out.Line("ONTRIGGER=STEP");
            out.Text("[REGION ").Decimal(n).Text("]");
            out.EndLine();
            out.Text("[PLOTITEM ").Decimal(n).Text("]");
            out.EndLine();
            out.Text("[SKILL ").Decimal(n).Text("]");
            out.EndLine();
            out.Line("KEY=Skill");
            out.Text("[SPELL ").Decimal(n).Text("]");
            out.EndLine();
            out.Text("[SPAWN sg_gen_").Decimal(n).Text("]");
            out.EndLine();
            out.Line("CATEGORY=Spawns");
            out.Line("SUBSECTION=Generated");
            out.Line("DESCRIPTION=Spawn group @");
            out.Text("[WEBPAGE ").Decimal(n).Text("]");
            out.EndLine();
            out.Line("<p>page</p>");
            out.Text("[BOOK ").Decimal(n).Text("]");
            out.EndLine();
            out.Line("a page of text");
        }
        out.Line("[SKILLCLASS 0]");
        out.Line("NAME=Adventurer");
        out.Line("[EOF]");
        return out.Finish();
    }

    bool Unlisted(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        out.Line("// Not in the resource table: the loader's scan of the script directory finds it");
        ++m_stats.constants;
        out.Line("[DEFNAME unlisted]");
        out.Line("c_unlisted 01");
        return out.Finish();
    }

    bool Tables(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        out.Line("[OBSCENE]");
        out.Line("darn");
        out.Line("[PLEVEL 1]");
        out.Line("HELP");
        out.Line("[ADVANCE]");
        out.Line("STR=1,2,3");
        out.Line("INT=4,5,6");
        out.Line("DEX=7,8,9");
        out.Line("[STARTS]");
        out.Line("Town");
        out.Line("Inn");
        out.Line("1500,1600,0");
        out.EndLine();
        out.Line("[ORE]");
        out.Line("Iron Ore,iron,2,0.5,3-8,i_gen_19b9");
        out.Line("[RUNES]");
        out.Line("An");
        return out.Finish();
    }

    bool Locations(const std::filesystem::path& path) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        ++m_stats.locations;
        out.Line("[LOCATION]");
        out.Line("CATEGORY=Dungeons");
        out.Line("SUBSECTION=Generated");
        out.Line("DESCRIPTION=Entrance");
        out.Line("POINT=100,100");
        return out.Finish();
    }

    bool Ini(const std::filesystem::path& path, const std::vector<std::string>& listed) {
        COutFile out(m_stats, m_options.crlf);
        if (!out.Open(path))
            return false;
        out.Line("// Generated server settings");
        out.Line("[TAVREL]");
        out.Line("SCPFILES=scripts");
        out.Line("SERVNAME=Generated");
        out.Line("[RESOURCES]");
        for (const std::string& line : listed) {
            ++m_stats.resourceLines;
            out.Line(line.c_str());
        }
        out.Line("[SERVERS]");
        out.Line("Generated");
        out.Line("127.0.0.1");
        out.Line("2593");
        return out.Finish();
    }

    const SScriptGenOptions& m_options;
    std::filesystem::path m_dir;
    SScriptGenStats& m_stats;
    std::vector<std::uint64_t> m_order; // item definitions in file order, when shuffled
};

} // namespace

std::uint32_t GeneratedItemArtId(std::uint64_t index) {
    return index < kLastArtId ? static_cast<std::uint32_t>(index + 1) : 0;
}

std::int32_t GeneratedItemType(const SScriptGenOptions& options, std::uint64_t index) {
    if (!Chance(options.seed, index, kSaltType, options.typeShare))
        return -1;
    return static_cast<std::int32_t>(Below(options.seed, index, kSaltTypeValue, kTypeCount));
}

bool GenerateScriptSet(const SScriptGenOptions& options, const std::filesystem::path& directory,
                       bool overwrite, SScriptGenStats* stats, std::string* error) {
    SScriptGenStats local;
    SScriptGenStats& s = stats ? *stats : local;
    s = SScriptGenStats();
    std::string message;
    std::error_code ec;
    if (!overwrite && std::filesystem::exists(directory / "tavrel.ini", ec)) {
        message = "a script set exists already in " + directory.string();
    } else {
        std::filesystem::create_directories(directory / "scripts", ec);
        if (ec)
            message = "cannot create " + (directory / "scripts").string() + ": " + ec.message();
    }
    if (message.empty()) {
        CGenerator generator(options, directory, s);
        if (generator.Run(message))
            return true;
    }
    if (error)
        *error = message;
    return false;
}

} // namespace frostmark
