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
