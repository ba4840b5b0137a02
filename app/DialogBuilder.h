#pragma once
// Builds a dialog's widgets from its template: every control at its rectangle, converted from dialog
// units with the metrics of the dialog font, with its text and initial state.

#include "app/DialogTemplate.h"
#include "platform/DialogUnits.h"

#include <QFont>
#include <QWidget>

#include <map>

class QDialog;

namespace frostmark {

// The font a template names, or the closest one the system has (the face is a preference: the
// system substitutes a sans-serif face of the same point size when it lacks it).
QFont DialogFont(const CDialogTemplate& tmpl);

// Creates every control of `tmpl` as a child of `dialog`, sizes the dialog, and answers the controls by
// identifier (controls with identifier -1 are created but not answered). Group boxes are created first so
// that the controls they frame lie above them.
std::map<int, QWidget*> BuildDialog(QDialog* dialog, const CDialogTemplate& tmpl,
                                    const CDialogBaseUnits& base);

} // namespace frostmark
