#pragma once

// Dialog units: dialogs are laid out in units of the dialog font, a quarter of its average character
// width horizontally and an eighth of its character height vertically, so that a layout keeps its
// proportions with any font. The Qt layer measures the font (platform/qt/QtDialogUnits.h); the
// arithmetic is here so the core can test it.

namespace frostmark {

// The dialog font's average character width and character height, in pixels.
struct CDialogBaseUnits {
    int cx = 0;
    int cy = 0;
};

struct CDialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CDialogRect&) const = default;
};

// Horizontal and vertical dialog units to pixels, rounded to the nearest pixel (halves away from zero).
int DialogUnitsToPixelsX(int units, const CDialogBaseUnits& base);
int DialogUnitsToPixelsY(int units, const CDialogBaseUnits& base);
// A rectangle in dialog units to pixels; the far edges are converted, so adjacent rectangles stay adjacent.
CDialogRect DialogUnitsToPixels(const CDialogRect& units, const CDialogBaseUnits& base);

} // namespace frostmark
