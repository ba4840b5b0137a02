#pragma once
// What every GUI test needs: a dialog wired to settings in a temporary file, message boxes that
// record instead of blocking, a progress window factory that counts the windows it showed, and the
// sample shard.

#include "app/CommandPanel.h"
#include "app/FrostmarkDlg.h"
#include "app/PatchObjectsModel.h"
#include "app/Resource.h"
#include "app/StatusLine.h"
#include "model/ScriptObjects.h"
#include "platform/MemoryServices.h"
#include "platform/qt/QtProgressWindow.h"
#include "platform/qt/QtServices.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace frostmark::testing {

// Shows the real "Loading File" windows and remembers whether each was on screen when created.
class CCountingProgressViews : public IProgressViewFactory {
public:
    std::unique_ptr<IProgressView> CreateProgressView() override;
    int created = 0;
    int shownAtCreation = 0;

private:
    CQtProgressViewFactory m_qt;
};

// The Qt wait cursor, counted.
class CCountingWaitCursor : public IWaitCursor {
public:
    void Begin() override {
        ++m_begins;
        ++m_depth;
        m_qt.Begin();
    }
    void End() override {
        --m_depth;
        m_qt.End();
    }
    int Begins() const { return m_begins; }
    int Depth() const { return m_depth; }

private:
    CQtWaitCursor m_qt;
    int m_begins = 0;
    int m_depth = 0;
};

// One dialog and everything around it. Settings live in `settingsFile`, never in the user's own.
struct CDialogHarness {
    explicit CDialogHarness(const QString& settingsFile, CFrostmarkDlg::Options options = {});
    ~CDialogHarness();

    CScriptObjects scripts;
    CQtSettingsStore settings;
    CMemoryMessageBox messages;
    CCountingWaitCursor waitCursor;
    CQtTimerService timers;
    CCountingProgressViews progress;
    std::unique_ptr<CFrostmarkDlg> dlg;

    // Shows the dialog and waits until it is on the (offscreen) screen.
    void Show();
    QWidget* Control(int id) const { return dlg->Control(id); }
    CCommandPanel& Commands() const { return dlg->Commands(); }
    CPatchObjectsModel& Objects() const { return dlg->Commands().Objects(); }
    QString Status() const { return dlg->StatusLine()->Text(); }
    QString Notice() const { return dlg->Commands().NoticeText(); }
    std::string Text(int id) const { return dlg->Controls().GetText(id); }
    // Types into an edit field as a user would.
    void Type(int id, const QString& text);
    void Click(int id);
    // Clicks a command button and waits until the command has ended and its results are shown.
    void ClickAndWait(int id);
    void SetChecked(int id, bool checked);
};

// The bundled sample shard.
std::string SampleWorld();
std::string SampleScripts();
// The files of the expected results of the sample shard, derived independently of the program.
std::string GoldenPatch();
std::string GoldenSerials();

// Writes a synthetic world of `items` records (the world generator's defaults, a fixed seed).
void WriteGeneratedWorld(const std::string& path, std::uint64_t items, std::uint64_t seed = 7);

std::vector<char> ReadBytes(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// The test classes by name, filled by FROSTMARK_APP_SUITE.
std::map<QString, std::function<QObject*()>>& Suites();
struct CSuiteRegistration {
    CSuiteRegistration(const char* name, std::function<QObject*()> make) {
        Suites()[QString::fromLatin1(name)] = make;
    }
};
#define FROSTMARK_APP_SUITE(Class)                                                                           \
    static const ::frostmark::testing::CSuiteRegistration s_register##Class(#Class, [] { return new Class; });

} // namespace frostmark::testing
