// The map view in the dialog: dragging patch areas, their overlay and the Delete key, the zoom icons at
// their limits, and choosing the client directory.
#include "AppTestSupport.h"

#include "app/MapCanvas.h"
#include "tools/mapgen/TerrainGenerator.h"

#include <QListWidget>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

#include <filesystem>

using namespace frostmark;
using namespace frostmark::testing;

class MapViewTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    // A drag in picture coordinates, through the dialog's mouse handling.
    static void Drag(CDialogHarness& h, QPoint from, QPoint to) {
        const QPoint origin = h.Control(IDC_MAP)->pos();
        QTest::mousePress(h.dlg.get(), Qt::LeftButton, {}, origin + from);
        QTest::mouseMove(h.dlg.get(), origin + (from + to) / 2);
        QTest::mouseMove(h.dlg.get(), origin + to);
        QTest::mouseRelease(h.dlg.get(), Qt::LeftButton, {}, origin + to);
    }

    // At the farthest level a pixel is 16 tiles and the picture's middle is (3072, 2048).
    static QString ExpectedEntry(const QWidget* picture, QPoint a, QPoint b) {
        const int w = picture->width() / 2, hh = picture->height() / 2;
        auto wx = [&](int x) { return (x - w) * 16 + 3072; };
        auto wy = [&](int y) { return (y - hh) * 16 + 2048; };
        return QStringLiteral("%1, %2, %3, %4")
            .arg(wx(std::min(a.x(), b.x())))
            .arg(wy(std::min(a.y(), b.y())))
            .arg(wx(std::max(a.x(), b.x())))
            .arg(wy(std::max(a.y(), b.y())));
    }

private slots:
    void dragAddsAnAreaAndItsOverlay() {
        CDialogHarness h(SettingsFile());
        h.Show();
        auto* picture = h.dlg->MapPicture();
        auto* areas = h.dlg->ControlAs<QListWidget>(IDC_PATCH_AREAS);
        const QPoint origin = picture->pos();

        // While the button is held the frame follows the pointer.
        QTest::mousePress(h.dlg.get(), Qt::LeftButton, {}, origin + QPoint(100, 50));
        QTest::mouseMove(h.dlg.get(), origin + QPoint(200, 120));
        QVERIFY(picture->DragFrame().has_value());
        QCOMPARE(picture->DragFrame()->topLeft(), QPoint(100, 50));
        QTest::mouseRelease(h.dlg.get(), Qt::LeftButton, {}, origin + QPoint(200, 120));
        QVERIFY(!picture->DragFrame().has_value());
        QCOMPARE(areas->count(), 1);
        QCOMPARE(areas->item(0)->text(), ExpectedEntry(picture, {100, 50}, {200, 120}));
        // At this level, 16 tiles a pixel: 100 pixels wide is 1600 tiles.
        QCOMPARE(areas->item(0)->text().split(QStringLiteral(", "))[2].toInt() -
                     areas->item(0)->text().split(QStringLiteral(", "))[0].toInt(),
                 1600);

        // The overlay: the rectangle where it was dragged, in the darker green.
        QCOMPARE(picture->Areas().size(), std::size_t{1});
        QCOMPARE(picture->Areas()[0].rect, QRect(QPoint(100, 50), QPoint(199, 119)));
        QVERIFY(!picture->Areas()[0].selected);
        // Selecting the entry shows it as selected at once.
        areas->item(0)->setSelected(true);
        QVERIFY(picture->Areas()[0].selected);

        // Dragging the other way round adds the same entry.
        Drag(h, {200, 120}, {100, 50});
        QCOMPARE(areas->count(), 2);
        QCOMPARE(areas->item(1)->text(), areas->item(0)->text());

        // A zero-height drag and a release outside the picture add nothing.
        Drag(h, {10, 10}, {60, 10});
        QTest::mousePress(h.dlg.get(), Qt::LeftButton, {}, origin + QPoint(10, 10));
        QTest::mouseMove(h.dlg.get(), origin + QPoint(40, 40));
        QTest::mouseRelease(h.dlg.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(areas->count(), 2);

        // The analysis reads every entry, selected or not.
        h.dlg->ReadOptions();
        QCOMPARE(h.dlg->FreezeOptions().areas.size(), std::size_t{2});
    }

    void deleteKeyInThePatchAreas() {
        CDialogHarness h(SettingsFile());
        h.Show();
        auto* picture = h.dlg->MapPicture();
        auto* areas = h.dlg->ControlAs<QListWidget>(IDC_PATCH_AREAS);
        Drag(h, {10, 10}, {50, 40});
        Drag(h, {100, 100}, {150, 160});
        Drag(h, {200, 20}, {260, 90});
        const QString second = areas->item(1)->text();
        QCOMPARE(picture->Areas().size(), std::size_t{3});

        areas->setFocus();
        areas->clearSelection();
        QTest::keyClick(areas, Qt::Key_Delete);
        QCOMPARE(areas->count(), 3);

        areas->item(0)->setSelected(true);
        areas->item(2)->setSelected(true);
        QTest::keyClick(areas, Qt::Key_Delete);
        QCOMPARE(areas->count(), 1);
        QCOMPARE(areas->item(0)->text(), second);
        QCOMPARE(picture->Areas().size(), std::size_t{1});
        QCOMPARE(picture->Areas()[0].rect.topLeft(), QPoint(100, 100));
        QCOMPARE(h.dlg->MapView().PatchAreas().Count(), std::size_t{1});
    }

    void zoomIconsStopAtTheirLimits() {
        // A short map of our own so every level has an image to build.
        const std::string client = m_dir.filePath(QStringLiteral("client")).toStdString();
        std::string error;
        mapgen::MapFilesOptions mapOptions;
        mapOptions.columns = 64;
        QVERIFY2(mapgen::WriteMapFiles(client, mapOptions, error), error.c_str());
        CFrostmarkDlg::Options options;
        options.clientDirectory = client;
        CDialogHarness h(SettingsFile(), options);
        h.Show();
        auto* picture = h.dlg->MapPicture();
        auto* hbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_HSCROLL);
        auto* vbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
        QVERIFY(!picture->TerrainImage().isNull());
        QCOMPARE(h.dlg->MapView().Zoom(), -16);
        QCOMPARE(hbar->minimum(), 3072);
        QCOMPARE(hbar->maximum(), 3072);

        // Farthest level: zoom out does nothing at all.
        const QImage before = picture->TerrainImage();
        h.Click(IDC_ZOOMOUT);
        QCOMPARE(h.dlg->MapView().Zoom(), -16);
        QCOMPARE(picture->TerrainImage(), before);

        const int levels[] = {-8, -4, -2, -1, 2, 4, 8, 16, 32};
        for (int level : levels) {
            h.Click(IDC_ZOOMIN);
            QCOMPARE(h.dlg->MapView().Zoom(), level);
        }
        // Closest level: the scroll ranges are the centre bounds of level 32.
        QCOMPARE(hbar->minimum(), 6);
        QCOMPARE(hbar->maximum(), 6138);
        QCOMPARE(vbar->minimum(), 4);
        QCOMPARE(vbar->maximum(), 4092);
        hbar->setValue(100);
        const QImage closest = picture->TerrainImage();
        h.Click(IDC_ZOOMIN);
        QCOMPARE(h.dlg->MapView().Zoom(), 32);
        // Neither the bars nor the image were touched.
        QCOMPARE(hbar->value(), 100);
        QCOMPARE(picture->TerrainImage(), closest);

        // And back out: 32 halves down to 1, then -2.
        h.Click(IDC_ZOOMOUT);
        QCOMPARE(h.dlg->MapView().Zoom(), 16);
    }

    void scrollingMovesTheCentreAndRebuildsAtTheEnd() {
        CDialogHarness h(SettingsFile());
        h.Show();
        for (int i = 0; i < 4; ++i)
            h.Click(IDC_ZOOMIN); // -16 -> -1, one tile a pixel
        QCOMPARE(h.dlg->MapView().Zoom(), -1);
        auto* vbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
        QCOMPARE(vbar->minimum(), 128);
        QCOMPARE(vbar->maximum(), 3968);
        const int y = h.dlg->MapView().CentreY();
        vbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(h.dlg->MapView().CentreY(), y + 8);
        vbar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(h.dlg->MapView().CentreY(), y + 8 - 256);
        QCOMPARE(vbar->value(), y + 8 - 256);

        // Past the bottom bound the centre moves until the scroll ends; the rebuild then clamps it and
        // the thumb follows.
        for (int i = 0; i < 10; ++i)
            vbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(h.dlg->MapView().CentreY(), y + 8 - 256 + 10 * 256);
        QTest::mouseRelease(vbar, Qt::LeftButton, {}, QPoint(2, vbar->height() - 2));
        QTRY_COMPARE(h.dlg->MapView().CentreY(), 3968);
        QCOMPARE(vbar->value(), 3968);
    }

    void choosingTheClientDirectoryRebuildsTheMapAndIsKept() {
        const std::string client = m_dir.filePath(QStringLiteral("client2")).toStdString();
        std::string error;
        mapgen::MapFilesOptions mapOptions;
        mapOptions.columns = 16;
        QVERIFY2(mapgen::WriteMapFiles(client, mapOptions, error), error.c_str());
        CFrostmarkDlg::Options options;
        options.chooseDirectory = [&](const std::string&) { return std::optional<std::string>(client); };
        {
            CDialogHarness h(SettingsFile(), options);
            h.Show();
            QVERIFY(h.dlg->MapPicture()->TerrainImage().isNull());
            h.dlg->OnChooseClientDirectory();
            QVERIFY(!h.dlg->MapPicture()->TerrainImage().isNull());
            // Somewhere in the first 16 block columns the terrain is not all black.
            QVERIFY(h.dlg->MapPicture()->TerrainImage().copy(0, 0, 16, 256) !=
                    QImage(16, 256, h.dlg->MapPicture()->TerrainImage().format()));
        }
        QCOMPARE(QSettings(SettingsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("ClientDirectory"))
                     .toString(),
                 QString::fromStdString(client + "/"));
        // The next start finds the map at once.
        CDialogHarness h(SettingsFile());
        QVERIFY(!h.dlg->MapPicture()->TerrainImage().isNull());
    }
};

FROSTMARK_APP_SUITE(MapViewTest)
#include "MapViewTest.moc"
