#pragma once
// What each control of the main dialog is for, in a sentence or two: shown as its tooltip.

namespace frostmark {

// The tooltip of a main dialog control, or nullptr for a control without one.
const char* ControlToolTip(int id);

} // namespace frostmark
