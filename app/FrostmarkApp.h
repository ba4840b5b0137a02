#pragma once
// The application object: owns the script registry for the whole run and the Qt services, and runs
// the main dialog modally; the program ends when the dialog closes.

#include "model/ScriptObjects.h"
#include "platform/qt/QtProgressWindow.h"
#include "platform/qt/QtServices.h"

#include <QApplication>

#include <memory>
#include <optional>
#include <string>

namespace frostmark {

class CFrostmarkApp : public QApplication {
    Q_OBJECT
public:
    CFrostmarkApp(int& argc, char** argv);
    ~CFrostmarkApp() override;

    // Start-up: reads the command line, runs the main dialog modally and destroys it. Answers the
    // program's exit status.
    int InitInstance();

    // --help and --version, answered before any window system is needed (a host without a display
    // can still ask): prints and answers the exit status; nullopt when neither was asked for.
    static std::optional<int> AnswerInformationOptions(int argc, char** argv);

    CScriptObjects& Scripts() { return m_scripts; }

private:
    CScriptObjects m_scripts;
    std::unique_ptr<CQtSettingsStore> m_settings;
    CQtMessageBox m_messages;
    CQtWaitCursor m_waitCursor;
    CQtTimerService m_timers;
    CQtProgressViewFactory m_progressViews;
};

} // namespace frostmark
