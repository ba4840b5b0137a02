#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "engine/WorldItem.h"
#include "script/LineReader.h"
#include "script/Numbers.h"
#include "script/ScriptContext.h"

namespace frostmark {
namespace {

// Reads the record whose header is the reader's next line, as the analysis does: header ID first,
// then the body.
CWorldItem ReadRecord(CLineReader& reader, CScriptContext& context) {
    std::string_view header;
    EXPECT_TRUE(reader.ReadLine(header));
    EXPECT_TRUE(IsWorldItemHeader(header)) << header;
    CWorldItem item;
    item.SetId(WorldItemHeaderId(header));
    ReadWorldItemBody(reader, item, context);
    return item;
}

void AddConstant(CScriptContext& context, const std::string& line) {
    auto* def = new CDef;
    def->Set(line);
    context.AddDef(def);
}

TEST(WorldItem, NewRecordHasInitialValues) {
    CWorldItem item;
    EXPECT_EQ(item.GetId(), "");
    EXPECT_EQ(item.type, 0);
    EXPECT_EQ(item.serial, 0u);
    EXPECT_EQ(item.cont, 0u);
    EXPECT_EQ(item.attr, 0);
    EXPECT_EQ(item.x, 0);
    EXPECT_EQ(item.y, 0);
    EXPECT_EQ(item.z, 0);
    EXPECT_EQ(item.color, 0);
    EXPECT_TRUE(item.IsTopLevel());
}

TEST(WorldItem, HeaderRecognitionAndIdText) {
    EXPECT_TRUE(IsWorldItemHeader("[WORLDITEM 0eed]"));
    EXPECT_TRUE(IsWorldItemHeader("[WORLDITEMS whatever"));
    EXPECT_TRUE(IsWorldItemHeader("[WORLDITEM"));
    EXPECT_FALSE(IsWorldItemHeader("[worlditem 0eed]"));
    EXPECT_FALSE(IsWorldItemHeader(" [WORLDITEM 0eed]"));
    EXPECT_FALSE(IsWorldItemHeader("[WORLDITE"));
    EXPECT_FALSE(IsWorldItemHeader("[WORLDCHAR c_man]"));

    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM 0eed]"), "0eed");
    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM i_gen_0eed] trailing"), "i_gen_0eed");
    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM 0eed"), "0eed");
    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM]"), "");
    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM"), "");
    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM ]"), "");
    // The separator is any one character.
    EXPECT_EQ(WorldItemHeaderId("[WORLDITEM\t0eed]"), "0eed");
}

TEST(WorldItem, ReadsBodyAndStopsAtNextHeader) {
    CScriptContext context;
    CLineReader reader;
    reader.OpenMemory("[WORLDITEM 0eed]\nSERIAL=1a2\nP=1323,1624,5\nCOLOR=0481\nATTR=010\n[WORLDITEM 0eee]\n"
                      "SERIAL=1a3\n");
    const CWorldItem first = ReadRecord(reader, context);
    EXPECT_EQ(first.serial, 0x1A2u);
    EXPECT_EQ(first.x, 1323);
    EXPECT_EQ(first.y, 1624);
    EXPECT_EQ(first.z, 5);
    EXPECT_EQ(first.color, 0x481);
    EXPECT_EQ(first.attr, 0x10);
    EXPECT_EQ(first.GetId(), "0eed");
    EXPECT_EQ(ArtId(first, context), 0xEEDu);

    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "[WORLDITEM 0eee]");
    // A body that ends with the file is read completely; then the file is at its end.
    CWorldItem second;
    ReadWorldItemBody(reader, second, context);
    EXPECT_EQ(second.serial, 0x1A3u);
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST(WorldItem, AnyBracketLineEndsTheBody) {
    CScriptContext context;
    for (const char* terminator : {"[EOF]", "[WORLDCHAR c_man]", "[worlditem 0eed]", "[", "[WORLDITEM 1]"}) {
        CLineReader reader;
        reader.OpenMemory(std::string("SERIAL=5\n") + terminator + "\nSERIAL=6\n");
        CWorldItem item;
        ReadWorldItemBody(reader, item, context);
        EXPECT_EQ(item.serial, 5u) << terminator;
        std::string_view line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, terminator);
    }
    // A blank before the bracket makes it an ordinary line of the body.
    CLineReader reader;
    reader.OpenMemory("SERIAL=5\n [EOF]\nSERIAL=6\n");
    CWorldItem item;
    ReadWorldItemBody(reader, item, context);
    EXPECT_EQ(item.serial, 6u);
}

TEST(WorldItem, KeyMatchingIgnoresCaseButNotBlanks) {
    CScriptContext context;
    CWorldItem item;
    ApplyWorldItemLine("serial=400", item, context);
    EXPECT_EQ(item.serial, 0x400u);
    ApplyWorldItemLine("SeRiAl=401", item, context);
    EXPECT_EQ(item.serial, 0x401u);
    ApplyWorldItemLine("SERIAL =402", item, context);
    EXPECT_EQ(item.serial, 0x401u);
    ApplyWorldItemLine(" SERIAL=403", item, context);
    EXPECT_EQ(item.serial, 0x401u);
    // Near misses of every key, of the same length, do nothing.
    for (const char* line : {"SERIAK=1", "TYPO=1", "CONS=1", "ATTS=1", "IF=1", "DISPIE=1", "COLOT=1", "Q=1,1",
                             "SERIALS=1", "PP=1,2", "=1", "SERIAL", "P"}) {
        CWorldItem untouched;
        untouched.SetId("keep");
        ApplyWorldItemLine(line, untouched, context);
        EXPECT_EQ(untouched.serial, 0u) << line;
        EXPECT_EQ(untouched.type, 0) << line;
        EXPECT_EQ(untouched.cont, 0u) << line;
        EXPECT_EQ(untouched.attr, 0) << line;
        EXPECT_EQ(untouched.color, 0) << line;
        EXPECT_EQ(untouched.x, 0) << line;
        EXPECT_EQ(untouched.GetId(), "keep") << line;
    }
    // Bytes that differ from a letter only in bit 0x20 outside the letters must not match.
    CWorldItem odd;
    ApplyWorldItemLine("\x10=1,2,3", odd, context); // 0x10 | 0x20 is 0x30, not 'p'
    ApplyWorldItemLine("\xD0=1,2,3", odd, context); // 0xD0 | 0x20 is 0xF0
    EXPECT_EQ(odd.x, 0);
}

TEST(WorldItem, ValueConversions) {
    CScriptContext context;
    CWorldItem item;
    ApplyWorldItemLine("COLOR=0x20", item, context);
    EXPECT_EQ(item.color, 0);
    ApplyWorldItemLine("ATTR= 8000", item, context);
    EXPECT_EQ(item.attr, 0x8000);
    ApplyWorldItemLine("ATTR=18010", item, context); // low 16 bits
    EXPECT_EQ(item.attr, 0x8010);
    ApplyWorldItemLine("CONT=040001a2", item, context);
    EXPECT_EQ(item.cont, 0x040001A2u);
    EXPECT_FALSE(item.IsTopLevel());
    ApplyWorldItemLine("CONT=0", item, context);
    EXPECT_TRUE(item.IsTopLevel());
    ApplyWorldItemLine("SERIAL=123456789", item, context); // nine digits wrap to 32 bits
    EXPECT_EQ(item.serial, 0x23456789u);
    ApplyWorldItemLine("SERIAL=", item, context);
    EXPECT_EQ(item.serial, 0u);

    // TYPE: decimal, hexadecimal with a leading zero, a DEFNAME, unknown names and the low 16 bits.
    ApplyWorldItemLine("TYPE=12", item, context);
    EXPECT_EQ(item.type, 12);
    ApplyWorldItemLine("TYPE=010", item, context);
    EXPECT_EQ(item.type, 16);
    AddConstant(context, "t_gen_47 47");
    ApplyWorldItemLine("type=T_GEN_47", item, context);
    EXPECT_EQ(item.type, 47);
    ApplyWorldItemLine("TYPE=t_unknown", item, context);
    EXPECT_EQ(item.type, 0);
    ApplyWorldItemLine("TYPE=65537", item, context);
    EXPECT_EQ(item.type, 1);
    ApplyWorldItemLine("TYPE=-1", item, context);
    EXPECT_EQ(item.type, 0xFFFF);
    ApplyWorldItemLine("TYPE=", item, context);
    EXPECT_EQ(item.type, 0);
}

TEST(WorldItem, IdAndDispIdReplaceTheHeaderId) {
    CScriptContext context;
    CLineReader reader;
    reader.OpenMemory("[WORLDITEM 0eed]\nID=0f3f\n[WORLDITEM 0eed]\nID=0f3f\nDISPID=0ef3\n[WORLDITEM 0eed]\n"
                      "dispid=i_gen_0a10\n");
    EXPECT_EQ(ReadRecord(reader, context).GetId(), "0f3f");
    EXPECT_EQ(ReadRecord(reader, context).GetId(), "0ef3");
    AddConstant(context, "i_gen_0a10 0a10");
    const CWorldItem named = ReadRecord(reader, context);
    EXPECT_EQ(named.GetId(), "i_gen_0a10");
    EXPECT_EQ(ArtId(named, context), 0xA10u);
    // The value is taken as written, blanks included.
    CWorldItem item;
    ApplyWorldItemLine("ID= 0eed ", item, context);
    EXPECT_EQ(item.GetId(), " 0eed ");
}

TEST(WorldItem, ArtIdFollowsTheNumberRules) {
    CScriptContext context;
    CWorldItem item;
    item.SetId("0eed");
    EXPECT_EQ(ArtId(item, context), 0xEEDu);
    item.SetId("eed"); // a letter first: a constant name, unknown here
    EXPECT_EQ(ArtId(item, context), 0u);
    item.SetId("1234"); // no leading zero: decimal
    EXPECT_EQ(ArtId(item, context), 1234u);
    item.SetId("04001");
    EXPECT_EQ(ArtId(item, context), 0x4001u);
    item.SetId("-1");
    EXPECT_EQ(ArtId(item, context), 0xFFFFFFFFu);
    item.SetId("");
    EXPECT_EQ(ArtId(item, context), 0u);
}

TEST(WorldItem, PointRule) {
    CScriptContext context;
    struct Case {
        const char* line;
        int x, y, z;
    } cases[] = {
        {"P=1323,1624,0", 1323, 1624, 0},
        {"P=1323, 1624, 0", 1323, 1624, 0},
        {"P=1323,1624", 1323, 1624, 0},
        {"P=100", 100, 0, 0},
        {"P=100,200,-5", 100, 200, 251},
        {"p=7,8,9", 7, 8, 9},
        {"P=", 0, 0, 0},
        {"P=,,", 0, 0, 0},
        {"P=1,", 1, 0, 0},
        {"P=1,2,", 1, 2, 0},
        {"P=70000,65537,256", 70000 & 0xFFFF, 1, 0},
        {"P=1,2,3,4", 1, 2, 3},
        {"P=-1,-2,-128", 0xFFFF, 0xFFFE, 128},
        {"P=x,y,z", 0, 0, 0},
    };
    for (const Case& c : cases) {
        CWorldItem item;
        item.z = 77;
        ApplyWorldItemLine(c.line, item, context);
        EXPECT_EQ(item.x, c.x) << c.line;
        EXPECT_EQ(item.y, c.y) << c.line;
        EXPECT_EQ(item.z, c.z) << c.line;
    }
    CWorldItem item;
    ApplyWorldItemLine("P=100,200,-5", item, context);
    EXPECT_EQ(GetPointText(item), "100, 200, 251");
    ApplyWorldItemLine("P=65535,65535,255", item, context);
    EXPECT_EQ(GetPointText(item), "65535, 65535, 255");
}

TEST(WorldItem, NumberReadersAgreeWithTheScriptRules) {
    // The record reader parses hexadecimal and decimal values itself, eight bytes at a time where it
    // can; on any text it must give what ParseHex and ParseDecimal give, applied as the point rule says.
    std::mt19937 random(99);
    const std::string alphabet =
        std::string("0123456789abcdefABCDEFgxG ,\t+-=\r") + "\x80\xB0\xC1\xE6\xFF" + std::string(1, '\0');
    CScriptContext context;
    for (int round = 0; round < 20000; ++round) {
        std::string value;
        const std::size_t length = random() % 22;
        for (std::size_t i = 0; i < length; ++i)
            value += alphabet[random() % alphabet.size()];
        if (round % 3 == 0) // mostly digits, so that long runs of valid digits occur too
            for (char& c : value)
                if (random() % 5 != 0)
                    c = "0123456789abcdefABCDEF"[random() % 22];
        if (round % 3 == 1) // decimal digits and commas, as points are written
            for (char& c : value)
                if (random() % 9 != 0)
                    c = "0123456789,"[random() % 11];
        CWorldItem item;
        item.SetId(value);
        ASSERT_EQ(ArtId(item, context), static_cast<std::uint32_t>(GetNumber(value, context)))
            << "[" << value << "]";
        item.SetId("0" + value);
        ASSERT_EQ(ArtId(item, context), static_cast<std::uint32_t>(GetNumber("0" + value, context)))
            << "[" << value << "]";
        ApplyWorldItemLine("SERIAL=" + value, item, context);
        ASSERT_EQ(item.serial, ParseHex(value)) << "[" << value << "]";
        ApplyWorldItemLine("ATTR=" + value, item, context);
        ASSERT_EQ(item.attr, static_cast<std::uint16_t>(ParseHex(value))) << "[" << value << "]";

        ApplyWorldItemLine("P=" + value, item, context);
        const std::string_view x = std::string_view(value).substr(0, value.find(','));
        const std::string_view rest =
            x.size() + 1 <= value.size() ? std::string_view(value).substr(x.size() + 1) : std::string_view();
        const std::string_view y = rest.substr(0, rest.find(','));
        const std::uint8_t z =
            y.size() < rest.size() ? static_cast<std::uint8_t>(ParseDecimal(rest.substr(y.size() + 1))) : 0;
        ASSERT_EQ(item.x, static_cast<std::uint16_t>(ParseDecimal(x))) << "[" << value << "]";
        ASSERT_EQ(item.y, static_cast<std::uint16_t>(ParseDecimal(y))) << "[" << value << "]";
        ASSERT_EQ(item.z, z) << "[" << value << "]";
    }
}

TEST(WorldItem, LastOccurrenceWinsAndUnknownLinesAreIgnored) {
    CScriptContext context;
    CLineReader reader;
    reader.OpenMemory("SERIAL=1\nNAME=a = b\nno equals here\n\nSERIAL=2\nMORE1=5\nP=1,2,3\nP=4,5\n");
    CWorldItem item;
    ReadWorldItemBody(reader, item, context);
    EXPECT_EQ(item.serial, 2u);
    EXPECT_EQ(item.x, 4);
    EXPECT_EQ(item.y, 5);
    EXPECT_EQ(item.z, 0);
}

TEST(WorldItem, BlockAndCell) {
    CWorldItem item;
    item.x = 1000;
    item.y = 2000;
    EXPECT_EQ(BlockIndex(item), 125u * 512u + 250u);
    EXPECT_EQ(CellIndex(item), 0u);
    item.x = 1007;
    item.y = 2007;
    EXPECT_EQ(BlockIndex(item), 64250u);
    EXPECT_EQ(CellIndex(item), 63u);
    item.x = 5;
    item.y = 3;
    EXPECT_EQ(CellIndex(item), 29u);
    item.x = 3;
    item.y = 5;
    EXPECT_EQ(CellIndex(item), 43u);
    item.x = 65535;
    item.y = 65535;
    EXPECT_EQ(BlockIndex(item), 8191u * 512u + 8191u);
}

TEST(WorldItem, CrlfAndTruncatedRecords) {
    CScriptContext context;
    CLineReader reader;
    // CR LF endings, a record cut off after its header, and a last line with no line feed at all.
    reader.OpenMemory("[WORLDITEM 0eed]\r\nSERIAL=1a2\r\nP=10,20,-1\r\nID=0abc\r\n[WORLDITEM 0eee]\r\n"
                      "[WORLDITEM 0eef]\r\nSERIAL=3\r\nCOLOR=0481");
    const CWorldItem first = ReadRecord(reader, context);
    EXPECT_EQ(first.serial, 0x1A2u);
    EXPECT_EQ(first.z, 255);
    EXPECT_EQ(first.GetId(), "0abc"); // no carriage return left on the value
    const CWorldItem empty = ReadRecord(reader, context);
    EXPECT_EQ(empty.serial, 0u);
    EXPECT_EQ(empty.GetId(), "0eee");
    const CWorldItem last = ReadRecord(reader, context);
    EXPECT_EQ(last.serial, 3u);
    EXPECT_EQ(last.color, 0x481);
    std::string_view line;
    EXPECT_FALSE(reader.ReadLine(line));

    // A lone carriage return inside a line is not a terminator: it stays part of the value.
    CWorldItem item;
    CLineReader crReader;
    crReader.OpenMemory("ID=0eed\rX\n");
    ReadWorldItemBody(crReader, item, context);
    EXPECT_EQ(item.GetId(), "0eed\rX");
}

std::string RecordWithLongName(std::size_t nameSize) {
    std::string text = "[WORLDITEM 0eed]\nSERIAL=7\nNAME=";
    text.append(nameSize, 'x');
    text += "\nCOLOR=0481\nID=";
    text.append(1000, '1');
    text += "\n[EOF]\n";
    return text;
}

void ExpectLongNameRecord(CLineReader& reader) {
    CScriptContext context;
    const CWorldItem item = ReadRecord(reader, context);
    EXPECT_EQ(item.serial, 7u);
    EXPECT_EQ(item.color, 0x481);
    EXPECT_EQ(item.GetId().size(), 1000u);
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "[EOF]");
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST(WorldItem, HugeLineInABodyIsReadWhole) {
    // A 100 MB value in the middle of a body: the lines before and after it still count.
    CLineReader reader;
    reader.OpenMemory(RecordWithLongName(100u << 20));
    ExpectLongNameRecord(reader);
}

TEST(WorldItem, LinesLongerThanTheReadBufferFromAFile) {
    // From a real file a line longer than the reader's buffer makes it grow and refill; the step back
    // to the "[" line after it must still land on that line.
    const std::string path = ::testing::TempDir() + "frostmark_long_line.world";
    const std::string text = RecordWithLongName(3 * CLineReader::kInitialBuffer + 17);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    CLineReader reader;
    ASSERT_TRUE(reader.Open(path));
    ExpectLongNameRecord(reader);
    reader.Close();
    std::remove(path.c_str());
}

} // namespace
} // namespace frostmark

namespace frostmark {
namespace {

// Short IDs live inside the record, long ones on the heap; every way of copying, moving and replacing
// one must keep the text and never share or leak the heap copy (the sanitizer build checks the latter).
TEST(IdText, ShortAndLongTextsThroughCopyMoveAndAssignment) {
    std::vector<std::string> texts = {"",
                                      "0",
                                      "0eed",
                                      "i_gen_0eed",
                                      std::string(14, 'a'),
                                      std::string(15, 'b'),
                                      std::string(16, 'c'),
                                      std::string(300, 'd'),
                                      std::string(1, '\0') + "x"};
    for (const std::string& first : texts) {
        for (const std::string& second : texts) {
            CIdText a(first);
            EXPECT_EQ(a.size(), first.size());
            EXPECT_EQ(std::string_view(a), first);
            CIdText b(a); // copy
            EXPECT_EQ(b, first);
            b = CIdText(second); // move assignment over a copy
            EXPECT_EQ(b, second);
            EXPECT_EQ(a, first);
            a = b; // copy assignment
            EXPECT_EQ(a, second);
            CIdText c(std::move(b)); // move construction leaves the source empty
            EXPECT_EQ(c, second);
            EXPECT_TRUE(b.empty());
            CIdText& same = c;
            c = same; // self-assignment
            EXPECT_EQ(c, second);
            c.assign(first.data(), first.size());
            EXPECT_EQ(c.str(), first);
            if (!first.empty()) {
                EXPECT_EQ(c[first.size() - 1], first.back());
            }
            c.clear();
            EXPECT_TRUE(c.empty());
        }
    }
    CWorldItem item;
    item.SetId(std::string(40, 'z'));
    CWorldItem copy = item;
    item.Reset();
    EXPECT_EQ(copy.GetId(), std::string(40, 'z'));
    EXPECT_TRUE(item.id.empty());
}

} // namespace
} // namespace frostmark
