#include "CliTestSupport.h"

#include "cli/CliOptions.h"

namespace frostmark {
namespace {

using testing::ReadFile;
using testing::Record;
using testing::RunInProcess;
using testing::ScratchDir;
using testing::WriteFile;

// A client directory with a radar colour table and a map file that holds no block: every tile reads as
// tile 0, which is all the command needs to draw something.
void MakeClient(const ScratchDir& dir) {
    std::filesystem::create_directory(dir / "client");
    WriteFile(dir / "client/radarcol.mul", std::string(0x20000, '\x11'));
    WriteFile(dir / "client/map0.mul", "");
}

TEST(MapCommand, WritesAPngWithAreasAndFrozenObjects) {
    ScratchDir dir;
    MakeClient(dir);
    WriteFile(dir / "w.wsc", Record("0eed", "1", "1000,1000,0", "8000") +
                                 Record("0eee", "2", "1100,1100,0", "8000") +
                                 Record("0eef", "3", "5000,100,0", "8000"));
    auto run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "m.png", "--zoom", "-4",
                             "--center", "1000,1000", "--area", "900,900,1200,1200", "--frozen", "-w",
                             dir / "w.wsc", "--static", "--json"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(ReadFile(dir / "m.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    // The area restricts the analysis to the first two objects; at 4 tiles per pixel around (1000, 1000)
    // the picture spans 1536 x 1024 tiles, so both show.
    EXPECT_NE(
        run.out.find("\"zoom\":-4,\"centreX\":1000,\"centreY\":1000,\"patchAreas\":1,\"frozenObjects\":2,"
                     "\"frozenObjectsShown\":2"),
        std::string::npos)
        << run.out;

    run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "m2.png"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_EQ(run.out, "Map written: " + (dir / "m2.png") +
                           " (384 x 256 pixels, zoom -16, centre 3072, 2048, 0 patch areas)\n");
}

TEST(MapCommand, SizeGivesThePicturesPixels) {
    ScratchDir dir;
    MakeClient(dir);
    auto run = RunInProcess(
        {"map", "--client-dir", dir / "client", "--out", dir / "m.png", "--size", "500x300", "--zoom", "2"});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    // The PNG header holds the width and height, big-endian, at bytes 16 and 20.
    const std::string png = ReadFile(dir / "m.png");
    ASSERT_GE(png.size(), 24u);
    const auto word = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(word(16), 500);
    EXPECT_EQ(word(20), 300);
    EXPECT_NE(run.out.find("(500 x 300 pixels, zoom 2,"), std::string::npos) << run.out;
    for (const char* bad : {"0x300", "500", "axb", "20000x10", "500x-3"}) {
        run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "m2.png", "--size", bad});
        EXPECT_EQ(run.code, kExitUsage) << bad;
        EXPECT_NE(run.err.find("--size"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "m2.png"));
}

TEST(MapCommand, MissingClientFilesAndBadOutputs) {
    ScratchDir dir;
    auto run = RunInProcess({"map", "--client-dir", dir / "noclient", "--out", dir / "m.png"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_NE(run.err.find("map0.mul: No such file or directory"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "m.png"));

    MakeClient(dir);
    std::filesystem::remove(dir / "client/radarcol.mul");
    run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "m.png"});
    EXPECT_EQ(run.code, kExitOk) << run.err;
    EXPECT_NE(run.err.find("radarcol.mul cannot be read: the terrain is drawn black"), std::string::npos)
        << run.err;

    run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "missing/m.png"});
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_NE(run.err.find(dir / "missing/m.png"), std::string::npos);
    std::filesystem::create_directory(dir / "folder.png");
    run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "folder.png"});
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_NE(run.err.find("is a directory"), std::string::npos) << run.err;
    // The client's own files are never written over.
    run = RunInProcess({"map", "--client-dir", dir / "client", "--out", dir / "client/map0.mul"});
    EXPECT_NE(run.code, kExitOk);
    EXPECT_EQ(ReadFile(dir / "client/map0.mul"), "");
}

} // namespace
} // namespace frostmark
