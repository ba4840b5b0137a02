#include "platform/ProfileString.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace frostmark {
namespace {

constexpr std::size_t kLimit = 260;

std::string Get(std::string_view text, std::string_view section, std::string_view key,
                std::string_view def = "", std::size_t limit = kLimit) {
    return GetProfileStringFromText(text, section, key, def, limit);
}

TEST(ProfileStringTest, SectionAndKeyNamesIgnoreCaseAndBlanks) {
    const std::string ini = "[SERVERS]\nSCPFILES=wrong\n"
                            "[ TavRel ]\r\n"
                            "  ScpFiles  =  D:\\shard\\scripts\\  \r\n"
                            "LOG=1\r\n";
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES"), "D:\\shard\\scripts\\");
    EXPECT_EQ(Get(ini, "tavrel", "scpfiles"), "D:\\shard\\scripts\\");
    EXPECT_EQ(Get(ini, "TAVREL", "LOG"), "1");
    EXPECT_EQ(Get(ini, "SERVERS", "SCPFILES"), "wrong");
}

TEST(ProfileStringTest, MissingValuesGiveTheDefaultWithoutTrailingBlanks) {
    const std::string ini =
        "; SCPFILES=commented\n[TAVREL]\n;SCPFILES=also a comment\nOTHER=1\n[X]\nSCPFILES=x\n";
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES"), "");
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES", "scripts  "), "scripts");
    EXPECT_EQ(Get(ini, "NOSUCH", "SCPFILES", "dflt"), "dflt");
    EXPECT_EQ(Get("", "TAVREL", "SCPFILES", "dflt"), "dflt");
    // Keys before any section belong to no section.
    EXPECT_EQ(Get("SCPFILES=top\n[TAVREL]\n", "TAVREL", "SCPFILES", "d"), "d");
}

TEST(ProfileStringTest, OnePairOfMatchingQuotesIsRemoved) {
    const std::string ini = "[T]\n"
                            "A=\"quoted path\"\n"
                            "B='single'\n"
                            "C=\"unbalanced'\n"
                            "D=\"\"\n"
                            "E=\"a\" and \"b\"\n"
                            "F=\"\n";
    EXPECT_EQ(Get(ini, "T", "A"), "quoted path");
    EXPECT_EQ(Get(ini, "T", "B"), "single");
    EXPECT_EQ(Get(ini, "T", "C"), "\"unbalanced'");
    EXPECT_EQ(Get(ini, "T", "D"), "");
    EXPECT_EQ(Get(ini, "T", "E"), "a\" and \"b");
    EXPECT_EQ(Get(ini, "T", "F"), "\"");
}

TEST(ProfileStringTest, FirstSectionAndFirstKeyWin) {
    const std::string ini = "[T]\nK=first\nK=second\n[U]\n[T]\nK=third\nL=later\n";
    EXPECT_EQ(Get(ini, "T", "K"), "first");
    EXPECT_EQ(Get(ini, "T", "L", "none"), "none") << "a repeated section is not searched";
    // A line without "=" is a key with an empty value; a value keeps inner blanks and "=".
    EXPECT_EQ(Get("[T]\nFLAG\nX = a = b \n", "T", "FLAG", "d"), "");
    EXPECT_EQ(Get("[T]\nFLAG\nX = a = b \n", "T", "X"), "a = b");
}

TEST(ProfileStringTest, ResultIsCutToTheBuffer) {
    const std::string longPath(300, 'p');
    const std::string ini = "[TAVREL]\nSCPFILES=" + longPath + "\n";
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES"), std::string(259, 'p'));
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES", "", 5), "pppp");
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES", "", 1), "");
    EXPECT_EQ(Get(ini, "TAVREL", "SCPFILES", "", 0), "");
    EXPECT_EQ(Get(ini, "TAVREL", "MISSING", "abcdef", 4), "abc");
}

TEST(ProfileStringTest, ReadsFromAFile) {
    test::CTempDir dir;
    const auto ini = dir.Write("tavrel.ini", "[TAVREL]\r\nSCPFILES=scripts\\\r\n");
    EXPECT_EQ(GetProfileString(ini, "TAVREL", "SCPFILES", "", kLimit), "scripts\\");
    EXPECT_EQ(GetProfileString(dir.Path() / "missing.ini", "TAVREL", "SCPFILES", "d", kLimit), "d");
    // An ini file copied with another letter case is still found.
    dir.Write("Shard/TAVREL.INI", "[tavrel]\nscpfiles=other\n");
    EXPECT_EQ(GetProfileString(dir.Path() / "shard" / "tavrel.ini", "TAVREL", "SCPFILES", "", kLimit),
              "other");
}

} // namespace
} // namespace frostmark
