#include "platform/FileReadProgress.h"
#include "platform/qt/QtDialogControls.h"
#include "platform/qt/QtDialogUnits.h"
#include "platform/qt/QtProgressWindow.h"
#include "platform/qt/QtServices.h"

#include "TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace frostmark {
namespace {

// ---------------------------------------------------------------- the "Loading File" window

struct PixelCounts {
    int bar = 0;
    int background = 0;
    int other = 0;
};

PixelCounts Count(const QImage& image, const QRect& area, const QColor& bar, const QColor& background) {
    PixelCounts counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.rgb() == bar.rgb())
                ++counts.bar;
            else if (pixel.rgb() == background.rgb())
                ++counts.background;
            else
                ++counts.other;
        }
    }
    return counts;
}

// The canvas's drawing area as an image, in the coordinates of the paint figures.
QImage CanvasImage(CQtProgressCanvas& canvas) {
    return canvas.grab(canvas.contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(QtProgressWindowTest, LaidOutInDialogUnitsOfItsFont) {
    CQtProgressWindow window;
    const QFont font = window.font();
    EXPECT_EQ(window.windowTitle(), "Loading File");
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.size(), DialogSize(font, 289, 28));
    EXPECT_EQ(window.StatusLabel()->geometry(), DialogRect(font, 7, 3, 275, 8));
    EXPECT_EQ(window.Canvas()->geometry(), DialogRect(font, 7, 14, 275, 10));
    EXPECT_TRUE(window.StatusLabel()->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(window.Canvas()->frameShadow(), QFrame::Sunken);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowCloseButtonHint) << "the user cannot cancel loading";
}

TEST(QtProgressWindowTest, FactoryLaysWindowsOutWithTheDialogFont) {
    QFont large = QApplication::font();
    large.setPointSize(large.pointSize() * 2);
    CQtProgressViewFactory factory;
    factory.SetDialogFont(large);
    auto view = factory.CreateProgressView();
    auto* window = dynamic_cast<CQtProgressView&>(*view).Window();
    EXPECT_EQ(window->font(), large);
    EXPECT_EQ(window->size(), DialogSize(large, 289, 28));
    EXPECT_GT(window->width(), DialogSize(QApplication::font(), 289, 28).width());
}

TEST(QtProgressWindowTest, BarAndTextArePaintedAsDrawProgressSays) {
    CQtProgressViewFactory factory;
    CFileReadProgress progress(&factory);
    auto* view = dynamic_cast<CQtProgressView*>(progress.View());
    ASSERT_NE(view, nullptr);
    CQtProgressWindow* window = view->Window();
    ASSERT_TRUE(window->isVisible()) << "the window shows as soon as it exists";
    progress.SetStatusText("Reading tavrelitem.scp");
    EXPECT_EQ(window->StatusLabel()->text(), "Reading tavrelitem.scp");

    CQtProgressCanvas* canvas = window->Canvas();
    const CProgressRect client = canvas->ClientRect();
    ASSERT_GT(client.Width(), 100);
    const QColor navy(0, 0, 0x80);
    const QColor face = canvas->BackgroundColour();
    ASSERT_NE(face.rgb(), navy.rgb());

    // A quarter: navy up to the split, button face after it (at the split, far from the centred text).
    progress.SetRange(0, 200);
    progress.SetPosition(50);
    progress.DrawProgress();
    const int split = client.Width() / 4;
    ASSERT_NE(canvas->LastPaint(), nullptr);
    EXPECT_EQ(canvas->LastPaint()->split, split);
    QImage image = CanvasImage(*canvas);
    for (int y = 0; y < client.Height(); ++y) {
        EXPECT_EQ(image.pixelColor(split - 1, y).rgb(), navy.rgb()) << "row " << y;
        EXPECT_EQ(image.pixelColor(split, y).rgb(), face.rgb()) << "row " << y;
    }

    // 0%: no bar; the text is navy on the button face.
    progress.SetPosition(0);
    progress.DrawProgress();
    image = CanvasImage(*canvas);
    PixelCounts counts = Count(image, image.rect(), navy, face);
    EXPECT_GT(counts.bar, 0) << "navy text";
    EXPECT_GT(counts.background, counts.bar);
    const int emptyTextPixels = counts.bar;

    // 100%: a full navy bar; the same text, now in the button-face colour.
    progress.SetPosition(200);
    progress.DrawProgress();
    image = CanvasImage(*canvas);
    counts = Count(image, image.rect(), navy, face);
    EXPECT_GT(counts.background, 0) << "light text on the bar";
    EXPECT_GT(counts.bar, counts.background);

    // Half: the text is cut at the bar's edge. Left of the split it is light on navy, right navy on face.
    progress.SetPosition(100);
    progress.DrawProgress();
    image = CanvasImage(*canvas);
    const int half = client.Width() / 2;
    const PixelCounts left = Count(image, QRect(0, 0, half, client.Height()), navy, face);
    const PixelCounts right =
        Count(image, QRect(half, 0, client.Width() - half, client.Height()), navy, face);
    EXPECT_GT(left.background, 0) << "letters left of the edge are light";
    EXPECT_GT(right.bar, 0) << "letters right of the edge are navy";
    EXPECT_GT(left.bar, right.bar);
    EXPECT_LT(right.bar, emptyTextPixels + client.Height()) << "only letters are navy right of the split";
}

TEST(QtProgressWindowTest, DestroyingTheProgressClosesTheWindow) {
    CQtProgressViewFactory factory;
    QPointer<CQtProgressWindow> window;
    {
        CFileReadProgress progress(&factory);
        window = dynamic_cast<CQtProgressView*>(progress.View())->Window();
        progress.SetCaption("Loading");
        EXPECT_EQ(window->windowTitle(), "Loading");
    }
    EXPECT_TRUE(window.isNull());
}

// ---------------------------------------------------------------- dialog controls

TEST(QtDialogControlsTest, ControlsAnswerByTheirIds) {
    QWidget dialog;
    CQtDialogControls controls;
    auto* path = new QLineEdit(&dialog);
    auto* artIds = new QPlainTextEdit(&dialog);
    auto* doors = new QCheckBox(QStringLiteral("Doors"), &dialog);
    auto* button = new QPushButton(QStringLiteral("Create Patch File"), &dialog);
    auto* result = new QLabel(&dialog);
    controls.Bind(1010, path);
    controls.Bind(1022, artIds);
    controls.Bind(1019, doors);
    controls.Bind(1001, button);
    controls.Bind(1015, result);

    controls.SetText(1010, "/srv/shard/world.wsc");
    EXPECT_EQ(path->text(), "/srv/shard/world.wsc");
    EXPECT_EQ(controls.GetText(1001), "Create Patch File");
    controls.SetText(1015, "1234");
    EXPECT_EQ(controls.GetText(1015), "1234");

    // The art ID box counts lines like the in-memory controls (and the classic edit control).
    controls.SetText(1022, "0eed\r\n\r\n0f3f\r\n");
    EXPECT_EQ(controls.GetText(1022), "0eed\n\n0f3f\n");
    ASSERT_EQ(controls.GetLineCount(1022), 4);
    EXPECT_EQ(controls.GetLine(1022, 2), "0f3f");
    EXPECT_EQ(controls.GetLine(1022, 3), "");
    controls.SetText(1022, "");
    EXPECT_EQ(controls.GetLineCount(1022), 1);

    controls.SetChecked(1019, true);
    EXPECT_TRUE(doors->isChecked());
    EXPECT_TRUE(controls.IsChecked(1019));
    controls.Enable(1001, false);
    EXPECT_FALSE(button->isEnabled());
    controls.Show(1001, false);
    EXPECT_FALSE(controls.IsVisible(1001));
    EXPECT_TRUE(controls.IsVisible(1010)) << "shown controls of a window not yet on screen count as visible";

    // An ID without a widget answers empty values and changes nothing.
    controls.SetText(4242, "x");
    EXPECT_EQ(controls.GetText(4242), "");
    EXPECT_EQ(controls.ListCount(4242), 0);
}

TEST(QtDialogControlsTest, ListBoxesKeepOrderDataAndSelection) {
    QListWidget list;
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    CQtDialogControls controls;
    controls.Bind(1025, &list);
    EXPECT_EQ(controls.ListAddString(1025, "0eed\t100,200\t5"), 0);
    EXPECT_EQ(controls.ListAddString(1025, "0f3f\t1,2\t0"), 1);
    EXPECT_EQ(controls.ListAddString(1025, "0001\t3,4\t0"), 2);
    controls.ListSetItemData(1025, 2, 0xC0FFEE);
    controls.ListSetSelected(1025, 2, true);
    controls.ListSetSelected(1025, 0, true);
    EXPECT_EQ(controls.ListSelection(1025), (std::vector<int>{0, 2}));
    EXPECT_TRUE(controls.ListDeleteString(1025, 0));
    EXPECT_FALSE(controls.ListDeleteString(1025, 7));
    EXPECT_EQ(controls.ListText(1025, 1), "0001\t3,4\t0");
    EXPECT_EQ(controls.ListItemData(1025, 1), 0xC0FFEEu);
    EXPECT_EQ(controls.ListSelection(1025), std::vector<int>{1});

    controls.ListSetTabStops(1025, {130, 140});
    auto* delegate = qobject_cast<CTabStopDelegate*>(list.itemDelegate());
    ASSERT_NE(delegate, nullptr);
    const CDialogBaseUnits base = DialogBaseUnits(list.font());
    EXPECT_EQ(delegate->StopPixels(list.font()),
              (std::vector<int>{DialogUnitsToPixelsX(130, base), DialogUnitsToPixelsX(140, base)}));
    list.resize(400, 100);
    EXPECT_FALSE(list.grab().isNull()); // the delegate paints without trouble
    controls.ListReset(1025);
    EXPECT_EQ(controls.ListCount(1025), 0);
}

TEST(QtDialogControlsTest, ProgressBarTakesTheWhole32BitRange) {
    QProgressBar bar;
    CQtDialogControls controls;
    controls.Bind(1009, &bar);
    controls.SetProgressRange(1009, 0, 1000);
    controls.SetProgressPos(1009, 250);
    EXPECT_EQ(bar.value(), 250);
    // A world file of nearly 4 GiB: the widget's int range cannot hold it, the proportion stays.
    controls.SetProgressRange(1009, 0, 0xFFFFFFF0u);
    controls.SetProgressPos(1009, 0x7FFFFFF8u);
    ASSERT_GT(bar.maximum(), 0);
    EXPECT_NEAR(static_cast<double>(bar.value()) / bar.maximum(), 0.5, 1e-6);
    controls.SetProgressPos(1009, 0xFFFFFFF0u);
    EXPECT_EQ(bar.value(), bar.maximum());
}

TEST(QtDialogControlsTest, FocusIsReportedByControlId) {
    QWidget dialog;
    auto* list = new QListWidget(&dialog);
    auto* edit = new QLineEdit(&dialog);
    CQtDialogControls controls;
    controls.Bind(1032, list);
    controls.Bind(1010, edit);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    controls.SetFocus(1032);
    QCoreApplication::processEvents();
    EXPECT_EQ(controls.FocusedControl(), 1032);
    controls.SetFocus(1010);
    QCoreApplication::processEvents();
    EXPECT_EQ(controls.FocusedControl(), 1010);
    controls.UpdateNow();
}

// ---------------------------------------------------------------- settings, cursor, timer, messages

TEST(QtSettingsStoreTest, ValuesSurviveARestart) {
    test::CTempDir dir;
    const QString file = QString::fromStdString((dir.Path() / "frostmark.ini").string());
    {
        CQtSettingsStore store(file);
        EXPECT_FALSE(store.GetString("Input Worldfile"));
        EXPECT_FALSE(store.GetInteger("Flags"));
        EXPECT_FALSE(store.GetStringList("IgnoreArt"));
        EXPECT_TRUE(store.SetString("Input Worldfile", "/srv/shard/world.wsc"));
        EXPECT_TRUE(store.SetString("Script Path", ""));
        EXPECT_TRUE(store.SetInteger("Flags", 0x100010u));
        EXPECT_TRUE(store.SetInteger("Big", 0xFFFFFFFFu));
        EXPECT_TRUE(store.SetStringList("IgnoreArt", {"0eed", "0f3f"}));
        EXPECT_TRUE(store.SetStringList("IncludeArt", {}));
        EXPECT_TRUE(store.SetStringList("One", {"0eed"}));
        EXPECT_TRUE(store.Sync());
    }
    CQtSettingsStore store(file);
    EXPECT_EQ(store.GetString("Input Worldfile"), "/srv/shard/world.wsc");
    EXPECT_EQ(store.GetString("Script Path"), "");
    EXPECT_EQ(store.GetInteger("Flags"), 0x100010u);
    EXPECT_EQ(store.GetInteger("Big"), 0xFFFFFFFFu);
    EXPECT_EQ(store.GetStringList("IgnoreArt"), (std::vector<std::string>{"0eed", "0f3f"}));
    EXPECT_EQ(store.GetStringList("IncludeArt"), std::vector<std::string>{});
    EXPECT_EQ(store.GetStringList("One"), std::vector<std::string>{"0eed"});
    EXPECT_FALSE(store.GetInteger("Input Worldfile")) << "text is no number";
}

TEST(QtWaitCursorTest, OverrideCursorForTheGuardsLifetime) {
    CQtWaitCursor cursor;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        CWaitCursorGuard outer(&cursor);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        CWaitCursorGuard inner(&cursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    cursor.End(); // an unmatched End does not pop someone else's cursor
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtTimerServiceTest, RepeatsUntilStopped) {
    CQtTimerService timers;
    int ticks = 0;
    timers.StartTimer(10001, 5, [&] {
        if (++ticks == 3)
            timers.StopTimer(10001);
    });
    EXPECT_TRUE(timers.IsRunning(10001));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timers.IsRunning(10001); }, 5000));
    QTest::qWait(30);
    EXPECT_EQ(ticks, 3);
    // Restarting an id replaces its callback.
    int other = 0;
    timers.StartTimer(10001, 5, [&] { ++other; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return other > 0; }, 5000));
    EXPECT_EQ(ticks, 3);
}

TEST(QtMessageBoxTest, ShowsTheIconAndReturnsTheAnswer) {
    CQtMessageBox messages;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    QString seenText;
    QString seenTitle;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenIcon = box->icon();
        seenText = box->text();
        seenTitle = box->windowTitle();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(
        messages.Show("Replace the patch file?", "Frostmark", MessageIcon::Question, MessageButtons::YesNo),
        MessageAnswer::Yes);
    EXPECT_EQ(seenIcon, QMessageBox::Question);
    EXPECT_EQ(seenText, "Replace the patch file?");
    EXPECT_EQ(seenTitle, "Frostmark");

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenIcon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(messages.Show("Unable to open file x for input.", "Frostmark", MessageIcon::Warning),
              MessageAnswer::Ok);
    EXPECT_EQ(seenIcon, QMessageBox::Warning);
}

} // namespace
} // namespace frostmark
