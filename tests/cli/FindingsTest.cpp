// Inputs that once broke the programs (tests/data/findings), run end to end through the command line:
// each must give a clear result and leave every file sound.

#include "CliTestSupport.h"

#include "cli/CliOptions.h"

namespace frostmark {
namespace {

using testing::ReadFile;
using testing::Record;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::WriteFile;

const std::string kFindings = FROSTMARK_TEST_DATA "/findings/";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Findings, ObjectsOffTheMapStayInTheWorldAndTheWrittenPatchIsAccepted) {
    ScratchDir dir;
    // The finding's two records (x 7000, y 65535) and one on the map, then one off-map record alone.
    const std::string offMap = ReadFile(kFindings + "patch-outside-world.wsc");
    const std::string world = Record("0eee", "3", "6143,4095,0", "8000") + offMap;
    WriteFile(dir / "w.wsc", world);
    WriteFile(dir / "one.wsc", Record("0eee", "4", "6144,0,0", "8000"));

    auto run = RunInProcess(
        {"freeze", "-w", dir / "w.wsc", "-o", dir / "o.wsc", "-p", dir / "p.frz", "--static", "--json"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "\"objectsToFreeze\":1,")) << run.out;
    EXPECT_TRUE(Has(run.out, "\"objectsOutsideMap\":2,")) << run.out;
    EXPECT_TRUE(Has(run.out, ",\"2 objects lie outside the map and stay in the world file\"]}")) << run.out;
    EXPECT_TRUE(Has(run.err, "warning: 2 objects lie outside the map and stay in the world file\n"))
        << run.err;
    // Only the record on the map left the world.
    EXPECT_EQ(ReadFile(dir / "o.wsc"), offMap);

    // The patch file freeze wrote is one inspect and clean accept.
    run = RunInProcess({"inspect", dir / "p.frz"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.out, "Objects: 1\n")) << run.out;
    run = RunInProcess({"clean", "-w", dir / "w.wsc", "-o", dir / "c.wsc", "-p", dir / "p.frz", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(ReadFile(dir / "c.wsc"), offMap);

    run = RunInProcess({"analyze", "-w", dir / "one.wsc", "--static"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_TRUE(Has(run.err, "warning: 1 object lies outside the map and stays in the world file\n"))
        << run.err;
    EXPECT_TRUE(Has(run.out, "Number of Objects to Freeze: 0\n")) << run.out;
}

} // namespace
} // namespace frostmark
