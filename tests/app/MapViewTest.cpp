// The map as the user works on it: wheel zoom about the pointer, panning by mouse and keys, the scroll
// bars and zoom icons in step, the readout, the picture at any size, and choosing the client directory.
#include "AppTestSupport.h"

#include "app/MapCanvas.h"
#include "app/MapWorkspace.h"
#include "app/StatusLine.h"
#include "mapview/MapRender.h"
#include "tools/mapgen/TerrainGenerator.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

#include <filesystem>

using namespace frostmark;
using namespace frostmark::testing;

namespace {

// One notch of the wheel (120 eighths of a degree) at `at`, up (in) or down (out).
void Wheel(QWidget* canvas, QPoint at, int notches) {
    QWheelEvent event(QPointF(at), QPointF(canvas->mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &event);
}

} // namespace

class MapViewTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::string m_client;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    CFrostmarkDlg::Options WithClient() const {
        CFrostmarkDlg::Options options;
        options.clientDirectory = m_client;
        return options;
    }

private slots:
    void initTestCase() {
        // A map of our own whose first 96 block columns have terrain, so every level has something to
        // show on the west side of the world.
        m_client = m_dir.filePath(QStringLiteral("client")).toStdString();
        std::string error;
        mapgen::MapFilesOptions mapOptions;
        mapOptions.columns = 96;
        QVERIFY2(mapgen::WriteMapFiles(m_client, mapOptions, error), error.c_str());
    }
    void init() { std::filesystem::remove(SettingsFile().toStdString()); }

    void wheelZoomKeepsTheWorldPointUnderThePointer() {
        CDialogHarness h(SettingsFile(), WithClient());
        h.Show();
        h.dlg->resize(1200, 800);
        QWidget* canvas = h.Control(IDC_MAP);
        QTRY_COMPARE(h.dlg->MapView().PictureWidth(), canvas->width());
        CMapView& view = h.dlg->MapView();
        auto* hbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_HSCROLL);
        auto* vbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
        // In through every level at one point and out again at another: the world point under the
        // pointer stays under it wherever the level's bounds let the centre go there.
        const QPoint points[] = {QPoint(canvas->width() / 3, canvas->height() / 2),
                                 QPoint(canvas->width() - 40, 30)};
        int kept = 0;
        for (const QPoint at : points) {
            // The run of steps at one spot keeps the point it started on.
            const WorldPoint before = view.ViewToWorld(at.x(), at.y());
            for (int step = 0; step < 20; ++step) {
                const int notch = step < 10 ? 1 : -1;
                const int level = view.Zoom();
                Wheel(canvas, at, notch);
                const int expected = notch > 0 ? ZoomInLevel(level) : ZoomOutLevel(level);
                QCOMPARE(view.Zoom(), expected);
                const LevelExtent e = GetLevelExtent(view.Zoom(), view.PictureWidth(), view.PictureHeight());
                const bool atBound = view.CentreX() == e.minCentreX || view.CentreX() == e.maxCentreX ||
                                     view.CentreY() == e.minCentreY || view.CentreY() == e.maxCentreY;
                if (!atBound) {
                    QCOMPARE(view.ViewToWorld(at.x(), at.y()), before);
                    ++kept;
                }
                // The bars follow the centre and the level's bounds.
                QCOMPARE(hbar->value(), view.CentreX());
                QCOMPARE(vbar->value(), view.CentreY());
                QCOMPARE(hbar->maximum(), e.maxCentreX);
                QCOMPARE(vbar->minimum(), e.minCentreY);
                // The readout names the level.
                QVERIFY(h.dlg->MapWorkspace().ReadoutText().contains(
                    QString::fromStdString(DescribeZoomLevel(view.Zoom()))));
            }
        }
        QVERIFY(kept >= 14);
        // Touchpad steps add up to a notch before they zoom.
        const int level = view.Zoom();
        QWheelEvent small(QPointF(50, 50), QPointF(canvas->mapToGlobal(QPoint(50, 50))), QPoint(),
                          QPoint(0, 60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &small);
        QCOMPARE(view.Zoom(), level);
        QApplication::sendEvent(canvas, &small);
        QCOMPARE(view.Zoom(), ZoomInLevel(level));
    }

    void wheelingInFromTheWholeWorldEndsOnThePointItStartedOn() {
        // Wide enough that the first levels in from the whole world hold the centre at their bounds
        // across: a town near the west coast must still end up under the pointer.
        CDialogHarness h(SettingsFile(), WithClient());
        h.Show();
        h.dlg->resize(1900, 1000);
        QWidget* canvas = h.Control(IDC_MAP);
        QTRY_COMPARE(h.dlg->MapView().PictureWidth(), canvas->width());
        CMapView& view = h.dlg->MapView();
        QTest::keyClick(canvas, Qt::Key_Home);
        const int whole = view.Zoom();
        const auto worldX = [&](int px) { return view.ViewToWorld(px, canvas->height() / 2).x; };
        // A pixel over the world a fifth of the way in from its west edge.
        int px = 0;
        while (px < canvas->width() && worldX(px) < kWorldWidth / 5)
            ++px;
        const QPoint at(px, canvas->height() / 3);
        const WorldPoint town = view.ViewToWorld(at.x(), at.y());
        Wheel(canvas, at, 1);
        const LevelExtent first = GetLevelExtent(view.Zoom(), view.PictureWidth(), view.PictureHeight());
        QVERIFY2(view.CentreX() == first.minCentreX, "the first step in is held by the level's bounds");
        QVERIFY(view.ViewToWorld(at.x(), at.y()) != town);
        while (view.Zoom() < 2)
            Wheel(canvas, at, 1);
        QVERIFY(view.Zoom() > whole);
        QCOMPARE(view.ViewToWorld(at.x(), at.y()), town);
        // Out again at the same spot: the same point, back to the whole world.
        Wheel(canvas, at, -1);
        QCOMPARE(view.ViewToWorld(at.x(), at.y()), town);

        // A pointer moved elsewhere starts a run on the point now under it.
        const QPoint other = at + QPoint(40, 25);
        const WorldPoint there = view.ViewToWorld(other.x(), other.y());
        Wheel(canvas, other, 1);
        QCOMPARE(view.ViewToWorld(other.x(), other.y()), there);
        // So does a view moved by other means in between, even with the pointer where it was.
        QTest::keyClick(canvas, Qt::Key_Right);
        const WorldPoint afterPan = view.ViewToWorld(other.x(), other.y());
        QVERIFY(afterPan != there);
        Wheel(canvas, other, 1);
        QCOMPARE(view.ViewToWorld(other.x(), other.y()), afterPan);
    }

    void panningByMouseAndKeysStopsAtTheBounds() {
        CDialogHarness h(SettingsFile(), WithClient());
        h.Show();
        QWidget* canvas = h.Control(IDC_MAP);
        CMapView& view = h.dlg->MapView();
        auto* hbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_HSCROLL);
        auto* vbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
        const QPoint middle(canvas->width() / 2, canvas->height() / 2);
        for (int i = 0; i < 3; ++i)
            Wheel(canvas, middle, 1); // -16 -> -2: two tiles a pixel
        QCOMPARE(view.Zoom(), -2);

        // Middle drag: the world follows the pointer.
        const WorldPoint grabbed = view.ViewToWorld(100, 100);
        QTest::mousePress(canvas, Qt::MiddleButton, {}, QPoint(100, 100));
        QTest::mouseMove(canvas, QPoint(130, 90));
        QTest::mouseMove(canvas, QPoint(150, 80));
        QTest::mouseRelease(canvas, Qt::MiddleButton, {}, QPoint(150, 80));
        QCOMPARE(view.ViewToWorld(150, 80), grabbed);
        QCOMPARE(hbar->value(), view.CentreX());
        QCOMPARE(vbar->value(), view.CentreY());
        // No area was drawn by it.
        QCOMPARE(view.PatchAreas().Count(), std::size_t{0});

        // Space + left drag does the same.
        canvas->setFocus();
        const WorldPoint grabbed2 = view.ViewToWorld(200, 150);
        QTest::keyPress(canvas, Qt::Key_Space);
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseMove(canvas, QPoint(180, 170));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(180, 170));
        QTest::keyRelease(canvas, Qt::Key_Space);
        QCOMPARE(view.ViewToWorld(180, 170), grabbed2);
        QCOMPARE(view.PatchAreas().Count(), std::size_t{0});

        // Arrows move the map by a fixed number of pixels.
        const int x = view.CentreX(), y = view.CentreY();
        QTest::keyClick(canvas, Qt::Key_Right);
        QCOMPARE(view.CentreX(), x + CMapWorkspace::kArrowStep * 2);
        QTest::keyClick(canvas, Qt::Key_Up);
        QCOMPARE(view.CentreY(), y - CMapWorkspace::kArrowStep * 2);
        QCOMPARE(vbar->value(), view.CentreY());

        // A long drag towards the north-west corner stops at the level's bounds.
        const LevelExtent e = GetLevelExtent(view.Zoom(), view.PictureWidth(), view.PictureHeight());
        for (int i = 0; i < 30; ++i) {
            QTest::mousePress(canvas, Qt::MiddleButton, {}, QPoint(10, 10));
            QTest::mouseMove(canvas, QPoint(canvas->width() - 10, canvas->height() - 10));
            QTest::mouseRelease(canvas, Qt::MiddleButton, {},
                                QPoint(canvas->width() - 10, canvas->height() - 10));
        }
        QCOMPARE(view.CentreX(), e.minCentreX);
        QCOMPARE(view.CentreY(), e.minCentreY);
        QCOMPARE(view.ViewToWorld(0, 0), (WorldPoint{0, 0}));
        QCOMPARE(hbar->value(), hbar->minimum());
        // And so do the keys at the other corner.
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(canvas, Qt::Key_Right, Qt::ShiftModifier);
            QTest::keyClick(canvas, Qt::Key_Down, Qt::ShiftModifier);
        }
        QCOMPARE(view.CentreX(), e.maxCentreX);
        QCOMPARE(view.CentreY(), e.maxCentreY);

        // + and - zoom about the middle; Home shows the whole world.
        QTest::keyClick(canvas, Qt::Key_Plus);
        QCOMPARE(view.Zoom(), -1);
        QTest::keyClick(canvas, Qt::Key_Minus);
        QTest::keyClick(canvas, Qt::Key_Minus);
        QCOMPARE(view.Zoom(), -4);
        QTest::keyClick(canvas, Qt::Key_Home);
        QCOMPARE(view.Zoom(), WholeWorldLevel(view.PictureWidth(), view.PictureHeight()));
        QCOMPARE(view.CentreX(), 3072);
        QCOMPARE(hbar->value(), 3072);
    }

    void readoutShowsTheWorldPointUnderThePointer() {
        CDialogHarness h(SettingsFile(), WithClient());
        h.Show();
        QWidget* canvas = h.Control(IDC_MAP);
        CMapView& view = h.dlg->MapView();
        QTest::mouseMove(canvas, QPoint(0, 0));
        QTest::mouseMove(canvas, QPoint(100, 60));
        const WorldPoint p = view.ViewToWorld(100, 60);
        QCOMPARE(h.dlg->MapWorkspace().ReadoutText(),
                 QStringLiteral("%1, %2   Zoom: 16 tiles a pixel").arg(p.x).arg(p.y));
        // It is a permanent part of the status line.
        QVERIFY(h.dlg->StatusLine()->isAncestorOf(h.dlg->MapWorkspace().Readout()));
        QVERIFY(h.dlg->MapWorkspace().Readout()->isVisible());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(canvas, &leave);
        QCOMPARE(h.dlg->MapWorkspace().ReadoutText(), QStringLiteral("\u2013   Zoom: 16 tiles a pixel"));
    }

    void picturePaintsWhatTheCommandLineDrawsAtThatSize() {
        CDialogHarness h(SettingsFile(), WithClient());
        h.Show();
        h.dlg->resize(1100, 760);
        auto* canvas = qobject_cast<CMapCanvas*>(h.Control(IDC_MAP));
        QTRY_COMPARE(h.dlg->MapView().PictureWidth(), canvas->width());
        CMapView& view = h.dlg->MapView();
        // A few levels on the west coast, where the map has terrain; the picture as painted equals the
        // command line's picture of the same size, zoom and centre (which the core tests check against
        // the rules).
        for (const int zoom : {-8, -1, 4, 32}) {
            view.SetZoom(zoom);
            view.SetCentre(300, 1500);
            h.dlg->MapWorkspace().Rebuild();
            MapRenderOptions options;
            options.width = canvas->width();
            options.height = canvas->height();
            options.zoom = zoom;
            options.centreX = 300;
            options.centreY = 1500;
            RgbImage expected;
            QVERIFY(RenderMap(m_client + "/", options, expected).ok);
            const QImage painted = canvas->Render();
            QCOMPARE(painted.size(), QSize(expected.width, expected.height));
            int differing = 0;
            for (int y = 0; y < expected.height; ++y)
                for (int x = 0; x < expected.width; ++x) {
                    const std::uint8_t* e =
                        &expected.rgb[(static_cast<std::size_t>(y) * expected.width + x) * 3];
                    if (painted.pixel(x, y) != qRgb(e[0], e[1], e[2]))
                        ++differing;
                }
            QCOMPARE(differing, 0);
        }
    }

    void zoomIconsStopAtTheirLimits() {
        CDialogHarness h(SettingsFile(), WithClient());
        h.Show();
        auto* picture = h.dlg->MapPicture();
        auto* hbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_HSCROLL);
        auto* vbar = h.dlg->ControlAs<QScrollBar>(IDC_MAP_VSCROLL);
        QVERIFY(picture->HasTerrain());
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
        CFrostmarkDlg::Options options;
        options.chooseDirectory = [&](const std::string&) { return std::optional<std::string>(m_client); };
        {
            CDialogHarness h(SettingsFile(), options);
            h.Show();
            QVERIFY(h.dlg->MapPicture()->TerrainImage().isNull());
            h.dlg->OnChooseClientDirectory();
            QVERIFY(!h.dlg->MapPicture()->TerrainImage().isNull());
            // Somewhere in the first block columns the terrain is not all black.
            QVERIFY(h.dlg->MapPicture()->TerrainImage().copy(0, 0, 16, 256) !=
                    QImage(16, 256, h.dlg->MapPicture()->TerrainImage().format()));
        }
        QCOMPARE(QSettings(SettingsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("ClientDirectory"))
                     .toString(),
                 QString::fromStdString(m_client + "/"));
        // The next start finds the map at once.
        CDialogHarness h(SettingsFile());
        QVERIFY(h.dlg->MapPicture()->HasTerrain());
    }
};

FROSTMARK_APP_SUITE(MapViewTest)
#include "MapViewTest.moc"
