#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace frostmark {
namespace {

CCliParseResult Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

TEST(CliOptions, PathsFlagsAndDefaults) {
    CCliParseResult r = Parse({"freeze", "--world", "w.wsc", "-o", "out.wsc", "--scripts=scp", "--static",
                               "--exclude-doors", "--never-moveable"});
    ASSERT_TRUE(r.options) << r.error;
    const CCliOptions& o = *r.options;
    EXPECT_EQ(o.command, CliCommand::Freeze);
    EXPECT_EQ(o.world, "w.wsc");
    EXPECT_EQ(o.out, "out.wsc");
    EXPECT_EQ(o.scripts, "scp");
    EXPECT_EQ(o.patch, "stat_tavrel.frz");
    EXPECT_FALSE(o.patchGiven);
    EXPECT_EQ(o.flags, 0x100010u | 0x8000u);

    // --flags adds to the single flags; every checkbox has its own flag.
    r = Parse({"analyze", "-w", "w", "--flags", "0x20000", "--exclude-signs", "--exclude-lights",
               "--exclude-typed", "--exclude-containers"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->flags, 0x20000u | 0x40000u | 0x200000u | 0x10000u);
    r = Parse({"analyze", "-w", "w", "--flags", "108010"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->flags, 0x108010u);
}

TEST(CliOptions, ArtIdListsRepeatCommaAndFile) {
    std::filesystem::path file = std::filesystem::temp_directory_path() / "frostmark-cli-art.txt";
    {
        std::ofstream out(file);
        // Read like the dialog's box: one per line, junk and zero skipped.
        out << "0f3f\r\n\nlamp\n0\n 1a2b\n";
    }
    std::string fileArgument = "@";
    fileArgument += file.string();
    CCliParseResult r = Parse({"analyze", "-w", "w", "--exclude-art", "0eed,0EEE", "--exclude-art", "1 2",
                               "--include-art", fileArgument, "--include-art=ffff"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->excludeArt, (std::vector<std::uint16_t>{0x0EED, 0x0EEE, 1, 2}));
    EXPECT_EQ(r.options->includeArt, (std::vector<std::uint16_t>{0x0F3F, 0x1A2B, 0xFFFF}));
    std::filesystem::remove(file);

    // On the command line a typo is an error, not a silently skipped ID.
    for (const char* bad : {"0x", "lamp", "10000", "0", "12g", "0x10000"}) {
        r = Parse({"analyze", "-w", "w", "--exclude-art", bad});
        EXPECT_FALSE(r.options) << bad;
        EXPECT_EQ(r.exitCode, kExitUsage);
        EXPECT_NE(r.error.find("--exclude-art"), std::string::npos) << r.error;
    }
    r = Parse({"analyze", "-w", "w", "--include-art", "@/nonexistent/ids.txt"});
    EXPECT_FALSE(r.options);
    EXPECT_EQ(r.exitCode, kExitInput);
    EXPECT_NE(r.error.find("/nonexistent/ids.txt"), std::string::npos) << r.error;
}

TEST(CliOptions, AreasAreStrict) {
    CCliParseResult r = Parse({"analyze", "-w", "w", "--area", "100, 100, 200,200", "--area=0,0,6144,4096"});
    ASSERT_TRUE(r.options) << r.error;
    ASSERT_EQ(r.options->areas.size(), 2u);
    EXPECT_EQ(r.options->areas[0], (CPatchArea{100, 100, 200, 200}));
    EXPECT_EQ(r.options->areas[1], (CPatchArea{0, 0, 6144, 4096}));
    for (const char* bad : {"1,2,3", "1,2,3,4,5", "a,2,3,4", "10,10,10,20", "10,20,30,5", ""}) {
        r = Parse({"analyze", "-w", "w", "--area", bad});
        EXPECT_FALSE(r.options) << bad;
        EXPECT_NE(r.error.find("--area"), std::string::npos) << r.error;
    }
}

TEST(CliOptions, UsageErrorsNameTheOption) {
    struct Case {
        std::vector<std::string> args;
        const char* mention;
    } cases[] = {
        {{"analyze"}, "--world"},
        {{"freeze", "-w", "w"}, "--out"},
        {{"clean", "-w", "w"}, "--out"},
        {{"analyze", "-w"}, "-w"},
        {{"analyze", "-w", "w", "--flags", "1"}, "--flags"}, // bit 1 is no option
        {{"analyze", "-w", "w", "--flags", "zz"}, "--flags"},
        {{"analyze", "-w", "w", "--bogus"}, "--bogus"},
        {{"analyze", "-w", "w", "--static=1"}, "--static"},
        {{"analyze", "-w", "w", "stray"}, "stray"},
        {{"frobnicate"}, "frobnicate"},
        {{"--world", "w"}, "--world"},
        {{"inspect"}, "inspect"},
        {{"scripts"}, "scripts"},
        {{"map", "--client-dir", "c"}, "--out"},
        {{"map", "--client-dir", "c", "--out", "m.png", "--zoom", "3"}, "--zoom"},
        {{"map", "--out", "m.png", "--frozen"}, "--frozen"},
        {{"map", "--client-dir", "c", "--out", "m.png", "--center", "7000,10"}, "--center"},
        {{"freeze", "-w", "w", "-o", "o", "--line-end", "cr"}, "--line-end"},
        {{"freeze", "-w", "w", "-o", "o", "--line-end"}, "--line-end"},
        {{"patch", "-w", "w", "--line-end", "lf"}, "--line-end"}, // writes no world
    };
    for (const Case& c : cases) {
        CCliParseResult r = ParseCommandLine(c.args);
        EXPECT_FALSE(r.options) << c.args[0];
        EXPECT_EQ(r.exitCode, kExitUsage);
        EXPECT_NE(r.error.find(c.mention), std::string::npos) << r.error;
    }
}

TEST(CliOptions, OperandsHelpAndVersion) {
    CCliParseResult r = Parse({"inspect", "x.frz", "--list"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->operand, "x.frz");
    EXPECT_TRUE(r.options->list);
    r = Parse({"inspect", "a.frz", "b.frz"});
    EXPECT_FALSE(r.options);
    r = Parse({"scripts", "--", "-odd-dir"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->operand, "-odd-dir");

    r = Parse({"patch", "--help"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->command, CliCommand::Help);
    EXPECT_EQ(r.options->helpTopic, CliCommand::Patch);
    r = Parse({"help", "clean"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->helpTopic, CliCommand::Clean);
    r = Parse({"--version"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->command, CliCommand::Version);

    // Every command's help shows an example of itself.
    for (CliCommand c : {CliCommand::Analyze, CliCommand::Patch, CliCommand::Clean, CliCommand::Freeze,
                         CliCommand::Inspect, CliCommand::Scripts, CliCommand::Map}) {
        std::string text = CommandHelpText(c);
        EXPECT_NE(text.find(std::string("frostmark-cli ") + CommandName(c)), std::string::npos)
            << CommandName(c);
        EXPECT_NE(text.find("Example"), std::string::npos) << CommandName(c);
    }
    EXPECT_NE(UsageText().find("Exit status"), std::string::npos);
}

} // namespace
} // namespace frostmark
