#include "model/Category.h"

namespace frostmark {

CCategory::~CCategory() = default;
CSubsection::~CSubsection() = default;

CCategory* GetCategory(CCategoryList& list, const std::string& name, bool create) {
    for (CCategory* category : list) {
        if (category != nullptr && category->m_name == name) {
            return category;
        }
    }
    if (!create) {
        return nullptr;
    }
    auto* category = new CCategory(name);
    list.push_back(category);
    return category;
}

CSubsection* GetSubsection(CCategory* category, const std::string& name, bool create) {
    if (category == nullptr) {
        return nullptr;
    }
    for (CSubsection* subsection : category->m_subsections) {
        if (subsection != nullptr && subsection->m_name == name) {
            return subsection;
        }
    }
    if (!create) {
        return nullptr;
    }
    auto* subsection = new CSubsection(name);
    category->m_subsections.push_back(subsection);
    return subsection;
}

CCategoryFiler::CCategoryFiler(CCategoryList& tree) : m_tree(tree) {
    for (CCategory* category : tree) {
        if (category == nullptr) {
            continue;
        }
        // emplace keeps the first of equal names, the one GetCategory would find.
        CNode& node = m_categories.emplace(category->m_name, CNode{category, {}}).first->second;
        if (node.category != category) {
            continue;
        }
        for (CSubsection* subsection : category->m_subsections) {
            if (subsection != nullptr) {
                node.subsections.emplace(subsection->m_name, subsection);
            }
        }
    }
}

void CCategoryFiler::File(CTObject* object, const std::string& category, const std::string& subsection) {
    auto [at, isNew] = m_categories.try_emplace(category);
    CNode& node = at->second;
    if (isNew) {
        node.category = new CCategory(category);
        m_tree.push_back(node.category);
    }
    CSubsection*& place = node.subsections[subsection];
    if (place == nullptr) {
        place = new CSubsection(subsection);
        node.category->m_subsections.push_back(place);
    }
    place->m_members.push_back(object);
}

void DeleteCategoryTree(CCategoryList& list) {
    for (CCategory* category : list) {
        if (category == nullptr) {
            continue;
        }
        for (CSubsection* subsection : category->m_subsections) {
            delete subsection;
        }
        category->m_subsections.clear();
        delete category;
    }
    list.clear();
}

} // namespace frostmark
