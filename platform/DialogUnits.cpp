#include "platform/DialogUnits.h"

#include <cstdint>

namespace frostmark {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRound(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

int DialogUnitsToPixelsX(int units, const CDialogBaseUnits& base) {
    return MulDivRound(units, base.cx, 4);
}

int DialogUnitsToPixelsY(int units, const CDialogBaseUnits& base) {
    return MulDivRound(units, base.cy, 8);
}

CDialogRect DialogUnitsToPixels(const CDialogRect& units, const CDialogBaseUnits& base) {
    const int left = DialogUnitsToPixelsX(units.x, base);
    const int top = DialogUnitsToPixelsY(units.y, base);
    const int right = DialogUnitsToPixelsX(units.x + units.width, base);
    const int bottom = DialogUnitsToPixelsY(units.y + units.height, base);
    return {left, top, right - left, bottom - top};
}

} // namespace frostmark
