#pragma once
// The layout of the program's dialogs as data: every control with its identifier, kind, text and
// rectangle in dialog units. The Qt layer turns each entry into a widget; keeping the table free of
// any toolkit lets the tests check it and lets the layout be compared line by line with the design.

#include <cstdint>
#include <span>
#include <string_view>

namespace frostmark {

enum class EControlKind {
    GroupBox,
    Label,      // static text, left-aligned
    RightLabel, // static text, right-aligned (the result fields)
    Edit,       // one line, scrolls horizontally
    MultiEdit,  // several lines, Enter starts a new line, vertical scroll bar
    CheckBox,
    Button,
    ProgressBar,
    Picture, // the map picture
    VScrollBar,
    HScrollBar,
    Icon,          // clickable icon
    ListBox,       // several entries selectable
    SunkenFrame,   // a frame a dialog paints into itself
    CenteredLabel, // static text centred both ways
    ReportList     // rows with column headers, read from a model
};

// Initial-state and behaviour bits of a control, as the template gives them.
enum EControlStyle : std::uint32_t {
    CS_NONE = 0,
    CS_DISABLED = 1u << 0,
    CS_HIDDEN = 1u << 1,
    CS_DEFAULT = 1u << 2,  // the dialog's default button
    CS_TABSTOPS = 1u << 3, // list entries use tab stops
    CS_HSCROLL = 1u << 4,  // list has a horizontal scroll bar
    CS_NOTIFY = 1u << 5,   // list reports selection changes
};

struct CControlTemplate {
    int id; // -1 for controls nobody addresses (labels, group boxes)
    EControlKind kind;
    std::string_view text;
    int x, y, cx, cy; // dialog units
    std::uint32_t style;
};

struct CDialogTemplate {
    int id;
    std::string_view caption;
    int cx, cy; // dialog units
    std::string_view fontFace;
    int fontPoints;
    std::span<const CControlTemplate> controls;
    // The columns [stretchFrom, stretchTo) in dialog units may be widened so that every fixed text in
    // them fits its room with the fonts of the running system; what lies right of them moves along.
    // Equal: the dialog keeps its template width.
    int stretchFrom = 0;
    int stretchTo = 0;
};

// The widest value the result fields are laid out for.
inline constexpr const char* kWidestResultText = "99999999 bytes";

// Template 102, the main dialog.
const CDialogTemplate& MainDialogTemplate();
// Template 100, the About box.
const CDialogTemplate& AboutDialogTemplate();

// The template entry of a control, or nullptr when the template has no control with that identifier.
const CControlTemplate* FindControl(const CDialogTemplate& tmpl, int id);

} // namespace frostmark
