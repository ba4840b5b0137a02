#pragma once

// The two-level category index (category, then subsection) under which the category passes file the loaded
// definitions by their CATEGORY and SUBSECTION values.

#include <list>
#include <string>
#include <unordered_map>

#include "script/TObject.h"

namespace frostmark {

class CSubsection;

// One category: its name is the CTObject name ("<none>" until set), compared exactly (with case).
// Its subsections are listed in creation order. A category does not delete its subsections when it is
// destroyed: whoever clears the tree deletes each subsection, then the category (DeleteCategoryTree does
// both).
class CCategory : public CTObject {
public:
    CCategory() { m_name = "<none>"; }
    explicit CCategory(std::string name) { m_name = std::move(name); }
    ~CCategory() override;
    CCategory(const CCategory&) = delete;
    CCategory& operator=(const CCategory&) = delete;

    std::list<CSubsection*> m_subsections;
};

// One subsection of a category: the definitions filed under it, in filing order. It only refers to them
// (their collections in the registry own them), so destroying a subsection never deletes a definition.
class CSubsection : public CTObject {
public:
    CSubsection() { m_name = "<none>"; }
    explicit CSubsection(std::string name) { m_name = std::move(name); }
    ~CSubsection() override;
    CSubsection(const CSubsection&) = delete;
    CSubsection& operator=(const CSubsection&) = delete;

    std::list<CTObject*> m_members;
};

// A category tree: categories in creation order. The tree owns its categories and their subsections.
using CCategoryList = std::list<CCategory*>;

// The category of that exact name (case counts) in the list. When there is none: with create, a new
// category is appended at the tail and returned; without, nullptr.
CCategory* GetCategory(CCategoryList& list, const std::string& name, bool create);
// The same over a category's subsections. A null category gives nullptr.
CSubsection* GetSubsection(CCategory* category, const std::string& name, bool create);
// Deletes every subsection of every category, then the categories, and empties the list. The definitions
// filed under them stay alive.
void DeleteCategoryTree(CCategoryList& list);

// Files objects into a tree the way GetCategory and GetSubsection with create do (the first node of a
// name, new nodes at the tail), but finds the nodes through hash tables instead of walking the lists: a
// script set of 100,000 definitions with as many categories would otherwise compare names five billion
// times. Indexes what the tree holds when made; the tree must change only through it while it lives.
class CCategoryFiler {
public:
    explicit CCategoryFiler(CCategoryList& tree);
    CCategoryFiler(const CCategoryFiler&) = delete;
    CCategoryFiler& operator=(const CCategoryFiler&) = delete;

    // Appends the object to the members of the named subsection of the named category, making either.
    void File(CTObject* object, const std::string& category, const std::string& subsection);

private:
    struct CNode {
        CCategory* category = nullptr;
        std::unordered_map<std::string, CSubsection*> subsections;
    };
    CCategoryList& m_tree;
    std::unordered_map<std::string, CNode> m_categories;
};

} // namespace frostmark
