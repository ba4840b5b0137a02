#include "app/CommandPanel.h"

#include "app/FrostmarkDlg.h"
#include "app/PatchObjectsModel.h"
#include "app/Resource.h"
#include "app/StatusLine.h"
#include "app/WorkerServices.h"
#include "engine/Commands.h"
#include "model/ScriptLoader.h"
#include "model/ScriptObjects.h"
#include "platform/Log.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace frostmark {

struct CCommandPanel::CAnalysisJob {
    CAnalysisInputs inputs;
    CAnalysisRequest request;
    std::string excludeText;
    std::string includeText;
    // The scripts: unloaded (directory empty), kept, or loaded again on the command's thread.
    enum class EScripts { None, Kept, Load } scripts = EScripts::None;
    std::optional<CScriptSetState> scriptState;
    bool scriptsLoaded = false;
    CFreezeList list;
    CAnalysisResult result;
};

struct CCommandPanel::CPatchJob {
    std::string path;
    std::string world;
    CPatchResult result;
};

struct CCommandPanel::CCleanJob {
    std::string input;
    std::string output;
    CCleanResult result;
};

namespace {

// Where a file is, as the user would look for it: the whole path.
std::string WholePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec);
    return ec ? path : whole.lexically_normal().string();
}

std::string Seconds(double seconds) {
    char text[48];
    if (seconds < 1)
        std::snprintf(text, sizeof text, "%d ms", static_cast<int>(seconds * 1000 + 0.5));
    else if (seconds < 60)
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    else
        std::snprintf(text, sizeof text, "%d min %02d s", static_cast<int>(seconds) / 60,
                      static_cast<int>(seconds) % 60);
    return text;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Rows(std::size_t count) {
    return Q(FormatCounted(count, "row", "rows"));
}

QString ObjectsToFreeze(const CAnalysisCounts& counts) {
    return Q(FormatCounted(static_cast<std::uint64_t>(counts.toFreeze), "object", "objects"));
}

} // namespace

CCommandPanel::CCommandPanel(CScriptObjects& scripts, const CServices& services, CWiring wiring)
    : QObject(wiring.window), m_scripts(scripts), m_services(services), m_wiring(std::move(wiring)),
      m_objects(new CPatchObjectsModel(this)),
      m_loadingWindows(new CQueuedProgressViews(services.progressViews, this)),
      m_loaderMessages(std::make_shared<CKeptMessages>()) {
    QTableView* view = ObjectsView();
    view->setModel(m_objects);
    // No column is sorted at first: the rows stand in world file order. A third click on a header
    // goes back to it.
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->horizontalHeader()->setSortIndicatorClearable(true);
    view->setSortingEnabled(true);
    {
        // Fixed widths from the font: measuring millions of rows for their contents is not an option.
        const QFontMetrics metrics(view->font());
        const int pad = 3 * metrics.averageCharWidth();
        const int arrow = view->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, view) + pad;
        const char* const widest[kPatchColumnCount] = {"i_gen_0eed_a", "00000", "00000", "000", "00000"};
        for (int column = 0; column < kPatchColumnCount; ++column) {
            const QString title = m_objects->headerData(column, Qt::Horizontal).toString();
            view->horizontalHeader()->resizeSection(
                column, std::max(metrics.horizontalAdvance(QLatin1String(widest[column])) + pad,
                                 metrics.horizontalAdvance(title) + arrow));
        }
        // The ID takes what the numbers leave, so the colour column is in view without scrolling.
        view->horizontalHeader()->setMinimumSectionSize(metrics.horizontalAdvance(QStringLiteral("00000")) +
                                                        pad);
        view->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    connect(m_objects, &CPatchObjectsModel::SortStarted, this, [this] {
        if (m_wiring.status)
            m_wiring.status->showMessage(
                tr("Sorting %1 rows of Patch Objects...").arg(m_objects->rowCount()));
    });
    connect(m_objects, &CPatchObjectsModel::SortFinished, this, [this] {
        if (m_wiring.status)
            m_wiring.status->clearMessage();
    });

    connect(qobject_cast<QAbstractButton*>(Widget(IDC_CANCEL_COMMAND)), &QAbstractButton::clicked, this,
            [this] { Cancel(); });

    // Every input of the analysis reports its edits.
    for (int id : {IDC_WORLDFILE, IDC_SCRIPTDIR})
        connect(qobject_cast<QLineEdit*>(Widget(id)), &QLineEdit::textChanged, this,
                [this] { InputsChanged(); });
    for (int id : {IDC_EXCLUDE_TYPED, IDC_EXCLUDE_DOORS, IDC_EXCLUDE_SIGNS, IDC_EXCLUDE_LIGHTS,
                   IDC_EXCLUDE_CONTAINERS, IDC_NEVER_MOVEABLE, IDC_STATIC_ATTR})
        connect(qobject_cast<QAbstractButton*>(Widget(id)), &QAbstractButton::toggled, this,
                [this] { InputsChanged(); });
    for (int id : {IDC_EXCLUDE_ART, IDC_INCLUDE_ART})
        connect(qobject_cast<QPlainTextEdit*>(Widget(id)), &QPlainTextEdit::textChanged, this,
                [this] { InputsChanged(); });
    if (auto* areas = qobject_cast<QAbstractItemView*>(Widget(IDC_PATCH_AREAS))) {
        QAbstractItemModel* model = areas->model();
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, this, [this] { InputsChanged(); });
        connect(model, &QAbstractItemModel::dataChanged, this, [this] { InputsChanged(); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { InputsChanged(); });
    }

    connect(&m_progressTimer, &QTimer::timeout, this, [this] { RefreshProgress(); });
    m_progressTimer.setInterval(100);
    // The world file may be written by the server at any time: a glance at its size and time is cheap.
    connect(&m_watchTimer, &QTimer::timeout, this, [this] {
        if (m_analysed)
            InputsChanged();
    });
    m_watchTimer.start(1000);
    UpdateButtons();
}

CCommandPanel::~CCommandPanel() {
    // Closing the program does not wait for a long command to run to its end.
    if (m_cancel)
        m_cancel->Cancel();
    m_runner.Abandon();
    m_objects->ShowList(nullptr);
}

QTableView* CCommandPanel::ObjectsView() const {
    return qobject_cast<QTableView*>(Widget(IDC_PATCH_OBJECTS));
}

// ---------------------------------------------------------------- Analyze

bool CCommandPanel::CheckScripts(CAnalysisJob& job) {
    const std::string& directory = job.inputs.scriptDirectory;
    if (directory.empty()) {
        job.scripts = CAnalysisJob::EScripts::None;
        return true;
    }
    const CScriptDirectoryCheck check = CheckScriptDirectory(directory);
    if (!check.Ok()) {
        Fail("Analyze", check.Message());
        return false;
    }
    // Noted before the load: a file changed while it is read is read again next time.
    job.scriptState = CScriptSetState::Read(directory);
    const bool unchanged =
        m_scriptState && m_scriptDirectory == directory && *m_scriptState == *job.scriptState;
    job.scripts = unchanged ? CAnalysisJob::EScripts::Kept : CAnalysisJob::EScripts::Load;
    return true;
}

void CCommandPanel::Analyze() {
    if (IsBusy())
        return;
    const std::string world = Controls().GetText(IDC_WORLDFILE);
    if (world.empty()) {
        Fail("Analyze", "Please enter the path to your worldfile", MessageIcon::Information);
        return;
    }
    ClearResults();
    auto job = std::make_shared<CAnalysisJob>();
    job->inputs = CurrentInputs();
    job->excludeText = Controls().GetText(IDC_EXCLUDE_ART);
    job->includeText = Controls().GetText(IDC_INCLUDE_ART);
    if (!CheckScripts(*job))
        return;
    job->request.worldPath = world;
    job->request.options = job->inputs.options;
    // The scripts are loaded before the scan: the scan itself never loads them.
    job->request.scriptDirectory.clear();
    if (job->scripts != CAnalysisJob::EScripts::Kept) {
        // Whatever was loaded is gone until the new load has succeeded.
        m_scriptState.reset();
        m_scriptDirectory.clear();
    }

    auto rows = std::make_shared<CLiveRows>();
    auto relay = std::make_shared<CProgressRelay>(rows, m_progressHook);
    m_objects->ShowLive(rows);
    BeginCommand(ECommand::Analyze, relay);
    const std::shared_ptr<CCancelToken> cancel = m_cancel;
    job->request.cancel = cancel.get();
    m_phaseText[0] = tr("Analyzing %1...").arg(Q(WholePath(world)));
    m_phaseText[1] = tr("Loading the scripts of %1...").arg(Q(WholePath(job->inputs.scriptDirectory)));
    m_wiring.status->ShowText(m_phaseText[0]);
    CScriptObjects& scripts = m_scripts;
    CServices loading;
    loading.progressViews = m_loadingWindows;
    loading.messages = m_loaderMessages.get();
    Run(
        [job, relay, cancel, &scripts, loading] {
            if (job->scripts != CAnalysisJob::EScripts::Kept)
                scripts.UnloadScripts();
            if (job->scripts == CAnalysisJob::EScripts::Load) {
                relay->SetPhase(CProgressRelay::EPhase::LoadingScripts);
                job->scriptsLoaded = LoadAllScripts(scripts, job->inputs.scriptDirectory, loading);
                // The registry keeps no service of this command beyond the load.
                scripts.SetServices(CServices{});
                relay->SetPhase(CProgressRelay::EPhase::Working);
                if (!job->scriptsLoaded) {
                    scripts.UnloadScripts();
                    job->result.status = AnalysisStatus::ScriptsUnreadable;
                    job->result.errorPath = job->inputs.scriptDirectory;
                    job->result.errorReason = "Permission denied";
                    return;
                }
                if (RefuseOnScriptReadFault(scripts, job->result)) {
                    job->scriptsLoaded = false;
                    return;
                }
            }
            job->result = frostmark::Analyze(scripts, job->request, CServices{}, job->list, relay.get());
        },
        [this, job] { FinishAnalysis(*job); });
}

void CCommandPanel::FinishAnalysis(CAnalysisJob& job) {
    const double seconds = m_runner.Elapsed();
    EndCommand();
    m_loadingWindows->Flush();
    if (job.scriptsLoaded) {
        m_scriptDirectory = job.inputs.scriptDirectory;
        m_scriptState = job.scriptState;
    }
    // What the loaders could not open, in one message rather than one box each.
    if (const std::vector<std::string> told = m_loaderMessages->Take(); !told.empty()) {
        std::string text;
        for (const std::string& line : told)
            text += (text.empty() ? "" : "\n") + line;
        ShowMessage(m_services.messages, text, kMessageCaption, MessageIcon::Warning);
    }
    const CAnalysisResult& result = job.result;
    if (result.status == AnalysisStatus::Cancelled) {
        // Nothing half-analysed stays: no rows, no figures, nothing the writing commands could use.
        m_objects->ShowList(nullptr);
        ClearResultFields(tr("not analysed"));
        ShowCancelled("Analyze", "the world file was not analysed", seconds);
        emit CommandFinished();
        return;
    }
    if (result.status != AnalysisStatus::Ok) {
        m_objects->ShowList(nullptr);
        ClearResultFields();
        std::string message = result.Message();
        if (result.status == AnalysisStatus::WorldUnreadable && !result.errorReason.empty())
            message += ": " + result.errorReason;
        Fail("Analyze", message);
        emit CommandFinished();
        return;
    }
    m_freezeList = std::move(job.list);
    m_counts = result.counts;
    m_objects->ShowList(&m_freezeList);
    SetResultFields(m_counts);
    m_analysed = job.inputs;
    m_patchCurrent = false;
    m_listEdited = false;
    m_notes.clear();
    if (std::string note = IncludeRuleNote(job.inputs.options); !note.empty())
        m_notes.push_back(note);
    for (const auto& [box, text] :
         {std::pair<const char*, const std::string&>{"Exclude Art IDs", job.excludeText},
          {"Include Art IDs", job.includeText}})
        if (std::string note = ArtIdLinesNote(box, text); !note.empty())
            m_notes.push_back(note);
    if (!m_scriptDirectory.empty() && m_scripts.itemDefs.IsEmpty())
        m_notes.push_back("No item definitions found in the script directory " + m_scriptDirectory);
    if (std::string note = FormatOutsideMapNote(m_counts); !note.empty()) {
        g_Log.Log("%s", note.c_str());
        m_notes.push_back(note);
    }

    std::string text = "Analyzed " + WholePath(job.request.worldPath) + ": " + FormatTopLevelCount(m_counts) +
                       " top-level objects, " + FormatFreezeCount(m_counts) + " to freeze (about " +
                       FormatSizeEstimate(m_counts) + ") in " + Seconds(seconds);
    switch (job.scripts) {
    case CAnalysisJob::EScripts::None:
        text += "; without scripts: item definitions and DEFNAME names took no part";
        break;
    case CAnalysisJob::EScripts::Load:
        text += "; scripts loaded from " + WholePath(job.inputs.scriptDirectory) + " (" +
                std::to_string(m_scripts.itemDefs.GetSize()) + " item definitions)";
        break;
    case CAnalysisJob::EScripts::Kept:
        break;
    }
    m_wiring.status->ShowText(Q(text),
                              m_notes.empty() ? CStatusLine::Kind::Done : CStatusLine::Kind::Warning);
    InputsChanged();
    ShowNotice();
    UpdateButtons();
    emit CommandFinished();
}

// ---------------------------------------------------------------- Create Patch File and Clean Worldfile

void CCommandPanel::CreatePatchFile() {
    if (IsBusy())
        return;
    InputsChanged();
    if (!m_analysed || IsOutOfDate())
        return; // the button is disabled then
    const std::string path = Controls().GetText(IDC_PATCHFILE);
    if (path.empty()) {
        Fail("Create Patch File", "Please enter the path to your patch file", MessageIcon::Information);
        return;
    }
    auto job = std::make_shared<CPatchJob>();
    job->path = path;
    job->world = Controls().GetText(IDC_WORLDFILE);
    auto relay = std::make_shared<CProgressRelay>(nullptr, m_progressHook);
    BeginCommand(ECommand::Patch, relay);
    m_wiring.status->ShowText(tr("Writing %1...").arg(Q(WholePath(path))));
    CScriptObjects& scripts = m_scripts;
    const CFreezeList& list = m_freezeList;
    const std::shared_ptr<CCancelToken> cancel = m_cancel;
    Run(
        [job, relay, cancel, &scripts, &list] {
            job->result =
                frostmark::CreatePatchFile(job->path, list, scripts, relay.get(), job->world, cancel.get());
        },
        [this, job] { FinishPatch(*job); });
}

void CCommandPanel::FinishPatch(CPatchJob& job) {
    const double seconds = m_runner.Elapsed();
    EndCommand();
    const CPatchResult& result = job.result;
    if (result.cancelled) {
        // The file of that name, if any, is the one written before: as current as it was then.
        ShowCancelled("Create Patch File", "nothing was written to " + WholePath(job.path), seconds);
        emit CommandFinished();
        return;
    }
    if (!result.ok) {
        Fail("Create Patch File", result.error);
        emit CommandFinished();
        return;
    }
    m_patchCurrent = true;
    m_listEdited = false;
    m_wiring.status->ShowText(Q("Patch file written: " + WholePath(job.path) + " (" +
                                FormatCounted(result.objects, "object", "objects") + " in " +
                                FormatCounted(result.groups, "group", "groups") + ", " +
                                std::to_string(result.bytes) + " bytes) in " + Seconds(seconds)),
                              CStatusLine::Kind::Done);
    ShowNotice();
    UpdateButtons();
    emit CommandFinished();
}

void CCommandPanel::CleanWorldfile() {
    if (IsBusy())
        return;
    InputsChanged();
    if (!m_analysed || IsOutOfDate() || !m_patchCurrent)
        return; // the button is disabled then
    const std::string output = Controls().GetText(IDC_OUTPUTWORLD);
    if (output.empty()) {
        Fail("Clean Worldfile", "Please enter the path to your output worldfile", MessageIcon::Information);
        return;
    }
    auto job = std::make_shared<CCleanJob>();
    job->input = Controls().GetText(IDC_WORLDFILE);
    job->output = output;
    auto relay = std::make_shared<CProgressRelay>(nullptr, m_progressHook);
    BeginCommand(ECommand::Clean, relay);
    m_wiring.status->ShowText(tr("Writing %1...").arg(Q(WholePath(output))));
    CScriptObjects& scripts = m_scripts;
    const CFreezeList& list = m_freezeList;
    const std::shared_ptr<CCancelToken> cancel = m_cancel;
    Run(
        [job, relay, cancel, &scripts, &list] {
            // The world is written as the system's own text files are (CR LF on Windows).
            frostmark::CCleanOptions options;
            options.lineEnd = frostmark::kSystemLineEnd;
            options.cancel = cancel.get();
            job->result =
                frostmark::CleanWorldFile(job->input, job->output, list, scripts, relay.get(), options);
        },
        [this, job] { FinishClean(*job); });
}

void CCommandPanel::FinishClean(CCleanJob& job) {
    const double seconds = m_runner.Elapsed();
    EndCommand();
    const CCleanResult& result = job.result;
    if (result.cancelled) {
        ShowCancelled("Clean Worldfile", "nothing was written to " + WholePath(job.output), seconds);
        emit CommandFinished();
        return;
    }
    if (!result.ok) {
        Fail("Clean Worldfile", result.error);
        emit CommandFinished();
        return;
    }
    const std::string figures = std::to_string(result.recordsDropped) + " of " +
                                std::to_string(result.recordsExpected) + " frozen records dropped, " +
                                std::to_string(result.bytesWritten) + " bytes";
    m_wiring.status->ShowText(Q("Output world file written: " + WholePath(job.output) + " (" + figures +
                                ") in " + Seconds(seconds)),
                              result.DroppedAsExpected() ? CStatusLine::Kind::Done
                                                         : CStatusLine::Kind::Warning);
    if (!result.DroppedAsExpected()) {
        ShowMessage(m_services.messages,
                    "Only " + std::to_string(result.recordsDropped) + " of the " +
                        std::to_string(result.recordsExpected) + " frozen objects were found in " +
                        job.input +
                        ". The world file has changed since the analysis: analyze it again and create a new "
                        "patch file before using the output world file.",
                    kMessageCaption, MessageIcon::Warning);
    }
    UpdateButtons();
    emit CommandFinished();
}

// ---------------------------------------------------------------- the list

std::optional<CCommandPanel::CRemovedObjects> CCommandPanel::DeleteSelected() {
    if (IsBusy() || m_objects->IsLive())
        return std::nullopt;
    QTableView* view = ObjectsView();
    const QItemSelection selection = view->selectionModel()->selection();
    std::vector<std::size_t> indexes;
    int first = -1;
    for (const QItemSelectionRange& range : selection) {
        first = first < 0 ? range.top() : std::min(first, range.top());
        for (int row = range.top(); row <= range.bottom(); ++row)
            indexes.push_back(m_objects->ListIndex(row));
    }
    if (indexes.empty())
        return std::nullopt;
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    CRemovedObjects removed;
    removed.analysis = m_analysis;
    removed.records.reserve(indexes.size());
    removed.offsets.reserve(indexes.size());
    for (const std::size_t index : indexes) {
        removed.records.push_back(m_freezeList[index]);
        removed.offsets.push_back(m_freezeList.OffsetOf(index));
    }
    removed.indexes = indexes;
    const int scroll = view->verticalScrollBar()->value();
    // A sort still running reads the list: its order is taken in first, then brought up to date.
    m_objects->FinishSort();
    const std::size_t count = RemoveFreezeEntries(m_freezeList, indexes, m_counts);
    m_objects->EntriesRemoved(indexes);
    view->verticalScrollBar()->setValue(scroll);
    if (const int rows = m_objects->rowCount(); rows > 0)
        view->selectionModel()->setCurrentIndex(m_objects->index(std::min(first, rows - 1), 0),
                                                QItemSelectionModel::NoUpdate);
    ListEdited(tr("Removed %1 from Patch Objects: %2 to freeze").arg(Rows(count), ObjectsToFreeze(m_counts)));
    return removed;
}

bool CCommandPanel::RemoveAgain(const CRemovedObjects& removed) {
    if (IsBusy() || m_objects->IsLive() || removed.analysis != m_analysis)
        return false;
    m_objects->FinishSort();
    const std::size_t count = RemoveFreezeEntries(m_freezeList, removed.indexes, m_counts);
    m_objects->EntriesRemoved(removed.indexes);
    ListEdited(
        tr("Removed %1 from Patch Objects again: %2 to freeze").arg(Rows(count), ObjectsToFreeze(m_counts)));
    return true;
}

bool CCommandPanel::RestoreRemoved(const CRemovedObjects& removed) {
    if (IsBusy() || m_objects->IsLive() || removed.analysis != m_analysis)
        return false;
    m_objects->FinishSort();
    // The list again in file order, each record back at its index. (The clean then finds the records
    // to drop by itself: what the analysis had worked out for it was for the list before the edits.)
    CFreezeList merged;
    const std::size_t total = m_freezeList.Count() + removed.indexes.size();
    std::size_t next = 0, kept = 0;
    for (std::size_t i = 0; i < total; ++i) {
        if (next < removed.indexes.size() && removed.indexes[next] == i) {
            merged.Append(removed.records[next], removed.offsets[next]);
            ++next;
        } else {
            merged.Append(m_freezeList[kept], m_freezeList.OffsetOf(kept));
            ++kept;
        }
    }
    m_objects->ShowList(nullptr);
    m_freezeList = std::move(merged);
    RemoveFreezeEntries(m_freezeList, {}, m_counts); // the counts of the list as it is now
    m_objects->ShowList(&m_freezeList);
    // The rows in the order the user sorted them by, before they are chosen.
    m_objects->FinishSort();
    QTableView* view = ObjectsView();
    QItemSelection back;
    for (const std::size_t index : removed.indexes)
        if (const int row = m_objects->RowOf(index); row >= 0)
            back.select(m_objects->index(row, 0), m_objects->index(row, kPatchColumnCount - 1));
    view->selectionModel()->select(back, QItemSelectionModel::ClearAndSelect);
    if (const int row = m_objects->RowOf(removed.indexes.front()); row >= 0) {
        view->selectionModel()->setCurrentIndex(m_objects->index(row, 0), QItemSelectionModel::NoUpdate);
        view->scrollTo(m_objects->index(row, 0));
    }
    ListEdited(tr("Put %1 back into Patch Objects: %2 to freeze")
                   .arg(Rows(removed.indexes.size()), ObjectsToFreeze(m_counts)));
    return true;
}

void CCommandPanel::ListEdited(const QString& status) {
    SetResultFields(m_counts);
    // The list is the result itself, so it stays current; but a patch file written before no longer
    // holds exactly these objects, and a clean must match the patch.
    if (m_patchCurrent) {
        m_patchCurrent = false;
        m_listEdited = true;
    }
    m_wiring.status->ShowText(status);
    ShowNotice();
    UpdateButtons();
}

// ---------------------------------------------------------------- out of date

CAnalysisInputs CCommandPanel::CurrentInputs() {
    CAnalysisInputs inputs;
    inputs.worldPath = Controls().GetText(IDC_WORLDFILE);
    inputs.worldFile = StampOf(inputs.worldPath);
    inputs.scriptDirectory = Controls().GetText(IDC_SCRIPTDIR);
    inputs.options = m_wiring.readOptions();
    return inputs;
}

void CCommandPanel::InputsChanged() {
    std::string reason;
    if (m_analysed)
        reason = frostmark::OutOfDateReason(FirstChange(*m_analysed, CurrentInputs()));
    if (reason == m_outOfDate)
        return;
    m_outOfDate = reason;
    ShowResultStyle();
    ShowNotice();
    UpdateButtons();
}

QString CCommandPanel::NoticeText() const {
    auto* notice = qobject_cast<QLabel*>(Widget(IDC_NOTICE));
    return notice ? notice->text() : QString();
}

void CCommandPanel::ShowNotice() {
    QStringList lines;
    if (!m_outOfDate.empty())
        lines << Q(m_outOfDate);
    for (const std::string& note : m_notes)
        lines << Q(note);
    if (m_analysed && m_listEdited && !m_patchCurrent)
        lines << tr(
            "Rows were removed from Patch Objects since the patch file was written: Create Patch File "
            "again before Clean Worldfile");
    auto* notice = qobject_cast<QLabel*>(Widget(IDC_NOTICE));
    notice->setText(lines.join(QLatin1Char('\n')));
    notice->setToolTip(lines.size() > 2 ? lines.join(QLatin1Char('\n')) : QString());
    QPalette palette = notice->palette();
    palette.setColor(QPalette::WindowText, m_outOfDate.empty()
                                               ? notice->parentWidget()->palette().color(QPalette::WindowText)
                                               : QColor(0x9a, 0x3b, 0x00));
    notice->setPalette(palette);
}

void CCommandPanel::ShowResultStyle() {
    // Out of date: the figures stay readable but struck through and greyed, and say why on hover.
    for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE}) {
        QWidget* field = Widget(id);
        QFont font = field->font();
        font.setStrikeOut(!m_outOfDate.empty());
        field->setFont(font);
        field->setEnabled(m_outOfDate.empty());
        field->setToolTip(m_outOfDate.empty() ? QString() : Q(m_outOfDate));
    }
}

// ---------------------------------------------------------------- running

void CCommandPanel::BeginCommand(ECommand command, std::shared_ptr<CProgressRelay> relay) {
    m_command = command;
    m_phase = CProgressRelay::EPhase::Working;
    m_relay = std::move(relay);
    m_cancel = std::make_shared<CCancelToken>();
    SetProgressBar(0, 1);
    m_progressTimer.start();
    if (m_wiring.window)
        m_wiring.window->setCursor(Qt::BusyCursor);
    // The buttons are disabled before the command's thread exists: nothing can start a second one.
    Controls().Enable(IDC_ANALYZE, false);
    Controls().Enable(IDC_CREATEPATCH, false);
    Controls().Enable(IDC_CLEANWORLD, false);
    Controls().Enable(IDC_CANCEL_COMMAND, false);
}

void CCommandPanel::EndCommand() {
    RefreshProgress();
    m_progressTimer.stop();
    m_relay.reset();
    m_cancel.reset();
    m_command = ECommand::None;
    Controls().SetProgressPos(IDC_PROGRESS, 0);
    if (m_wiring.window)
        m_wiring.window->unsetCursor();
    UpdateButtons();
}

void CCommandPanel::Run(std::function<void()> work, std::function<void()> done) {
    m_runner.Start(std::move(work), std::move(done));
    UpdateButtons();
}

void CCommandPanel::Cancel() {
    if (!IsBusy() || !m_cancel || m_cancel->IsCancelled())
        return;
    // The command looks at the token every few thousand lines or records and stops within a fraction of
    // a second; its results then come in as for any other end.
    m_cancel->Cancel();
    g_Log.Log("Cancel requested");
    m_wiring.status->ShowText(tr("Cancelling..."), CStatusLine::Kind::Warning);
    UpdateButtons();
}

void CCommandPanel::ShowCancelled(const std::string& command, const std::string& what, double seconds) {
    const std::string text = command + " cancelled after " + Seconds(seconds) + ": " + what;
    g_Log.Log("%s", text.c_str());
    m_wiring.status->ShowText(Q(text), CStatusLine::Kind::Warning);
    ShowNotice();
    UpdateButtons();
}

void CCommandPanel::RefreshProgress() {
    if (!m_relay)
        return;
    const CProgressRelay::CSnapshot now = m_relay->Read();
    if (now.phase != m_phase && !IsCancelling()) {
        m_phase = now.phase;
        m_wiring.status->ShowText(m_phaseText[m_phase == CProgressRelay::EPhase::LoadingScripts ? 1 : 0]);
    }
    SetProgressBar(now.done, now.total);
    if (m_command == ECommand::Analyze && now.hasCounts)
        SetResultFields(now.counts);
    m_objects->Refresh();
}

void CCommandPanel::UpdateButtons() {
    const bool busy = IsBusy();
    const bool current = m_analysed.has_value() && m_outOfDate.empty();
    Controls().Enable(IDC_ANALYZE, !busy);
    Controls().Enable(IDC_CREATEPATCH, !busy && current);
    Controls().Enable(IDC_CLEANWORLD, !busy && current && m_patchCurrent);
    Controls().Enable(IDC_CANCEL_COMMAND, busy && !IsCancelling());
}

void CCommandPanel::ClearResults() {
    ++m_analysis;
    m_objects->FinishSort();
    m_objects->ShowList(nullptr);
    m_freezeList.RemoveAll();
    m_counts = CAnalysisCounts{};
    ClearResultFields();
    m_analysed.reset();
    m_outOfDate.clear();
    m_notes.clear();
    m_patchCurrent = false;
    m_listEdited = false;
    ShowResultStyle();
    ShowNotice();
    UpdateButtons();
}

void CCommandPanel::SetResultFields(const CAnalysisCounts& counts) {
    Controls().SetText(IDC_TOPLEVEL_COUNT, FormatTopLevelCount(counts));
    Controls().SetText(IDC_FREEZE_COUNT, FormatFreezeCount(counts));
    Controls().SetText(IDC_PATCH_SIZE, FormatSizeEstimate(counts));
}

void CCommandPanel::ClearResultFields(const QString& text) {
    for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE})
        Controls().SetText(id, text.toStdString());
}

void CCommandPanel::Fail(const std::string& command, const std::string& message, MessageIcon icon) {
    m_wiring.status->ShowText(Q(command + (icon == MessageIcon::Information ? ": " : " failed: ") + message),
                              icon == MessageIcon::Information ? CStatusLine::Kind::Warning
                                                               : CStatusLine::Kind::Error);
    ShowMessage(m_services.messages, message, kMessageCaption, icon);
}

void CCommandPanel::SetProgressBar(std::uint64_t done, std::uint64_t total) {
    // The bar counts in 32 bits; larger files are shown in proportion.
    const std::uint64_t divisor = total / 0x7FFFFFFFu + 1;
    Controls().SetProgressRange(IDC_PROGRESS, 0, static_cast<std::uint32_t>(total / divisor));
    Controls().SetProgressPos(IDC_PROGRESS, static_cast<std::uint32_t>(std::min(done, total) / divisor));
}

} // namespace frostmark
