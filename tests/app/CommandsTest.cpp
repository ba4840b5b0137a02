// The three commands driven through the real buttons on the sample shard: the result fields, the Patch
// Objects list, the buttons' states, the files written, the status line after each command, and the
// messages for what goes wrong. Commands run on a thread of their own; a progress hook holds one at a
// known point where a test looks at the window meanwhile.
#include "AppTestSupport.h"

#include "engine/Selection.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>

using namespace frostmark;
using namespace frostmark::testing;

namespace {

// The options the sample's expected results were derived with: both include bits, every exclusion.
void ChooseSampleOptions(CDialogHarness& h) {
    for (int id : {IDC_NEVER_MOVEABLE, IDC_STATIC_ATTR, IDC_EXCLUDE_TYPED, IDC_EXCLUDE_DOORS,
                   IDC_EXCLUDE_SIGNS, IDC_EXCLUDE_LIGHTS, IDC_EXCLUDE_CONTAINERS})
        h.SetChecked(id, true);
}

// A result field's number; an empty field reads as 0.
long FieldNumber(const std::string& text) {
    return text.empty() ? 0 : std::stol(text);
}

std::set<unsigned long> GoldenSerialSet() {
    std::set<unsigned long> serials;
    for (const auto& line : ReadLines(GoldenSerials()))
        if (!line.empty())
            serials.insert(std::stoul(line, nullptr, 16));
    return serials;
}

// The world file without the records whose serial is in `frozen`: a record runs from its "[WORLDITEM"
// header up to the next line that opens a section.
std::vector<std::string> WorldWithout(const std::vector<std::string>& world,
                                      const std::set<unsigned long>& frozen) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < world.size();) {
        if (world[i].rfind("[WORLDITEM", 0) != 0) {
            out.push_back(world[i++]);
            continue;
        }
        std::size_t end = i + 1;
        unsigned long serial = 0;
        bool hasSerial = false;
        while (end < world.size() && (world[end].empty() || world[end][0] != '[')) {
            // Keys are matched without regard to case.
            if (QString::fromStdString(world[end])
                    .startsWith(QStringLiteral("SERIAL="), Qt::CaseInsensitive)) {
                serial = std::stoul(world[end].substr(7), nullptr, 16);
                hasSerial = true;
            }
            ++end;
        }
        if (!(hasSerial && frozen.count(serial)))
            out.insert(out.end(), world.begin() + static_cast<long>(i),
                       world.begin() + static_cast<long>(end));
        i = end;
    }
    return out;
}

} // namespace

// Holds a command's thread at each progress report until the test lets it go on.
class CProgressGate {
public:
    std::function<void()> Hook() {
        return [this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            ++m_reports;
            m_changed.notify_all();
            // A command held here goes on as soon as the condition set by OpenWhen holds: the test's
            // own thread may be waiting for the command then, and cannot open the gate itself.
            while (!m_changed.wait_for(lock, std::chrono::milliseconds(5),
                                       [this] { return m_open || m_allowed > 0 || (m_when && m_when()); }))
                ;
            if (m_allowed > 0)
                --m_allowed;
        };
    }
    // Waits (handling the window's events) until the command is held at a report.
    bool WaitForReport(int count) {
        for (int i = 0; i < 2000; ++i) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_reports >= count)
                    return true;
            }
            QTest::qWait(5);
        }
        return false;
    }
    // Lets the command go on past `count` more reports.
    void Allow(int count) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_allowed += count;
        m_changed.notify_all();
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Lets the command go on once `condition` holds (asked on the command's thread).
    void OpenWhen(std::function<bool()> condition) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_when = std::move(condition);
    }
    int Reports() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_reports = 0;
    int m_allowed = 0;
    bool m_open = false;
    std::function<bool()> m_when;
};

class CommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    std::string Path(const char* name) const {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    // Fills the four paths and the sample's options and clicks Analyze.
    void FillSample(CDialogHarness& h, const std::string& world) {
        h.Type(IDC_WORLDFILE, QString::fromStdString(world));
        h.Type(IDC_PATCHFILE, QString::fromStdString(Path("stat_tavrel.frz")));
        h.Type(IDC_OUTPUTWORLD, QString::fromStdString(Path("clean.wsc")));
        h.Type(IDC_SCRIPTDIR, QString::fromStdString(SampleScripts()));
        ChooseSampleOptions(h);
    }
    void AnalyzeSample(CDialogHarness& h, const std::string& world) {
        FillSample(h, world);
        h.ClickAndWait(IDC_ANALYZE);
    }

private slots:
    void init() {
        std::filesystem::remove(Path("stat_tavrel.frz"));
        std::filesystem::remove(Path("clean.wsc"));
        std::filesystem::remove(SettingsFile().toStdString());
    }

    void analyzePatchAndCleanTheSampleShard() {
        CDialogHarness h(SettingsFile());
        h.Show();
        const std::string cwd = std::filesystem::current_path().string();
        AnalyzeSample(h, SampleWorld());

        const std::set<unsigned long> frozen = GoldenSerialSet();
        const auto n = static_cast<long>(frozen.size());
        QVERIFY(n > 100);
        QVERIFY(h.messages.Messages().empty());
        QCOMPARE(h.Text(IDC_TOPLEVEL_COUNT), std::string("3004"));
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(n));
        QCOMPARE(h.Text(IDC_PATCH_SIZE), std::to_string(9 * n) + " bytes");
        CPatchObjectsModel& rows = h.Objects();
        QCOMPARE(rows.rowCount(), static_cast<int>(n));
        QVERIFY(!rows.IsLive());
        // Rows in world file order: ID, x, y, z and colour in columns, and in the list's classic line form.
        QCOMPARE(rows.data(rows.index(0, 0)).toString(), QStringLiteral("018a0"));
        QCOMPARE(rows.data(rows.index(0, 1)).toInt(), 1413);
        QCOMPARE(rows.data(rows.index(0, 2)).toInt(), 1372);
        QCOMPARE(rows.data(rows.index(0, 3)).toInt(), 86);
        QCOMPARE(rows.RowText(0), QStringLiteral("018a0\t1413, 1372, 86\t   0"));
        QCOMPARE(rows.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Colour"));
        QCOMPARE(h.dlg->FreezeList().Count(), static_cast<std::size_t>(n));
        QCOMPARE(h.dlg->FreezeList()[0].serial, 0x40000001u);
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QVERIFY(!h.Control(IDC_CANCEL_COMMAND)->isEnabled());
        // The status line: the whole path of the world, the figures, the scripts read, the time taken.
        const QString world = QString::fromStdString(SampleWorld());
        QVERIFY2(h.Status().startsWith(QStringLiteral("Analyzed ") + world +
                                       QStringLiteral(": 3004 top-level objects, ") + QString::number(n) +
                                       QStringLiteral(" to freeze")),
                 qPrintable(h.Status()));
        QVERIFY2(
            h.Status().contains(QRegularExpression(QStringLiteral(
                " in [0-9.]+ (ms|s); scripts loaded from .*samples/scripts \\(1200 item definitions\\)$"))),
            qPrintable(h.Status()));
        // The scripts were read with the "Loading File" window on screen, and the working directory stayed.
        QVERIFY(h.progress.created > 0);
        QCOMPARE(h.progress.shownAtCreation, h.progress.created);
        QCOMPARE(std::filesystem::current_path().string(), cwd);
        QVERIFY(!h.scripts.itemDefs.IsEmpty());
        QCOMPARE(h.Notice(), QString());

        h.ClickAndWait(IDC_CREATEPATCH);
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(ReadBytes(Path("stat_tavrel.frz")) == ReadBytes(GoldenPatch()));
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        const auto patchBytes = ReadBytes(GoldenPatch()).size();
        QVERIFY2(h.Status().startsWith(QStringLiteral("Patch file written: %1 (%2 objects in ")
                                           .arg(QString::fromStdString(Path("stat_tavrel.frz")))
                                           .arg(n)),
                 qPrintable(h.Status()));
        QVERIFY2(h.Status().contains(QStringLiteral(" groups, %1 bytes) in ").arg(patchBytes)),
                 qPrintable(h.Status()));

        h.ClickAndWait(IDC_CLEANWORLD);
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(ReadLines(Path("clean.wsc")) == WorldWithout(ReadLines(SampleWorld()), frozen));
        QVERIFY2(h.Status().startsWith(
                     QStringLiteral(
                         "Output world file written: %1 (%2 of %2 frozen records dropped, %3 bytes) in ")
                         .arg(QString::fromStdString(Path("clean.wsc")))
                         .arg(n)
                         .arg(std::filesystem::file_size(Path("clean.wsc")))),
                 qPrintable(h.Status()));
        // Cleaning changes nothing in the dialog: it can run again.
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        QCOMPARE(h.dlg->FreezeList().Count(), static_cast<std::size_t>(n));

        // A second analysis keeps only its own objects and does not read the unchanged scripts again.
        const int windows = h.progress.created;
        h.SetChecked(IDC_STATIC_ATTR, false);
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.progress.created, windows);
        QVERIFY(!h.Status().contains(QStringLiteral("scripts loaded")));
        QCOMPARE(rows.rowCount(), static_cast<int>(h.dlg->FreezeList().Count()));
        QVERIFY(rows.rowCount() < n);
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(rows.rowCount()));
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
    }

    void theWindowFollowsARunningAnalysis() {
        CDialogHarness h(SettingsFile());
        h.Show();
        CProgressGate gate;
        h.Commands().SetProgressHook(gate.Hook());
        auto* bar = h.dlg->ControlAs<QProgressBar>(IDC_PROGRESS);
        // A world of some 30,000 records: a progress report every 1000 of its lines.
        const std::string world = Path("generated.wsc");
        WriteGeneratedWorld(world, 30000);
        h.Type(IDC_WORLDFILE, QString::fromStdString(world));
        ChooseSampleOptions(h);
        h.Click(IDC_ANALYZE);
        QVERIFY(h.Commands().IsBusy());
        // While it runs the window answers: the buttons that would start another command are off, and the
        // bar, the figures and the list move each time the analysis reports.
        QVERIFY(!h.Control(IDC_ANALYZE)->isEnabled());
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(h.Status().startsWith(QStringLiteral("Analyzing ")));
        int lastBar = 0;
        long lastFreeze = 0;
        int lastRows = 0;
        int seen = 0;
        for (int report = 1; report <= 12; report += 3) {
            QVERIFY(gate.WaitForReport(report));
            // The window's own timer takes the figures in.
            QTRY_VERIFY(bar->value() > lastBar);
            QTRY_VERIFY(FieldNumber(h.Text(IDC_FREEZE_COUNT)) > lastFreeze);
            QTRY_VERIFY(h.Objects().rowCount() > lastRows);
            QVERIFY(h.Objects().IsLive());
            QCOMPARE(static_cast<long>(h.Objects().rowCount()), std::stol(h.Text(IDC_FREEZE_COUNT)));
            lastBar = bar->value();
            lastFreeze = std::stol(h.Text(IDC_FREEZE_COUNT));
            lastRows = h.Objects().rowCount();
            QVERIFY(lastBar < bar->maximum());
            ++seen;
            gate.Allow(3);
        }
        QCOMPARE(seen, 4);
        // A row shown while running reads as it will once done.
        const QString firstRow = h.Objects().RowText(0);
        gate.Open();
        h.Commands().WaitForCommand();
        QVERIFY(!h.Objects().IsLive());
        QCOMPARE(h.Objects().RowText(0), firstRow);
        QCOMPARE(static_cast<std::uintmax_t>(bar->maximum()), std::filesystem::file_size(world));
        QCOMPARE(bar->value(), 0);
        QVERIFY(gate.Reports() >= 12);
        QCOMPARE(h.Objects().rowCount(), static_cast<int>(h.dlg->FreezeList().Count()));
        QVERIFY(h.Control(IDC_ANALYZE)->isEnabled());
        QVERIFY(!h.Control(IDC_CANCEL_COMMAND)->isEnabled());
        QCOMPARE(h.waitCursor.Depth(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The Cancel button, Escape and the close box each stop a command midway. A cancelled analysis leaves
    // nothing that could be written; a cancelled patch or clean leaves every file byte for byte as it
    // was and nothing beside it.
    void cancelStopsEachCommandAndLeavesEveryFileAsItWas() {
        const std::string world = Path("generated.wsc");
        WriteGeneratedWorld(world, 30000);
        WriteText(Path("stat_tavrel.frz"), "the patch file of an earlier run\n");
        WriteText(Path("clean.wsc"), "the cleaned world of an earlier run\n");
        const std::vector<char> oldPatch = ReadBytes(Path("stat_tavrel.frz"));
        const std::vector<char> oldClean = ReadBytes(Path("clean.wsc"));
        const std::vector<char> worldBytes = ReadBytes(world);
        const auto listing = [this] {
            std::set<std::string> names;
            for (const auto& entry : std::filesystem::directory_iterator(m_dir.path().toStdString()))
                if (entry.path().filename() != "settings.ini")
                    names.insert(entry.path().filename().string());
            return names;
        };
        const std::set<std::string> files = listing();
        const auto filesAsTheyWere = [&](const std::vector<char>& patch) {
            return ReadBytes(Path("stat_tavrel.frz")) == patch && ReadBytes(Path("clean.wsc")) == oldClean &&
                   ReadBytes(world) == worldBytes && listing() == files;
        };

        // Declared before the dialog: a command held in one must find it there until the dialog is gone.
        CProgressGate analyzeGate, patchGate, cleanGate;
        CDialogHarness h(SettingsFile());
        h.Show();
        FillSample(h, world);
        QVERIFY(!h.Control(IDC_CANCEL_COMMAND)->isEnabled());
        // Each command is held at its first reports; the gate lets it go on once the cancel is asked for.
        const auto start = [&](CProgressGate& gate, int id, int reports) {
            h.Commands().SetProgressHook(gate.Hook());
            // The panel itself, not through the dialog: the dialog lets go of it while it is destroyed.
            const CCommandPanel* panel = &h.Commands();
            gate.OpenWhen([panel] { return panel->IsCancelling(); });
            h.Click(id);
            return gate.WaitForReport(reports);
        };

        // Analyze, by the button, while the list fills.
        {
            CProgressGate& gate = analyzeGate;
            QVERIFY2(start(gate, IDC_ANALYZE, 1), qPrintable(h.Status()));
            QTRY_VERIFY(h.Objects().rowCount() > 0);
            QVERIFY(h.Control(IDC_CANCEL_COMMAND)->isEnabled());
            h.Click(IDC_CANCEL_COMMAND);
            QVERIFY(!h.Control(IDC_CANCEL_COMMAND)->isEnabled());
            QCOMPARE(h.Status(), QStringLiteral("Cancelling..."));
            h.Commands().WaitForCommand();
        }
        QVERIFY(!h.Commands().IsBusy());
        QCOMPARE(h.dlg->FreezeList().Count(), std::size_t{0});
        QCOMPARE(h.Objects().rowCount(), 0);
        for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE})
            QCOMPARE(h.Text(id), std::string("not analysed"));
        QVERIFY2(h.Status().startsWith(QStringLiteral("Analyze cancelled after ")), qPrintable(h.Status()));
        QVERIFY(h.Status().endsWith(QStringLiteral(": the world file was not analysed")));
        QVERIFY(h.Control(IDC_ANALYZE)->isEnabled());
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QVERIFY(!h.Control(IDC_CANCEL_COMMAND)->isEnabled());
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(filesAsTheyWere(oldPatch));

        // The scripts, read before the scan was cancelled, are whole and kept.
        const int windows = h.progress.created;
        h.Commands().SetProgressHook(nullptr);
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.progress.created, windows);
        const std::size_t chosen = h.dlg->FreezeList().Count();
        QVERIFY(chosen > 100);

        // Create Patch File, by Escape: the window stays, the command stops.
        {
            CProgressGate& gate = patchGate;
            QVERIFY(start(gate, IDC_CREATEPATCH, 1));
            QTest::keyClick(h.dlg.get(), Qt::Key_Escape);
            h.Commands().WaitForCommand();
        }
        QVERIFY(h.dlg->isVisible());
        QVERIFY2(h.Status().startsWith(QStringLiteral("Create Patch File cancelled after ")),
                 qPrintable(h.Status()));
        QVERIFY(h.Status().endsWith(QStringLiteral(": nothing was written to %1")
                                        .arg(QString::fromStdString(Path("stat_tavrel.frz")))));
        QVERIFY(filesAsTheyWere(oldPatch));
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QCOMPARE(h.dlg->FreezeList().Count(), chosen);
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());

        h.Commands().SetProgressHook(nullptr);
        h.ClickAndWait(IDC_CREATEPATCH);
        const std::vector<char> newPatch = ReadBytes(Path("stat_tavrel.frz"));
        QVERIFY(newPatch != oldPatch);

        // Clean Worldfile, by the close box: the command stops, then the window closes.
        {
            CProgressGate& gate = cleanGate;
            QVERIFY(start(gate, IDC_CLEANWORLD, 1));
            h.dlg->close();
        }
        QVERIFY(!h.Commands().IsBusy());
        QVERIFY(!h.dlg->isVisible());
        QVERIFY2(h.Status().startsWith(QStringLiteral("Clean Worldfile cancelled after ")),
                 qPrintable(h.Status()));
        QVERIFY(filesAsTheyWere(newPatch));
        QVERIFY(h.messages.Messages().empty());
    }

    void patchAreasLimitTheNextAnalysis() {
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, SampleWorld());
        const std::size_t everywhere = h.dlg->FreezeList().Count();
        // The west half of the world, dragged on the map at the farthest level (16 tiles a pixel).
        QWidget* picture = h.Control(IDC_MAP);
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(1, 1));
        QTest::mouseMove(picture, QPoint(picture->width() / 2, picture->height() - 2));
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(picture->width() / 2, picture->height() - 2));
        auto* areas = h.dlg->ControlAs<QListWidget>(IDC_PATCH_AREAS);
        QCOMPARE(areas->count(), 1);
        const CPatchArea area = ParsePatchAreaText(areas->item(0)->text().toStdString());
        QCOMPARE(area.right, 3072L);
        // The area is not part of the figures shown until the next analysis, and nothing of the old
        // analysis can be written meanwhile.
        QCOMPARE(h.Notice(), QStringLiteral("Patch areas changed since the analysis: Analyze again"));
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.Notice(), QString());
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
        const auto& list = h.dlg->FreezeList();
        QVERIFY(list.Count() > 0);
        QVERIFY(list.Count() < everywhere);
        for (std::size_t i = 0; i < list.Count(); ++i)
            QVERIFY(area.Contains(list[i].x, list[i].y));
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(list.Count()));
    }

    void emptyWorldPathAsksForIt() {
        CDialogHarness h(SettingsFile());
        h.Show();
        h.Click(IDC_ANALYZE);
        QVERIFY(!h.Commands().IsBusy());
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        QCOMPARE(h.messages.Messages()[0].text, std::string("Please enter the path to your worldfile"));
        QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Information);
        QCOMPARE(h.Status(), QStringLiteral("Analyze: Please enter the path to your worldfile"));
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QCOMPARE(h.progress.created, 0);
    }

    void failuresNameTheFileAndTheReason() {
        CDialogHarness h(SettingsFile());
        h.Show();
        // First a good analysis, so there is something for the failure to clear.
        AnalyzeSample(h, SampleWorld());
        QVERIFY(h.dlg->FreezeList().Count() > 0);
        const std::string missing = Path("wrold.wsc");
        h.Type(IDC_WORLDFILE, QString::fromStdString(missing));
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        const std::string said = "Unable to open file " + missing + ": No such file or directory";
        QCOMPARE(h.messages.Messages()[0].text, said);
        QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Error);
        QCOMPARE(h.Status(), QString::fromStdString("Analyze failed: " + said));
        QCOMPARE(h.dlg->StatusLine()->CurrentKind(), CStatusLine::Kind::Error);
        QCOMPARE(h.Objects().rowCount(), 0);
        QVERIFY(h.Control(IDC_PATCH_OBJECTS)->isVisible());
        QCOMPARE(h.dlg->FreezeList().Count(), std::size_t{0});
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE})
            QCOMPARE(h.Text(id), std::string());

        // A patch file that cannot be created: the engine's message, with its reason, nothing written.
        h.messages.Clear();
        AnalyzeSample(h, SampleWorld());
        const std::string bad = Path("missing-dir/stat_tavrel.frz");
        h.Type(IDC_PATCHFILE, QString::fromStdString(bad));
        h.ClickAndWait(IDC_CREATEPATCH);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        const auto& shown = h.messages.Messages()[0];
        QCOMPARE(shown.text, "Unable to create " + bad + ": No such file or directory");
        QCOMPARE(shown.icon, MessageIcon::Error);
        QCOMPARE(h.Status(), QString::fromStdString("Create Patch File failed: " + shown.text));
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QVERIFY(!std::filesystem::exists(bad));
    }

    void emptyOutputPathsAreRefusedBeforeAnythingIsWritten() {
        const std::filesystem::path scratch = Path("empty-paths");
        std::filesystem::create_directories(scratch);
        const std::filesystem::path cwd = std::filesystem::current_path();
        std::filesystem::current_path(scratch);
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, SampleWorld());
        h.Type(IDC_PATCHFILE, QString());
        h.ClickAndWait(IDC_CREATEPATCH);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        QCOMPARE(h.messages.Messages()[0].text, std::string("Please enter the path to your patch file"));
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        h.Type(IDC_PATCHFILE, QString::fromStdString(Path("stat_tavrel.frz")));
        h.ClickAndWait(IDC_CREATEPATCH);
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        h.Type(IDC_OUTPUTWORLD, QString());
        h.ClickAndWait(IDC_CLEANWORLD);
        QCOMPARE(h.messages.Messages().size(), std::size_t{2});
        QCOMPARE(h.messages.Messages()[1].text,
                 std::string("Please enter the path to your output worldfile"));
        QCOMPARE(h.Status(),
                 QStringLiteral("Clean Worldfile: Please enter the path to your output worldfile"));
        // Nothing was written in the working directory (no default patch name, no stray output), only
        // the log the program keeps there.
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(scratch))
            if (entry.path().filename() != "frostmark.log")
                written.push_back(entry.path().filename().string());
        std::filesystem::current_path(cwd);
        QCOMPARE(written, std::vector<std::string>{});
    }

    void deleteKeyRemovesSelectedPatchObjects() {
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, SampleWorld());
        h.ClickAndWait(IDC_CREATEPATCH);
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        auto* view = h.Commands().ObjectsView();
        CPatchObjectsModel& rows = h.Objects();
        const int n = rows.rowCount();
        const std::uint32_t gone[] = {h.dlg->FreezeList()[0].serial, h.dlg->FreezeList()[2].serial,
                                      h.dlg->FreezeList()[5].serial};
        const std::uint32_t kept = h.dlg->FreezeList()[1].serial;
        view->setFocus();
        // Nothing selected: the key is taken and nothing changes.
        view->clearSelection();
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(rows.rowCount(), n);
        for (int row : {0, 2, 5})
            view->selectionModel()->select(rows.index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(rows.rowCount(), n - 3);
        QCOMPARE(h.dlg->FreezeList().Count(), static_cast<std::size_t>(n - 3));
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(n - 3));
        QCOMPARE(h.Text(IDC_PATCH_SIZE), std::to_string(9 * (n - 3)) + " bytes");
        QCOMPARE(h.Text(IDC_TOPLEVEL_COUNT), std::string("3004"));
        QCOMPARE(h.dlg->FreezeList()[0].serial, kept);
        for (std::size_t i = 0; i < h.dlg->FreezeList().Count(); ++i)
            for (auto serial : gone)
                QVERIFY(h.dlg->FreezeList()[i].serial != serial);
        // The rows still show the freeze list, entry by entry.
        for (int row = 0; row < rows.rowCount(); ++row)
            QCOMPARE(rows.RowText(row), QString::fromStdString(FormatPatchObjectLine(
                                            h.dlg->FreezeList()[static_cast<std::size_t>(row)])));
        // Removing rows edits the result itself: it stays current. But the patch file written before
        // holds the removed objects, and a clean must match its patch: Clean waits for a new one.
        QVERIFY(!h.Commands().IsOutOfDate());
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QVERIFY(h.Notice().contains(QStringLiteral("Create Patch File again")));

        // The patch and the cleaned world leave the removed objects where they were.
        h.ClickAndWait(IDC_CREATEPATCH);
        QVERIFY(h.messages.Messages().empty());
        QCOMPARE(h.Notice(), QString());
        const auto patch = ReadBytes(Path("stat_tavrel.frz"));
        const auto golden = ReadBytes(GoldenPatch());
        // Three objects fewer (7 bytes each), and up to three groups fewer (9 bytes each) where a removed
        // object was alone in its map block.
        QVERIFY(patch.size() + 21 <= golden.size());
        const auto groupsGone = golden.size() - 21 - patch.size();
        QVERIFY(groupsGone % 9 == 0 && groupsGone <= 27);
        h.ClickAndWait(IDC_CLEANWORLD);
        std::set<unsigned long> frozen = GoldenSerialSet();
        for (auto serial : gone)
            frozen.erase(serial);
        QVERIFY(ReadLines(Path("clean.wsc")) == WorldWithout(ReadLines(SampleWorld()), frozen));
    }

    void cleanRefusesToWriteOverItsInput() {
        const std::string world = Path("world-copy.wsc");
        std::filesystem::copy_file(SampleWorld(), world, std::filesystem::copy_options::overwrite_existing);
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, world);
        h.ClickAndWait(IDC_CREATEPATCH);
        h.Type(IDC_OUTPUTWORLD, QString::fromStdString(world));
        h.ClickAndWait(IDC_CLEANWORLD);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        QCOMPARE(h.messages.Messages()[0].text,
                 "Refusing to write " + world + ": it is the input world file");
        QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Error);
        QVERIFY(ReadBytes(world) == ReadBytes(SampleWorld()));
    }
};

FROSTMARK_APP_SUITE(CommandsTest)
#include "CommandsTest.moc"
