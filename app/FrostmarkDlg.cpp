#include "app/FrostmarkDlg.h"

#include "app/AboutDlg.h"
#include "app/CommandPanel.h"
#include "app/DialogBuilder.h"
#include "app/DialogSettings.h"
#include "app/Icons.h"
#include "app/MainWindowLayout.h"
#include "app/MapCanvas.h"
#include "app/MapUndoCommands.h"
#include "app/MapWorkspace.h"
#include "app/PatchObjectsModel.h"
#include "app/Resource.h"
#include "app/StatusLine.h"
#include "app/ToolTips.h"
#include "app/UserGuide.h"
#include "app/Widgets.h"
#include "mapview/AreaEditing.h"
#include "mapview/ClientDirectory.h"
#include "model/ScriptObjects.h"
#include "platform/qt/QtDialogControls.h"
#include "platform/qt/QtDialogUnits.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <climits>

namespace frostmark {

namespace {

std::string WithTrailingSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    return dir;
}

} // namespace

CFrostmarkDlg::CFrostmarkDlg(CScriptObjects& scripts, const CServices& services, Options options,
                             QWidget* parent)
    : QDialog(parent), m_scripts(scripts), m_services(services), m_launch(std::move(options)) {
    // A main window: a caption with system menu, minimize and maximize boxes, and a frame that resizes.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    const CDialogTemplate& tmpl = MainDialogTemplate();
    m_widgets = BuildDialog(this, tmpl, DialogBaseUnits(DialogFont(tmpl)));
    auto controls = std::make_unique<CQtDialogControls>();
    for (const auto& [id, widget] : m_widgets)
        controls->Bind(id, widget);
    m_controls = std::move(controls);
    // Every control where the template puts it at the template's size, which is the smallest the window
    // gets; bars along the bottom go in with m_layout->AddBottom().
    m_layout = InstallMainWindowLayout(this, m_widgets);
    // Below the template's area: the line that says why the results are out of date, then the status
    // line with the message of the last command.
    auto* notice = new QLabel(this);
    notice->setObjectName(QStringLiteral("ctl%1").arg(IDC_NOTICE));
    notice->setTextFormat(Qt::PlainText);
    notice->setWordWrap(true);
    notice->setContentsMargins(DialogUnitsToPixelsX(7, DialogBaseUnits(font())), 0, 0, 0);
    notice->setMinimumHeight(2 * notice->fontMetrics().lineSpacing());
    m_widgets[IDC_NOTICE] = notice;
    static_cast<CQtDialogControls*>(m_controls.get())->Bind(IDC_NOTICE, notice);
    m_layout->AddBottom(notice);
    m_status = new CStatusLine(this);
    m_status->setObjectName(QStringLiteral("statusLine"));
    m_layout->AddBottom(m_status);
    resize(m_layout->BaseSize());
    CCommandPanel::CWiring wiring;
    wiring.controls = m_controls.get();
    wiring.widget = [this](int id) { return Control(id); };
    wiring.readOptions = [this] {
        ReadOptions();
        return m_options;
    };
    wiring.status = m_status;
    wiring.window = this;
    m_commands = std::make_unique<CCommandPanel>(m_scripts, m_services, std::move(wiring));
    OnInitDialog();
}

CFrostmarkDlg::~CFrostmarkDlg() {
    if (m_services.timers)
        m_services.timers->StopTimer(IDT_MAP_OVERLAY);
    // The running command ends first: it reads the scripts and the freeze list.
    m_commands.reset();
    FreeLists();
}

const CFreezeList& CFrostmarkDlg::FreezeList() const {
    return m_commands->FreezeList();
}

void CFrostmarkDlg::InputsChanged() {
    m_commands->InputsChanged();
}

QWidget* CFrostmarkDlg::Control(int id) const {
    auto it = m_widgets.find(id);
    return it == m_widgets.end() ? nullptr : it->second;
}

CMapCanvas* CFrostmarkDlg::MapPicture() const {
    return ControlAs<CMapCanvas>(IDC_MAP);
}

// ---------------------------------------------------------------- start-up and shut-down

void CFrostmarkDlg::OnInitDialog() {
    setWindowTitle(QStringLiteral("Frostmark v%1").arg(QLatin1String(kFrostmarkVersion)));
    setWindowIcon(AppIcon());

    // The About box and the client directory: window managers here give no system menu to add to, so
    // both live in the dialog's context menu. F1 opens the user guide.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CFrostmarkDlg::OnUserGuide);
    for (const auto& [id, widget] : m_widgets)
        if (const char* tip = ControlToolTip(id))
            widget->setToolTip(tr(tip));

    // Buttons.
    connect(ControlAs<QPushButton>(IDC_ANALYZE), &QPushButton::clicked, this, &CFrostmarkDlg::OnAnalyze);
    connect(ControlAs<QPushButton>(IDC_CREATEPATCH), &QPushButton::clicked, this,
            &CFrostmarkDlg::OnCreatePatchFile);
    connect(ControlAs<QPushButton>(IDC_CLEANWORLD), &QPushButton::clicked, this,
            &CFrostmarkDlg::OnCleanWorldfile);
    connect(ControlAs<QPushButton>(IDOK), &QPushButton::clicked, this, &CFrostmarkDlg::accept);
    connect(ControlAs<QPushButton>(IDCANCEL), &QPushButton::clicked, this, &CFrostmarkDlg::reject);

    // Browse buttons in the four path fields, and files dropped on the window.
    m_paths = new CPathFields(this, ControlAs<QLineEdit>(IDC_WORLDFILE), ControlAs<QLineEdit>(IDC_PATCHFILE),
                              ControlAs<QLineEdit>(IDC_OUTPUTWORLD), ControlAs<QLineEdit>(IDC_SCRIPTDIR),
                              m_launch.choosePath);

    // The Delete key in the Patch Objects list (the map workspace handles the Patch Areas list's).
    Control(IDC_PATCH_OBJECTS)->installEventFilter(this);

    // The map: picture, bars, icons and the Patch Areas list, with undo and redo for the areas.
    auto* zoomIn = ControlAs<CClickableIcon>(IDC_ZOOMIN);
    auto* zoomOut = ControlAs<CClickableIcon>(IDC_ZOOMOUT);
    zoomIn->SetPixmap(ZoomIconPixmap(true));
    zoomIn->setToolTip(tr("Zoom in"));
    zoomOut->SetPixmap(ZoomIconPixmap(false));
    zoomOut->setToolTip(tr("Zoom out"));
    CMapWorkspace::Parts parts;
    parts.canvas = MapPicture();
    parts.horizontal = ControlAs<QScrollBar>(IDC_MAP_HSCROLL);
    parts.vertical = ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
    parts.zoomIn = zoomIn;
    parts.zoomOut = zoomOut;
    parts.areas = ControlAs<QListWidget>(IDC_PATCH_AREAS);
    parts.undo = &m_undo;
    parts.complain = [this](const std::string& text) {
        ShowMessage(m_services.messages, text, kMessageCaption, MessageIcon::Warning);
    };
    m_workspace = new CMapWorkspace(m_map, std::move(parts), this);
    // The pointer's world position and the map's level, on the right of the status line.
    m_status->addPermanentWidget(m_workspace->Readout());
    connect(m_workspace, &CMapWorkspace::AreasChanged, this, &CFrostmarkDlg::OnPatchAreasChanged);
    connect(m_workspace, &CMapWorkspace::ChooseClientDirectoryRequested, this,
            &CFrostmarkDlg::OnChooseClientDirectory);
    connect(m_workspace, &CMapWorkspace::ObjectClicked, this, &CFrostmarkDlg::OnObjectMarkClicked);
    // The list is a new one after every analysis, sort and removal (the model is reset): the marks are
    // taken from it again once the change is complete.
    CPatchObjectsModel& objects = m_commands->Objects();
    connect(&objects, &QAbstractItemModel::modelReset, this, &CFrostmarkDlg::ScheduleObjectMarks);
    connect(&objects, &QAbstractItemModel::rowsRemoved, this, &CFrostmarkDlg::ScheduleObjectMarks);
    connect(m_commands.get(), &CCommandPanel::CommandFinished, this, &CFrostmarkDlg::ScheduleObjectMarks);
    if (auto* view = qobject_cast<QAbstractItemView*>(Control(IDC_PATCH_OBJECTS))) {
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &CFrostmarkDlg::OnPatchObjectsSelectionChanged);
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &CFrostmarkDlg::OnPatchObjectCurrentChanged);
    }
    QAction* undo = m_undo.createUndoAction(this, tr("&Undo"));
    undo->setShortcuts(QKeySequence::Undo);
    QAction* redo = m_undo.createRedoAction(this, tr("&Redo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    addActions({undo, redo});

    LoadSettings();

    PrepareMap();

    if (m_services.timers)
        m_services.timers->StartTimer(IDT_MAP_OVERLAY, MAP_OVERLAY_PERIOD_MS, [this] { OnTimer(); });
}

void CFrostmarkDlg::FreeLists() {
    m_scripts.UnloadScripts();
    m_undo.clear();
    m_workspace->LoadAreas({});
}

void CFrostmarkDlg::accept() {
    SaveSettings();
    QDialog::accept();
}

void CFrostmarkDlg::reject() {
    // Escape while a command runs stops the command and keeps the window; the close box stops it and
    // closes the window once it has stopped.
    if (m_commands->IsBusy()) {
        m_commands->Cancel();
        if (!m_closing)
            return;
        m_commands->WaitForCommand();
    }
    SaveSettings();
    QDialog::reject();
}

void CFrostmarkDlg::closeEvent(QCloseEvent* event) {
    m_closing = true;
    QDialog::closeEvent(event);
    m_closing = false;
}

// ---------------------------------------------------------------- settings

void CFrostmarkDlg::LoadSettings() {
    ISettingsStore* store = m_services.settings;
    if (!store)
        return;
    const std::pair<int, const char*> paths[] = {{IDC_WORLDFILE, kSettingInputWorld},
                                                 {IDC_PATCHFILE, kSettingPatchFile},
                                                 {IDC_OUTPUTWORLD, kSettingOutputWorld},
                                                 {IDC_SCRIPTDIR, kSettingScriptPath}};
    for (const auto& [id, key] : paths)
        if (auto value = store->GetString(key))
            m_controls->SetText(id, *value);
    const std::uint32_t flags = store->GetInteger(kSettingFlags).value_or(0);
    for (const auto& box : OptionCheckboxes())
        m_controls->SetChecked(box.id, (flags & box.bit) != 0);
    if (auto list = store->GetStringList(kSettingIgnoreArt))
        m_controls->SetText(IDC_EXCLUDE_ART, StringsToArtBox(*list));
    if (auto list = store->GetStringList(kSettingIncludeArt))
        m_controls->SetText(IDC_INCLUDE_ART, StringsToArtBox(*list));
    if (auto geometry = store->GetString(kSettingWindowGeometry))
        restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*geometry)));
    if (auto mapView = store->GetString(kSettingMapView)) {
        // Where the user left the map; the first build clamps the centre to what the level allows.
        const std::array<long, 4> v = ParsePatchArea(*mapView);
        if (m_map.SetZoom(static_cast<int>(v[0])))
            m_map.SetCentre(static_cast<int>(std::clamp<long>(v[1], 0, kWorldWidth)),
                            static_cast<int>(std::clamp<long>(v[2], 0, kWorldHeight)));
    }
    if (auto areas = store->GetStringList(kSettingPatchAreas)) {
        // Entries as the list writes them; anything else (edited by hand) is read as the rules read it
        // and kept only where it covers part of the world.
        std::vector<std::string> texts;
        for (const std::string& text : *areas)
            if (const std::optional<WorldRect> area = FitToWorld(ParseWorldRect(text)))
                texts.push_back(FormatWorldRect(*area));
        m_workspace->LoadAreas(texts);
    }
}

void CFrostmarkDlg::SaveSettings() {
    ReadOptions();
    ISettingsStore* store = m_services.settings;
    if (!store)
        return;
    // The whole path is kept: cutting it short would make the next run open another file.
    store->SetString(kSettingInputWorld, m_controls->GetText(IDC_WORLDFILE));
    store->SetString(kSettingPatchFile, m_controls->GetText(IDC_PATCHFILE));
    store->SetString(kSettingOutputWorld, m_controls->GetText(IDC_OUTPUTWORLD));
    store->SetString(kSettingScriptPath, m_controls->GetText(IDC_SCRIPTDIR));
    store->SetInteger(kSettingFlags, m_options.flags);
    store->SetStringList(kSettingIgnoreArt, ArtBoxToStrings(m_controls->GetText(IDC_EXCLUDE_ART)));
    store->SetStringList(kSettingIncludeArt, ArtBoxToStrings(m_controls->GetText(IDC_INCLUDE_ART)));
    store->SetString(kSettingWindowGeometry, saveGeometry().toBase64().toStdString());
    store->SetStringList(kSettingPatchAreas, m_workspace->AreaTexts());
    store->SetString(kSettingMapView, std::to_string(m_map.Zoom()) + ", " + std::to_string(m_map.CentreX()) +
                                          ", " + std::to_string(m_map.CentreY()));
    store->Sync();
}

void CFrostmarkDlg::OnPatchAreasChanged() {
    // The list's own signals reach the out-of-date tracking as well; saying it here keeps that true
    // whatever the list's model does.
    InputsChanged();
    if (ISettingsStore* store = m_services.settings) {
        store->SetStringList(kSettingPatchAreas, m_workspace->AreaTexts());
        store->Sync();
    }
}

void CFrostmarkDlg::ReadOptions() {
    std::uint32_t flags = 0;
    for (const auto& box : OptionCheckboxes())
        if (m_controls->IsChecked(box.id))
            flags |= box.bit;
    std::vector<std::string> areas;
    const int count = m_controls->ListCount(IDC_PATCH_AREAS);
    for (int i = 0; i < count; ++i)
        areas.push_back(m_controls->ListText(IDC_PATCH_AREAS, i));
    m_options = frostmark::ReadOptions(flags, m_controls->GetText(IDC_EXCLUDE_ART),
                                       m_controls->GetText(IDC_INCLUDE_ART), areas);
}

// ---------------------------------------------------------------- the three commands

void CFrostmarkDlg::OnAnalyze() {
    if (m_commands->IsBusy())
        return;
    SaveSettings();
    m_commands->Analyze();
}

void CFrostmarkDlg::OnCreatePatchFile() {
    if (m_commands->IsBusy())
        return;
    SaveSettings();
    m_commands->CreatePatchFile();
}

void CFrostmarkDlg::OnCleanWorldfile() {
    if (m_commands->IsBusy())
        return;
    SaveSettings();
    m_commands->CleanWorldfile();
}

// ---------------------------------------------------------------- the lists and the keyboard

bool CFrostmarkDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (watched == Control(IDC_PATCH_OBJECTS)) {
            OnDeletePatchObjects();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CFrostmarkDlg::OnDeletePatchObjects() {
    // The entry after the removed ones becomes current; the map stays where the user was looking.
    const QScopedValueRollback keep(m_choosingFromMap, true);
    if (std::optional<CCommandPanel::CRemovedObjects> removed = m_commands->DeleteSelected())
        m_undo.push(new CRemovePatchObjectsCommand(*m_commands, std::move(*removed)));
}

// ---------------------------------------------------------------- the objects on the map

void CFrostmarkDlg::ScheduleObjectMarks() {
    if (m_objectMarksDue)
        return;
    m_objectMarksDue = true;
    QTimer::singleShot(0, this, &CFrostmarkDlg::ShowObjectMarks);
}

void CFrostmarkDlg::ShowObjectMarks() {
    m_objectMarksDue = false;
    std::vector<MapObject> objects;
    // While an analysis runs the list is being built on the command's thread: no marks until it ends.
    if (!m_commands->IsBusy() && !m_commands->Objects().IsLive()) {
        const CFreezeList& list = m_commands->FreezeList();
        objects.reserve(list.Count());
        for (std::size_t i = 0; i < list.Count(); ++i)
            objects.push_back({list[i].x, list[i].y});
    }
    m_workspace->SetObjects(std::move(objects));
    OnPatchObjectsSelectionChanged();
}

void CFrostmarkDlg::OnPatchObjectsSelectionChanged() {
    auto* view = qobject_cast<QAbstractItemView*>(Control(IDC_PATCH_OBJECTS));
    if (!view || m_objectMarksDue)
        return;
    const CPatchObjectsModel& model = m_commands->Objects();
    std::vector<std::size_t> chosen;
    for (const QItemSelectionRange& range : view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            chosen.push_back(model.ListIndex(row));
            if (chosen.size() >= CMapWorkspace::kMaxHighlights)
                break;
        }
        if (chosen.size() >= CMapWorkspace::kMaxHighlights)
            break;
    }
    m_workspace->HighlightObjects(std::move(chosen));
}

void CFrostmarkDlg::OnPatchObjectCurrentChanged(const QModelIndex& current) {
    if (m_choosingFromMap || !current.isValid() || m_objectMarksDue || m_commands->Objects().IsLive())
        return;
    m_workspace->CentreOnObject(m_commands->Objects().ListIndex(current.row()));
}

void CFrostmarkDlg::OnObjectMarkClicked(std::size_t index, bool toggle) {
    auto* view = qobject_cast<QAbstractItemView*>(Control(IDC_PATCH_OBJECTS));
    const CPatchObjectsModel& model = m_commands->Objects();
    const int row = model.RowOf(index);
    if (!view || row < 0)
        return;
    const QScopedValueRollback keep(m_choosingFromMap, true);
    const QModelIndex at = model.index(row, 0);
    view->selectionModel()->setCurrentIndex(
        at, (toggle ? QItemSelectionModel::Toggle : QItemSelectionModel::ClearAndSelect) |
                QItemSelectionModel::Rows);
    view->scrollTo(at);
}

void CFrostmarkDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("&About frostmark..."), this, &CFrostmarkDlg::OnAbout);
    menu.addAction(tr("&Client directory..."), this, &CFrostmarkDlg::OnChooseClientDirectory);
    menu.addAction(tr("&User guide"), QKeySequence::HelpContents, this, &CFrostmarkDlg::OnUserGuide);
    menu.exec(event->globalPos());
}

void CFrostmarkDlg::OnUserGuide() {
    if (!m_guide)
        m_guide = new CUserGuide(this);
    m_guide->show();
    m_guide->raise();
    m_guide->activateWindow();
}

void CFrostmarkDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CFrostmarkDlg::OnChooseClientDirectory() {
    std::optional<std::string> chosen;
    if (m_launch.chooseDirectory) {
        chosen = m_launch.chooseDirectory(m_map.ClientDirectory());
    } else {
        const QString dir = QFileDialog::getExistingDirectory(
            this, tr("Game client directory"), QString::fromStdString(m_map.ClientDirectory()));
        if (!dir.isEmpty())
            chosen = dir.toStdString();
    }
    if (!chosen || chosen->empty())
        return;
    const std::string directory = WithTrailingSeparator(*chosen);
    if (m_services.settings) {
        m_services.settings->SetString(kClientDirectorySetting, directory);
        m_services.settings->Sync();
    }
    if (directory == m_map.ClientDirectory())
        return;
    m_map.SetClientDirectory(directory);
    CWaitCursorGuard wait(m_services.waitCursor);
    m_map.LoadRadarColors();
    m_workspace->Rebuild();
}

// ---------------------------------------------------------------- the map

void CFrostmarkDlg::PrepareMap() {
    ClientDirectoryInputs inputs;
    inputs.commandLine = m_launch.clientDirectory;
    inputs.environment = ReadClientDirectoryEnvironment();
    if (m_services.settings)
        inputs.setting = m_services.settings->GetString(kClientDirectorySetting);
    inputs.registryExePath = ReadClientExePath();
    m_map.SetClientDirectory(ResolveClientDirectory(inputs).directory);
    {
        CWaitCursorGuard wait(m_services.waitCursor);
        m_map.LoadRadarColors();
    }
    m_workspace->Rebuild();
}

void CFrostmarkDlg::DrawPatchAreas() {
    m_workspace->RedrawAreas();
}

void CFrostmarkDlg::AddPatchAreaText(const std::string& text) {
    const auto area = ParsePatchArea(text);
    m_workspace->InsertAreaEntry(static_cast<int>(m_map.PatchAreas().Count()),
                                 FormatPatchArea(area[0], area[1], area[2], area[3]));
}

void CFrostmarkDlg::OnZoomIn() {
    m_workspace->OnZoomIn();
}

void CFrostmarkDlg::OnZoomOut() {
    m_workspace->OnZoomOut();
}

void CFrostmarkDlg::OnTimer() {
    if (!isMinimized())
        DrawPatchAreas();
}

} // namespace frostmark
