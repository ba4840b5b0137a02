#pragma once

// Dialog units measured with a real font: a dialog laid out in dialog units keeps its proportions with
// whatever font the desktop uses. The desktop dialog and the progress window place every control with
// DialogRect().

#include "platform/DialogUnits.h"

#include <QFont>
#include <QRect>

namespace frostmark {

// The font's average character width (over the 52 Latin letters, rounded) and its character height.
CDialogBaseUnits DialogBaseUnits(const QFont& font);

// A rectangle given in dialog units (x, y, width, height) in pixels for that font.
QRect DialogRect(const QFont& font, int x, int y, int width, int height);
QSize DialogSize(const QFont& font, int width, int height);

} // namespace frostmark
