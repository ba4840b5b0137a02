#include "app/FrostmarkDlg.h"

#include "app/AboutDlg.h"
#include "app/CommandPanel.h"
#include "app/DialogBuilder.h"
#include "app/DialogSettings.h"
#include "app/Icons.h"
#include "app/MainWindowLayout.h"
#include "app/MapCanvas.h"
#include "app/Resource.h"
#include "app/StatusLine.h"
#include "app/ToolTips.h"
#include "app/UserGuide.h"
#include "app/Widgets.h"
#include "mapview/ClientDirectory.h"
#include "model/ScriptObjects.h"
#include "platform/qt/QtDialogControls.h"
#include "platform/qt/QtDialogUnits.h"

#include <QCloseEvent>
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

    // The Delete key in both lists.
    Control(IDC_PATCH_OBJECTS)->installEventFilter(this);
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

    PrepareMap();

    if (m_services.timers)
        m_services.timers->StartTimer(IDT_MAP_OVERLAY, MAP_OVERLAY_PERIOD_MS, [this] { OnTimer(); });
}

void CFrostmarkDlg::FreeLists() {
    m_scripts.UnloadScripts();
    m_controls->ListReset(IDC_PATCH_AREAS);
    m_map.PatchAreas().Clear();
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
    m_commands->DeleteSelected();
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
