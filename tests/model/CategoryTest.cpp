#include <gtest/gtest.h>

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

} // namespace
} // namespace frostmark
