// frostmark-icongen DIR NAME: writes the application icon as the desktop installs it, from the very
// drawing the program shows: DIR/scalable/apps/NAME.svg and DIR/SIZExSIZE/apps/NAME.png for each size
// of an icon theme. Runs at build time; needs no display.
#include "app/Icons.h"

#include <QDir>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kSvgSize = 256;

bool WriteSvg(const QString& path) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    svg.setTitle(QStringLiteral("Frostmark"));
    svg.setDescription(QStringLiteral("A frost crystal on a map tile"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    frostmark::PaintAppIcon(painter, kSvgSize, true);
    return painter.end();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR NAME\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    auto fail = [](const QString& path) {
        std::fprintf(stderr, "frostmark-icongen: cannot write %s\n", qPrintable(path));
        return 1;
    };
    const QString scalable = root + QStringLiteral("/scalable/apps");
    if (!QDir().mkpath(scalable) || !WriteSvg(scalable + '/' + name + QStringLiteral(".svg")))
        return fail(scalable);
    for (int size : frostmark::kAppIconFileSizes) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString path = dir + '/' + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !frostmark::AppIconImage(size).save(path, "PNG"))
            return fail(path);
    }
    return 0;
}
