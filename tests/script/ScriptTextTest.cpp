#include <gtest/gtest.h>

#include <string>

#include "script/ScriptText.h"

namespace frostmark {
namespace {

TEST(ScriptText, KeyLinesSplitAtTheFirstEqualsSign) {
    std::string_view key;
    std::string_view value;
    ASSERT_TRUE(SplitKeyValue("DESCRIPTION=a=b", key, value));
    EXPECT_EQ(key, "DESCRIPTION");
    EXPECT_EQ(value, "a=b");
    ASSERT_TRUE(SplitKeyValue("TYPE=", key, value));
    EXPECT_EQ(key, "TYPE");
    EXPECT_EQ(value, "");
    ASSERT_TRUE(SplitKeyValue("=5", key, value));
    EXPECT_EQ(key, "");
    EXPECT_EQ(value, "5");
    key = "unchanged";
    EXPECT_FALSE(SplitKeyValue("NOINDEX", key, value));
    EXPECT_EQ(key, "unchanged");
}

TEST(ScriptText, HeaderTextAndKindWord) {
    EXPECT_TRUE(IsHeaderLine("[AREA x]"));
    EXPECT_FALSE(IsHeaderLine(" [AREA x]"));
    EXPECT_FALSE(IsHeaderLine(""));
    EXPECT_EQ(HeaderText("[AREA Britain East] trailing"), "AREA Britain East");
    EXPECT_EQ(HeaderText("[DEFNAME colours"), "DEFNAME colours");
    EXPECT_EQ(HeaderText("[]"), "");
    EXPECT_EQ(HeaderText("["), "");
    std::string_view kind;
    std::string_view argument;
    SplitHeader("AREA Britain East", kind, argument);
    EXPECT_EQ(kind, "AREA");
    EXPECT_EQ(argument, "Britain East");
    SplitHeader("0eed", kind, argument);
    EXPECT_EQ(kind, "0eed");
    EXPECT_EQ(argument, "");
    SplitHeader("EOF ", kind, argument);
    EXPECT_EQ(kind, "EOF");
    EXPECT_EQ(argument, "");
}

TEST(ScriptText, TrimRemovesTheSixWhiteSpaceCharacters) {
    EXPECT_EQ(Trim(" \t\r\n\v\fx y\f\v\n\r\t "), "x y");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    // A NUL byte or a non-breaking space (0xA0) is not white space.
    EXPECT_EQ(Trim(std::string_view("\0a\xA0", 3)), std::string_view("\0a\xA0", 3));
}

TEST(ScriptText, CaseConversionTouchesOnlyAsciiLetters) {
    EXPECT_EQ(ToUpper("i_gold[1]{\xE9}"), "I_GOLD[1]{\xE9}");
    EXPECT_EQ(ToLower("SCPFILES=D:\\Shard\xC9"), "scpfiles=d:\\shard\xC9");
    EXPECT_TRUE(NameStartsWith("ScpFiles=x", "scpfiles"));
    EXPECT_FALSE(NameStartsWith("scp", "scpfiles"));
}

} // namespace
} // namespace frostmark
