// The three commands driven through the real buttons on the sample shard: the result fields, the Patch
// Objects list, the buttons' states and the files written, and the messages for what goes wrong.
#include "AppTestSupport.h"

#include "engine/Selection.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>
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

class CommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    std::string Path(const char* name) const {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    // Fills the four paths and the sample's options and clicks Analyze.
    void AnalyzeSample(CDialogHarness& h, const std::string& world) {
        h.Type(IDC_WORLDFILE, QString::fromStdString(world));
        h.Type(IDC_PATCHFILE, QString::fromStdString(Path("stat_tavrel.frz")));
        h.Type(IDC_OUTPUTWORLD, QString::fromStdString(Path("clean.wsc")));
        h.Type(IDC_SCRIPTDIR, QString::fromStdString(SampleScripts()));
        ChooseSampleOptions(h);
        h.Click(IDC_ANALYZE);
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
        auto* list = h.dlg->ControlAs<QListWidget>(IDC_PATCH_OBJECTS);
        QCOMPARE(list->count(), n);
        QVERIFY(list->isVisible());
        // Entries in world file order, "ID<TAB>x,y,z<TAB>colour in four blank-padded hex digits".
        const QStringList first = list->item(0)->text().split(QLatin1Char('\t'));
        QCOMPARE(first.size(), 3);
        QCOMPARE(first[0], QStringLiteral("018a0"));
        QCOMPARE(first[1], QStringLiteral("1413, 1372, 86"));
        QCOMPARE(first[2], QStringLiteral("   0"));
        QCOMPARE(h.dlg->FreezeList().Count(), static_cast<std::size_t>(n));
        QCOMPARE(h.dlg->FreezeList()[0].serial, 0x40000001u);
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        // The scripts were read with the "Loading File" window on screen, and the working directory
        // came back.
        QVERIFY(h.progress.created > 0);
        QCOMPARE(h.progress.shownAtCreation, h.progress.created);
        QCOMPARE(std::filesystem::current_path().string(), cwd);
        QVERIFY(!h.scripts.itemDefs.IsEmpty());

        h.Click(IDC_CREATEPATCH);
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(ReadBytes(Path("stat_tavrel.frz")) == ReadBytes(GoldenPatch()));
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());

        h.Click(IDC_CLEANWORLD);
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(ReadLines(Path("clean.wsc")) == WorldWithout(ReadLines(SampleWorld()), frozen));
        // Cleaning changes nothing in the dialog: it can run again.
        QVERIFY(h.Control(IDC_CLEANWORLD)->isEnabled());
        QCOMPARE(h.dlg->FreezeList().Count(), static_cast<std::size_t>(n));

        // A second analysis keeps only its own objects and does not read the scripts again.
        const int windows = h.progress.created;
        h.SetChecked(IDC_STATIC_ATTR, false);
        h.Click(IDC_ANALYZE);
        QCOMPARE(h.progress.created, windows);
        QCOMPARE(list->count(), static_cast<int>(h.dlg->FreezeList().Count()));
        QVERIFY(list->count() < n);
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(list->count()));
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
    }

    void progressBarFollowsTheScanAndEndsAtZero() {
        CDialogHarness h(SettingsFile());
        h.Show();
        auto* bar = h.dlg->ControlAs<QProgressBar>(IDC_PROGRESS);
        std::vector<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.push_back(v); });
        AnalyzeSample(h, SampleWorld());
        // The bar's range is the world file's length, and it moved every 1000 lines of the scanning loop
        // (record headers and lines outside records: a little over 4000 in the sample, whose 4000 records
        // hold most of its 24,000 lines; a refresh that falls on a contained item is skipped), forward
        // only, before going back to 0.
        QCOMPARE(static_cast<std::uintmax_t>(bar->maximum()), std::filesystem::file_size(SampleWorld()));
        QCOMPARE(bar->value(), 0);
        std::vector<int> moving(values.begin(), values.end() - 1);
        moving.erase(std::remove(moving.begin(), moving.end(), 0), moving.end());
        QVERIFY2(moving.size() >= 3, qPrintable(QString::number(moving.size())));
        QVERIFY(std::is_sorted(moving.begin(), moving.end()));
        QCOMPARE(values.back(), 0);
        // Each command ran under the wait cursor, and it is gone again.
        QVERIFY(h.waitCursor.Begins() >= 1);
        QCOMPARE(h.waitCursor.Depth(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    void patchAreasLimitTheNextAnalysis() {
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, SampleWorld());
        const std::size_t everywhere = h.dlg->FreezeList().Count();
        // The west half of the world, dragged on the map at the farthest level (16 tiles a pixel).
        QWidget* picture = h.Control(IDC_MAP);
        const QPoint origin = picture->pos();
        QTest::mousePress(h.dlg.get(), Qt::LeftButton, {}, origin + QPoint(1, 1));
        QTest::mouseMove(h.dlg.get(), origin + QPoint(picture->width() / 2, picture->height() - 2));
        QTest::mouseRelease(h.dlg.get(), Qt::LeftButton, {},
                            origin + QPoint(picture->width() / 2, picture->height() - 2));
        auto* areas = h.dlg->ControlAs<QListWidget>(IDC_PATCH_AREAS);
        QCOMPARE(areas->count(), 1);
        const CPatchArea area = ParsePatchAreaText(areas->item(0)->text().toStdString());
        QCOMPARE(area.right, 3072L);
        h.Click(IDC_ANALYZE);
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
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        QCOMPARE(h.messages.Messages()[0].text, std::string("Please enter the path to your worldfile"));
        QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Information);
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QCOMPARE(h.progress.created, 0);
    }

    void unreadableWorldFileIsNamed() {
        CDialogHarness h(SettingsFile());
        h.Show();
        // First a good analysis, so there is something for the failure to clear.
        AnalyzeSample(h, SampleWorld());
        QVERIFY(h.dlg->FreezeList().Count() > 0);
        const std::string missing = Path("no-such-world.wsc");
        h.Type(IDC_WORLDFILE, QString::fromStdString(missing));
        h.Click(IDC_ANALYZE);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        QCOMPARE(h.messages.Messages()[0].text, "Unable to open file " + missing);
        QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Error);
        QCOMPARE(h.dlg->ControlAs<QListWidget>(IDC_PATCH_OBJECTS)->count(), 0);
        QVERIFY(h.Control(IDC_PATCH_OBJECTS)->isVisible());
        QCOMPARE(h.dlg->FreezeList().Count(), std::size_t{0});
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE})
            QCOMPARE(h.Text(id), std::string());
    }

    void deleteKeyRemovesSelectedPatchObjects() {
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, SampleWorld());
        auto* list = h.dlg->ControlAs<QListWidget>(IDC_PATCH_OBJECTS);
        const int n = list->count();
        const std::uint32_t gone[] = {h.dlg->FreezeList()[0].serial, h.dlg->FreezeList()[2].serial,
                                      h.dlg->FreezeList()[5].serial};
        const std::uint32_t kept = h.dlg->FreezeList()[1].serial;
        list->setFocus();
        // Nothing selected: the key is taken and nothing changes.
        list->clearSelection();
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->count(), n);
        for (int row : {0, 2, 5})
            list->item(row)->setSelected(true);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->count(), n - 3);
        QCOMPARE(h.dlg->FreezeList().Count(), static_cast<std::size_t>(n - 3));
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(n - 3));
        QCOMPARE(h.Text(IDC_PATCH_SIZE), std::to_string(9 * (n - 3)) + " bytes");
        QCOMPARE(h.Text(IDC_TOPLEVEL_COUNT), std::string("3004"));
        QCOMPARE(h.dlg->FreezeList()[0].serial, kept);
        for (std::size_t i = 0; i < h.dlg->FreezeList().Count(); ++i)
            for (auto serial : gone)
                QVERIFY(h.dlg->FreezeList()[i].serial != serial);
        // The list still lines up with the freeze list, entry by entry.
        for (int row = 0; row < list->count(); ++row)
            QCOMPARE(h.dlg->Controls().ListItemData(IDC_PATCH_OBJECTS, row),
                     reinterpret_cast<std::uintptr_t>(&h.dlg->FreezeList()[static_cast<std::size_t>(row)]));
        QVERIFY(h.Control(IDC_CREATEPATCH)->isEnabled());

        // The patch and the cleaned world leave the removed objects where they were.
        h.Click(IDC_CREATEPATCH);
        QVERIFY(h.messages.Messages().empty());
        const auto patch = ReadBytes(Path("stat_tavrel.frz"));
        const auto golden = ReadBytes(GoldenPatch());
        // Three objects fewer (7 bytes each), and up to three groups fewer (9 bytes each) where a removed
        // object was alone in its map block.
        QVERIFY(patch.size() + 21 <= golden.size());
        const auto groupsGone = golden.size() - 21 - patch.size();
        QVERIFY(groupsGone % 9 == 0 && groupsGone <= 27);
        h.Click(IDC_CLEANWORLD);
        std::set<unsigned long> frozen = GoldenSerialSet();
        for (auto serial : gone)
            frozen.erase(serial);
        QVERIFY(ReadLines(Path("clean.wsc")) == WorldWithout(ReadLines(SampleWorld()), frozen));
    }

    void failedPatchNamesFileAndReason() {
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, SampleWorld());
        const std::string bad = Path("missing-dir/stat_tavrel.frz");
        h.Type(IDC_PATCHFILE, QString::fromStdString(bad));
        h.Click(IDC_CREATEPATCH);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        const auto& shown = h.messages.Messages()[0];
        QVERIFY2(shown.text.find(bad) != std::string::npos, shown.text.c_str());
        QVERIFY2(shown.text.size() > bad.size() + 10, shown.text.c_str());
        QCOMPARE(shown.icon, MessageIcon::Error);
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QVERIFY(!std::filesystem::exists(bad));
    }

    void cleanRefusesToWriteOverItsInput() {
        const std::string world = Path("world-copy.wsc");
        std::filesystem::copy_file(SampleWorld(), world, std::filesystem::copy_options::overwrite_existing);
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, world);
        h.Click(IDC_CREATEPATCH);
        h.Type(IDC_OUTPUTWORLD, QString::fromStdString(world));
        h.Click(IDC_CLEANWORLD);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        QVERIFY2(h.messages.Messages()[0].text.find(world) != std::string::npos,
                 h.messages.Messages()[0].text.c_str());
        QCOMPARE(h.messages.Messages()[0].icon, MessageIcon::Error);
        QVERIFY(ReadBytes(world) == ReadBytes(SampleWorld()));

        // An empty Output Worldfile field is said so too, rather than doing nothing in silence.
        h.Type(IDC_OUTPUTWORLD, QString());
        h.Click(IDC_CLEANWORLD);
        QCOMPARE(h.messages.Messages().size(), std::size_t{2});
        QVERIFY2(h.messages.Messages()[1].text.find("no output world file") != std::string::npos,
                 h.messages.Messages()[1].text.c_str());
        QVERIFY(ReadBytes(world) == ReadBytes(SampleWorld()));
    }

    void cleanOfAChangedWorldWarns() {
        // The world loses its first frozen record between the analysis and the clean.
        const std::string world = Path("world-changing.wsc");
        std::filesystem::copy_file(SampleWorld(), world, std::filesystem::copy_options::overwrite_existing);
        CDialogHarness h(SettingsFile());
        h.Show();
        AnalyzeSample(h, world);
        h.Click(IDC_CREATEPATCH);
        const auto lines = ReadLines(world);
        std::ostringstream changed;
        bool skipping = false;
        for (const auto& line : lines) {
            if (line == "[WORLDITEM 018a0]")
                skipping = true;
            else if (!line.empty() && line[0] == '[')
                skipping = false;
            if (!skipping)
                changed << line << "\n";
        }
        WriteText(world, changed.str());
        h.Click(IDC_CLEANWORLD);
        QCOMPARE(h.messages.Messages().size(), std::size_t{1});
        const auto& shown = h.messages.Messages()[0];
        QCOMPARE(shown.icon, MessageIcon::Warning);
        QVERIFY2(shown.text.find(world) != std::string::npos, shown.text.c_str());
        QVERIFY2(shown.text.find(" of the " + std::to_string(h.dlg->FreezeList().Count())) !=
                     std::string::npos,
                 shown.text.c_str());
    }
};

FROSTMARK_APP_SUITE(CommandsTest)
#include "CommandsTest.moc"
