// The Patch Objects list as a model over the freeze list: what it shows, the orders its columns sort in
// (worked out on a thread of its own while the window goes on), rows removed from a sorted list, and the
// rows of a running analysis taken in as they come.
#include "AppTestSupport.h"

#include "app/PatchObjectOrder.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <random>
#include <tuple>

using namespace frostmark;
using namespace frostmark::testing;

namespace {

CWorldItem Record(std::string_view id, unsigned x, unsigned y, unsigned z, unsigned colour,
                  std::uint32_t serial) {
    CWorldItem item;
    item.SetId(id);
    item.x = static_cast<std::uint16_t>(x);
    item.y = static_cast<std::uint16_t>(y);
    item.z = static_cast<std::uint8_t>(z);
    item.color = static_cast<std::uint16_t>(colour);
    item.serial = serial;
    return item;
}

// A list with many equal values and IDs that agree in their first 16 characters, in random order.
void FillRandom(CFreezeList& list, std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    const char* const prefixes[] = {"0eed", "0EEE", "i_gen_0f3f", "i_gen_long_name_wall_",
                                    "i_gen_long_name_wall_"};
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string id = prefixes[random() % 5];
        if (id.size() > 16)
            id += std::to_string(random() % 20);
        list.Append(Record(id, random() % 50, random() % 50, random() % 4, random() % 3, i + 1));
    }
}

// Folded text, for comparing IDs the way the order does.
std::string Folded(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; });
    return out;
}

} // namespace

class PatchObjectsTest : public QObject {
    Q_OBJECT

private slots:
    void everyColumnSortsBothWaysWithFileOrderForEqualValues() {
        CFreezeList list;
        FillRandom(list, 3000, 11);
        for (int column = 0; column < kPatchColumnCount; ++column) {
            for (bool descending : {false, true}) {
                const std::vector<std::uint32_t> order =
                    PatchObjectOrder(list, static_cast<EPatchColumn>(column), descending);
                QCOMPARE(order.size(), list.Count());
                std::vector<std::uint32_t> sorted = order;
                std::sort(sorted.begin(), sorted.end());
                for (std::uint32_t i = 0; i < sorted.size(); ++i)
                    QCOMPARE(sorted[i], i); // a permutation
                const auto key = [&](std::uint32_t index) {
                    const CWorldItem& r = list[index];
                    const unsigned values[] = {0, r.x, r.y, r.z, r.color};
                    return std::make_tuple(column == 0 ? Folded(r.id) : std::string(), values[column]);
                };
                for (std::size_t i = 1; i < order.size(); ++i) {
                    const auto a = key(order[i - 1]);
                    const auto b = key(order[i]);
                    QVERIFY(descending ? !(a < b) : !(b < a));
                    if (a == b)
                        QVERIFY(order[i - 1] < order[i]);
                }
            }
        }
    }

    void removedEntriesLeaveTheOrderAndTheRestMoveDown() {
        std::vector<std::uint32_t> order = {5, 0, 3, 1, 4, 2};
        DropRemovedEntries(order, {1, 4});
        // 5 -> 3, 0 -> 0, 3 -> 2, 2 -> 1: the same records, numbered as the list is now.
        QCOMPARE(order, (std::vector<std::uint32_t>{3, 0, 2, 1}));
    }

    void theModelShowsTheListAndSortsOffTheWindowThread() {
        CFreezeList list;
        FillRandom(list, 20000, 5);
        CPatchObjectsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.ShowList(&list);
        QCOMPARE(model.rowCount(), 20000);
        QCOMPARE(model.columnCount(), kPatchColumnCount);
        QCOMPARE(model.data(model.index(7, 1)).toInt(), int(list[7].x));
        QCOMPARE(model.data(model.index(7, 4)).toString(), QString::number(list[7].color, 16));
        QCOMPARE(model.data(model.index(7, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                 int(Qt::AlignRight));

        QSignalSpy started(&model, &CPatchObjectsModel::SortStarted);
        QSignalSpy finished(&model, &CPatchObjectsModel::SortFinished);
        model.sort(1, Qt::DescendingOrder);
        QCOMPARE(started.count(), 1);
        // The rows keep file order until the sorted order comes back to this thread.
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(!model.IsSorting());
        const std::vector<std::uint32_t> expected = PatchObjectOrder(list, EPatchColumn::X, true);
        for (int row : {0, 1, 500, 19999})
            QCOMPARE(model.ListIndex(row), std::size_t(expected[static_cast<std::size_t>(row)]));
        QCOMPARE(model.RowOf(expected[123]), 123);

        // Rows removed from the sorted list: the others keep their sorted places.
        std::vector<std::size_t> gone = {model.ListIndex(0), model.ListIndex(10), model.ListIndex(11)};
        std::sort(gone.begin(), gone.end());
        const QString nextRow = model.RowText(1);
        CAnalysisCounts counts;
        RemoveFreezeEntries(list, gone, counts);
        model.EntriesRemoved(gone);
        QCOMPARE(model.rowCount(), 19997);
        QCOMPARE(model.RowText(0), nextRow);
        for (int row = 1; row < model.rowCount(); ++row)
            QVERIFY(model.data(model.index(row - 1, 1)).toInt() >= model.data(model.index(row, 1)).toInt());

        // Back to file order.
        model.sort(-1);
        for (int row = 0; row < 100; ++row)
            QCOMPARE(model.ListIndex(row), std::size_t(row));
    }

    void liveRowsComeInAsPublishedAndGiveWayToTheList() {
        CFreezeList list;
        FillRandom(list, 300, 9);
        auto rows = std::make_shared<CLiveRows>();
        CPatchObjectsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.sort(2, Qt::AscendingOrder); // asked for while running: applied once the list is shown
        model.ShowLive(rows);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        for (std::size_t i = 0; i < 120; ++i)
            rows->Append(list[i]);
        QCOMPARE(model.rowCount(), 0);
        model.Refresh();
        QCOMPARE(model.rowCount(), 120);
        QCOMPARE(model.RowText(119), QString::fromStdString(FormatPatchObjectLine(list[119])));
        for (std::size_t i = 120; i < list.Count(); ++i)
            rows->Append(list[i]);
        // The list that ends the analysis holds the same rows: the view is not reset, only filled up.
        model.ShowList(&list);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(inserted.count(), 2);
        QVERIFY(!model.IsLive());
        QCOMPARE(model.rowCount(), 300);
        model.FinishSort();
        for (int row = 1; row < model.rowCount(); ++row)
            QVERIFY(model.data(model.index(row - 1, 2)).toInt() <= model.data(model.index(row, 2)).toInt());
    }

    void deleteInTheDialogRemovesTheRowsShownWhenSorted() {
        QTemporaryDir dir;
        CDialogHarness h(dir.filePath(QStringLiteral("settings.ini")));
        h.Show();
        h.Type(IDC_WORLDFILE, QString::fromStdString(SampleWorld()));
        h.SetChecked(IDC_STATIC_ATTR, true);
        h.ClickAndWait(IDC_ANALYZE);
        QTableView* view = h.Commands().ObjectsView();
        const int n = h.Objects().rowCount();
        QVERIFY(n > 100);
        // Sorted by Z, highest first, through the header as the user does it.
        view->horizontalHeader()->setSortIndicator(3, Qt::DescendingOrder);
        QTRY_VERIFY(!h.Objects().IsSorting());
        h.Objects().FinishSort();
        const int top = h.Objects().data(h.Objects().index(0, 3)).toInt();
        std::vector<std::uint32_t> serials;
        for (int row : {0, 1}) {
            serials.push_back(h.dlg->FreezeList()[h.Objects().ListIndex(row)].serial);
            view->selectionModel()->select(h.Objects().index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(h.Objects().rowCount(), n - 2);
        for (std::size_t i = 0; i < h.dlg->FreezeList().Count(); ++i)
            QVERIFY(std::find(serials.begin(), serials.end(), h.dlg->FreezeList()[i].serial) ==
                    serials.end());
        QVERIFY(h.Objects().data(h.Objects().index(0, 3)).toInt() <= top);
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), std::to_string(n - 2));
    }
};

FROSTMARK_APP_SUITE(PatchObjectsTest)
#include "PatchObjectsTest.moc"
