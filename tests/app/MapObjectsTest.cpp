// The objects to freeze on the map: a mark for every object where the view's conversion puts its tile,
// at several levels and picture sizes; marks leaving with their entries; choosing an entry in the Patch
// Objects list centres the map on it and rings it; a click on a mark chooses its entry; deleted rows come
// back with undo.
#include "AppTestSupport.h"

#include "app/MapCanvas.h"
#include "app/MapWorkspace.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

using namespace frostmark;
using namespace frostmark::testing;

class MapObjectsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    static QAbstractItemView* ObjectsView(CDialogHarness& h) {
        return qobject_cast<QAbstractItemView*>(h.Control(IDC_PATCH_OBJECTS));
    }

    // The sample shard analysed with the static objects chosen.
    static void Analyse(CDialogHarness& h) {
        h.Show();
        h.Type(IDC_WORLDFILE, QString::fromStdString(SampleWorld()));
        h.SetChecked(IDC_STATIC_ATTR, true);
        h.ClickAndWait(IDC_ANALYZE);
        QTRY_COMPARE(h.dlg->MapWorkspace().Objects().size(), h.dlg->FreezeList().Count());
    }

    // Where an object's tile middle lies on the picture, from the map's rules: the centre tile's corner
    // at the picture's middle, z pixels a tile at level z, 1/n pixel at level -n, truncated toward zero.
    static QPoint Expected(const CMapView& view, long x, long y) {
        const int z = view.Zoom();
        const auto pixels = [z](long delta) { return z > 0 ? delta * z : delta / -z; };
        const int half = z > 0 ? z / 2 : 0;
        return {static_cast<int>(view.PictureWidth() / 2 + pixels(x - view.CentreX()) + half),
                static_cast<int>(view.PictureHeight() / 2 + pixels(y - view.CentreY()) + half)};
    }

    static void ShowAt(CDialogHarness& h, int zoom, int x, int y) {
        QVERIFY(h.dlg->MapView().SetZoom(zoom));
        h.dlg->MapView().SetCentre(x, y);
        h.dlg->MapWorkspace().Rebuild();
    }

private slots:
    void everyObjectIsMarkedWhereItsTileIsAndLeavesWithItsEntry() {
        CDialogHarness h(SettingsFile());
        Analyse(h);
        const CFreezeList& list = h.dlg->FreezeList();
        QVERIFY(list.Count() > 100);
        CMapCanvas* canvas = h.dlg->MapPicture();
        const CWorldItem& first = list[0];
        for (const QSize size : {QSize(0, 0), QSize(1500, 950)}) {
            if (!size.isEmpty()) {
                h.dlg->resize(size);
                QTRY_COMPARE(h.dlg->MapView().PictureWidth(), canvas->width());
            }
            for (const int zoom : {-16, -2, 1, 8}) {
                ShowAt(h, zoom, first.x, first.y);
                const CMapView& view = h.dlg->MapView();
                const QImage painted = canvas->Render();
                int shown = 0;
                for (std::size_t i = 0; i < list.Count(); ++i) {
                    const QPoint at = Expected(view, list[i].x, list[i].y);
                    if (!canvas->rect().contains(at))
                        continue;
                    ++shown;
                    // On top of terrain and areas alike.
                    QCOMPARE(QColor(painted.pixel(at)), CMapCanvas::MarkColour());
                }
                QVERIFY2(shown > 0, qPrintable(QStringLiteral("zoom %1").arg(zoom)));
            }
        }

        // An object alone on its tile, seen closely: deleting its entry takes its mark away and leaves
        // the others.
        std::map<std::pair<int, int>, int> onTile;
        for (std::size_t i = 0; i < list.Count(); ++i)
            ++onTile[{list[i].x, list[i].y}];
        int row = 0;
        while (onTile[{list[h.Objects().ListIndex(row)].x, list[h.Objects().ListIndex(row)].y}] != 1)
            ++row;
        const std::size_t index = h.Objects().ListIndex(row);
        const long gx = list[index].x, gy = list[index].y;
        ShowAt(h, 32, static_cast<int>(gx), static_cast<int>(gy));
        const QPoint gone = Expected(h.dlg->MapView(), gx, gy);
        QCOMPARE(QColor(canvas->Marks().pixel(gone)), CMapCanvas::MarkColour());
        const std::size_t before = list.Count();
        QAbstractItemView* objects = ObjectsView(h);
        objects->selectionModel()->select(h.Objects().index(row, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        objects->setFocus();
        QTest::keyClick(objects, Qt::Key_Delete);
        QCOMPARE(list.Count(), before - 1);
        QTRY_COMPARE(h.dlg->MapWorkspace().Objects().size(), before - 1);
        QCOMPARE(qAlpha(canvas->Marks().pixel(gone)), 0);
        // The map stayed where the user was looking.
        QCOMPARE(h.dlg->MapView().CentreX(), static_cast<int>(gx));
        for (std::size_t i = 0; i < list.Count(); ++i) {
            const QPoint at = Expected(h.dlg->MapView(), list[i].x, list[i].y);
            if (canvas->rect().contains(at))
                QCOMPARE(QColor(canvas->Marks().pixel(at)), CMapCanvas::MarkColour());
        }
    }

    void choosingAnEntryCentresAndRingsItAndAClickOnAMarkChoosesItsEntry() {
        CDialogHarness h(SettingsFile());
        Analyse(h);
        const CFreezeList& list = h.dlg->FreezeList();
        CMapCanvas* canvas = h.dlg->MapPicture();
        QAbstractItemView* objects = ObjectsView(h);
        ShowAt(h, 1, 3072, 2048);

        // An entry whose object lies well inside the world, so the map can centre on it exactly.
        int row = 0;
        while (list[h.Objects().ListIndex(row)].x < 200 || list[h.Objects().ListIndex(row)].y < 200)
            ++row;
        const std::size_t index = h.Objects().ListIndex(row);
        objects->selectionModel()->setCurrentIndex(
            h.Objects().index(row, 1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(h.dlg->MapView().CentreX(), static_cast<int>(list[index].x));
        QCOMPARE(h.dlg->MapView().CentreY(), static_cast<int>(list[index].y));
        QCOMPARE(h.dlg->MapView().Zoom(), 1);
        const QPoint middle = Expected(h.dlg->MapView(), list[index].x, list[index].y);
        QCOMPARE(middle, QPoint(canvas->width() / 2, canvas->height() / 2));
        QCOMPARE(canvas->Highlights(), std::vector<QPoint>{middle});

        // Another object in view whose mark stands apart from every other: a click on it chooses its
        // entry and rings it; the map stays put. With Ctrl, a click adds to the chosen entries.
        std::size_t other = list.Count();
        for (std::size_t i = 0; i < list.Count() && other == list.Count(); ++i) {
            const QPoint at = Expected(h.dlg->MapView(), list[i].x, list[i].y);
            if (i == index || (at - middle).manhattanLength() <= 12 ||
                !canvas->rect().adjusted(4, 4, -4, -4).contains(at))
                continue;
            bool apart = true;
            for (std::size_t j = 0; j < list.Count() && apart; ++j) {
                const QPoint d = Expected(h.dlg->MapView(), list[j].x, list[j].y) - at;
                apart = j == i || std::max(std::abs(d.x()), std::abs(d.y())) > 8;
            }
            if (apart)
                other = i;
        }
        QVERIFY(other < list.Count());
        const QPoint otherAt = Expected(h.dlg->MapView(), list[other].x, list[other].y);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, otherAt + QPoint(1, -1));
        QCOMPARE(h.Objects().ListIndex(objects->currentIndex().row()), other);
        QCOMPARE(objects->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(h.dlg->MapView().CentreX(), static_cast<int>(list[index].x));
        QCOMPARE(canvas->Highlights(), std::vector<QPoint>{otherAt});
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::ControlModifier, middle);
        QCOMPARE(objects->selectionModel()->selectedRows().size(), 2);
        QCOMPARE(canvas->Highlights().size(), std::size_t{2});
        // Bare map: no entry is chosen by it.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(objects->selectionModel()->selectedRows().size(), 2);
    }

    void undoPutsDeletedRowsBackInFileOrderWithTheirMarks() {
        CDialogHarness h(SettingsFile());
        Analyse(h);
        const CFreezeList& list = h.dlg->FreezeList();
        const std::size_t n = list.Count();
        std::vector<std::uint32_t> fileOrder;
        for (std::size_t i = 0; i < n; ++i)
            fileOrder.push_back(list[i].serial);
        const std::string counted = h.Text(IDC_FREEZE_COUNT);
        const auto serials = [&list] {
            std::vector<std::uint32_t> s;
            for (std::size_t i = 0; i < list.Count(); ++i)
                s.push_back(list[i].serial);
            return s;
        };

        // Rows chosen in a sorted view lie scattered through the file.
        QTableView* view = h.Commands().ObjectsView();
        view->sortByColumn(3, Qt::DescendingOrder);
        QTRY_VERIFY(!h.Objects().IsSorting());
        h.Objects().FinishSort();
        std::vector<std::uint32_t> gone;
        for (const int row : {0, 1, 5}) {
            gone.push_back(list[h.Objects().ListIndex(row)].serial);
            view->selectionModel()->select(h.Objects().index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(list.Count(), n - 3);
        QTRY_COMPARE(h.dlg->MapWorkspace().Objects().size(), n - 3);
        QCOMPARE(h.Status(),
                 QStringLiteral("Removed 3 rows from Patch Objects: %1 objects to freeze").arg(n - 3));

        // Undo: every record back at its place in file order, chosen, marked and counted.
        QTest::keyClick(h.dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(serials(), fileOrder);
        QCOMPARE(h.Text(IDC_FREEZE_COUNT), counted);
        QCOMPARE(h.Status(),
                 QStringLiteral("Put 3 rows back into Patch Objects: %1 objects to freeze").arg(n));
        QCOMPARE(view->selectionModel()->selectedRows().size(), 3);
        for (const QModelIndex& row : view->selectionModel()->selectedRows()) {
            const std::uint32_t serial = list[h.Objects().ListIndex(row.row())].serial;
            QVERIFY(std::find(gone.begin(), gone.end(), serial) != gone.end());
        }
        QTRY_COMPARE(h.dlg->MapWorkspace().Objects().size(), n);

        // Redo takes the same records out again; undo brings them back once more.
        QTest::keyClick(h.dlg.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(list.Count(), n - 3);
        for (const std::uint32_t serial : serials())
            QVERIFY(std::find(gone.begin(), gone.end(), serial) == gone.end());
        QTest::keyClick(h.dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(serials(), fileOrder);

        // A new analysis makes a new list: the old step changes nothing and leaves the stack.
        view->selectionModel()->select(h.Objects().index(0, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(list.Count(), n - 1);
        // One row is counted as one.
        QCOMPARE(h.Status(),
                 QStringLiteral("Removed 1 row from Patch Objects: %1 objects to freeze").arg(n - 1));
        h.ClickAndWait(IDC_ANALYZE);
        QCOMPARE(list.Count(), n);
        const int steps = h.dlg->UndoStack().count();
        QTest::keyClick(h.dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(list.Count(), n);
        QCOMPARE(serials(), fileOrder);
        QCOMPARE(h.dlg->UndoStack().count(), steps - 1);
    }
};

FROSTMARK_APP_SUITE(MapObjectsTest)
#include "MapObjectsTest.moc"
