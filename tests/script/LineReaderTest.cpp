#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ScriptTestFiles.h"
#include "script/LineReader.h"
#include "script/ScriptFile.h"

namespace frostmark {
namespace {

struct Line {
    std::string text;
    uint64_t start;
};

// Splits bytes by the reader's rules, written the plain way: the reference the fast reader must match.
std::vector<Line> ReferenceLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back({bytes.substr(start), start});
            break;
        }
        std::string text = bytes.substr(start, nl - start);
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        lines.push_back({text, start});
        start = nl + 1;
    }
    return lines;
}

std::vector<Line> ReadAll(CLineReader& reader) {
    std::vector<Line> lines;
    std::string_view line;
    while (reader.ReadLine(line)) {
        lines.push_back({std::string(line), reader.LineStart()});
    }
    return lines;
}

void ExpectSameLines(const std::vector<Line>& expected, const std::vector<Line>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(expected[i].text, actual[i].text) << "line " << i;
        ASSERT_EQ(expected[i].start, actual[i].start) << "line " << i;
    }
}

TEST(LineReader, TerminatorsAndOrdinaryBytes) {
    // LF and CRLF end lines; a CR elsewhere, a CR before CR LF, and NUL bytes are ordinary bytes.
    const std::string bytes = std::string("a\r\nb\n\nc\rd\r\r\ne\0f\n\r\n", 18) + "last\r";
    CLineReader reader;
    ASSERT_TRUE(reader.OpenMemory(bytes));
    const auto lines = ReadAll(reader);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].text, "a");
    EXPECT_EQ(lines[1].text, "b");
    EXPECT_EQ(lines[2].text, "");
    EXPECT_EQ(lines[3].text, "c\rd\r");
    EXPECT_EQ(lines[4].text, std::string("e\0f", 3));
    EXPECT_EQ(lines[5].text, "");
    // The last line has no line feed, so its carriage return ends no line and stays.
    EXPECT_EQ(lines[6].text, "last\r");
    EXPECT_EQ(lines[0].start, 0u);
    EXPECT_EQ(lines[1].start, 3u);
    EXPECT_EQ(lines[2].start, 5u);
    EXPECT_EQ(lines[3].start, 6u);
    EXPECT_EQ(lines[6].start, 18u);
    EXPECT_EQ(reader.Position(), bytes.size());
}

TEST(LineReader, EmptyAndTinyInputs) {
    CLineReader reader;
    std::string_view line;
    ASSERT_TRUE(reader.OpenMemory(""));
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_EQ(reader.LineStart(), 0u);

    ASSERT_TRUE(reader.OpenMemory("\n"));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_EQ(reader.LineStart(), 1u);

    ASSERT_TRUE(reader.OpenMemory("x"));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "x");
    EXPECT_FALSE(reader.ReadLine(line));
    // After the end, nothing is stepped back to: the end stays the end.
    reader.StepBack();
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST(LineReader, StepBackReturnsTheSameLineAndOffset) {
    CLineReader reader;
    ASSERT_TRUE(reader.OpenMemory("[ITEMDEF 1]\nTYPE=5\n[ITEMDEF 2]\nlast"));
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "[ITEMDEF 2]");
    EXPECT_EQ(reader.LineStart(), 19u);
    reader.StepBack();
    EXPECT_EQ(reader.Position(), 19u);
    // Stepping back twice does not go further back than the one line.
    reader.StepBack();
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "[ITEMDEF 2]");
    EXPECT_EQ(reader.LineStart(), 19u);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "last");
    reader.StepBack();
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST(LineReader, SeekGoesToAbsoluteOffsets) {
    test::CScriptTempDir dir;
    const std::string path = dir.Write("s.scp", "one\r\ntwo\nthree\n");
    CLineReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.Size(), 15u);
    EXPECT_EQ(reader.Path(), path);
    std::string_view line;
    ASSERT_TRUE(reader.Seek(9));
    EXPECT_EQ(reader.Position(), 9u);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "three");
    ASSERT_TRUE(reader.Seek(5));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "two");
    // Into the middle of a line: the rest of that line.
    ASSERT_TRUE(reader.Seek(1));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "ne");
    ASSERT_TRUE(reader.Seek(15));
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_FALSE(reader.Seek(16));
}

TEST(LineReader, OpenFailsCleanly) {
    test::CScriptTempDir dir;
    CLineReader reader;
    EXPECT_FALSE(reader.Open((dir.Path() / "missing.scp").string()));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(reader.Open(dir.Path().string()));
    std::string_view line;
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_FALSE(reader.Seek(0));
}

// Random text of several buffers with every kind of terminator; read with random step-backs and seeks,
// compared with the plain splitter. Buffer refills land in every position of lines and terminators.
TEST(LineReader, MatchesReferenceAcrossBufferRefills) {
    std::mt19937 random(12345);
    std::string bytes;
    const size_t target = 3 * CLineReader::kInitialBuffer + 777;
    while (bytes.size() < target) {
        const int kind = int(random() % 10);
        size_t length = random() % 200;
        if (kind == 0) {
            length = random() % 300000; // some lines longer than a quarter buffer
        }
        for (size_t i = 0; i < length; ++i) {
            const unsigned r = random() % 64;
            bytes.push_back(r == 0 ? '\r' : r == 1 ? '\0' : char('a' + r % 26));
        }
        bytes += (kind % 3 == 0) ? "\r\n" : "\n";
    }
    bytes += "no final line feed\r";
    const auto expected = ReferenceLines(bytes);

    test::CScriptTempDir dir;
    const std::string path = dir.Write("big.txt", bytes);
    CLineReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.Size(), bytes.size());
    ExpectSameLines(expected, ReadAll(reader));

    // Step back after every line: each line comes twice with the same offset.
    ASSERT_TRUE(reader.Open(path));
    std::string_view line;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(reader.ReadLine(line));
        reader.StepBack();
        ASSERT_TRUE(reader.ReadLine(line));
        ASSERT_EQ(line, expected[i].text) << i;
        ASSERT_EQ(reader.LineStart(), expected[i].start) << i;
    }
    EXPECT_FALSE(reader.ReadLine(line));

    // Seeks to random line starts, backwards and forwards, far and near.
    for (int round = 0; round < 300; ++round) {
        const size_t i = random() % expected.size();
        ASSERT_TRUE(reader.Seek(expected[i].start));
        for (size_t k = i; k < std::min(expected.size(), i + 3); ++k) {
            ASSERT_TRUE(reader.ReadLine(line));
            ASSERT_EQ(line, expected[k].text);
            ASSERT_EQ(reader.LineStart(), expected[k].start);
        }
    }
}

// Many short texts with lines of every length around the 64-byte blocks the reader scans in, and random
// step-backs and seeks between reads, against a model that keeps only a line index.
TEST(LineReader, RandomOperationsOnShortTexts) {
    std::mt19937 random(777);
    for (int round = 0; round < 400; ++round) {
        std::string bytes;
        const size_t target = random() % 2000;
        while (bytes.size() < target) {
            const size_t length = random() % 3 == 0 ? random() % 150 : random() % 8;
            for (size_t i = 0; i < length; ++i) {
                bytes.push_back(random() % 16 == 0 ? '\r' : 'k');
            }
            bytes += random() % 2 ? "\n" : "\r\n";
        }
        if (random() % 2) {
            bytes += "tail";
        }
        const auto expected = ReferenceLines(bytes);
        CLineReader reader;
        ASSERT_TRUE(reader.OpenMemory(bytes));
        size_t next = 0; // index of the line the next read must return
        bool canStepBack = false;
        std::string_view line;
        for (int op = 0; op < 200; ++op) {
            const unsigned choice = random() % 10;
            if (choice == 0 && canStepBack) {
                reader.StepBack();
                --next;
                canStepBack = false;
            } else if (choice == 1 && !expected.empty()) {
                next = random() % expected.size();
                ASSERT_TRUE(reader.Seek(expected[next].start));
                canStepBack = false;
            } else if (next < expected.size()) {
                ASSERT_TRUE(reader.ReadLine(line)) << round << " " << op;
                ASSERT_EQ(line, expected[next].text) << round << " " << op;
                ASSERT_EQ(reader.LineStart(), expected[next].start);
                ++next;
                canStepBack = true;
            } else {
                ASSERT_FALSE(reader.ReadLine(line));
                ASSERT_EQ(reader.Position(), bytes.size());
                canStepBack = false;
            }
        }
    }
}

TEST(LineReader, HundredMegabyteLine) {
    const size_t length = size_t(100) << 20;
    std::string bytes = "first\n";
    bytes.append(length, 'x');
    bytes[6 + length / 2] = '\r';
    bytes += "\r\nafter";
    test::CScriptTempDir dir;
    const std::string path = dir.Write("long.txt", bytes);
    bytes.clear();
    bytes.shrink_to_fit();

    CLineReader reader;
    ASSERT_TRUE(reader.Open(path));
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_EQ(line.size(), length);
    EXPECT_EQ(line[length / 2], '\r');
    EXPECT_EQ(line.find_first_not_of('x'), length / 2);
    EXPECT_EQ(reader.LineStart(), 6u);
    reader.StepBack();
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line.size(), length);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "after");
    EXPECT_EQ(reader.LineStart(), 6u + length + 2);
}

TEST(ScriptFile, FindNextHeaderSkipsBodiesAndIndentedBrackets) {
    CLineReader reader;
    ASSERT_TRUE(reader.OpenMemory("stray=1\n[AREA Town]\n [not a header]\nP=1\n[DEFNAME\n[]x]\n"));
    std::string_view header;
    uint64_t offset = 0;
    ASSERT_TRUE(FindNextHeader(reader, header, offset));
    EXPECT_EQ(header, "AREA Town");
    EXPECT_EQ(offset, 8u);
    ASSERT_TRUE(FindNextHeader(reader, header, offset));
    // Without "]" the header text is the rest of the line.
    EXPECT_EQ(header, "DEFNAME");
    EXPECT_EQ(offset, 40u);
    ASSERT_TRUE(FindNextHeader(reader, header, offset));
    EXPECT_EQ(header, "");
    EXPECT_FALSE(FindNextHeader(reader, header, offset));
}

} // namespace
} // namespace frostmark
