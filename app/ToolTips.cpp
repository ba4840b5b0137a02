#include "app/ToolTips.h"

#include "app/Resource.h"

namespace frostmark {

const char* ControlToolTip(int id) {
    switch (id) {
    case IDC_WORLDFILE:
        return "The server's world file to read (it is never written to)";
    case IDC_PATCHFILE:
        return "Where Create Patch File writes the freeze patch file (for example stat_tavrel.frz)";
    case IDC_OUTPUTWORLD:
        return "Where Clean Worldfile writes the copy of the world file without the frozen objects; "
               "it must not be the world file itself";
    case IDC_SCRIPTDIR:
        return "The server's script directory (the one holding tavrel.ini); item definitions and "
               "DEFNAME names are read from it. Empty: the analysis runs without scripts";
    case IDC_EXCLUDE_TYPED:
        return "Never freeze an object whose record has a TYPE value";
    case IDC_EXCLUDE_DOORS:
        return "Never freeze doors (by TYPE and by art ID)";
    case IDC_EXCLUDE_SIGNS:
        return "Never freeze signs (by TYPE and by art ID)";
    case IDC_EXCLUDE_LIGHTS:
        return "Never freeze lights (by TYPE and by art ID)";
    case IDC_EXCLUDE_CONTAINERS:
        return "Never freeze containers (by TYPE and by art ID)";
    case IDC_NEVER_MOVEABLE:
        return "Freeze objects whose ATTR has the never-moveable bit (010)";
    case IDC_STATIC_ATTR:
        return "Freeze objects whose ATTR has the static bit (08000)";
    case IDC_EXCLUDE_ART:
        return "Art IDs never to freeze: one hexadecimal number per line, such as 0eed";
    case IDC_INCLUDE_ART:
        return "Art IDs to freeze whatever their attributes: one hexadecimal number per line";
    case IDC_ANALYZE:
        return "Step 1: read the scripts and the world file, and list the objects to freeze (Alt+A)";
    case IDC_CREATEPATCH:
        return "Step 2: write the listed objects into the patch file (Alt+P)";
    case IDC_CLEANWORLD:
        return "Step 3: write the output world file without the objects of the patch (Alt+E)";
    case IDC_CANCEL_COMMAND:
        return "Stop the running command; no file is left half written (Esc)";
    case IDC_PROGRESS:
        return "How far the running command has got";
    case IDC_TOPLEVEL_COUNT:
        return "Objects of the world file that stand on the map (not inside a container)";
    case IDC_FREEZE_COUNT:
        return "Objects the options choose for freezing: the rows of Patch Objects";
    case IDC_PATCH_SIZE:
        return "9 bytes per object to freeze";
    case IDC_MAP:
        return "The world's radar map: drag with the left button to add a patch area";
    case IDC_MAP_VSCROLL:
    case IDC_MAP_HSCROLL:
        return "Move the map";
    case IDC_ZOOMIN:
        return "Zoom in";
    case IDC_ZOOMOUT:
        return "Zoom out";
    case IDC_PATCH_OBJECTS:
        return "The objects to freeze; click a column header to sort, Delete removes the selected rows "
               "from the patch";
    case IDC_PATCH_AREAS:
        return "Map rectangles (left, top, right, bottom in tiles): when there are any, only objects "
               "inside them are frozen. Delete removes the selected areas";
    default:
        return nullptr;
    }
}

} // namespace frostmark
