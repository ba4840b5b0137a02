#pragma once
// The program's icons, drawn at run time so that no binary artwork needs keeping: the application
// icon (a frost crystal on a map tile) and the two magnifying glasses of the map view.

#include <QIcon>
#include <QPixmap>

namespace frostmark {

// Application icon (resource 128) in the usual sizes.
QIcon AppIcon();
// One size of the application icon.
QPixmap AppIconPixmap(int size);
// Magnifying glass with a plus (zoom in, resource 130) or a minus (zoom out, resource 129).
QPixmap ZoomIconPixmap(bool plus, int size = 16);

} // namespace frostmark
