#pragma once
// Control, icon and string identifiers of the desktop program. The numbers are those of the dialog
// templates the program has always used, so that handlers and tests name controls the same way.

namespace frostmark {

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_FROSTMARK_DIALOG = 102;

// Icons and strings.
constexpr int IDR_MAINFRAME = 128;
constexpr int IDI_ZOOMOUT = 129;
constexpr int IDI_ZOOMIN = 130;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDM_ABOUTBOX = 0x0010;
// Our own addition beside the About item: choosing the game client's directory.
constexpr int IDM_CLIENTDIR = 0x0020;

// Standard buttons.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Main dialog controls.
constexpr int IDC_ANALYZE = 1000;
constexpr int IDC_CREATEPATCH = 1001;
constexpr int IDC_CLEANWORLD = 1002;
constexpr int IDC_EXCLUDE_TYPED = 1003;
constexpr int IDC_EXCLUDE_CONTAINERS = 1004;
constexpr int IDC_NEVER_MOVEABLE = 1005;
constexpr int IDC_PROGRESS = 1009;
constexpr int IDC_WORLDFILE = 1010;
constexpr int IDC_PATCHFILE = 1011;
constexpr int IDC_OUTPUTWORLD = 1012;
constexpr int IDC_SCRIPTDIR = 1013;
constexpr int IDC_TOPLEVEL_COUNT = 1015;
constexpr int IDC_FREEZE_COUNT = 1016;
constexpr int IDC_PATCH_SIZE = 1017;
constexpr int IDC_STATIC_ATTR = 1018;
constexpr int IDC_EXCLUDE_DOORS = 1019;
constexpr int IDC_EXCLUDE_SIGNS = 1020;
constexpr int IDC_EXCLUDE_LIGHTS = 1021;
constexpr int IDC_EXCLUDE_ART = 1022;
constexpr int IDC_INCLUDE_ART = 1023;
constexpr int IDC_PATCH_OBJECTS = 1025;
constexpr int IDC_MAP_VSCROLL = 1027;
constexpr int IDC_MAP_HSCROLL = 1028;
constexpr int IDC_MAP = 1029;
constexpr int IDC_ZOOMIN = 1030;
constexpr int IDC_ZOOMOUT = 1031;
constexpr int IDC_PATCH_AREAS = 1032;
// Our additions: stopping the running command, and the line that says why results are out of date.
constexpr int IDC_CANCEL_COMMAND = 1040;
constexpr int IDC_NOTICE = 1041;

// About box controls (the numbers overlap the main dialog's; they live in another window).
constexpr int IDC_ABOUT_VERSION = 1023;
constexpr int IDC_ABOUT_BUILD = 1024;

// The map view's redraw timer.
constexpr int IDT_MAP_OVERLAY = 10001;
constexpr int MAP_OVERLAY_PERIOD_MS = 250;

} // namespace frostmark
