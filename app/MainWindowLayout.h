#pragma once
// How the main window's controls follow the window as it grows: the file, option and analysis groups
// on the left keep their place and size; the map takes the extra width and most of the extra height,
// its scroll bars and zoom icons staying along its edges; the Patch Objects and Patch Areas lists share
// the rest below it. At the template's size (the window's minimum) every control is where the template
// puts it.

#include "app/TemplateLayout.h"

#include <map>

class QWidget;

namespace frostmark {

// The shares of the extra room: the map's of the extra height, the Patch Objects list's of the extra
// width below the map (the Patch Areas list takes the rest of both).
inline constexpr double kMapShareOfHeight = 0.7;
inline constexpr double kObjectsShareOfWidth = 0.72;

// Lays out every child widget of `window` (the controls BuildDialog made, by their present geometry,
// which is their template rectangle) with a CTemplateLayout of the window's present size, which
// becomes its minimum. `controls` are the controls by identifier.
CTemplateLayout* InstallMainWindowLayout(QWidget* window, const std::map<int, QWidget*>& controls);

} // namespace frostmark
