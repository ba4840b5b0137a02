#pragma once
// The map as a workspace: everything the user does on the map picture and around it. The wheel zooms
// around the pointer, the middle button (or Space with the left one) drags the map, the keys zoom, pan
// and show the whole world; the scroll bars and zoom icons keep their classic behaviour and stay in
// step. The left button selects, draws, moves and resizes patch areas; every change of the Patch Areas
// list goes through the undo stack. The view state and all geometry live in the core (CMapView,
// CAreaTool); this class forwards events and shows the results.

#include "mapview/AreaEditing.h"
#include "mapview/MapView.h"
#include "mapview/ObjectMarks.h"

#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QContextMenuEvent;
class QKeyEvent;
class QLabel;
class QListWidget;
class QMouseEvent;
class QScrollBar;
class QUndoStack;
class QWidget;

namespace frostmark {

class CClickableIcon;
class CMapCanvas;

// How a Patch Areas entry is drawn in `width` pixels: as typed where it fits, otherwise with thin
// spaces after its commas and then in a smaller font, so that all four numbers always show.
struct FittedAreaText {
    QFont font;
    QString text;
};
FittedAreaText FitAreaEntry(const QFont& font, const QString& text, int width);

class CMapWorkspace : public QObject {
    Q_OBJECT
public:
    struct Parts {
        CMapCanvas* canvas = nullptr;
        QScrollBar* horizontal = nullptr;
        QScrollBar* vertical = nullptr;
        CClickableIcon* zoomIn = nullptr;
        CClickableIcon* zoomOut = nullptr;
        QListWidget* areas = nullptr; // the Patch Areas list
        QUndoStack* undo = nullptr;
        // Tells the user something went wrong with what they typed (a message box in the program).
        std::function<void(const std::string&)> complain;
    };

    // Pixels a press must move before it is a drag, and how close to an area's edge grabs the edge.
    static constexpr int kDragThreshold = 4;
    static constexpr int kEdgeTolerance = 4;
    // Pixels an arrow key moves the map.
    static constexpr int kArrowStep = 64;
    // The most objects ringed at once.
    static constexpr std::size_t kMaxHighlights = 256;

    CMapWorkspace(CMapView& view, Parts parts, QObject* parent = nullptr);
    ~CMapWorkspace() override;

    // The cursor's world position and the level, for the status line.
    QLabel* Readout() const { return m_readout; }
    QString ReadoutText() const;

    // ---- navigation
    // The zoom icons: one level in or out about the centre, as they always did.
    void OnZoomIn();
    void OnZoomOut();
    // One level in (+1) or out (-1) keeping the world point under `at` (canvas pixels) in place.
    void ZoomAround(int steps, QPoint at);
    void Pan(QPoint pixels);
    void ShowWholeWorld();
    // Rebuilds the map for the view as it is (after the client directory or the picture's size changed)
    // and shows it.
    void Rebuild();
    // Shows what the view last built: the terrain, the scroll bars, the areas and the readout.
    void ShowMap();

    // ---- the objects to freeze
    // The objects' tiles, entry i of the Patch Objects' freeze list at index i; the marks follow.
    void SetObjects(std::vector<MapObject> objects);
    const std::vector<MapObject>& Objects() const { return m_objects; }
    // Rings around the objects at these freeze list indexes (the entries chosen in the list).
    void HighlightObjects(std::vector<std::size_t> indexes);
    const std::vector<std::size_t>& HighlightedObjects() const { return m_highlighted; }
    // Moves the map so that the object at this index lies in the middle, as far as the level allows.
    void CentreOnObject(std::size_t index);
    // Where an object's mark is centred on the picture.
    QPoint MarkPosition(std::size_t index) const;

    // ---- patch areas
    // Adds an entry as a drag would (undoable).
    void AddArea(const std::string& text);
    // Removes the selected entries (undoable); false when none is selected.
    bool DeleteSelectedAreas();
    // Opens the editor of the list entry `row` to type its four values.
    void EditArea(int row);
    // A typed text for entry `row`: four numbers, or the user is told why not. Changes are undoable.
    bool ApplyTypedArea(int row, const QString& text);
    // Draws the areas as the view's list and selection now are.
    void RedrawAreas();
    // The list's selection is the only one: the map follows it.
    void OnListSelectionChanged();
    // The entries as they stand, for the settings.
    std::vector<std::string> AreaTexts() const;
    // Replaces every entry without an undo record (restoring the settings at start-up).
    void LoadAreas(const std::vector<std::string>& texts);

    // The edits the undo commands make; each emits AreasChanged.
    void InsertAreaEntry(int index, const std::string& text);
    void SetAreaEntry(int index, const std::string& text);
    void RemoveAreaEntry(int index);
    void SelectAreaEntries(const std::vector<int>& rows);

signals:
    // An entry was added, changed or removed (also by undo and redo).
    void AreasChanged();
    // The map's context menu asks for the game client's directory.
    void ChooseClientDirectoryRequested();
    // A click on an object's mark (with Ctrl: to add it to the chosen entries or take it out).
    void ObjectClicked(std::size_t index, bool toggle);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnCanvasPress(QMouseEvent* event);
    void OnCanvasMove(QMouseEvent* event);
    void OnCanvasRelease(QMouseEvent* event);
    void OnCanvasKey(QKeyEvent* event, bool& handled);
    void OnContextMenu(QContextMenuEvent* event);
    void OnScrollAction(QScrollBar* bar, int action);
    void OnScrollEnd(QScrollBar* bar);
    void OnPictureResized();
    void ClickArea(std::optional<std::size_t> entry, bool toggle);
    void SetListText(int row, const std::string& text);
    void SetScrollRanges();
    void UpdateCursor(QPoint at);
    void RedrawObjects();
    void UpdateReadout(std::optional<QPoint> at);
    void CancelDrag();

    CMapView& m_view;
    Parts m_parts;
    QPointer<QLabel> m_readout; // placed in (and then owned by) the status line
    CAreaTool m_tool{kDragThreshold, kEdgeTolerance};
    bool m_panning = false;
    bool m_spaceHeld = false;
    QPoint m_panLast;
    int m_wheelAngle = 0;
    // The world point a run of zoom steps at one spot started on, and the view those steps left: a
    // step at the same spot onto that view zooms about the same point (see CMapView::ZoomAt).
    struct ZoomRun {
        QPoint at;
        WorldPoint anchor;
        int zoom = 0;
        int centreX = 0;
        int centreY = 0;
        QSize picture;
    };
    std::optional<ZoomRun> m_zoomRun;
    std::optional<QPoint> m_pointer;
    std::vector<MapObject> m_objects;
    CObjectMarkIndex m_objectIndex; // the same positions by map cell, for painting
    std::vector<std::size_t> m_highlighted;
};

} // namespace frostmark
