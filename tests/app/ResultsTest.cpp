// Whether the results on screen still describe the inputs: every input of the analysis marks them out of
// date when it changes (and current again when it is put back), removing rows does not; the scripts are
// read again exactly when their directory or files changed; a script directory that is missing or holds
// no script set stops the analysis before anything runs; and what the analysis says about its options.
#include "AppTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace frostmark;
using namespace frostmark::testing;

namespace fs = std::filesystem;

class ResultsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    std::string Path(const char* name) const {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    // A copy of the sample shard the test may change: world and scripts.
    void CopySample() {
        fs::remove_all(Path("shard"));
        fs::create_directories(Path("shard"));
        fs::copy(SampleScripts(), Path("shard/scripts"), fs::copy_options::recursive);
        fs::copy_file(SampleWorld(), Path("shard/world.wsc"));
    }

    void AnalyzeCopy(CDialogHarness& h) {
        h.Type(IDC_WORLDFILE, QString::fromStdString(Path("shard/world.wsc")));
        h.Type(IDC_PATCHFILE, QString::fromStdString(Path("shard/stat_tavrel.frz")));
        h.Type(IDC_OUTPUTWORLD, QString::fromStdString(Path("shard/clean.wsc")));
        h.Type(IDC_SCRIPTDIR, QString::fromStdString(Path("shard/scripts")));
        for (int id : {IDC_NEVER_MOVEABLE, IDC_STATIC_ATTR, IDC_EXCLUDE_DOORS})
            h.SetChecked(id, true);
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(!h.Commands().IsOutOfDate());
    }

    static bool Struck(CDialogHarness& h) {
        for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE})
            if (!h.Control(id)->font().strikeOut() || h.Control(id)->isEnabled())
                return false;
        return true;
    }

private slots:
    void init() { fs::remove(SettingsFile().toStdString()); }

    void everyInputOfTheAnalysisMarksTheResultsOutOfDate() {
        CopySample();
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeCopy(h);
        h.ClickAndWait(IDC_CREATEPATCH);
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        const std::string figures = h.Text(IDC_FREEZE_COUNT);

        struct CTrigger {
            const char* reason;
            std::function<void()> change;
            std::function<void()> undo;
        };
        auto* exclude = h.Control(IDC_EXCLUDE_ART);
        const QString world = QString::fromStdString(Path("shard/world.wsc"));
        const QString scripts = QString::fromStdString(Path("shard/scripts"));
        const CTrigger triggers[] = {
            {"WorldFile path changed", [&] { h.Type(IDC_WORLDFILE, world + QStringLiteral("x")); },
             [&] { h.Type(IDC_WORLDFILE, world); }},
            {"Script Directory changed", [&] { h.Type(IDC_SCRIPTDIR, scripts + QStringLiteral("/")); },
             [&] { h.Type(IDC_SCRIPTDIR, scripts); }},
            {"Options changed", [&] { h.SetChecked(IDC_EXCLUDE_LIGHTS, true); },
             [&] { h.SetChecked(IDC_EXCLUDE_LIGHTS, false); }},
            {"Options changed", [&] { h.SetChecked(IDC_STATIC_ATTR, false); },
             [&] { h.SetChecked(IDC_STATIC_ATTR, true); }},
            {"Exclude Art IDs changed", [&] { h.Type(IDC_EXCLUDE_ART, QStringLiteral("0eed")); },
             [&] { h.Type(IDC_EXCLUDE_ART, QString()); }},
            {"Include Art IDs changed", [&] { h.Type(IDC_INCLUDE_ART, QStringLiteral("0f3f")); },
             [&] { h.Type(IDC_INCLUDE_ART, QString()); }},
            {"Patch areas changed", [&] { h.dlg->AddPatchAreaText("100, 100, 3000, 3000"); },
             [&] {
                 auto* areas = h.dlg->ControlAs<QListWidget>(IDC_PATCH_AREAS);
                 areas->setFocus();
                 areas->item(0)->setSelected(true);
                 QTest::keyClick(areas, Qt::Key_Delete);
             }},
        };
        for (const CTrigger& trigger : triggers) {
            trigger.change();
            const QString reason =
                QString::fromLatin1(trigger.reason) + QStringLiteral(" since the analysis: Analyze again");
            QCOMPARE(QString::fromStdString(h.Commands().OutOfDateReason()), reason);
            QCOMPARE(h.Notice(), reason);
            QVERIFY2(Struck(h), trigger.reason);
            QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
            QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
            // The figures stay readable, only marked.
            QCOMPARE(h.Text(IDC_FREEZE_COUNT), figures);
            // Put back as analysed, the results describe the inputs again.
            trigger.undo();
            QVERIFY2(!h.Commands().IsOutOfDate(), trigger.reason);
            QCOMPARE(h.Notice(), QString());
            QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
            QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        }
        // A blank line in an art ID box reads as nothing: the results still hold.
        QTest::keyClick(exclude, Qt::Key_Return);
        QVERIFY(!h.Commands().IsOutOfDate());

        // The world file itself: another modification time, then another size. The window looks by itself.
        const fs::path file = Path("shard/world.wsc");
        fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(3));
        QTRY_VERIFY_WITH_TIMEOUT(h.Commands().IsOutOfDate(), 5000);
        QCOMPARE(h.Notice(),
                 QStringLiteral("The world file changed on disk since the analysis: Analyze again"));
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(!h.Commands().IsOutOfDate());
        std::ofstream(file, std::ios::app) << "\n";
        h.dlg->InputsChanged();
        QVERIFY(h.Commands().IsOutOfDate());
        // Clicking a disabled command through its handler writes nothing either.
        h.dlg->OnCreatePatchFile();
        QVERIFY(!h.Commands().IsBusy());
        h.ClickAndWait(IDC_ANALYZE);

        // Removing rows edits the result itself: it stays current.
        auto* view = h.Commands().ObjectsView();
        view->setFocus();
        view->selectionModel()->select(h.Objects().index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(view, Qt::Key_Delete);
        QVERIFY(!h.Commands().IsOutOfDate());
        QVERIFY(!Struck(h));
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
    }

    void scriptsAreReadAgainExactlyWhenTheyChanged() {
        CopySample();
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeCopy(h);
        const int loads = h.progress.created;
        QVERIFY(loads > 0);
        QVERIFY(h.Status().contains(QStringLiteral("scripts loaded from")));
        const std::string frozen = h.Text(IDC_FREEZE_COUNT);

        // Unchanged: kept.
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.progress.created, loads);
        QVERIFY(!h.Status().contains(QStringLiteral("scripts loaded from")));

        // A script file touched (only its time): read again, to the same figures.
        const fs::path items = Path("shard/scripts/scripts/items_000.scp");
        fs::last_write_time(items, fs::last_write_time(items) + std::chrono::seconds(2));
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(h.progress.created > loads);
        QVERIFY(h.Status().contains(QStringLiteral("scripts loaded from")));
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), frozen);

        // A file added, then removed: read again each time.
        int before = h.progress.created;
        WriteText(Path("shard/scripts/scripts/extra.scp"), "[ITEMDEF 0123]\nTYPE=t_door\n");
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(h.progress.created > before);
        before = h.progress.created;
        fs::remove(Path("shard/scripts/scripts/extra.scp"));
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(h.progress.created > before);

        // Another directory holding the same scripts: read from there.
        fs::copy(Path("shard/scripts"), Path("shard/scripts2"), fs::copy_options::recursive);
        before = h.progress.created;
        h.Type(IDC_SCRIPTDIR, QString::fromStdString(Path("shard/scripts2")));
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(h.progress.created > before);
        QVERIFY(h.Status().contains(QString::fromStdString(Path("shard/scripts2"))));
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), frozen);

        // No directory: the scripts take no part, and the status line says so.
        h.Type(IDC_SCRIPTDIR, QString());
        h.ClickAndWait(IDC_ANALYZE);
        QVERIFY(h.scripts.itemDefs.IsEmpty());
        QVERIFY(h.Status().contains(QStringLiteral("without scripts")));
    }

    void aScriptDirectoryWithoutScriptsStopsTheAnalysis() {
        CopySample();
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeCopy(h);
        QVERIFY(h.Objects().rowCount() > 0);
        fs::create_directories(Path("shard/empty"));
        struct CCase {
            std::string directory;
            std::string message;
        };
        const CCase cases[] = {
            {Path("shard/nowhere"),
             "Unable to open the script directory " + Path("shard/nowhere") + ": No such file or directory"},
            {Path("shard/world.wsc"),
             "Unable to open the script directory " + Path("shard/world.wsc") + ": is not a directory"},
            {Path("shard/empty"), "no script files in " + Path("shard/empty")},
            // One level too deep: the scripts the ini file lists, without the ini file.
            {Path("shard/scripts/scripts"), "no script files in " + Path("shard/scripts/scripts")},
        };
        for (const CCase& c : cases) {
            h.messages.Clear();
            const int windows = h.progress.created;
            h.Type(IDC_SCRIPTDIR, QString::fromStdString(c.directory));
            h.ClickAndWait(IDC_ANALYZE);
            QCOMPARE(h.messages.Messages().size(), std::size_t{1});
            QVERIFY2(h.messages.Messages()[0].text.rfind(c.message, 0) == 0,
                     h.messages.Messages()[0].text.c_str());
            QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Error);
            QVERIFY(h.Status().startsWith(QStringLiteral("Analyze failed: ")));
            // Nothing ran: no script read, no results.
            QCOMPARE(h.progress.created, windows);
            QCOMPARE(h.Objects().rowCount(), 0);
            QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::string());
            QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        }
    }

    void theAnalysisSaysWhatItMadeOfItsOptions() {
        CDialogHarness h(SettingsFile());
        h.Show();
        h.Type(IDC_WORLDFILE, QString::fromStdString(SampleWorld()));
        h.Type(IDC_SCRIPTDIR, QString::fromStdString(SampleScripts()));
        h.Type(IDC_EXCLUDE_ART, QStringLiteral("0eed\n0xzz\nlamp\n0f3f"));
        h.Type(IDC_INCLUDE_ART, QStringLiteral("12zz"));
        // Neither Include box: only the include list can choose.
        h.ClickAndWait(IDC_ANALYZE);
        const QString notice = h.Notice();
        QVERIFY2(notice.contains(QStringLiteral("Only the objects of Include Art IDs can be chosen")),
                 qPrintable(notice));
        QVERIFY2(notice.contains(QStringLiteral("Exclude Art IDs: skipped line 2 \"0xzz\", line 3 \"lamp\"")),
                 qPrintable(notice));
        QVERIFY2(notice.contains(QStringLiteral("Include Art IDs: line 1 \"12zz\" read as 0012")),
                 qPrintable(notice));
        QCOMPARE(h.dlg->StatusLine()->CurrentKind(), CStatusLine::Kind::Warning);
        // With no include list either, nothing can be chosen, and the notice says why.
        h.Type(IDC_INCLUDE_ART, QString());
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::string("0"));
        QVERIFY2(h.Notice().contains(QStringLiteral(
                     "Nothing can be chosen: neither Never Moveable (010) nor Static (08000)")),
                 qPrintable(h.Notice()));
        // Ticked and with clean lines, nothing is left to say.
        h.SetChecked(IDC_STATIC_ATTR, true);
        h.Type(IDC_EXCLUDE_ART, QStringLiteral("0eed"));
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.Notice(), QString());
        QCOMPARE(h.dlg->StatusLine()->CurrentKind(), CStatusLine::Kind::Done);
    }

    void aStatusCutOffShowsWholeInItsTooltip() {
        CDialogHarness h(SettingsFile());
        h.Show();
        CElidedLabel* label = h.dlg->StatusLine()->MessageLabel();
        const QString longText =
            QStringLiteral("Patch file written: ") + QString(300, QLatin1Char('x')) +
            QStringLiteral("/stat_tavrel.frz (1148 objects in 1111 groups, 18041 bytes)");
        h.dlg->StatusLine()->ShowText(longText);
        QApplication::processEvents();
        QVERIFY(label->text() != longText);
        QVERIFY(label->text().endsWith(QChar(0x2026)));
        QCOMPARE(label->toolTip(), longText);
        // A text that fits needs no tooltip; the window's width decides.
        h.dlg->StatusLine()->ShowText(QStringLiteral("Analysis done"));
        QCOMPARE(label->text(), QStringLiteral("Analysis done"));
        QCOMPARE(label->toolTip(), QString());
        h.dlg->StatusLine()->ShowText(longText.left(140));
        QApplication::processEvents();
        QCOMPARE(label->toolTip(), longText.left(140));
        h.dlg->resize(1900, 700);
        QTRY_COMPARE(label->text(), longText.left(140));
        QCOMPARE(label->toolTip(), QString());
    }
};

FROSTMARK_APP_SUITE(ResultsTest)
#include "ResultsTest.moc"
