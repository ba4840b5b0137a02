#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/Category.h"
#include "script/SObject.h"

namespace frostmark {
namespace {

TEST(Category, FindOrAppendByExactName) {
    CCategoryList tree;
    EXPECT_EQ(GetCategory(tree, "Weapons", false), nullptr);
    EXPECT_TRUE(tree.empty());

    CCategory* weapons = GetCategory(tree, "Weapons", true);
    CCategory* armor = GetCategory(tree, "Armor", true);
    CCategory* lower = GetCategory(tree, "weapons", true); // case counts: a category of its own
    ASSERT_NE(weapons, nullptr);
    EXPECT_NE(lower, weapons);
    EXPECT_EQ(GetCategory(tree, "Weapons", true), weapons);
    EXPECT_EQ(GetCategory(tree, "Armor", false), armor);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree.front()->m_name, "Weapons"); // appended at the tail, in creation order
    EXPECT_EQ(tree.back()->m_name, "weapons");

    EXPECT_EQ(GetSubsection(nullptr, "Swords", true), nullptr);
    EXPECT_EQ(GetSubsection(weapons, "Swords", false), nullptr);
    CSubsection* swords = GetSubsection(weapons, "Swords", true);
    CSubsection* axes = GetSubsection(weapons, "Axes", true);
    EXPECT_EQ(GetSubsection(weapons, "Swords", true), swords);
    EXPECT_NE(GetSubsection(weapons, "swords", true), swords);
    EXPECT_EQ(weapons->m_subsections.size(), 3u);
    EXPECT_EQ(weapons->m_subsections.front(), swords);
    EXPECT_EQ(GetSubsection(armor, "Swords", false), nullptr); // subsections belong to one category

    // Clearing the tree frees categories and subsections but not the definitions filed under them.
    CSObject katana;
    katana.m_name = "13ff";
    swords->m_members.push_back(&katana);
    axes->m_members.push_back(&katana);
    DeleteCategoryTree(tree);
    EXPECT_TRUE(tree.empty());
    EXPECT_EQ(katana.m_name, "13ff");

    EXPECT_EQ(CCategory().m_name, "<none>");
    EXPECT_EQ(CSubsection().m_name, "<none>");
}

// "Category{Subsection[m,m],...} ..." with each member's name, in tree order.
std::string Dump(const CCategoryList& tree) {
    std::string text;
    for (const CCategory* category : tree) {
        text += category->m_name + "{";
        for (const CSubsection* subsection : category->m_subsections) {
            text += subsection->m_name + "[";
            for (const CTObject* member : subsection->m_members) {
                text += member->m_name + ",";
            }
            text += "]";
        }
        text += "} ";
    }
    return text;
}

TEST(Category, FilerFilesAsTheListSearchesWould) {
    // Names from a small alphabet, so that categories and subsections repeat in every pattern; both trees
    // start with the same nodes, among them two categories of one name (only the first takes members).
    std::vector<std::unique_ptr<CSObject>> objects;
    CCategoryList searched;
    CCategoryList hashed;
    for (CCategoryList* tree : {&searched, &hashed}) {
        GetSubsection(GetCategory(*tree, "b", true), "x", true);
        tree->push_back(new CCategory("b"));
        GetSubsection(tree->back(), "y", true);
    }
    CCategoryFiler filer(hashed);
    unsigned state = 7;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1103515245u + 12345u;
        const std::string category(1, static_cast<char>('a' + (state >> 16) % 5));
        const std::string subsection(1, static_cast<char>('x' + (state >> 20) % 4));
        objects.push_back(std::make_unique<CSObject>());
        objects.back()->m_name = std::to_string(i);
        GetSubsection(GetCategory(searched, category, true), subsection, true)
            ->m_members.push_back(objects.back().get());
        filer.File(objects.back().get(), category, subsection);
    }
    EXPECT_EQ(Dump(hashed), Dump(searched));
    EXPECT_TRUE(Dump(hashed).find("b{y[]}") != std::string::npos);
    DeleteCategoryTree(searched);
    DeleteCategoryTree(hashed);
}

} // namespace
} // namespace frostmark
