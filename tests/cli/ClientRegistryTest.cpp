// Where map finds the game client on Windows: the overrides, the desktop program's setting and the
// client's own registry entry, in that order. The entries are made with the system's own reg tool, as an
// installer or an administrator would make them.

#include "CliTestSupport.h"
#include "RunProgram.h"

#include "cli/CliOptions.h"
#include "mapview/ClientDirectory.h"
#include "platform/System.h"

namespace frostmark {
namespace {

#if defined(_WIN32)
using testing::RunInProcess;
using testing::ScratchDir;
using testing::WriteFile;

const std::string kClientKey = std::string("HKLM\\") + kClientRegistryKey;
const std::string kSettingsKey = std::string("HKCU\\") + kDesktopSettingsRegistryKey;

// Runs reg.exe with the arguments; true when it succeeded.
bool Reg(const ScratchDir& dir, std::vector<std::string> args) {
    return test::RunProgramIn(dir.Path().string(), "reg", args, dir / "reg-out.txt", dir / "reg-err.txt") ==
           0;
}

void MakeClient(const std::string& directory) {
    std::filesystem::create_directories(directory);
    WriteFile(directory + "\\radarcol.mul", std::string(0x20000, '\x11'));
    WriteFile(directory + "\\map0.mul", "");
}

// The client directory the map command used, as its JSON result gives it (backslashes unescaped).
std::string ClientDirectoryOfMap(const ScratchDir& dir, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"map", "--out", dir / "m.png", "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto run = RunInProcess(args);
    if (run.code != kExitOk)
        return "failed: " + run.err;
    const std::string field = "\"clientDirectory\":\"";
    const std::size_t start = run.out.find(field);
    if (start == std::string::npos)
        return "no clientDirectory in " + run.out;
    std::string value;
    for (std::size_t i = start + field.size(); i < run.out.size() && run.out[i] != '"'; ++i) {
        if (run.out[i] == '\\')
            ++i;
        value += run.out[i];
    }
    return value;
}

TEST(ClientRegistry, MapTakesTheClientFromTheRegistryAfterTheOverridesAndTheSetting) {
    ScratchDir dir;
    for (const char* name : {"installed", "installed64", "chosen", "environment", "given"})
        MakeClient(dir / name);
    const auto environment = GetEnvironment(kClientDirectoryEnvironmentVariable);
    ASSERT_TRUE(SetEnvironment(kClientDirectoryEnvironmentVariable, std::nullopt));
    // Keys of an earlier run of this test must not count.
    Reg(dir, {"delete", kClientKey, "/f", "/reg:32"});
    Reg(dir, {"delete", kClientKey, "/f", "/reg:64"});
    Reg(dir, {"delete", kSettingsKey, "/v", kClientDirectorySetting, "/f"});

    // Nothing anywhere: the working directory, which holds no client.
    const auto none = RunInProcess({"map", "--out", dir / "m.png"});
    EXPECT_EQ(none.code, kExitInput);
    EXPECT_NE(none.err.find("the working directory"), std::string::npos) << none.err;

    // The client's entry, as a 32-bit installer writes it, with the variable its path may hold; the
    // 64-bit view's entry counts only without it.
    ASSERT_TRUE(SetEnvironment("FROSTMARK_TEST_SHARDS", dir.Path().string()));
    ASSERT_TRUE(Reg(dir, {"add", kClientKey, "/v", kClientExePathValue, "/t", "REG_SZ", "/d",
                          dir / "installed64\\client.exe", "/f", "/reg:64"}));
    EXPECT_EQ(ClientDirectoryOfMap(dir), dir / "installed64\\");
    ASSERT_TRUE(Reg(dir, {"add", kClientKey, "/v", kClientExePathValue, "/t", "REG_EXPAND_SZ", "/d",
                          "%FROSTMARK_TEST_SHARDS%\\installed\\client.exe", "/f", "/reg:32"}));
    EXPECT_EQ(ClientDirectoryOfMap(dir), dir / "installed\\");

    // The desktop program's choice, where it keeps its settings, comes before the client's entry; the
    // environment and --client-dir before both.
    ASSERT_TRUE(Reg(dir, {"add", kSettingsKey, "/v", kClientDirectorySetting, "/t", "REG_SZ", "/d",
                          dir / "chosen", "/f"}));
    EXPECT_EQ(ClientDirectoryOfMap(dir), dir / "chosen/");
    ASSERT_TRUE(SetEnvironment(kClientDirectoryEnvironmentVariable, dir / "environment"));
    EXPECT_EQ(ClientDirectoryOfMap(dir), dir / "environment/");
    EXPECT_EQ(ClientDirectoryOfMap(dir, {"--client-dir", dir / "given"}), dir / "given/");
    ASSERT_TRUE(SetEnvironment(kClientDirectoryEnvironmentVariable, std::nullopt));

    // An entry naming a client that is not there says where the directory came from.
    Reg(dir, {"delete", kSettingsKey, "/v", kClientDirectorySetting, "/f"});
    ASSERT_TRUE(Reg(dir, {"add", kClientKey, "/v", kClientExePathValue, "/t", "REG_SZ", "/d",
                          dir / "uninstalled\\client.exe", "/f", "/reg:32"}));
    const auto gone = RunInProcess({"map", "--out", dir / "m.png"});
    EXPECT_EQ(gone.code, kExitInput);
    EXPECT_NE(gone.err.find(dir / "uninstalled\\map0.mul"), std::string::npos) << gone.err;
    EXPECT_NE(gone.err.find("registry value ExePath"), std::string::npos) << gone.err;

    Reg(dir, {"delete", kClientKey, "/f", "/reg:32"});
    Reg(dir, {"delete", kClientKey, "/f", "/reg:64"});
    SetEnvironment("FROSTMARK_TEST_SHARDS", std::nullopt);
    SetEnvironment(kClientDirectoryEnvironmentVariable, environment);
}
#endif

} // namespace
} // namespace frostmark
