#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "script/Numbers.h"
#include "script/ScriptArray.h"
#include "script/ScriptContext.h"
#include "script/ScriptText.h"

namespace frostmark {
namespace {

// A named object that counts its destructions, to see who deletes what.
class CCounted : public CTObject {
public:
    CCounted(std::string name, int tag, int* deaths) : m_tag(tag), m_deaths(deaths) {
        m_name = std::move(name);
    }
    ~CCounted() override {
        if (m_deaths != nullptr) {
            ++*m_deaths;
        }
    }
    int m_tag;
    int* m_deaths;
};

std::vector<std::string> Names(const CScriptArray& array) {
    std::vector<std::string> names;
    for (const CTObject* object : array) {
        names.push_back(object->m_name);
    }
    return names;
}

int TagAt(const CScriptArray& array, int index) {
    return static_cast<CCounted*>(array[index])->m_tag;
}

TEST(NameCompare, LettersFoldToLowerCaseOtherBytesUnsigned) {
    EXPECT_EQ(CompareNames("abc", "ABC"), 0);
    EXPECT_LT(CompareNames("ab", "abc"), 0);
    EXPECT_GT(CompareNames("B", "a"), 0);
    // Letters compare as lower case, so "_" (0x5F) sorts before every letter, in either case.
    EXPECT_LT(CompareNames("_x", "A"), 0);
    EXPECT_LT(CompareNames("_x", "a"), 0);
    // Bytes above 0x7F compare unsigned, after ASCII.
    EXPECT_GT(CompareNames("\xE9", "z"), 0);
    // "[" and "{" differ by the case bit but are not letters.
    EXPECT_NE(CompareNames("a[", "a{"), 0);
    EXPECT_TRUE(EqualNames("I_Gold", "i_gOLD"));
    EXPECT_FALSE(EqualNames("a[", "A{"));
}

TEST(ScriptArray, AddSortedKeepsOrderAndPutsEqualNamesAfter) {
    int deaths = 0;
    CScriptArray array;
    EXPECT_EQ(array.AddSorted(new CCounted("m", 1, &deaths)), 0);
    EXPECT_EQ(array.AddSorted(new CCounted("c", 2, &deaths)), 0);
    EXPECT_EQ(array.AddSorted(new CCounted("x", 3, &deaths)), 2);
    EXPECT_EQ(array.AddSorted(new CCounted("M", 4, &deaths)), 2);
    EXPECT_EQ(array.AddSorted(new CCounted("m", 5, &deaths)), 3);
    EXPECT_EQ(array.AddSorted(new CCounted("_a", 6, &deaths)), 0);
    EXPECT_EQ(array.AddSorted(new CCounted("B", 7, &deaths)), 1);
    EXPECT_EQ(Names(array), (std::vector<std::string>{"_a", "B", "c", "m", "M", "m", "x"}));
    // The three equal names stand in the order they were added.
    EXPECT_EQ(TagAt(array, 3), 1);
    EXPECT_EQ(TagAt(array, 4), 4);
    EXPECT_EQ(TagAt(array, 5), 5);
    // Emptying the array does not delete; the owner does.
    const std::vector<CTObject*> owned(array.begin(), array.end());
    array.RemoveAll();
    EXPECT_EQ(deaths, 0);
    EXPECT_TRUE(array.IsEmpty());
    for (CTObject* object : owned) {
        delete object;
    }
    EXPECT_EQ(deaths, 7);
}

TEST(ScriptArray, AddSortedMatchesUpperBoundOnRandomNames) {
    // Many names with repeats in mixed case: after every insertion the array is sorted and each equal run
    // is in insertion order.
    CScriptArray array;
    unsigned seed = 7;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string name = std::to_string((seed >> 16) % 97);
        name += ((seed >> 8) & 1) ? "a" : "A";
        array.AddSorted(new CCounted(name, i, nullptr));
    }
    for (int i = 1; i < array.GetSize(); ++i) {
        const int cmp = CompareNames(array[i - 1]->m_name, array[i]->m_name);
        ASSERT_LE(cmp, 0);
        if (cmp == 0) {
            ASSERT_LT(TagAt(array, i - 1), TagAt(array, i));
        }
    }
    array.DeleteAll();
    EXPECT_EQ(array.GetSize(), 0);
}

// The array's operations the plain way, one binary search and one insertion into a single vector each:
// the model the array (which batches insertions internally) must match in every result.
class CPlainModel {
public:
    int AddSorted(CTObject* object) {
        if (object->m_name.empty()) {
            return -1;
        }
        if (items.empty()) {
            items.push_back(object);
            return 0;
        }
        int lo = 0;
        int hi = int(items.size()) - 1;
        int mid = 0;
        bool after = false;
        while (lo <= hi) {
            mid = (lo + hi) / 2;
            if (CompareNames(items[size_t(mid)]->m_name, object->m_name) <= 0) {
                after = true;
                lo = mid + 1;
            } else {
                after = false;
                hi = mid - 1;
            }
        }
        const int at = after ? mid + 1 : mid;
        items.insert(items.begin() + at, object);
        return at;
    }
    int FindIndex(const std::string& name) const {
        const std::string upper = ToUpper(name);
        int lo = 0;
        int hi = int(items.size()) - 1;
        while (lo <= hi) {
            const int mid = (lo + hi) / 2;
            const int cmp = CompareNames(ToUpper(items[size_t(mid)]->m_name), upper);
            if (cmp == 0) {
                return mid;
            }
            if (cmp > 0) {
                hi = mid - 1;
            } else {
                lo = mid + 1;
            }
        }
        return -1;
    }
    std::vector<CTObject*> items;
};

TEST(ScriptArray, BatchedInsertionMatchesThePlainRules) {
    std::mt19937 random(99);
    for (int round = 0; round < 6; ++round) {
        int deaths = 0;
        CScriptArray array;
        CPlainModel model; // holds the same pointers; the array owns them
        // Few names in many case spellings, so equal names pile up; or many names, so most are unique.
        const unsigned pool = round % 2 == 0 ? 60 : 5000;
        for (int op = 0; op < 6000; ++op) {
            std::string name = "n";
            name += std::to_string(random() % pool);
            if (random() % 2) {
                name = ToUpper(name);
            }
            const unsigned choice = random() % 10;
            if (choice < 5) {
                auto* object = new CCounted(name, op, &deaths);
                ASSERT_EQ(array.AddSorted(object), model.AddSorted(object)) << op;
            } else if (choice < 7) {
                // Replace-by-name on the model: find, remove, then add.
                const int found = model.FindIndex(name);
                auto* object = new CCounted(name, op, &deaths);
                CTObject* old = found >= 0 ? model.items[size_t(found)] : nullptr;
                if (found >= 0) {
                    model.items.erase(model.items.begin() + found);
                }
                const int expected = model.AddSorted(object);
                const int before = deaths;
                ASSERT_EQ(array.ReplaceByName(object), expected) << op;
                ASSERT_EQ(deaths - before, old != nullptr ? 1 : 0) << op;
            } else if (choice < 9) {
                const int expected = model.FindIndex(name);
                ASSERT_EQ(array.FindIndex(name), expected) << op;
                ASSERT_EQ(array.Find(name), expected < 0 ? nullptr : model.items[size_t(expected)]) << op;
                ASSERT_EQ(array.GetSize(), int(model.items.size()));
            } else if (!model.items.empty()) {
                const int at = int(random() % model.items.size());
                if (random() % 4 == 0) {
                    CTObject* removed = model.items[size_t(at)];
                    model.items.erase(model.items.begin() + at);
                    ASSERT_EQ(array.At(at), removed);
                    array.RemoveAt(at);
                    delete removed;
                } else {
                    ASSERT_EQ(array[at], model.items[size_t(at)]) << op;
                }
            }
        }
        ASSERT_EQ(std::vector<CTObject*>(array.begin(), array.end()), model.items);
        const int alive = array.GetSize();
        const int before = deaths;
        array.DeleteAll();
        EXPECT_EQ(deaths - before, alive);
    }
}

TEST(ScriptArray, EmptyNameIsDeletedAtOnce) {
    int deaths = 0;
    CScriptArray array;
    EXPECT_EQ(array.AddSorted(new CCounted("", 1, &deaths)), -1);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(array.GetSize(), 0);
    EXPECT_EQ(array.ReplaceByName(new CCounted("", 2, &deaths)), -1);
    EXPECT_EQ(deaths, 2);
}

TEST(ScriptArray, FindIndexIgnoresCase) {
    CScriptArray array;
    EXPECT_EQ(array.FindIndex("a"), -1);
    for (const char* name : {"i_gold", "0eed", "Z_last", "a_first"}) {
        array.AddSorted(new CCounted(name, 0, nullptr));
    }
    // Sorted: 0eed, a_first, i_gold, Z_last.
    EXPECT_EQ(array.FindIndex("I_GOLD"), 2);
    EXPECT_EQ(array.FindIndex("0EED"), 0);
    EXPECT_EQ(array.FindIndex("z_LAST"), 3);
    EXPECT_EQ(array.FindIndex("A_First"), 1);
    EXPECT_EQ(array.FindIndex("i_gol"), -1);
    EXPECT_EQ(array.FindIndex(""), -1);
    array.DeleteAll();
}

TEST(ScriptArray, ReplaceByNameDeletesTheEarlierDefinition) {
    int deaths = 0;
    CScriptArray array;
    array.ReplaceByName(new CCounted("door", 1, &deaths));
    array.ReplaceByName(new CCounted("wall", 2, &deaths));
    array.ReplaceByName(new CCounted("DOOR", 3, &deaths));
    EXPECT_EQ(deaths, 1);
    ASSERT_EQ(array.GetSize(), 2);
    EXPECT_EQ(array[0]->m_name, "DOOR");
    EXPECT_EQ(TagAt(array, 0), 3);
    // AddSorted alone keeps both.
    array.AddSorted(new CCounted("wall", 4, &deaths));
    EXPECT_EQ(array.GetSize(), 3);
    EXPECT_EQ(TagAt(array, 1), 2);
    EXPECT_EQ(TagAt(array, 2), 4);
    CTObject* removed = array[1];
    array.RemoveAt(1);
    EXPECT_EQ(TagAt(array, 1), 4);
    EXPECT_EQ(deaths, 1);
    delete removed;
    array.DeleteAll();
    EXPECT_EQ(deaths, 4);
}

TEST(ScriptArray, FindObjectByItemId) {
    CScriptContext context;
    CScriptArray items;
    for (const char* name : {"0eed", "01bf2", "i_gold", "00a0"}) {
        items.AddSorted(new CCounted(name, 0, nullptr));
    }
    auto* def = new CDef;
    def->Set("t_coin 0eed");
    context.AddDef(def);

    auto find = [&](std::string_view key) {
        const CTObject* found = items.FindObject(key, context);
        return found == nullptr ? std::string("-") : found->m_name;
    };
    EXPECT_EQ(find("I_GOLD"), "i_gold");
    EXPECT_EQ(find("0eed"), "0eed");
    // 3821 = 0xeed: found in four hex digits.
    EXPECT_EQ(find("3821"), "0eed");
    // 7154 = 0x1bf2: "1bf2" is missing, "01bf2" is there.
    EXPECT_EQ(find("7154"), "01bf2");
    EXPECT_EQ(find("0a0"), "00a0");
    // A constant naming an ID.
    EXPECT_EQ(find("T_COIN"), "0eed");
    // 100000 = 0x186a0: five digits, neither spelling exists.
    EXPECT_EQ(find("100000"), "-");
    EXPECT_EQ(find("0"), "-");
    EXPECT_EQ(find(""), "-");
    EXPECT_EQ(find("unknown_name"), "-");
    items.DeleteAll();
}

TEST(FindKeyword, FirstEqualEntryIgnoringLetterCaseOnly) {
    const char* const table[] = {"CATEGORY", "key[1]", "DESCRIPTION", "category"};
    EXPECT_EQ(FindKeyword("category", table), 0);
    EXPECT_EQ(FindKeyword("Description", table), 2);
    EXPECT_EQ(FindKeyword("KEY[1]", table), 1);
    // "{" and "[" differ only by the bit that separates cases of letters; they are not letters.
    EXPECT_EQ(FindKeyword("KEY{1}", table), -1);
    EXPECT_EQ(FindKeyword("CATEGOR", table), -1);
    EXPECT_EQ(FindKeyword("CATEGORYX", table), -1);
    EXPECT_EQ(FindKeyword("", table), -1);
    EXPECT_EQ(FindKeyword("CATEGORY", table, 0), -1);
}

} // namespace
} // namespace frostmark
