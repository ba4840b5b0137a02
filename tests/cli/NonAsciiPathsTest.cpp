// Shards live under folders of any name: the program takes its paths as UTF-8 and hands them to the system
// whole (in UTF-16 on Windows, where a name outside the code page would otherwise be mangled or lost).

#include "CliTestSupport.h"
#include "RunProgram.h"
#include "TempDir.h"

#include "platform/Paths.h"

namespace frostmark {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

const std::string kSource = FROSTMARK_SOURCE_DIR;

#ifdef FROSTMARK_CLI_PATH
struct ShardRun {
    int code = -1;
    std::string out;
    std::string err;
    std::string patch;
    std::string world;
    std::string log;
};

// Copies the sample shard into `home` (world file, script set under `scriptsName`) and freezes it with the
// built program started in `home`, every path named in full.
ShardRun FreezeSampleIn(const fs::path& home, const std::string& scriptsName) {
    fs::create_directories(home);
    fs::copy_file(PathFromUtf8(kSource + "/samples/world.wsc"), home / "world.wsc");
    fs::copy(PathFromUtf8(kSource + "/samples/scripts"), home / PathFromUtf8(scriptsName),
             fs::copy_options::recursive);
    const std::string base = Utf8FromPath(home) + Utf8FromPath(fs::path("/").make_preferred());
    ShardRun run;
    run.code = test::RunProgramIn(Utf8FromPath(home), FROSTMARK_CLI_PATH,
                                  {"freeze", "--world", base + "world.wsc", "--scripts", base + scriptsName,
                                   "--patch", base + "patch.frz", "--out", base + "clean.wsc", "--static",
                                   "--never-moveable", "--exclude-doors", "--line-end", "lf", "--verbose"},
                                  base + "stdout.txt", base + "stderr.txt");
    run.out = test::ReadFile(home / "stdout.txt");
    run.err = test::ReadFile(home / "stderr.txt");
    run.patch = test::ReadFile(home / "patch.frz");
    run.world = test::ReadFile(home / "clean.wsc");
    run.log = test::ReadFile(home / "frostmark.log");
    return run;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(NonAsciiPaths, ShardUnderNonAsciiFoldersFreezesAsUnderPlainOnes) {
    ScratchDir dir;
    // Letters of the Windows code pages and letters of none of them.
    const std::string home = "\xC3\x86rheim \xCE\xA3\xCE\xBA\xCE\xB7\xCE\xBD\xCE\xAE"; // Ærheim Σκηνή
    const std::string scripts = "skripte-\xC3\xB8-\xE8\x84\x9A\xE6\x9C\xAC";           // skripte-ø-脚本
    const ShardRun plain = FreezeSampleIn(dir.Path() / "plain", "scripts");
    const ShardRun named = FreezeSampleIn(dir.Path() / PathFromUtf8(home), scripts);
    ASSERT_EQ(plain.code, 0) << plain.err;
    ASSERT_EQ(named.code, 0) << named.err;

    // The same objects found, frozen and dropped: the script set was read in full.
    ASSERT_FALSE(plain.patch.empty());
    EXPECT_TRUE(named.patch == plain.patch) << "patch files differ";
    EXPECT_TRUE(named.world == plain.world) << "cleaned worlds differ";
    EXPECT_EQ(Replaced(Replaced(named.out, home, "plain"), scripts, "scripts"), plain.out);
    // Every file named in the messages is named as it is called, in UTF-8.
    EXPECT_NE(named.err.find(home), std::string::npos) << named.err;
    EXPECT_EQ(Replaced(Replaced(named.err, home, "plain"), scripts, "scripts"), plain.err);
    // The log went to the working directory, and names the script files under their folder.
    EXPECT_NE(named.log.find(scripts), std::string::npos) << named.log;
}
#endif

} // namespace
} // namespace frostmark
