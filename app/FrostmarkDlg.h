#pragma once
// The main dialog: the four paths, the options, the three commands, the analysis results, the Patch
// Objects and Patch Areas lists and the map. Its handlers read the controls, call the core and show
// what comes back; everything the commands compute lives in the core libraries.

#include "app/PathFields.h"
#include "engine/FreezeList.h"
#include "engine/Selection.h"
#include "mapview/MapView.h"
#include "platform/Services.h"

#include <QDialog>
#include <QUndoStack>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QListWidget;
class QModelIndex;
class QScrollBar;

namespace frostmark {

class CCommandPanel;
class CMapCanvas;
class CMapWorkspace;
class CTemplateLayout;
class CScriptObjects;
class CStatusLine;
class CUserGuide;

// Names of the settings values.
inline constexpr const char* kSettingInputWorld = "Input Worldfile";
inline constexpr const char* kSettingPatchFile = "Patch File";
inline constexpr const char* kSettingOutputWorld = "Output Worldfile";
inline constexpr const char* kSettingScriptPath = "Script Path";
inline constexpr const char* kSettingFlags = "Flags";
inline constexpr const char* kSettingIgnoreArt = "IgnoreArt";
inline constexpr const char* kSettingIncludeArt = "IncludeArt";
// The window's place, size and maximised state (Qt's saved geometry, in base64).
inline constexpr const char* kSettingWindowGeometry = "Window Geometry";
// The map's zoom level and centre, "zoom, x, y".
inline constexpr const char* kSettingMapView = "Map View";
// The Patch Areas entries, one string each.
inline constexpr const char* kSettingPatchAreas = "Patch Areas";

// The caption of the program's message boxes.
inline constexpr const char* kMessageCaption = "Frostmark";

class CFrostmarkDlg : public QDialog {
    Q_OBJECT
public:
    struct Options {
        // Asks the user for the game client's directory, starting at the current one; nullopt when the
        // user cancels. Tests replace the file dialog with an answer of their own.
        std::function<std::optional<std::string>(const std::string& current)> chooseDirectory;
        // A client directory given on the command line; it wins over everything else.
        std::optional<std::string> clientDirectory;
        // Answers the Browse buttons of the four paths in place of the file dialogs (tests).
        CPathFields::Chooser choosePath;
    };

    // Builds the controls from template 102 and runs the start-up sequence. `services` must outlive the
    // dialog; any of them may be null (nothing is then shown or stored).
    CFrostmarkDlg(CScriptObjects& scripts, const CServices& services, Options options = {},
                  QWidget* parent = nullptr);
    ~CFrostmarkDlg() override; // FreeLists

    // The controls by identifier, as the handlers use them.
    IDialogControls& Controls() { return *m_controls; }
    // A control's widget, or nullptr.
    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }

    // What the handlers work on, for tests.
    const CFreezeList& FreezeList() const;
    const CFreezeOptions& FreezeOptions() const { return m_options; }
    std::uint32_t OptionFlags() const { return m_options.flags; }
    CMapView& MapView() { return m_map; }
    CMapCanvas* MapPicture() const;
    // The three commands, their results and the Patch Objects list.
    CCommandPanel& Commands() const { return *m_commands; }
    // The status line at the bottom: the message of the last command, and room for permanent sections
    // (QStatusBar::addPermanentWidget).
    CStatusLine* StatusLine() const { return m_status; }

    // ---- the handlers
    void OnAnalyze();
    void OnCreatePatchFile();
    void OnCleanWorldfile();
    void SaveSettings();
    void LoadSettings();
    void ReadOptions();
    void OnAbout();
    void OnChooseClientDirectory();
    void OnZoomIn();
    void OnZoomOut();
    // Appends a Patch Areas entry given in world tiles ("left, top, right, bottom"), as a drag would.
    void AddPatchAreaText(const std::string& text);
    // Redraws the green patch area rectangles over the map.
    void DrawPatchAreas();
    // Every edit of an input of the analysis ends here (the path fields, the option boxes, the art ID
    // boxes, the patch areas; the world file on disk is looked at every second): the results are marked
    // out of date when the inputs no longer match those of the analysis, and current again when they do.
    void InputsChanged();
    // F1: the short user guide shipped with the program.
    void OnUserGuide();

    void accept() override; // OnOK
    void reject() override; // OnCancel: Escape and the close box

    // The map, its navigation and the patch areas; the undo stack of the dialog's edits.
    CMapWorkspace& MapWorkspace() const { return *m_workspace; }
    QUndoStack& UndoStack() { return m_undo; }
    // The Browse buttons and file drops of the four paths.
    CPathFields& PathFields() const { return *m_paths; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnInitDialog();
    void FreeLists();
    void OnDeletePatchObjects();
    void OnPatchAreasChanged();
    void OnTimer();
    // The objects to freeze on the map: their marks follow the Patch Objects list, the entries chosen
    // there are ringed (the current one centred), and a click on a mark chooses its entry.
    void ScheduleObjectMarks();
    void ShowObjectMarks();
    void OnPatchObjectsSelectionChanged();
    void OnPatchObjectCurrentChanged(const QModelIndex& current);
    void OnObjectMarkClicked(std::size_t index, bool toggle);

    // The map: client directory, colours and the first image.
    void PrepareMap();

    CScriptObjects& m_scripts;
    CServices m_services;
    Options m_launch;
    std::map<int, QWidget*> m_widgets;
    std::unique_ptr<IDialogControls> m_controls;
    CTemplateLayout* m_layout = nullptr;

    CFreezeOptions m_options;
    CMapView m_map;

    CStatusLine* m_status = nullptr;
    CUserGuide* m_guide = nullptr;
    std::unique_ptr<CCommandPanel> m_commands;
    bool m_closing = false;
    QUndoStack m_undo;
    CMapWorkspace* m_workspace = nullptr;
    CPathFields* m_paths = nullptr;
    bool m_objectMarksDue = false;
    bool m_choosingFromMap = false; // a click on the map chooses the entry: the map stays where it is
};

} // namespace frostmark
