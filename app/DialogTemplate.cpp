#include "app/DialogTemplate.h"

#include "app/Resource.h"

namespace frostmark {

namespace {

using K = EControlKind;

constexpr CControlTemplate kMainControls[] = {
    {-1, K::GroupBox, "Files", 7, 7, 176, 64, CS_NONE},
    {-1, K::Label, "&WorldFile", 10, 18, 30, 8, CS_NONE},
    {IDC_WORLDFILE, K::Edit, "", 61, 16, 115, 12, CS_NONE},
    {-1, K::Label, "Patch &File", 9, 30, 32, 8, CS_NONE},
    {IDC_PATCHFILE, K::Edit, "", 61, 28, 115, 12, CS_NONE},
    {-1, K::Label, "&Output Worldfile", 9, 43, 52, 8, CS_NONE},
    {IDC_OUTPUTWORLD, K::Edit, "", 61, 41, 115, 12, CS_NONE},
    {-1, K::Label, "&Script Directory", 9, 56, 49, 8, CS_NONE},
    {IDC_SCRIPTDIR, K::Edit, "", 61, 54, 115, 12, CS_NONE},
    {-1, K::GroupBox, "Options", 7, 74, 176, 119, CS_NONE},
    {-1, K::Label, "Exclude:", 14, 84, 28, 8, CS_NONE},
    {IDC_EXCLUDE_TYPED, K::CheckBox, "Any object with a T&YPE value", 13, 95, 110, 10, CS_NONE},
    {IDC_EXCLUDE_DOORS, K::CheckBox, "&Doors", 13, 106, 35, 10, CS_NONE},
    {IDC_EXCLUDE_SIGNS, K::CheckBox, "Si&gns", 51, 106, 31, 10, CS_NONE},
    {IDC_EXCLUDE_LIGHTS, K::CheckBox, "&Lights", 13, 117, 31, 10, CS_NONE},
    {IDC_EXCLUDE_CONTAINERS, K::CheckBox, "&Containers", 51, 117, 45, 10, CS_NONE},
    {-1, K::Label, "Include:", 14, 140, 30, 10, CS_NONE},
    {IDC_NEVER_MOVEABLE, K::CheckBox, "&Never Moveable (010)", 13, 150, 87, 10, CS_NONE},
    {IDC_STATIC_ATTR, K::CheckBox, "S&tatic (08000)", 13, 160, 60, 10, CS_NONE},
    {-1, K::Label, "E&xclude Art IDs", 125, 86, 50, 8, CS_NONE},
    {IDC_EXCLUDE_ART, K::MultiEdit, "", 124, 94, 53, 42, CS_NONE},
    {-1, K::Label, "&Include Art IDs", 125, 139, 48, 8, CS_NONE},
    {IDC_INCLUDE_ART, K::MultiEdit, "", 124, 147, 53, 42, CS_NONE},
    {IDC_ANALYZE, K::Button, "&Analyze", 7, 195, 39, 14, CS_NONE},
    {IDC_CREATEPATCH, K::Button, "Create &Patch File", 54, 195, 59, 14, CS_DISABLED},
    {IDC_CLEANWORLD, K::Button, "Cl&ean Worldfile", 121, 195, 59, 14, CS_DISABLED},
    {-1, K::GroupBox, "Analysis", 7, 210, 176, 50, CS_NONE},
    {-1, K::Label, "Number of Top-Level Objects", 13, 220, 94, 8, CS_NONE},
    {IDC_TOPLEVEL_COUNT, K::RightLabel, "", 140, 220, 37, 8, CS_NONE},
    {-1, K::Label, "Number of Objects to Freeze", 13, 233, 91, 8, CS_NONE},
    {IDC_FREEZE_COUNT, K::RightLabel, "", 140, 233, 37, 8, CS_NONE},
    {-1, K::Label, "Approximate size of resulting patch file", 13, 246, 120, 8, CS_NONE},
    {IDC_PATCH_SIZE, K::RightLabel, "", 140, 246, 37, 8, CS_NONE},
    {IDC_PROGRESS, K::ProgressBar, "", 7, 262, 130, 10, CS_NONE},
    {IDC_CANCEL_COMMAND, K::Button, "Cancel", 141, 261, 42, 13, CS_DISABLED},
    {IDC_MAP, K::Picture, "", 185, 11, 256, 158, CS_NONE},
    {IDC_MAP_VSCROLL, K::VScrollBar, "", 441, 11, 8, 158, CS_NONE},
    {IDC_MAP_HSCROLL, K::HScrollBar, "", 185, 169, 256, 8, CS_NONE},
    {IDC_ZOOMIN, K::Icon, "", 451, 11, 10, 10, CS_NONE},
    {IDC_ZOOMOUT, K::Icon, "", 451, 24, 10, 10, CS_NONE},
    {-1, K::Label, "Patch Ob&jects", 187, 181, 46, 8, CS_NONE},
    {IDC_PATCH_OBJECTS, K::ReportList, "", 185, 190, 214, 82, CS_HSCROLL},
    {-1, K::Label, "Patch A&reas", 402, 181, 40, 8, CS_NONE},
    {IDC_PATCH_AREAS, K::ListBox, "", 402, 190, 84, 82, CS_NOTIFY},
    {IDOK, K::Button, "Close", 436, 258, 50, 14, CS_DEFAULT | CS_HIDDEN | CS_DISABLED},
    {IDCANCEL, K::Button, "Cancel", 436, 258, 50, 14, CS_HIDDEN},
};

constexpr CControlTemplate kAboutControls[] = {
    {IDR_MAINFRAME, K::Icon, "", 11, 17, 20, 20, CS_NONE},
    {-1, K::Label, "Frostmark Version", 41, 10, 66, 8, CS_NONE},
    {IDC_ABOUT_VERSION, K::Label, "1.00", 110, 10, 60, 8, CS_NONE},
    {IDC_ABOUT_BUILD, K::Label, "Built on", 41, 21, 130, 8, CS_NONE},
    {-1, K::Label, "Copyright (C) 2026 Kelvane. All rights reserved.", 41, 32, 186, 8, CS_NONE},
    {-1, K::Label, "Problems? Open an issue in the Frostmark project.", 41, 43, 186, 8, CS_NONE},
    {IDOK, K::Button, "OK", 178, 7, 50, 14, CS_DEFAULT},
};

// The left column (files, options, commands, figures) takes the width its texts need.
constexpr CDialogTemplate kMainDialog{IDD_FROSTMARK_DIALOG, "Frostmark", 493, 279, "MS Sans Serif", 8,
                                      kMainControls,        7,           184};
constexpr CDialogTemplate kAboutDialog{IDD_ABOUTBOX,  "About Frostmark", 235, 65, "MS Sans Serif", 8,
                                       kAboutControls};

} // namespace

const CDialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}
const CDialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

const CControlTemplate* FindControl(const CDialogTemplate& tmpl, int id) {
    for (const auto& c : tmpl.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

} // namespace frostmark
