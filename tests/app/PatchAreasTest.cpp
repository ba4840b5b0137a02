// Patch areas as the user edits them: drawing with a threshold and clamped at the picture's edge,
// selecting, moving and resizing on the map, deleting by key and context menu, typing the four values,
// undo and redo, how they are drawn, and keeping them across a restart.
#include "AppTestSupport.h"

#include "app/MapCanvas.h"
#include "app/MapWorkspace.h"
#include "mapview/AreaEditing.h"
#include "tools/mapgen/TerrainGenerator.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <set>

using namespace frostmark;
using namespace frostmark::testing;

class PatchAreasTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::string m_client;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    static QListWidget* Areas(CDialogHarness& h) { return h.dlg->ControlAs<QListWidget>(IDC_PATCH_AREAS); }
    static QStringList Texts(CDialogHarness& h) {
        QStringList texts;
        for (int i = 0; i < Areas(h)->count(); ++i)
            texts << Areas(h)->item(i)->text();
        return texts;
    }
    static void Drag(QWidget* canvas, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mousePress(canvas, Qt::LeftButton, modifiers, from);
        QTest::mouseMove(canvas, (from + to) / 2);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, modifiers, to);
    }
    // The entry a drag between two picture points adds at the farthest level: 16 tiles a pixel around
    // the world's middle.
    static QString EntryAtFarthestLevel(const QWidget* canvas, QPoint a, QPoint b) {
        const auto wx = [&](int x) { return (x - canvas->width() / 2) * 16 + 3072; };
        const auto wy = [&](int y) { return (y - canvas->height() / 2) * 16 + 2048; };
        return QStringLiteral("%1, %2, %3, %4")
            .arg(wx(std::min(a.x(), b.x())))
            .arg(wy(std::min(a.y(), b.y())))
            .arg(wx(std::max(a.x(), b.x())))
            .arg(wy(std::max(a.y(), b.y())));
    }
    void Undo(CDialogHarness& h) { QTest::keyClick(h.dlg.get(), Qt::Key_Z, Qt::ControlModifier); }
    void Redo(CDialogHarness& h) {
        QTest::keyClick(h.dlg.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    }
    QStringList Stored() const {
        return QSettings(SettingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("Patch Areas"))
            .toStringList();
    }

    // Once a popup menu is up, triggers its action whose text starts with `text`.
    void ChooseFromMenu(const QString& text) {
        QTimer::singleShot(20, this, [this, text] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) {
                ChooseFromMenu(text);
                return;
            }
            for (QAction* action : menu->actions())
                if (action->text().remove(QLatin1Char('&')).startsWith(text)) {
                    action->trigger();
                    break;
                }
            menu->close();
        });
    }

private slots:
    void initTestCase() {
        m_client = m_dir.filePath(QStringLiteral("client")).toStdString();
        std::string error;
        mapgen::MapFilesOptions mapOptions;
        mapOptions.columns = 384;
        QVERIFY2(mapgen::WriteMapFiles(m_client, mapOptions, error), error.c_str());
    }
    void init() { std::filesystem::remove(SettingsFile().toStdString()); }

    void drawingNeedsAFewPixelsAndIsClampedAtThePicturesEdge() {
        CDialogHarness h(SettingsFile());
        h.Show();
        QWidget* canvas = h.Control(IDC_MAP);
        auto* picture = h.dlg->MapPicture();

        // While the button is held past the threshold the frame follows the pointer.
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, 50));
        QTest::mouseMove(canvas, QPoint(102, 51)); // 3 pixels: not yet a drag
        QVERIFY(!picture->DragFrame().has_value());
        QTest::mouseMove(canvas, QPoint(200, 120));
        QCOMPARE(picture->DragFrame(), std::optional<QRect>(QRect(QPoint(100, 50), QPoint(199, 119))));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(200, 120));
        QVERIFY(!picture->DragFrame().has_value());
        QCOMPARE(Texts(h), QStringList{EntryAtFarthestLevel(canvas, {100, 50}, {200, 120})});
        QCOMPARE(Stored(), Texts(h));

        // A slip of the mouse while clicking adds nothing, whichever way it goes.
        for (const QPoint slip : {QPoint(3, 0), QPoint(-1, 2), QPoint(2, -1)}) {
            Drag(canvas, QPoint(300, 200), QPoint(300, 200) + slip);
            QCOMPARE(Areas(h)->count(), 1);
        }
        // A drag that ends outside the picture reaches its edge.
        Drag(canvas, QPoint(250, 30), QPoint(canvas->width() + 40, -25));
        QCOMPARE(Areas(h)->count(), 2);
        QCOMPARE(Areas(h)->item(1)->text(), EntryAtFarthestLevel(canvas, {250, 0}, {canvas->width(), 30}));
        // Beyond the world nothing is kept: a bigger window shows black around it at this level.
        h.dlg->resize(1400, 900);
        QTRY_COMPARE(h.dlg->MapView().PictureWidth(), canvas->width());
        h.dlg->MapView().SetZoom(-16);
        h.dlg->MapView().SetCentre(3072, 2048);
        h.dlg->MapWorkspace().Rebuild();
        Drag(canvas, QPoint(5, 5), QPoint(canvas->width() / 2 - 150, canvas->height() / 2 - 90));
        QCOMPARE(Areas(h)->count(), 3);
        const WorldRect clamped = ParseWorldRect(Areas(h)->item(2)->text().toStdString());
        QCOMPARE(clamped.left, 0L);
        QCOMPARE(clamped.top, 0L);
        QVERIFY(clamped.right > 0 && clamped.bottom > 0);
        Drag(canvas, QPoint(5, 5), QPoint(40, 30)); // all of it outside the world
        QCOMPARE(Areas(h)->count(), 3);
    }

    void selectMoveAndResizeOnTheMapOneUndoStepEach() {
        CDialogHarness h(SettingsFile(), [&] {
            CFrostmarkDlg::Options o;
            o.clientDirectory = m_client;
            return o;
        }());
        h.Show();
        QWidget* canvas = h.Control(IDC_MAP);
        CMapView& view = h.dlg->MapView();
        view.SetZoom(2);
        view.SetCentre(1000, 1000);
        h.dlg->MapWorkspace().Rebuild();
        h.dlg->AddPatchAreaText("980, 990, 1010, 1005");
        h.dlg->AddPatchAreaText("1020, 1020, 1030, 1030");
        const QRect first = h.dlg->MapPicture()->Areas()[0].rect;

        // A click inside selects the area (and only it); a click on bare map clears the selection.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, first.center());
        QVERIFY(Areas(h)->item(0)->isSelected());
        QVERIFY(!Areas(h)->item(1)->isSelected());
        QVERIFY(h.dlg->MapPicture()->Areas()[0].selected);
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::ControlModifier,
                          h.dlg->MapPicture()->Areas()[1].rect.center());
        QVERIFY(Areas(h)->item(0)->isSelected());
        QVERIFY(Areas(h)->item(1)->isSelected());
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(Areas(h)->selectedItems().isEmpty());

        // Moving: 2 pixels a tile, so 20 pixels right and 10 up move it 10 tiles and 5 tiles.
        const QStringList before = Texts(h);
        Drag(canvas, first.center(), first.center() + QPoint(20, -10));
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("990, 985, 1020, 1000"));
        // The area moved becomes the selection (nothing was selected before the drag).
        QCOMPARE(Areas(h)->selectedItems(), QList<QListWidgetItem*>{Areas(h)->item(0)});
        QCOMPARE(Stored()[0], QStringLiteral("990, 985, 1020, 1000"));
        // Resizing: the right edge 8 pixels further, the bottom-left corner 6 pixels out.
        QRect r = h.dlg->MapPicture()->Areas()[0].rect;
        Drag(canvas, QPoint(r.right(), r.center().y()), QPoint(r.right() + 8, r.center().y() + 30));
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("990, 985, 1024, 1000"));
        r = h.dlg->MapPicture()->Areas()[0].rect;
        Drag(canvas, r.bottomLeft(), r.bottomLeft() + QPoint(-6, 6));
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("987, 985, 1024, 1003"));
        // An edge cannot pass the opposite one: the area keeps a tile.
        r = h.dlg->MapPicture()->Areas()[0].rect;
        Drag(canvas, QPoint(r.left(), r.center().y()), QPoint(r.right() + 50, r.center().y()));
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("1023, 985, 1024, 1003"));

        // One drag, one undo step; the map and the settings follow.
        Undo(h);
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("987, 985, 1024, 1003"));
        Undo(h);
        Undo(h);
        Undo(h);
        QCOMPARE(Texts(h), before);
        QCOMPARE(Stored(), before);
        QCOMPARE(h.dlg->MapPicture()->Areas()[0].rect, first);
        Redo(h);
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("990, 985, 1020, 1000"));
        // A drag that ends where it began changes nothing and records nothing.
        const int steps = h.dlg->UndoStack().count();
        r = h.dlg->MapPicture()->Areas()[0].rect;
        QTest::mousePress(canvas, Qt::LeftButton, {}, r.center());
        QTest::mouseMove(canvas, r.center() + QPoint(30, 0));
        QTest::mouseMove(canvas, r.center());
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, r.center());
        QCOMPARE(h.dlg->UndoStack().count(), steps);
        // Escape during a drag puts the area back.
        QTest::mousePress(canvas, Qt::LeftButton, {}, r.center());
        QTest::mouseMove(canvas, r.center() + QPoint(30, 20));
        QVERIFY(Areas(h)->item(0)->text() != QStringLiteral("990, 985, 1020, 1000"));
        QTest::keyClick(canvas, Qt::Key_Escape);
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("990, 985, 1020, 1000"));
        QVERIFY(h.dlg->isVisible());
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, r.center() + QPoint(30, 20));
        QCOMPARE(Areas(h)->item(0)->text(), QStringLiteral("990, 985, 1020, 1000"));
        QCOMPARE(h.dlg->UndoStack().count(), steps);
    }

    void deletingByKeyAndContextMenuIsUndone() {
        CDialogHarness h(SettingsFile());
        h.Show();
        QWidget* canvas = h.Control(IDC_MAP);
        Drag(canvas, {10, 10}, {50, 40});
        Drag(canvas, {100, 100}, {150, 160});
        Drag(canvas, {200, 20}, {260, 90});
        const QStringList all = Texts(h);
        QCOMPARE(all.size(), 3);
        // The area just drawn is the selection, so Delete on the map takes it away at once.
        QCOMPARE(Areas(h)->selectedItems().size(), 1);
        QVERIFY(Areas(h)->item(2)->isSelected());
        QTest::keyClick(canvas, Qt::Key_Delete);
        QCOMPARE(Texts(h), (QStringList{all[0], all[1]}));
        Undo(h);
        QCOMPARE(Texts(h), all);

        // Delete in the list with nothing selected does nothing; with two selected, both go at once.
        Areas(h)->setFocus();
        Areas(h)->clearSelection();
        QTest::keyClick(Areas(h), Qt::Key_Delete);
        QCOMPARE(Texts(h), all);
        Areas(h)->item(0)->setSelected(true);
        Areas(h)->item(2)->setSelected(true);
        QTest::keyClick(Areas(h), Qt::Key_Delete);
        QCOMPARE(Texts(h), QStringList{all[1]});
        QCOMPARE(h.dlg->MapView().PatchAreas().Count(), std::size_t{1});
        QCOMPARE(h.dlg->MapPicture()->Areas().size(), std::size_t{1});
        QCOMPARE(Stored(), QStringList{all[1]});
        // Undo brings both back where they were, selected.
        Undo(h);
        QCOMPARE(Texts(h), all);
        QVERIFY(Areas(h)->item(0)->isSelected() && Areas(h)->item(2)->isSelected());
        QCOMPARE(Stored(), all);

        // On the map: Delete removes the selected area; the context menu removes the one clicked.
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(120, 130));
        QTest::keyClick(canvas, Qt::Key_Delete);
        QCOMPARE(Texts(h), (QStringList{all[0], all[2]}));
        ChooseFromMenu(QStringLiteral("Delete Area"));
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(30, 25),
                                    canvas->mapToGlobal(QPoint(30, 25)));
        QApplication::sendEvent(canvas, &menuEvent);
        QCOMPARE(Texts(h), QStringList{all[2]});
        Undo(h);
        Undo(h);
        QCOMPARE(Texts(h), all);
        Redo(h);
        QCOMPARE(Texts(h), (QStringList{all[0], all[2]}));
    }

    void typingTheFourValues() {
        CDialogHarness h(SettingsFile());
        h.Show();
        h.dlg->AddPatchAreaText("100, 200, 300, 400");
        QListWidget* list = Areas(h);
        const auto type = [&](const QString& text) {
            QListWidgetItem* item = list->item(0);
            const QPoint at = list->visualItemRect(item).center();
            // A double click, as the window system delivers it: press, release, then the second press
            // as a double click.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            auto* editor = list->findChild<QLineEdit*>();
            QVERIFY(editor);
            QTRY_VERIFY(editor->hasFocus());
            editor->selectAll();
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
        };
        type(QStringLiteral("1000, 1100, 1500,1300"));
        QTRY_COMPARE(list->item(0)->text(), QStringLiteral("1000, 1100, 1500, 1300"));
        QCOMPARE(h.dlg->MapView().PatchAreas()[0].text, std::string("1000, 1100, 1500, 1300"));
        QCOMPARE(Stored(), QStringList{QStringLiteral("1000, 1100, 1500, 1300")});
        // Edges typed the wrong way round are put in order; beyond the world they are cut to it.
        type(QStringLiteral("7000, 50, 6000, -20"));
        QTRY_COMPARE(list->item(0)->text(), QStringLiteral("6000, 0, 6144, 50"));
        // Something that is no area is refused with a reason, and the entry keeps its values.
        type(QStringLiteral("5, 5, 5, 9"));
        QTRY_COMPARE(h.messages.Messages().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(h.messages.Messages()[0].text).contains(QStringLiteral("no width")));
        QCOMPARE(list->item(0)->text(), QStringLiteral("6000, 0, 6144, 50"));
        type(QStringLiteral("1, 2, 3"));
        QTRY_COMPARE(h.messages.Messages().size(), std::size_t{2});
        QCOMPARE(list->item(0)->text(), QStringLiteral("6000, 0, 6144, 50"));
        // Each accepted edit is one undo step.
        Undo(h);
        QCOMPARE(list->item(0)->text(), QStringLiteral("1000, 1100, 1500, 1300"));
        Undo(h);
        QCOMPARE(list->item(0)->text(), QStringLiteral("100, 200, 300, 400"));
        // The entry says what it is when it does not fit its column.
        QVERIFY(list->item(0)->toolTip().contains(QStringLiteral("200 x 200 tiles")));
    }

    void areasAreTranslucentAndTheSelectedOneStandsOut() {
        CFrostmarkDlg::Options options;
        options.clientDirectory = m_client;
        CDialogHarness h(SettingsFile(), options);
        h.Show();
        auto* canvas = h.dlg->MapPicture();
        h.dlg->AddPatchAreaText("1000, 800, 2600, 1700");
        h.dlg->AddPatchAreaText("3200, 1000, 4000, 2000");
        const QImage terrain = canvas->TerrainImage();
        QImage painted = canvas->Render();
        const QRect a = canvas->Areas()[0].rect, b = canvas->Areas()[1].rect;
        // Inside an area the terrain shows through: pixels that differ on the terrain differ under the
        // area too, and every one of them is tinted, not covered.
        std::set<QRgb> under;
        for (int y = a.top() + 4; y < a.bottom() - 4; y += 3)
            for (int x = a.left() + 4; x < a.right() - 4; x += 3) {
                QVERIFY(painted.pixel(x, y) != terrain.pixel(x, y));
                under.insert(painted.pixel(x, y));
            }
        QVERIFY(under.size() > 5);
        // The outline is drawn on the area's edge.
        QCOMPARE(QColor(painted.pixel(a.left(), a.center().y())), CMapCanvas::AreaOutline(false));
        QCOMPARE(QColor(painted.pixel(a.right(), a.top() + 10)), CMapCanvas::AreaOutline(false));
        // Selected, its outline and handles take the selection colour; the other area keeps its own.
        Areas(h)->item(0)->setSelected(true);
        painted = canvas->Render();
        QCOMPARE(QColor(painted.pixel(a.left(), a.center().y() + 20)), CMapCanvas::AreaOutline(true));
        QCOMPARE(QColor(painted.pixel(a.center().x(), a.top())), CMapCanvas::AreaOutline(true));
        QCOMPARE(QColor(painted.pixel(b.left(), b.center().y())), CMapCanvas::AreaOutline(false));
    }

    void entriesShowWholeAtEverySize() {
        CDialogHarness h(SettingsFile());
        h.Show();
        QListWidget* list = Areas(h);
        // The widest entries the world allows, and enough of them for the list to need its scroll bar.
        for (int i = 0; i < 12; ++i)
            h.dlg->AddPatchAreaText(i % 2 ? "6130, 4080, 6144, 4096" : "1000, 1000, 1111, 1111");
        h.dlg->AddPatchAreaText("1, 2, 3, 4");
        // The narrowest the entries get: beside the scroll bar, which the list shows once they fill it.
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        const auto check = [&](bool mayShrink) {
            QCOMPARE(list->count(), 13);
            QApplication::processEvents();
            QVERIFY(!list->horizontalScrollBar()->isVisible());
            const int margins =
                2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
            for (int row = 0; row < list->count(); ++row) {
                const QString text = list->item(row)->text();
                const int width = list->visualItemRect(list->item(row)).width() - margins;
                const FittedAreaText fitted = FitAreaEntry(list->font(), text, width);
                // All four numbers, in a font that still reads, inside the row.
                QCOMPARE(fitted.text.split(QRegularExpression(QStringLiteral("\\D+"))),
                         text.split(QRegularExpression(QStringLiteral("\\D+"))));
                QVERIFY2(QFontMetrics(fitted.font).horizontalAdvance(fitted.text) <= width, qPrintable(text));
                QVERIFY(fitted.font.pointSizeF() >= 6.0 || fitted.font.pixelSize() >= 8);
                if (!mayShrink)
                    QCOMPARE(fitted.font, list->font());
            }
        };
        check(true);
        // A wider window gives the list room for the entries as typed.
        h.dlg->resize(1600, 1000);
        QTRY_VERIFY(list->width() > 250);
        check(false);
    }

    void areasSurviveARestart() {
        {
            CDialogHarness h(SettingsFile());
            h.Show();
            Drag(h.Control(IDC_MAP), {10, 10}, {80, 60});
            h.dlg->AddPatchAreaText("1, 2, 3, 4");
        }
        {
            // A hand-edited entry is read as the rules read it; one that covers nothing of the world
            // is dropped.
            QSettings settings(SettingsFile(), QSettings::IniFormat);
            QStringList stored = settings.value(QStringLiteral("Patch Areas")).toStringList();
            QCOMPARE(stored.size(), 2);
            stored << QStringLiteral(" 10,20 , 30, 40xyz") << QStringLiteral("9000, 9000, 9100, 9100");
            settings.setValue(QStringLiteral("Patch Areas"), stored);
        }
        CDialogHarness h(SettingsFile());
        QCOMPARE(Texts(h).size(), 3);
        QCOMPARE(Texts(h)[1], QStringLiteral("1, 2, 3, 4"));
        QCOMPARE(Texts(h)[2], QStringLiteral("10, 20, 30, 40"));
        QCOMPARE(h.dlg->MapView().PatchAreas().Count(), std::size_t{3});
        // Restoring is not an edit the user could undo.
        QCOMPARE(h.dlg->UndoStack().count(), 0);
        h.dlg->ReadOptions();
        QCOMPARE(h.dlg->FreezeOptions().areas.size(), std::size_t{3});
    }
};

FROSTMARK_APP_SUITE(PatchAreasTest)
#include "PatchAreasTest.moc"
