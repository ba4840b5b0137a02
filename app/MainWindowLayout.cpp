#include "app/MainWindowLayout.h"

#include "app/Resource.h"

#include <QWidget>

namespace frostmark {

namespace {

// The growth of a control by where it lies: the map row (picture, bars, icons) and the lists row below
// it; everything left of the map stays as it is.
CControlGrowth GrowthOf(int id, QRect r, QRect map, QRect objects, QRect areas) {
    constexpr double y = kMapShareOfHeight;
    constexpr double x = kObjectsShareOfWidth;
    switch (id) {
    case IDC_MAP:
        return {0, 1, 0, y};
    case IDC_MAP_VSCROLL:
        return {1, 0, 0, y};
    case IDC_MAP_HSCROLL:
        return {0, 1, y, 0};
    case IDC_ZOOMIN:
    case IDC_ZOOMOUT:
        return {1, 0, 0, 0};
    case IDC_PATCH_OBJECTS:
        return {0, x, y, 1 - y};
    case IDC_PATCH_AREAS:
        return {x, 1 - x, y, 1 - y};
    case IDOK:
    case IDCANCEL:
        return {1, 0, 1, 0};
    default:
        break;
    }
    // Labels and anything else of the lists row move with their list.
    if (r.left() >= map.left() && r.top() >= map.bottom()) {
        if (r.left() >= areas.left())
            return {x, 0, y, 0};
        if (r.left() >= objects.left())
            return {0, 0, y, 0};
    }
    return {};
}

} // namespace

CTemplateLayout* InstallMainWindowLayout(QWidget* window, const std::map<int, QWidget*>& controls) {
    std::map<const QWidget*, int> ids;
    for (const auto& [id, widget] : controls)
        ids[widget] = id;
    const auto rectOf = [&](int id) {
        auto it = controls.find(id);
        return it == controls.end() ? QRect() : it->second->geometry();
    };
    const QRect map = rectOf(IDC_MAP), objects = rectOf(IDC_PATCH_OBJECTS), areas = rectOf(IDC_PATCH_AREAS);

    const QSize templateSize = window->size();
    // The template fixed the window's size; from now on only its minimum is fixed.
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto* layout = new CTemplateLayout(templateSize, window);
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        const auto id = ids.find(child);
        const QRect r = child->geometry();
        layout->AddControl(child, r, GrowthOf(id == ids.end() ? -1 : id->second, r, map, objects, areas));
    }
    window->resize(layout->BaseSize());
    return layout;
}

} // namespace frostmark
