#pragma once
// The program's icons, drawn at run time so that no binary artwork needs keeping: the application
// icon (a frost crystal on a map tile) and the two magnifying glasses of the map view.

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace frostmark {

// Application icon (resource 128) in the usual sizes.
QIcon AppIcon();
// One size of the application icon.
QPixmap AppIconPixmap(int size);
// The same, without needing a running application (the icon files are made from it at build time).
QImage AppIconImage(int size);
// Draws the application icon into the square (0, 0, size, size) of any paint device: the program's
// pixmaps and the installed icon files (PNG and SVG) all come from here.
void PaintAppIcon(QPainter& painter, qreal size, bool barbs);
bool AppIconHasBarbs(int size);
// The sizes of the icon files installed for the desktop (besides the scalable one).
inline constexpr int kAppIconFileSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// Magnifying glass with a plus (zoom in, resource 130) or a minus (zoom out, resource 129).
QPixmap ZoomIconPixmap(bool plus, int size = 16);

} // namespace frostmark
