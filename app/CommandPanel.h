#pragma once
// The dialog's three commands and what they leave behind: Analyze, Create Patch File and Clean Worldfile
// run on a thread of their own while the window keeps answering; the three figures, the progress bar and
// the Patch Objects list follow them; the status line says what each did; the results are marked out of
// date as soon as an input of the analysis no longer matches them, and the commands that would write
// them are disabled until Analyze runs again. The dialog owns the controls and hands them in.

#include "app/AnalysisInputs.h"
#include "app/CommandRunner.h"
#include "engine/Analysis.h"
#include "engine/CancelToken.h"
#include "engine/FreezeList.h"
#include "model/ScriptSetState.h"
#include "platform/Services.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTableView;
class QWidget;

namespace frostmark {

class CKeptMessages;
class CPatchObjectsModel;
class CQueuedProgressViews;
class CScriptObjects;
class CStatusLine;

class CCommandPanel : public QObject {
    Q_OBJECT
public:
    struct CWiring {
        IDialogControls* controls = nullptr;
        // The widget of a control of the main dialog.
        std::function<QWidget*(int id)> widget;
        // The options as the dialog shows them now: the checkboxes, the art ID boxes, the patch areas.
        std::function<CFreezeOptions()> readOptions;
        CStatusLine* status = nullptr;
        QWidget* window = nullptr;
    };

    CCommandPanel(CScriptObjects& scripts, const CServices& services, CWiring wiring);
    ~CCommandPanel() override; // waits for the running command; its results are dropped

    // The three buttons. Each returns at once; the command goes on on its own thread.
    void Analyze();
    void CreatePatchFile();
    void CleanWorldfile();
    // Cancel, Escape and the close box: stops the running command.
    void Cancel();
    // What Delete took out of Patch Objects: enough to put it back, or to take it out again.
    struct CRemovedObjects {
        std::uint64_t analysis = 0;       // the analysis whose list it was
        std::vector<std::size_t> indexes; // list indexes before the removal, ascending
        std::vector<CWorldItem> records;
        std::vector<std::uint64_t> offsets;
    };
    // The Delete key in Patch Objects: the selected rows leave the list and the freeze list. Answers
    // what was removed (nothing when no row was selected or a command runs).
    std::optional<CRemovedObjects> DeleteSelected();
    // Undo and redo of a deletion: the records go back to their places in file order (and are
    // selected), or leave again. False, with nothing changed, once another analysis replaced the list
    // or while a command runs.
    bool RestoreRemoved(const CRemovedObjects& removed);
    bool RemoveAgain(const CRemovedObjects& removed);
    // Re-reads the inputs of the analysis and marks the results out of date, or current again.
    void InputsChanged();

    bool IsBusy() const { return m_runner.IsBusy(); }
    // A cancel was asked for and the running command has not stopped yet. Any thread may ask.
    bool IsCancelling() const { return m_cancel && m_cancel->IsCancelled(); }
    // For tests: called on the command's thread at each progress report, so a test can hold a command
    // at a known point.
    void SetProgressHook(std::function<void()> hook) { m_progressHook = std::move(hook); }
    // Waits for the running command and shows its results now.
    void WaitForCommand() { m_runner.Wait(); }

    const CFreezeList& FreezeList() const { return m_freezeList; }
    CPatchObjectsModel& Objects() const { return *m_objects; }
    QTableView* ObjectsView() const;
    bool IsOutOfDate() const { return !m_outOfDate.empty(); }
    const std::string& OutOfDateReason() const { return m_outOfDate; }
    // What the line above the status line says now.
    QString NoticeText() const;

signals:
    // A command has ended and its results are shown.
    void CommandFinished();

private:
    enum class ECommand { None, Analyze, Patch, Clean };
    struct CAnalysisJob;
    struct CPatchJob;
    struct CCleanJob;

    QWidget* Widget(int id) const { return m_wiring.widget(id); }
    IDialogControls& Controls() const { return *m_wiring.controls; }
    bool CheckScripts(CAnalysisJob& job);
    void BeginCommand(ECommand command, std::shared_ptr<CProgressRelay> relay);
    void Run(std::function<void()> work, std::function<void()> done);
    void ShowCancelled(const std::string& command, const std::string& what, double seconds);
    void EndCommand();
    void FinishAnalysis(CAnalysisJob& job);
    void FinishPatch(CPatchJob& job);
    void FinishClean(CCleanJob& job);
    void RefreshProgress();
    void UpdateButtons();
    void ShowNotice();
    void ClearResults();
    CAnalysisInputs CurrentInputs();
    void SetResultFields(const CAnalysisCounts& counts);
    void ClearResultFields(const QString& text = {});
    void ShowResultStyle();
    void Fail(const std::string& command, const std::string& message, MessageIcon icon = MessageIcon::Error);
    void SetProgressBar(std::uint64_t done, std::uint64_t total);
    void ListEdited(const QString& status);

    CScriptObjects& m_scripts;
    CServices m_services;
    CWiring m_wiring;

    CFreezeList m_freezeList;
    CAnalysisCounts m_counts;
    CPatchObjectsModel* m_objects;
    CQueuedProgressViews* m_loadingWindows; // the loaders' "Loading File" windows, from the command's thread
    std::shared_ptr<CKeptMessages> m_loaderMessages;

    CCommandRunner m_runner;
    ECommand m_command = ECommand::None;
    std::shared_ptr<CProgressRelay> m_relay;
    // The running command's, shared with its thread; a new one for each command.
    std::shared_ptr<CCancelToken> m_cancel;
    CProgressRelay::EPhase m_phase = CProgressRelay::EPhase::Working;
    QString m_phaseText[2]; // the status line while the command works, and while it loads the scripts
    QTimer m_progressTimer; // the figures, the bar and the list while a command runs
    QTimer m_watchTimer;    // the world file on disk
    std::function<void()> m_progressHook;

    std::optional<CAnalysisInputs> m_analysed; // the inputs of the results shown; none: no results
    std::string m_outOfDate;                   // why the results no longer match the inputs
    std::vector<std::string> m_notes;          // what the analysis had to say about its options
    bool m_patchCurrent = false;               // the patch file was written from the list as it is now
    bool m_listEdited = false;                 // rows were removed since the patch file was written
    std::uint64_t m_analysis = 0;              // counts the lists shown, so that old undo steps know

    // The script set in the registry: where it was loaded from and the state of its files then.
    std::string m_scriptDirectory;
    std::optional<CScriptSetState> m_scriptState;
};

} // namespace frostmark
