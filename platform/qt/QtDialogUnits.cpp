#include "platform/qt/QtDialogUnits.h"

#include <QFontMetrics>

namespace frostmark {

CDialogBaseUnits DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average over 26 character pairs, rounded: the way dialog fonts have always been measured.
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogRect(const QFont& font, int x, int y, int width, int height) {
    const CDialogRect pixels = DialogUnitsToPixels({x, y, width, height}, DialogBaseUnits(font));
    return {pixels.x, pixels.y, pixels.width, pixels.height};
}

QSize DialogSize(const QFont& font, int width, int height) {
    const CDialogBaseUnits base = DialogBaseUnits(font);
    return {DialogUnitsToPixelsX(width, base), DialogUnitsToPixelsY(height, base)};
}

} // namespace frostmark
