#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "script/Numbers.h"
#include "script/ScriptContext.h"

namespace frostmark {
namespace {

// A context whose clock stands still at a chosen second.
struct FixedClockContext : CScriptContext {
    explicit FixedClockContext(int64_t now) {
        seconds = now;
        clock = [this] { return seconds; };
    }
    void Define(const std::string& line) {
        auto* def = new CDef;
        def->Set(line);
        AddDef(def);
    }
    int64_t seconds;
};

int32_t Evaluate(const std::string& text, CScriptContext& context) {
    CExpression expression;
    expression.Set(text);
    return expression.GetValue(context);
}

TEST(Random, LinearCongruentialSequence) {
    // The well-known sequence of this generator for seed 1.
    CRandom random;
    random.Seed(1);
    EXPECT_EQ(random.Draw(), 41u);
    EXPECT_EQ(random.Draw(), 18467u);
    EXPECT_EQ(random.Draw(), 6334u);
    EXPECT_EQ(random.Draw(), 26500u);
    random.Seed(0);
    // 2531011 >> 16 = 38.
    EXPECT_EQ(random.Draw(), 38u);
}

TEST(ParseHex, BlanksDigitsAndWrap) {
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("zz"), 0u);
    EXPECT_EQ(ParseHex(" \t1f"), 0x1Fu);
    EXPECT_EQ(ParseHex("0eEd"), 0xEEDu);
    EXPECT_EQ(ParseHex("12g4"), 0x12u);
    // No prefix: "0x" is the digit 0 and a stop.
    EXPECT_EQ(ParseHex("0x1F"), 0u);
    // Only spaces and tabs are skipped.
    EXPECT_EQ(ParseHex("\n5"), 0u);
    // Nine significant digits keep the low 32 bits.
    EXPECT_EQ(ParseHex("123456789"), 0x23456789u);
    EXPECT_EQ(ParseHex("ffffffff"), 0xFFFFFFFFu);
}

TEST(GetNumber, DecimalHexAndConstants) {
    FixedClockContext context(1);
    context.Define("i_gold 0eed");
    EXPECT_EQ(GetNumber("", context), 0);
    EXPECT_EQ(GetNumber("-12", context), -12);
    EXPECT_EQ(GetNumber("+7", context), 7);
    EXPECT_EQ(GetNumber("42abc", context), 42);
    EXPECT_EQ(GetNumber("0a", context), 10);
    // A leading zero makes hex: zero-one-zero is sixteen.
    EXPECT_EQ(GetNumber("010", context), 16);
    EXPECT_EQ(GetNumber("0ffffffff", context), -1);
    // Hex without the leading zero: its leading decimal digits only.
    EXPECT_EQ(GetNumber("1bf2", context), 1);
    // Letters first: a constant name, in any case; unknown names give 0.
    EXPECT_EQ(GetNumber("i_gold", context), 0xEED);
    EXPECT_EQ(GetNumber("I_GOLD", context), 0xEED);
    EXPECT_EQ(GetNumber("eed", context), 0);
    // Not trimmed: a blank in front of a hex number leaves only its leading decimal digits.
    EXPECT_EQ(GetNumber(" 0a", context), 0);
    EXPECT_EQ(GetNumber(" 12", context), 12);
    EXPECT_EQ(GetNumber("-", context), 0);
    // Wraps to 32 bits.
    EXPECT_EQ(GetNumber("4294967297", context), 1);
    EXPECT_EQ(GetNumber("-2147483648", context), INT32_MIN);
}

TEST(IsNotHex, AnyCharacterOutsideTheHexDigits) {
    EXPECT_FALSE(IsNotHex(""));
    EXPECT_FALSE(IsNotHex("0123456789abcdefABCDEF"));
    EXPECT_TRUE(IsNotHex("0eeg"));
    EXPECT_TRUE(IsNotHex("0e ed"));
    EXPECT_TRUE(IsNotHex("-1"));
}

TEST(RangeBound, SeparatorsBracesDotsAndSigns) {
    for (const char* text : {"10 20", "10-20", "10 - 20", "{10 20}", "{10-20}", "{ 10 - 20 }", "10\t20"}) {
        EXPECT_EQ(ParseRangeBound(text, false), 10) << text;
        EXPECT_EQ(ParseRangeBound(text, true), 20) << text;
    }
    EXPECT_EQ(ParseRangeBound("5", false), 5);
    EXPECT_EQ(ParseRangeBound("5", true), 5);
    // Dots are dropped before reading.
    EXPECT_EQ(ParseRangeBound("1.5", true), 15);
    EXPECT_EQ(ParseRangeBound("-5 3", false), -5);
    EXPECT_EQ(ParseRangeBound("-5 3", true), 3);
    // A high bound with "-" right before its digits is negative.
    EXPECT_EQ(ParseRangeBound("10 -20", true), -20);
    EXPECT_EQ(ParseRangeBound("", false), 0);
    EXPECT_EQ(ParseRangeBound("", true), 0);
    // Only decimal: no hex, no constants.
    EXPECT_EQ(ParseRangeBound("0a 0b", true), 0);
}

TEST(IntRange, SetSwapsAndWrites) {
    CIntRange range;
    range.Set("7");
    EXPECT_EQ(range.Low(), 7);
    EXPECT_EQ(range.High(), 7);
    EXPECT_EQ(range.ToString(), "7");
    range.Set("{30 -4}");
    EXPECT_EQ(range.Low(), -4);
    EXPECT_EQ(range.High(), 30);
    EXPECT_EQ(range.ToString(), "{-4 30}");
    range.Set("10 -20");
    EXPECT_EQ(range.ToString(), "{-20 10}");
}

TEST(Expression, SetTokens) {
    CExpression expression;
    expression.Set("{ 1  2\t3 } 4");
    EXPECT_EQ(expression.m_tokens, (std::vector<std::string>{"1", "2", "3"}));
    // Set appends; no braces means the whole text.
    expression.Set("a_b 0c");
    EXPECT_EQ(expression.m_tokens, (std::vector<std::string>{"1", "2", "3", "a_b", "0c"}));
    CExpression empty;
    empty.Set("{ }");
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(Expression, SingleValueAndRange) {
    FixedClockContext context(1);
    EXPECT_EQ(Evaluate("{}", context), 0);
    EXPECT_EQ(Evaluate("{0a}", context), 10);
    // Seed 1 draws 41 first: 10 + 41 mod 10.
    EXPECT_EQ(Evaluate("{10 20}", context), 11);
    // The same second gives the same value again.
    EXPECT_EQ(Evaluate("{10 20}", context), 11);
    std::set<int32_t> seen;
    for (int64_t second = 0; second < 2000; ++second) {
        context.seconds = second;
        EXPECT_EQ(Evaluate("{7 7}", context), 7);
        const int32_t value = Evaluate("{10 20}", context);
        ASSERT_GE(value, 10);
        ASSERT_LT(value, 20);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 10u);
}

TEST(Expression, WeightedChoice) {
    FixedClockContext context(1);
    // "5 3" and "7 1": weights 3 and 1, total 4; r = 41 mod 4 + 1 = 2, within the first weight.
    EXPECT_EQ(Evaluate("{5 3 7 1}", context), 5);
    // "10 20 5" is a range of weight 5, "7 3" a value of weight 3; total 8, r = 41 mod 8 + 1 = 2 picks the
    // range, and the second draw 18467 gives 10 + 18467 mod 10.
    EXPECT_EQ(Evaluate("{10 20 5 7 3}", context), 17);
    // The second token is not smaller than the first: a range 5..9 of weight 2; r = 2; 5 + 18467 mod 4.
    EXPECT_EQ(Evaluate("{5 9 2}", context), 8);
    // Weights adding up to 0.
    EXPECT_EQ(Evaluate("{3 4 0}", context), 0);

    int sevens = 0;
    const int rounds = 4000;
    for (int64_t second = 0; second < rounds; ++second) {
        context.seconds = second;
        const int32_t value = Evaluate("{10 20 5 7 3}", context);
        if (value == 7) {
            ++sevens;
        } else {
            ASSERT_GE(value, 10);
            ASSERT_LT(value, 20);
        }
        // The last entry is reachable: "1 1" never comes first in a weight walk.
        const int32_t pick = Evaluate("{9 1 8 1 6 2}", context);
        ASSERT_TRUE(pick == 9 || pick == 8 || pick == 6) << pick;
    }
    // Weight 3 of 8.
    EXPECT_NEAR(double(sevens) / rounds, 3.0 / 8.0, 0.05);
}

TEST(Expression, ConstantsDefinedByEachOtherStopAtZero) {
    FixedClockContext context(1);
    context.Define("A {B}");
    context.Define("B {A}");
    EXPECT_EQ(GetNumber("A", context), 0);
    EXPECT_EQ(context.nesting, 0);
    // Each constant names the other twice (and three times): without a cut this branches into 2^100 calls.
    context.Define("C {D D}");
    context.Define("D {C C}");
    context.Define("E {F F F}");
    context.Define("F {E 1 E 1}");
    EXPECT_EQ(GetNumber("C", context), 0);
    EXPECT_EQ(GetNumber("E", context), 0);
    EXPECT_EQ(context.nesting, 0);
    // A chain of 60 constants is not too deep.
    for (int i = 0; i < 60; ++i) {
        const std::string name = std::to_string(i), next = std::to_string(i + 1);
        context.Define("L" + name + " {L" + next + "}");
    }
    context.Define("L60 {0ff}");
    EXPECT_EQ(GetNumber("L0", context), 255);
    // After a cut, the next evaluation starts fresh.
    EXPECT_EQ(GetNumber("C", context), 0);
    EXPECT_EQ(GetNumber("L0", context), 255);
}

// D0 .. D{levels-1}: line `format` filled with the level and the next level (the next given three times),
// then D{levels} with `last`.
void DefineLadder(FixedClockContext& context, int levels, const char* format, const char* last) {
    char line[128];
    for (int i = 0; i < levels; ++i) {
        std::snprintf(line, sizeof line, format, i, i + 1, i + 1, i + 1);
        context.Define(line);
    }
    std::snprintf(line, sizeof line, "D%d %s", levels, last);
    context.Define(line);
}

TEST(Expression, ConstantsNamingTheNextTwiceCostLinearTimeWhenFixed) {
    // Forty levels of "D0 {D1 D1}": 2^40 evaluations if every naming were evaluated afresh. A value that
    // drew no random number depends on the constants alone, so each level is evaluated once.
    FixedClockContext context(1);
    DefineLadder(context, 40, "D%d {D%d D%d}", "0eed");
    EXPECT_EQ(GetNumber("D0", context), 0xeed);
    EXPECT_LE(context.MostEvaluationsPerValue(), 2u * 41);
    EXPECT_FALSE(context.EvaluationFault());
    // A new constant changes what was remembered; a weighted choice on the way draws, so the values above
    // it are evaluated every time (the choice of one entry always gives 7).
    context.Define("D3 {7 7 1}");
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(GetNumber("D0", context), 7);
        EXPECT_EQ(GetNumber("D2", context), 7);
    }
    EXPECT_EQ(GetNumber("D4", context), 0xeed);
    EXPECT_FALSE(context.EvaluationFault());
}

TEST(Expression, RememberedValuesNeverChangeWhatTheDepthLimitGives) {
    // A chain of 150: from its top the limit of 100 nested evaluations cuts it, so L0 is 0, while L60
    // and below are in reach. Whatever was evaluated (and remembered) before, each value must be the one
    // a fresh context gives.
    auto define = [](FixedClockContext& context) {
        char line[64];
        for (int i = 0; i < 150; ++i) {
            std::snprintf(line, sizeof line, "L%d {L%d}", i, i + 1);
            context.Define(line);
        }
        context.Define("L150 7");
    };
    const int orders[][4] = {{60, 0, 55, 49}, {149, 100, 49, 0}, {0, 60, 49, 51}};
    for (const auto& order : orders) {
        FixedClockContext context(1);
        define(context);
        for (int start : order) {
            FixedClockContext fresh(1);
            define(fresh);
            char name[16];
            std::snprintf(name, sizeof name, "L%d", start);
            EXPECT_EQ(GetNumber(name, context), GetNumber(name, fresh)) << name;
        }
    }
    FixedClockContext context(1);
    define(context);
    EXPECT_EQ(GetNumber("L0", context), 0);
    EXPECT_EQ(GetNumber("L60", context), 7);
}

TEST(Expression, RememberedValuesAreWhatEvaluatingAfreshGives) {
    auto define = [](FixedClockContext& context) {
        context.Define("R 10 20"); // draws
        context.Define("K {4}");   // remembered: it draws nothing
        context.Define("X {R K}"); // a range from R to K
        context.Define("A {C}");   // A and C name each other: a cut at the depth limit
        context.Define("C {A}");
        context.Define("B {5}");
        context.Define("Y {A B}"); // B is evaluated past the cut, where every expression gives 0
        context.Define("Z {B}");
    };
    FixedClockContext reference(7);
    define(reference);
    reference.rememberValues = false;
    // K seeds the generator as it is evaluated, so the range's draw repeats R's.
    CRandom random;
    random.Seed(7);
    const uint32_t draw = random.Draw();
    const int32_t r = int32_t(10 + draw % 10);
    EXPECT_EQ(GetNumber("X", reference), r + int32_t(draw));
    EXPECT_EQ(GetNumber("Y", reference), 0);
    EXPECT_EQ(GetNumber("Z", reference), 5);

    // Every order of reading, each value read twice: whatever is remembered by then, it must not matter.
    const char* const orders[][4] = {{"K", "X", "X", "K"}, {"B", "Y", "Z", "B"}, {"Y", "Z", "B", "Y"}};
    for (const auto& order : orders) {
        FixedClockContext context(7);
        define(context);
        for (int round = 0; round < 2; ++round) {
            for (const char* name : order) {
                EXPECT_EQ(GetNumber(name, context), GetNumber(name, reference))
                    << name << " in round " << round;
            }
        }
    }
}

TEST(Expression, AValueOverItsEvaluationBudgetIsAFaultNamingTheConstant) {
    // Each level names the next six times in a weighted choice, which draws: nothing can be remembered,
    // and 6^30 evaluations would take years.
    FixedClockContext context(1);
    DefineLadder(context, 30, "D%d {D%d D%d 1}", "3");
    CDef* top = context.FindDef("D0");
    ASSERT_NE(top, nullptr);
    top->m_sourcePath = "/shard/scripts/ladder.scp";
    EXPECT_EQ(GetNumber("D0", context), 0);
    ASSERT_TRUE(context.EvaluationFault());
    EXPECT_EQ(context.EvaluationFault()->constant, "D0");
    EXPECT_EQ(context.EvaluationFault()->file, "/shard/scripts/ladder.scp");
    EXPECT_EQ(context.MostEvaluationsPerValue(), CScriptContext::kMaxEvaluationsPerValue + 1);
    // The next value is evaluated afresh; the first fault is kept until the constants go.
    EXPECT_EQ(GetNumber("D29", context), 3);
    EXPECT_EQ(GetNumber("D28", context), 3);
    EXPECT_EQ(context.EvaluationFault()->constant, "D0");
    EXPECT_EQ(context.nesting, 0);
    context.DeleteDefNames();
    EXPECT_FALSE(context.EvaluationFault());
}

TEST(Def, SetForms) {
    FixedClockContext context(1);
    CDef bare;
    bare.Set("t_normal");
    EXPECT_EQ(bare.m_name, "T_NORMAL");
    EXPECT_EQ(bare.GetValue(context), 0);

    CDef hex;
    hex.Set("i_gold\t0eed");
    EXPECT_EQ(hex.m_name, "I_GOLD");
    EXPECT_EQ(hex.GetValue(context), 0xEED);

    CDef spaced;
    spaced.Set("x   12  ");
    EXPECT_EQ(spaced.GetValue(context), 12);

    // Names inside a plain value read as 0; only expressions resolve names.
    context.Define("known 5");
    CDef named;
    named.Set("y known");
    EXPECT_EQ(named.GetValue(context), 0);
    CDef braced;
    braced.Set("z {known}");
    EXPECT_EQ(braced.GetValue(context), 5);
}

TEST(Def, RandomRangeDrawsLowToHighMinusOne) {
    FixedClockContext context(1);
    CDef random;
    random.Set("r_amount 10 0f");
    EXPECT_EQ(random.m_low, 10);
    EXPECT_EQ(random.m_high, 15);
    // 10 + 41 mod 5, twice in the same second.
    EXPECT_EQ(random.GetValue(context), 11);
    EXPECT_EQ(random.GetValue(context), 11);
    std::set<int32_t> seen;
    for (int64_t second = 0; second < 500; ++second) {
        context.seconds = second;
        seen.insert(random.GetValue(context));
    }
    EXPECT_EQ(seen, (std::set<int32_t>{10, 11, 12, 13, 14}));
}

TEST(DefNames, TableReplacesByNameAndOwnsItsConstants) {
    CScriptContext context;
    auto* first = new CDef;
    first->Set("gold 1");
    context.AddDef(first);
    auto* second = new CDef;
    second->Set("GOLD 2");
    context.AddDef(second);
    EXPECT_EQ(context.defnames.GetSize(), 1);
    EXPECT_EQ(context.FindDef("Gold"), second);
    EXPECT_EQ(GetNumber("gold", context), 2);
    auto* nameless = new CDef;
    EXPECT_EQ(context.AddDef(nameless), -1);
    context.DeleteDefNames();
    EXPECT_EQ(context.defnames.GetSize(), 0);
    EXPECT_EQ(GetNumber("gold", context), 0);
}

} // namespace
} // namespace frostmark
