// Runs the built frostmark-cli on the bundled sample shard and checks its output against golden results
// derived independently (tests/cli/golden/derive_expected.py) and against records worked out by hand.

#include "CliTestSupport.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

namespace frostmark {
namespace {

using testing::Lines;
using testing::ReadFile;
using testing::ScratchDir;

const std::string kSource = FROSTMARK_SOURCE_DIR;
const std::string kWorld = kSource + "/samples/world.wsc";
const std::string kScripts = kSource + "/samples/scripts";

#ifdef FROSTMARK_CLI_PATH
struct ProgramRun {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs the program with `dir` as working directory (where its log goes).
ProgramRun RunProgram(const ScratchDir& dir, const std::vector<std::string>& args) {
    ProgramRun run;
    run.code = test::RunProgramIn(dir.Path().string(), FROSTMARK_CLI_PATH, args, dir / "stdout.txt",
                                  dir / "stderr.txt");
    // Console output ends its lines with CR LF on Windows.
    run.out = test::WithoutCarriageReturns(ReadFile(dir / "stdout.txt"));
    run.err = test::WithoutCarriageReturns(ReadFile(dir / "stderr.txt"));
    std::filesystem::remove(dir / "stdout.txt");
    std::filesystem::remove(dir / "stderr.txt");
    return run;
}

// The world file without the item records whose SERIAL is in `serials`: the cleaning rule, done plainly.
std::string WorldWithout(const std::string& world, const std::set<std::uint32_t>& serials) {
    const std::vector<std::string> lines = Lines(world);
    std::string out;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t next = i + 1;
        if (lines[i].rfind("[WORLDITEM", 0) == 0) {
            while (next < lines.size() && (lines[next].empty() || lines[next][0] != '['))
                ++next;
            std::uint32_t serial = 0;
            for (std::size_t k = i + 1; k < next; ++k) {
                std::string key = lines[k].substr(0, 7);
                for (char& c : key)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (key == "SERIAL=") // the sample writes some keys in lower case
                    serial = static_cast<std::uint32_t>(std::stoull(lines[k].substr(7), nullptr, 16));
            }
            if (serials.count(serial)) {
                i = next;
                continue;
            }
        }
        for (std::size_t k = i; k < next; ++k)
            out += lines[k] + "\n";
        i = next;
    }
    return out;
}

std::set<std::uint32_t> ReadSerials(const std::string& path) {
    std::set<std::uint32_t> serials;
    std::istringstream in(ReadFile(path));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            serials.insert(static_cast<std::uint32_t>(std::stoull(line, nullptr, 16)));
    return serials;
}

// Block number -> the 7-byte object records of its group.
std::map<std::uint32_t, std::vector<std::string>> Groups(const std::string& patch) {
    auto u32 = [&](std::size_t p) {
        return std::uint32_t(std::uint8_t(patch[p])) | std::uint32_t(std::uint8_t(patch[p + 1])) << 8 |
               std::uint32_t(std::uint8_t(patch[p + 2])) << 16 |
               std::uint32_t(std::uint8_t(patch[p + 3])) << 24;
    };
    std::map<std::uint32_t, std::vector<std::string>> groups;
    std::size_t pos = 6;
    for (std::uint32_t g = 0; g < u32(0) && pos + 9 <= patch.size(); ++g) {
        std::uint32_t block = u32(pos + 1), length = u32(pos + 5);
        pos += 9;
        for (std::uint32_t i = 0; i < length / 7; ++i, pos += 7)
            groups[block].push_back(patch.substr(pos, 7));
    }
    return groups;
}

const std::vector<std::string> kMainSelection = {
    "--static",        "--never-moveable", "--exclude-typed",     "--exclude-doors",
    "--exclude-signs", "--exclude-lights", "--exclude-containers"};

TEST(SampleShard, FreezeMatchesTheGoldenResults) {
    ScratchDir dir;
    std::vector<std::string> args = {"freeze",  "--world",     kWorld,  "--scripts",      kScripts,
                                     "--patch", dir / "p.frz", "--out", dir / "clean.wsc"};
    args.insert(args.end(), kMainSelection.begin(), kMainSelection.end());
    ProgramRun run = RunProgram(dir, args);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, ""); // stderr is no terminal here: no progress bar, and nothing to warn about
    EXPECT_NE(run.out.find("Number of Top-Level Objects: 3004\n"
                           "Number of Objects to Freeze: 1148\n"
                           "Approximate size of resulting patch file: 10332 bytes\n"),
              std::string::npos)
        << run.out;

    const std::string patch = ReadFile(dir / "p.frz");
    EXPECT_TRUE(patch == ReadFile(kSource + "/tests/cli/golden/sample-main.frz")) << "patch bytes differ";
    const std::string world = ReadFile(kWorld);
    const std::set<std::uint32_t> frozen = ReadSerials(kSource + "/tests/cli/golden/sample-main.serials");
    ASSERT_EQ(frozen.size(), 1148u);
    EXPECT_TRUE(ReadFile(dir / "clean.wsc") == testing::SystemText(WorldWithout(world, frozen)))
        << "cleaned world differs";

    // Worked out by hand from the sample's records:
    auto groups = Groups(patch);
    // SERIAL 04000000c, [WORLDITEM 02a64], P=1388,2724,-40, ATTR=016: never moveable, no TYPE, no
    // definition, no category range: frozen. Block 173 * 512 + 340 = 88916, cell (4, 4), z 0xD8.
    ASSERT_TRUE(groups.count(88916));
    EXPECT_EQ(groups[88916], std::vector<std::string>{std::string("\x64\x2a\x04\x04\xd8\x00\x00", 7)});
    // SERIAL 0400001b8, [WORLDITEM i_gen_01c9]: the DEFNAME of [ITEMDEF 001c9] gives art 0x01c9;
    // P=4529,2235,-11 -> block 566 * 512 + 279 = 290071, cell (1, 3), z 0xF5.
    ASSERT_TRUE(groups.count(290071));
    EXPECT_EQ(groups[290071], std::vector<std::string>{std::string("\xc9\x01\x01\x03\xf5\x00\x00", 7)});
    // SERIAL 0400003e4, [WORLDITEM 0033e], static, but its definition has TYPE t_gen_69 (never frozen):
    // its block 362 * 512 + 20 = 185364 holds no such object and the record stays in the world.
    for (const std::string& object : groups[185364])
        EXPECT_NE(object.substr(0, 2), std::string("\x3e\x03", 2));
    EXPECT_EQ(frozen.count(0x400003e4), 0u);
    EXPECT_NE(test::WithoutCarriageReturns(ReadFile(dir / "clean.wsc")).find("SERIAL=0400003e4\n"),
              std::string::npos);
    // SERIAL 040000027, art 0xd108 (above 0x3fff), static: counted, never frozen.
    EXPECT_NE(test::WithoutCarriageReturns(ReadFile(dir / "clean.wsc")).find("SERIAL=040000027\n"),
              std::string::npos);
    EXPECT_EQ(test::WithoutCarriageReturns(ReadFile(dir / "clean.wsc")).find("SERIAL=04000000c\n"),
              std::string::npos);

    // The log is written to the working directory, as by the desktop program.
    std::string log = ReadFile(dir / "frostmark.log");
    EXPECT_NE(log.find("Starting frostmark-cli"), std::string::npos) << log;
    EXPECT_NE(log.find("Attempting to load file"), std::string::npos);

    // inspect agrees with the golden figures.
    run = RunProgram(dir, {"inspect", dir / "p.frz"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("Size: 18041 bytes\nGroups: 1111\nObjects: 1148\n"), std::string::npos) << run.out;
}

TEST(SampleShard, AreasArtListsAndTypedObjects) {
    ScratchDir dir;
    ProgramRun run =
        RunProgram(dir, {"freeze",  "--world",       kWorld,      "--scripts",           kScripts,
                         "--patch", dir / "p.frz",   "--out",     dir / "clean.wsc",     "--flags",
                         "018010",  "--exclude-art", "0eed,1f00", "--include-art",       "0e75,0675",
                         "--area",  "0,0,3072,4096", "--area",    "4000,1000,5000,3000", "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\"topLevelObjects\":3004,\"objectsToFreeze\":682,\"approximatePatchSize\":6138"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(ReadFile(dir / "p.frz") == ReadFile(kSource + "/tests/cli/golden/sample-areas.frz"));
    std::set<std::uint32_t> frozen = ReadSerials(kSource + "/tests/cli/golden/sample-areas.serials");
    EXPECT_EQ(frozen.size(), 682u);
    EXPECT_TRUE(ReadFile(dir / "clean.wsc") == testing::SystemText(WorldWithout(ReadFile(kWorld), frozen)));
    // Every frozen object stands in one of the two areas.
    for (const auto& [block, objects] : Groups(ReadFile(dir / "p.frz"))) {
        std::uint32_t x = (block / 512) * 8, y = (block % 512) * 8;
        EXPECT_TRUE(x < 3072 || (x >= 4000 && x < 5000 && y >= 1000 && y < 3000)) << block;
    }
}
#endif

} // namespace
} // namespace frostmark
