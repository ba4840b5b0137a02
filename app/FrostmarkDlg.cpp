#include "app/FrostmarkDlg.h"

#include "app/AboutDlg.h"
#include "app/DialogBuilder.h"
#include "app/DialogSettings.h"
#include "app/Icons.h"
#include "app/MainWindowLayout.h"
#include "app/MapCanvas.h"
#include "app/Resource.h"
#include "app/Widgets.h"
#include "engine/Commands.h"
#include "mapview/ClientDirectory.h"
#include "model/ScriptObjects.h"
#include "platform/Log.h"
#include "platform/qt/QtDialogControls.h"
#include "platform/qt/QtDialogUnits.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace frostmark {

namespace {

QRect ToPictureRect(const ViewRect& r, const QPoint& pictureOrigin) {
    return QRect(QPoint(r.left, r.top) - pictureOrigin, QSize(r.Width(), r.Height()));
}

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
    OnInitDialog();
}

CFrostmarkDlg::~CFrostmarkDlg() {
    if (m_services.timers)
        m_services.timers->StopTimer(IDT_MAP_OVERLAY);
    FreeLists();
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
    // both live in the dialog's context menu; F1 opens the About box too.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CFrostmarkDlg::OnAbout);

    // Buttons.
    connect(ControlAs<QPushButton>(IDC_ANALYZE), &QPushButton::clicked, this, &CFrostmarkDlg::OnAnalyze);
    connect(ControlAs<QPushButton>(IDC_CREATEPATCH), &QPushButton::clicked, this,
            &CFrostmarkDlg::OnCreatePatchFile);
    connect(ControlAs<QPushButton>(IDC_CLEANWORLD), &QPushButton::clicked, this,
            &CFrostmarkDlg::OnCleanWorldfile);
    connect(ControlAs<QPushButton>(IDOK), &QPushButton::clicked, this, &CFrostmarkDlg::accept);
    connect(ControlAs<QPushButton>(IDCANCEL), &QPushButton::clicked, this, &CFrostmarkDlg::reject);

    // The Delete key in both lists.
    ControlAs<QListWidget>(IDC_PATCH_OBJECTS)->installEventFilter(this);
    auto* areas = ControlAs<QListWidget>(IDC_PATCH_AREAS);
    areas->installEventFilter(this);
    connect(areas, &QListWidget::itemSelectionChanged, this, &CFrostmarkDlg::OnPatchAreaSelectionChanged);

    // Map controls.
    auto* zoomIn = ControlAs<CClickableIcon>(IDC_ZOOMIN);
    auto* zoomOut = ControlAs<CClickableIcon>(IDC_ZOOMOUT);
    zoomIn->SetPixmap(ZoomIconPixmap(true));
    zoomIn->setToolTip(tr("Zoom in"));
    zoomOut->SetPixmap(ZoomIconPixmap(false));
    zoomOut->setToolTip(tr("Zoom out"));
    connect(zoomIn, &CClickableIcon::clicked, this, &CFrostmarkDlg::OnZoomIn);
    connect(zoomOut, &CClickableIcon::clicked, this, &CFrostmarkDlg::OnZoomOut);
    for (int id : {IDC_MAP_HSCROLL, IDC_MAP_VSCROLL}) {
        auto* bar = ControlAs<QScrollBar>(id);
        bar->setSingleStep(kScrollLineStep);
        bar->setPageStep(kScrollPageStep);
        bar->installEventFilter(this);
        connect(bar, &QScrollBar::actionTriggered, this,
                [this, bar](int action) { OnScrollAction(bar, action); });
    }
    MapPicture()->setAttribute(Qt::WA_TransparentForMouseEvents);
    MapPicture()->installEventFilter(this);
    UpdatePictureGeometry();

    LoadSettings();

    m_controls->ListSetTabStops(IDC_PATCH_OBJECTS, {PATCH_OBJECT_TABSTOPS[0], PATCH_OBJECT_TABSTOPS[1]});
    {
        // The same stops, sized so the horizontal scroll bar reaches the colour column.
        auto* objects = ControlAs<QListWidget>(IDC_PATCH_OBJECTS);
        QAbstractItemDelegate* plain = objects->itemDelegate();
        objects->setItemDelegate(
            new CTabbedEntryDelegate({PATCH_OBJECT_TABSTOPS[0], PATCH_OBJECT_TABSTOPS[1]}, objects));
        if (plain && plain->parent() == objects)
            plain->deleteLater();
    }

    PrepareMap();

    if (m_services.timers)
        m_services.timers->StartTimer(IDT_MAP_OVERLAY, MAP_OVERLAY_PERIOD_MS, [this] { OnTimer(); });
}

void CFrostmarkDlg::FreeLists() {
    m_freezeList.RemoveAll();
    m_scripts.UnloadScripts();
    m_controls->ListReset(IDC_PATCH_OBJECTS);
    m_controls->ListReset(IDC_PATCH_AREAS);
    m_map.PatchAreas().Clear();
}

void CFrostmarkDlg::accept() {
    SaveSettings();
    QDialog::accept();
}

void CFrostmarkDlg::reject() {
    SaveSettings();
    QDialog::reject();
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
    store->Sync();
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
    SaveSettings();
    CWaitCursorGuard wait(m_services.waitCursor);
    const std::string world = m_controls->GetText(IDC_WORLDFILE);
    if (world.empty()) {
        ShowMessage(m_services.messages, "Please enter the path to your worldfile", kMessageCaption,
                    MessageIcon::Information);
        return;
    }
    m_controls->ListReset(IDC_PATCH_OBJECTS);
    m_freezeList.RemoveAll();
    m_controls->Show(IDC_PATCH_OBJECTS, false);
    m_controls->Enable(IDC_CREATEPATCH, false);
    m_controls->Enable(IDC_CLEANWORLD, false);
    m_controls->UpdateNow();

    // Step by step as the user sees it: results cleared, then the scripts (once) and the scan.
    m_controls->SetProgressPos(IDC_PROGRESS, 0);
    ClearResultFields();
    ReadOptions();
    CAnalysisRequest request;
    request.worldPath = world;
    request.scriptDirectory = m_controls->GetText(IDC_SCRIPTDIR);
    request.options = m_options;
    const CAnalysisResult result = Analyze(m_scripts, request, m_services, m_freezeList, this);
    m_counts = result.counts;
    if (result.status != AnalysisStatus::Ok) {
        m_controls->ListReset(IDC_PATCH_OBJECTS);
        m_controls->SetProgressPos(IDC_PROGRESS, 0);
        ClearResultFields();
        m_controls->Show(IDC_PATCH_OBJECTS, true);
        ShowMessage(m_services.messages, result.Message(), kMessageCaption,
                    result.status == AnalysisStatus::NoWorldPath ? MessageIcon::Information
                                                                 : MessageIcon::Error);
        return;
    }
    SetResultFields(m_counts);
    m_controls->SetProgressPos(IDC_PROGRESS, 0);
    m_controls->Enable(IDC_CREATEPATCH, true);
    m_controls->Show(IDC_PATCH_OBJECTS, true);
    if (const std::string note = FormatOutsideMapNote(m_counts); !note.empty()) {
        g_Log.Log("%s", note.c_str());
        ShowMessage(m_services.messages, note + ".", kMessageCaption, MessageIcon::Information);
    }
}

void CFrostmarkDlg::OnCreatePatchFile() {
    SaveSettings();
    CWaitCursorGuard wait(m_services.waitCursor);
    m_controls->SetProgressPos(IDC_PROGRESS, 0);
    const CPatchResult result = CreatePatchFile(m_controls->GetText(IDC_PATCHFILE), m_freezeList, m_scripts,
                                                this, m_controls->GetText(IDC_WORLDFILE));
    m_controls->SetProgressPos(IDC_PROGRESS, 0);
    if (!result.ok) {
        ShowCommandFailure(result);
        return;
    }
    m_controls->Enable(IDC_CLEANWORLD, true);
}

void CFrostmarkDlg::OnCleanWorldfile() {
    SaveSettings();
    CWaitCursorGuard wait(m_services.waitCursor);
    m_controls->SetProgressPos(IDC_PROGRESS, 0);
    const std::string input = m_controls->GetText(IDC_WORLDFILE);
    const CCleanResult result =
        CleanWorldFile(input, m_controls->GetText(IDC_OUTPUTWORLD), m_freezeList, m_scripts, this);
    m_controls->SetProgressPos(IDC_PROGRESS, 0);
    if (!result.ok) {
        ShowCommandFailure(result);
        return;
    }
    if (!result.DroppedAsExpected()) {
        ShowMessage(m_services.messages,
                    "Only " + std::to_string(result.recordsDropped) + " of the " +
                        std::to_string(result.recordsExpected) + " frozen objects were found in " + input +
                        ". The world file has changed since the analysis: analyze it again and create a new "
                        "patch file before using the output world file.",
                    kMessageCaption, MessageIcon::Warning);
    }
}

void CFrostmarkDlg::ShowCommandFailure(const CCommandResult& result) {
    ShowMessage(m_services.messages, result.error, kMessageCaption, MessageIcon::Error);
}

void CFrostmarkDlg::SetResultFields(const CAnalysisCounts& counts) {
    m_controls->SetText(IDC_TOPLEVEL_COUNT, FormatTopLevelCount(counts));
    m_controls->SetText(IDC_FREEZE_COUNT, FormatFreezeCount(counts));
    m_controls->SetText(IDC_PATCH_SIZE, FormatSizeEstimate(counts));
}

void CFrostmarkDlg::ClearResultFields() {
    for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE})
        m_controls->SetText(id, "");
}

void CFrostmarkDlg::OnStart(std::uint64_t fileSize) {
    m_progressTotal = fileSize;
    SetProgressBar(0, fileSize);
}

void CFrostmarkDlg::OnProgress(const CAnalysisCounts& counts, std::uint64_t bytePosition) {
    SetResultFields(counts);
    SetProgressBar(bytePosition, m_progressTotal);
    m_controls->UpdateNow();
}

void CFrostmarkDlg::OnChosen(const CWorldItem& item, std::size_t index) {
    const int row = m_controls->ListAddString(IDC_PATCH_OBJECTS, FormatPatchObjectLine(item));
    (void)index;
    m_controls->ListSetItemData(IDC_PATCH_OBJECTS, row, reinterpret_cast<std::uintptr_t>(&item));
}

void CFrostmarkDlg::OnProgress(std::uint64_t done, std::uint64_t total) {
    SetProgressBar(done, total);
    m_controls->UpdateNow();
}

void CFrostmarkDlg::SetProgressBar(std::uint64_t done, std::uint64_t total) {
    // The bar counts in 32 bits; larger files are shown in proportion.
    std::uint64_t divisor = total / 0x7FFFFFFFu + 1;
    m_controls->SetProgressRange(IDC_PROGRESS, 0, static_cast<std::uint32_t>(total / divisor));
    m_controls->SetProgressPos(IDC_PROGRESS, static_cast<std::uint32_t>(std::min(done, total) / divisor));
}

// ---------------------------------------------------------------- the lists and the keyboard

bool CFrostmarkDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (watched == Control(IDC_PATCH_OBJECTS)) {
            OnDeletePatchObjects();
            return true;
        }
        if (watched == Control(IDC_PATCH_AREAS)) {
            OnDeletePatchAreas();
            return true;
        }
    }
    if (watched == Control(IDC_MAP) && event->type() == QEvent::Resize) {
        // The image is built for the picture's size: a new size shows more (or less) of the world around
        // the same centre.
        UpdatePictureGeometry();
        m_map.ClampToBounds();
        SetScrollRanges();
        BuildRadarImage();
    }
    if (auto* bar = qobject_cast<QScrollBar*>(watched)) {
        // A scroll ends when the user lets go of the bar (or a wheel step is done): only then is the map
        // rebuilt. The bar handles the event first, so the end comes after the last move.
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease || type == QEvent::Wheel)
            QTimer::singleShot(0, this, [this, bar] { OnScrollEnd(bar); });
    }
    return QDialog::eventFilter(watched, event);
}

void CFrostmarkDlg::OnDeletePatchObjects() {
    const std::vector<int> selected = m_controls->ListSelection(IDC_PATCH_OBJECTS);
    if (selected.empty())
        return;
    m_controls->Show(IDC_PATCH_OBJECTS, false);
    std::vector<std::size_t> indexes;
    indexes.reserve(selected.size());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        // Entries and freeze list records correspond one to one, in the same order; the record an
        // entry carries confirms it (and finds it should the two ever disagree).
        const auto* item =
            reinterpret_cast<const CWorldItem*>(m_controls->ListItemData(IDC_PATCH_OBJECTS, *it));
        const auto row = static_cast<std::size_t>(*it);
        long index = -1;
        if (row < m_freezeList.Count() && &m_freezeList[row] == item)
            index = static_cast<long>(row);
        else if (item)
            index = m_freezeList.IndexOf(item);
        if (index >= 0)
            indexes.push_back(static_cast<std::size_t>(index));
        m_controls->ListDeleteString(IDC_PATCH_OBJECTS, *it);
    }
    RemoveFreezeEntries(m_freezeList, indexes, m_counts);
    m_controls->Show(IDC_PATCH_OBJECTS, true);
    m_controls->SetFocus(IDC_PATCH_OBJECTS);
    m_controls->SetText(IDC_FREEZE_COUNT, FormatFreezeCount(m_counts));
    m_controls->SetText(IDC_PATCH_SIZE, FormatSizeEstimate(m_counts));
}

void CFrostmarkDlg::OnDeletePatchAreas() {
    const std::vector<int> selected = m_controls->ListSelection(IDC_PATCH_AREAS);
    if (!selected.empty()) {
        // The map's copy of the list goes first, while both still agree on what is selected; the
        // list then loses the same entries, last to first, without reporting each step.
        m_map.PatchAreas().RemoveSelected();
        const QSignalBlocker quiet(Control(IDC_PATCH_AREAS));
        for (auto it = selected.rbegin(); it != selected.rend(); ++it)
            m_controls->ListDeleteString(IDC_PATCH_AREAS, *it);
    }
    OnPatchAreaSelectionChanged();
}

void CFrostmarkDlg::OnPatchAreaSelectionChanged() {
    auto& areas = m_map.PatchAreas();
    for (std::size_t i = 0; i < areas.Count(); ++i)
        areas.SetSelected(i, false);
    for (int i : m_controls->ListSelection(IDC_PATCH_AREAS))
        areas.SetSelected(static_cast<std::size_t>(i), true);
    DrawPatchAreas();
}

void CFrostmarkDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("&About frostmark..."), this, &CFrostmarkDlg::OnAbout);
    menu.addAction(tr("&Client directory..."), this, &CFrostmarkDlg::OnChooseClientDirectory);
    menu.exec(event->globalPos());
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
    BuildRadarImage();
}

// ---------------------------------------------------------------- the map

void CFrostmarkDlg::UpdatePictureGeometry() {
    QWidget* picture = Control(IDC_MAP);
    PictureGeometry geometry;
    const QRect r = picture->geometry();
    geometry.frame = ViewRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    geometry.clientOrigin = ViewPoint{r.left(), r.top()};
    geometry.clientWidth = r.width();
    geometry.clientHeight = r.height();
    m_map.SetPictureGeometry(geometry);
}

void CFrostmarkDlg::PrepareMap() {
    ClientDirectoryInputs inputs;
    inputs.commandLine = m_launch.clientDirectory;
    inputs.environment = ReadClientDirectoryEnvironment();
    if (m_services.settings)
        inputs.setting = m_services.settings->GetString(kClientDirectorySetting);
    m_map.SetClientDirectory(ResolveClientDirectory(inputs).directory);
    {
        CWaitCursorGuard wait(m_services.waitCursor);
        m_map.LoadRadarColors();
    }
    SetScrollRanges();
    BuildRadarImage();
}

void CFrostmarkDlg::SetScrollRanges() {
    const ScrollRanges r = m_map.GetScrollRanges();
    auto* h = ControlAs<QScrollBar>(IDC_MAP_HSCROLL);
    auto* v = ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
    const QSignalBlocker bh(h), bv(v);
    h->setRange(r.horizontalMin, r.horizontalMax);
    h->setValue(r.horizontalPosition);
    v->setRange(r.verticalMin, r.verticalMax);
    v->setValue(r.verticalPosition);
}

void CFrostmarkDlg::BuildRadarImage() {
    {
        CWaitCursorGuard wait(m_services.waitCursor);
        m_map.BuildRadarImage();
    }
    ShowRadarImage();
    DrawPatchAreas();
}

void CFrostmarkDlg::ShowRadarImage() {
    CMapCanvas* picture = MapPicture();
    if (!m_map.HasImage()) {
        picture->SetTerrain(nullptr);
        picture->SetEmptyText(
            tr("No map: the game client's map0.mul was not found in \"%1\".\n"
               "Right-click the dialog and choose Client directory...")
                .arg(QString::fromStdString(m_map.ClientDirectory().empty() ? std::string(".")
                                                                            : m_map.ClientDirectory())));
        return;
    }
    picture->SetTerrain(&m_map.Samples());
}

void CFrostmarkDlg::DrawPatchAreas() {
    CMapCanvas* picture = MapPicture();
    const QPoint origin = picture->pos();
    std::vector<CMapCanvas::Area> areas;
    for (const OverlayFill& fill : m_map.DrawPatchAreas())
        areas.push_back({ToPictureRect(fill.rect, origin), fill.color == kSelectedPatchAreaColor});
    picture->SetAreas(std::move(areas));
}

void CFrostmarkDlg::AddPatchAreaText(const std::string& text) {
    const auto area = ParsePatchArea(text);
    const std::string entry = FormatPatchArea(area[0], area[1], area[2], area[3]);
    m_map.PatchAreas().Add(entry);
    m_controls->ListAddString(IDC_PATCH_AREAS, entry);
    DrawPatchAreas();
}

void CFrostmarkDlg::UpdateDragFrame() {
    CMapCanvas* picture = MapPicture();
    const auto frame = m_map.DragFrame();
    picture->SetDragFrame(frame ? std::optional<QRect>(ToPictureRect(*frame, picture->pos())) : std::nullopt);
}

void CFrostmarkDlg::OnZoomIn() {
    if (!m_map.OnZoomIn())
        return;
    SetScrollRanges();
    ShowRadarImage();
    DrawPatchAreas();
}

void CFrostmarkDlg::OnZoomOut() {
    if (!m_map.OnZoomOut())
        return;
    SetScrollRanges();
    ShowRadarImage();
    DrawPatchAreas();
}

void CFrostmarkDlg::OnScrollAction(QScrollBar* bar, int action) {
    const ScrollBarKind kind =
        bar == Control(IDC_MAP_HSCROLL) ? ScrollBarKind::Horizontal : ScrollBarKind::Vertical;
    std::optional<ScrollCode> code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = ScrollCode::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = ScrollCode::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = ScrollCode::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = ScrollCode::PageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = ScrollCode::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = ScrollCode::Bottom;
        break;
    case QAbstractSlider::SliderMove:
        code = ScrollCode::ThumbTrack;
        break;
    default:
        break;
    }
    if (!code)
        return;
    const ScrollOutcome outcome = m_map.OnScroll(kind, *code, bar->sliderPosition());
    // The centre moves by world tiles; the bar shows where it went (it may lie beyond the range until
    // the scroll ends and the rebuild clamps it).
    bar->setSliderPosition(outcome.position);
}

void CFrostmarkDlg::OnScrollEnd(QScrollBar* bar) {
    const ScrollBarKind kind =
        bar == Control(IDC_MAP_HSCROLL) ? ScrollBarKind::Horizontal : ScrollBarKind::Vertical;
    const ScrollOutcome outcome = m_map.OnScroll(kind, ScrollCode::EndScroll);
    {
        const QSignalBlocker block(bar);
        bar->setValue(outcome.position);
    }
    if (outcome.imageBuilt) {
        ShowRadarImage();
        DrawPatchAreas();
    }
}

void CFrostmarkDlg::OnTimer() {
    if (!isMinimized())
        DrawPatchAreas();
}

void CFrostmarkDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!isMinimized())
        DrawPatchAreas();
}

void CFrostmarkDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        m_map.OnButtonDown(p.x(), p.y());
        UpdateDragFrame();
    }
    QDialog::mousePressEvent(event);
}

void CFrostmarkDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_map.OnMouseMove(p.x(), p.y());
    UpdateDragFrame();
    QDialog::mouseMoveEvent(event);
}

void CFrostmarkDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        const DragRelease release = m_map.OnButtonUp(p.x(), p.y());
        UpdateDragFrame();
        if (release.addedEntry) {
            m_controls->ListAddString(IDC_PATCH_AREAS, m_map.PatchAreas()[*release.addedEntry].text);
            DrawPatchAreas();
        }
    }
    QDialog::mouseReleaseEvent(event);
}

} // namespace frostmark
