#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "script/Numbers.h"
#include "script/ScriptContext.h"

namespace frostmark {
namespace {

// The name with A to Z lowered and every other byte kept: the one identity constants have.
std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return folded;
}

CDef* MakeDef(const std::string& name, int32_t value) {
    auto* def = new CDef;
    def->Set(name + " " + std::to_string(value));
    return def;
}

// A name from a small stem pool, letters cased at random, so that replaces and case variants are frequent;
// some stems differ only in bytes that must not be folded (non-letters, bytes above 127).
std::string RandomName(std::mt19937& rng) {
    static const std::vector<std::string> stems = {
        "i_gen_0123", "i_gen_0124", "i_gen_01230", "gold", "gold_",  "gold[",   "gold{",
        "a",          "b",          "ab",          "ba",   "t_tree", "t_tree1", "c_man",
        "\xc4rger",   "\xe4rger",   "z@",          "z`",   "x_1",    "x-1",     "long_name_of_a_constant",
    };
    std::string name = stems[rng() % stems.size()];
    if (rng() % 2 == 0) {
        name += std::to_string(rng() % 40);
    }
    for (char& c : name) {
        if (c >= 'a' && c <= 'z' && rng() % 2 == 0) {
            c = char(c - 'a' + 'A');
        }
    }
    return name;
}

// Whatever happened to the table, every name (added or not, in any case) finds through FindDef exactly
// the element the table's own binary search finds, and that is the constant last stored under the name.
void ExpectIndexMatchesTable(const CScriptContext& context, const std::vector<std::string>& probes,
                             const std::map<std::string, int32_t>& latest, CScriptContext& evaluation) {
    ASSERT_EQ(context.defnames.GetSize(), int(latest.size()));
    for (const std::string& probe : probes) {
        const int index = context.defnames.FindIndex(probe);
        CDef* const expected = index < 0 ? nullptr : static_cast<CDef*>(context.defnames.At(index));
        ASSERT_EQ(context.FindDef(probe), expected) << probe;
        const auto model = latest.find(Folded(probe));
        if (model == latest.end()) {
            ASSERT_EQ(expected, nullptr) << probe;
        } else {
            ASSERT_NE(expected, nullptr) << probe;
            ASSERT_EQ(expected->GetValue(evaluation), model->second) << probe;
        }
    }
}

TEST(DefNameIndex, FollowsRandomAddsReplacesAndDeletesExactly) {
    std::mt19937 rng(20261207);
    CScriptContext context;
    CScriptContext evaluation;             // the constants are plain numbers; no lookups through it
    std::map<std::string, int32_t> latest; // folded name -> value last stored under it
    std::vector<std::string> probes;
    for (int i = 0; i < 400; ++i) {
        probes.push_back(RandomName(rng));
    }
    probes.push_back("");
    probes.push_back("nothing_like_it");
    int32_t value = 1;
    for (int step = 0; step < 6000; ++step) {
        const unsigned roll = rng() % 100;
        if (roll == 0) {
            context.DeleteDefNames();
            latest.clear();
        } else if (roll == 1) {
            // A nameless constant is dropped and changes nothing.
            EXPECT_EQ(context.AddDef(new CDef), -1);
        } else {
            const std::string name = RandomName(rng);
            ++value;
            ASSERT_GE(context.AddDef(MakeDef(name, value)), 0);
            latest[Folded(name)] = value;
        }
        if (step % 97 == 0) {
            ExpectIndexMatchesTable(context, probes, latest, evaluation);
        }
    }
    ExpectIndexMatchesTable(context, probes, latest, evaluation);
}

// A large table goes through the array's side list and merges; the index must not care.
TEST(DefNameIndex, AgreesWithTheTableAcrossMergesOfALargeTable) {
    std::mt19937 rng(7);
    CScriptContext context;
    CScriptContext evaluation;
    std::map<std::string, int32_t> latest;
    std::vector<std::string> probes;
    for (int i = 0; i < 5000; ++i) {
        // Out of name order, so that additions collect in the side list before merging.
        const unsigned number = rng() % 3000;
        std::string name = (rng() % 2 == 0 ? "I_GEN_" : "i_gen_") + std::to_string(number);
        ASSERT_GE(context.AddDef(MakeDef(name, i)), 0);
        latest[Folded(name)] = i;
        probes.push_back(name);
        if (i % 701 == 0) {
            ExpectIndexMatchesTable(context, probes, latest, evaluation);
        }
    }
    probes.push_back("i_gen_3000");
    ExpectIndexMatchesTable(context, probes, latest, evaluation);
    EXPECT_EQ(GetNumber(probes.front(), context), latest[Folded(probes.front())]);
}

} // namespace
} // namespace frostmark
