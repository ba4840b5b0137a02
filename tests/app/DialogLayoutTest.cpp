// The dialog as the user first sees it: every control of the template where the template puts it, with
// its text and initial state, the caption and icon, and the About box.
#include "AppTestSupport.h"

#include "app/AboutDlg.h"
#include "app/DialogBuilder.h"
#include "app/DialogTemplate.h"
#include "app/Widgets.h"
#include "platform/qt/QtDialogUnits.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>

#include <QTimer>
#include <functional>

using namespace frostmark;
using namespace frostmark::testing;

class DialogLayoutTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    // Once `find` answers a window (a modal box or a menu running its own event loop), hands it to
    // `act`; looks again every 20 ms, for at most 10 seconds.
    void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act, int triesLeft = 500) {
        QTimer::singleShot(20, this, [this, find, act, triesLeft] {
            if (QWidget* w = find())
                act(w);
            else if (triesLeft > 0)
                WhenShown(find, act, triesLeft - 1);
        });
    }

private slots:
    void controlsSitAtTheirTemplateRectangles() {
        CDialogHarness h(SettingsFile());
        const CDialogTemplate& tmpl = MainDialogTemplate();
        const QFont font = DialogFont(tmpl);
        QCOMPARE(h.dlg->size(), DialogSize(font, 493, 279));
        int checked = 0;
        for (const CControlTemplate& c : tmpl.controls) {
            if (c.id == -1)
                continue;
            QWidget* w = h.Control(c.id);
            QVERIFY2(w, qPrintable(QStringLiteral("control %1 missing").arg(c.id)));
            const QRect expected = DialogRect(font, c.x, c.y, c.cx, c.cy);
            QCOMPARE(w->pos(), expected.topLeft());
            QCOMPARE(w->height(), expected.height());
            // Fixed texts may take a few pixels more than their rectangle, never less.
            if (c.kind == EControlKind::Label || c.kind == EControlKind::CheckBox)
                QVERIFY(w->width() >= expected.width());
            else
                QCOMPARE(w->width(), expected.width());
            ++checked;
        }
        QCOMPARE(checked, 29);
        // The template's picture is 256 x 158 units: at the dialog font that is about the 384 x 256
        // image, so the whole world fits at the farthest level.
        QVERIFY(qAbs(h.Control(IDC_MAP)->width() - 384) <= 64);
    }

    void extraRoomGoesToTheMapAndTheLists() {
        CDialogHarness h(SettingsFile());
        h.Show();
        std::map<QWidget*, QRect> before;
        for (QWidget* w : h.dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            before[w] = w->geometry();
        const QSize base = h.dlg->size();
        // The template's size is the smallest the window gets.
        QCOMPARE(h.dlg->minimumSize(), base);
        h.dlg->resize(300, 200);
        QTRY_COMPARE(h.dlg->size(), base);

        h.dlg->resize(1600, 1000);
        QTRY_COMPARE(h.dlg->size(), QSize(1600, 1000));
        const int dx = 1600 - base.width(), dy = 1000 - base.height();
        const QRect map = h.Control(IDC_MAP)->geometry();
        const QRect mapBefore = before[h.Control(IDC_MAP)];
        // The map takes all the extra width and most of the extra height.
        QCOMPARE(map.topLeft(), mapBefore.topLeft());
        QCOMPARE(map.width(), mapBefore.width() + dx);
        QVERIFY(map.height() > mapBefore.height() + dy / 2);
        // Its bars and icons stay along its edges.
        QCOMPARE(h.Control(IDC_MAP_VSCROLL)->geometry().left(), map.right() + 1);
        QCOMPARE(h.Control(IDC_MAP_VSCROLL)->height(), map.height());
        QCOMPARE(h.Control(IDC_MAP_HSCROLL)->geometry().top(), map.bottom() + 1);
        QCOMPARE(h.Control(IDC_MAP_HSCROLL)->width(), map.width());
        QCOMPARE(h.Control(IDC_ZOOMIN)->x(), before[h.Control(IDC_ZOOMIN)].x() + dx);
        // The lists share the rest below it, side by side, and reach the window's bottom right.
        const QRect objects = h.Control(IDC_PATCH_OBJECTS)->geometry();
        const QRect areas = h.Control(IDC_PATCH_AREAS)->geometry();
        QVERIFY(objects.top() > h.Control(IDC_MAP_HSCROLL)->geometry().bottom());
        QCOMPARE(areas.top(), objects.top());
        QCOMPARE(objects.height(), areas.height());
        QVERIFY(objects.height() > before[h.Control(IDC_PATCH_OBJECTS)].height());
        QVERIFY(objects.width() > before[h.Control(IDC_PATCH_OBJECTS)].width());
        QVERIFY(areas.width() > before[h.Control(IDC_PATCH_AREAS)].width());
        QVERIFY(areas.left() > objects.right());
        QCOMPARE(areas.right() - before[h.Control(IDC_PATCH_AREAS)].right(), dx);
        QCOMPARE(areas.bottom() - before[h.Control(IDC_PATCH_AREAS)].bottom(), dy);
        // Everything left of the map keeps its place and size: the groups and what they hold.
        int kept = 0;
        for (const auto& [w, r] : before) {
            if (r.right() < mapBefore.left()) {
                QCOMPARE(w->geometry(), r);
                ++kept;
            }
        }
        QVERIFY(kept >= 30);
        // And the map's image is built for the picture's new size.
        QCOMPARE(h.dlg->MapView().PictureWidth(), map.width());
        QCOMPARE(h.dlg->MapView().PictureHeight(), map.height());

        // Back to the template's size, every control is where it was.
        h.dlg->resize(base);
        QTRY_COMPARE(h.dlg->size(), base);
        for (const auto& [w, r] : before)
            QCOMPARE(w->geometry(), r);
    }

    void labelsAndInitialStates() {
        CDialogHarness h(SettingsFile());
        QCOMPARE(h.dlg->windowTitle(), QStringLiteral("Frostmark v1.04"));
        QVERIFY(!h.dlg->windowIcon().isNull());
        // A main window that can be maximised.
        QVERIFY(h.dlg->windowFlags() & Qt::WindowMaximizeButtonHint);

        // Every fixed text of the template is on the dialog.
        QStringList texts;
        for (auto* label : h.dlg->findChildren<QLabel*>())
            texts << label->text();
        for (auto* frame : h.dlg->findChildren<CGroupFrame*>())
            texts << frame->Title();
        for (auto* box : h.dlg->findChildren<QAbstractButton*>())
            texts << box->text();
        for (const char* t : {"Files",
                              "WorldFile",
                              "Patch File",
                              "Output Worldfile",
                              "Script Directory",
                              "Options",
                              "Exclude:",
                              "Any object with a TYPE value",
                              "Doors",
                              "Signs",
                              "Lights",
                              "Containers",
                              "Include:",
                              "Never Moveable (010)",
                              "Static (08000)",
                              "Exclude Art IDs",
                              "Include Art IDs",
                              "Analyze",
                              "Create Patch File",
                              "Clean Worldfile",
                              "Analysis",
                              "Number of Top-Level Objects",
                              "Number of Objects to Freeze",
                              "Approximate size of resulting patch file",
                              "Patch Objects",
                              "Patch Areas",
                              "Close",
                              "Cancel"})
            QVERIFY2(texts.contains(QString::fromLatin1(t)), t);

        QVERIFY(h.Control(IDC_ANALYZE)->isEnabled());
        QVERIFY(!h.Control(IDC_CREATEPATCH)->isEnabled());
        QVERIFY(!h.Control(IDC_CLEANWORLD)->isEnabled());
        QVERIFY(h.Control(IDOK)->isHidden());
        QVERIFY(!h.Control(IDOK)->isEnabled());
        QVERIFY(qobject_cast<QPushButton*>(h.Control(IDOK))->isDefault());
        QVERIFY(h.Control(IDCANCEL)->isHidden());

        for (int id : {IDC_EXCLUDE_ART, IDC_INCLUDE_ART}) {
            auto* box = h.dlg->ControlAs<QPlainTextEdit>(id);
            QVERIFY(box);
            QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        }
        for (int id : {IDC_PATCH_OBJECTS, IDC_PATCH_AREAS})
            QCOMPARE(h.dlg->ControlAs<QListWidget>(id)->selectionMode(),
                     QAbstractItemView::ExtendedSelection);
        for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE}) {
            auto* field = h.dlg->ControlAs<QLabel>(id);
            QVERIFY(field->alignment() & Qt::AlignRight);
            QCOMPARE(field->text(), QString());
        }
        QVERIFY(h.dlg->ControlAs<QProgressBar>(IDC_PROGRESS));
        QCOMPARE(h.dlg->ControlAs<QScrollBar>(IDC_MAP_VSCROLL)->orientation(), Qt::Vertical);
        QCOMPARE(h.dlg->ControlAs<QScrollBar>(IDC_MAP_HSCROLL)->orientation(), Qt::Horizontal);
        // The overlay timer runs from the start.
        QVERIFY(h.timers.IsRunning(IDT_MAP_OVERLAY));
    }

    void enterInALineFieldDoesNotRunACommand() {
        CDialogHarness h(SettingsFile());
        h.Show();
        h.Type(IDC_WORLDFILE, QStringLiteral("x"));
        QTest::keyClick(h.Control(IDC_WORLDFILE), Qt::Key_Return);
        // No analysis ran (it would have complained about the missing file) and the dialog is open.
        QVERIFY(h.messages.Messages().empty());
        QVERIFY(h.dlg->isVisible());
    }

    void enterInAnArtIdBoxStartsANewLine() {
        CDialogHarness h(SettingsFile());
        h.Show();
        h.Type(IDC_EXCLUDE_ART, QStringLiteral("0eed"));
        QTest::keyClick(h.Control(IDC_EXCLUDE_ART), Qt::Key_Return);
        QTest::keyClicks(h.Control(IDC_EXCLUDE_ART), QStringLiteral("0f3f"));
        QCOMPARE(h.Text(IDC_EXCLUDE_ART), std::string("0eed\n0f3f"));
        QCOMPARE(h.dlg->Controls().GetLineCount(IDC_EXCLUDE_ART), 2);
        QVERIFY(h.dlg->isVisible());
    }

    void f1AndTheContextMenuOfferTheAboutBox() {
        CDialogHarness h(SettingsFile());
        h.Show();
        // F1 opens the About box modally; close it from inside its own event loop.
        QString shown;
        WhenShown([] { return QApplication::activeModalWidget(); },
                  [&](QWidget* modal) {
                      shown = modal->windowTitle();
                      modal->close();
                  });
        QTest::keyClick(h.dlg.get(), Qt::Key_F1);
        QCOMPARE(shown, QStringLiteral("About Frostmark"));

        // The context menu holds the About item and the client directory beside it.
        QStringList items;
        WhenShown([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                  [&](QWidget* menu) {
                      for (QAction* action : menu->actions())
                          items << action->text();
                      menu->close();
                  });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 400),
                                h.dlg->mapToGlobal(QPoint(20, 400)));
        QApplication::sendEvent(h.dlg.get(), &event);
        QCOMPARE(items, QStringList(
                            {QStringLiteral("&About frostmark..."), QStringLiteral("&Client directory...")}));
    }

    void aboutBoxShowsVersionAndBuild() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Frostmark"));
        QCOMPARE(qobject_cast<QLabel*>(about.Control(IDC_ABOUT_VERSION))->text(), QStringLiteral("1.04"));
        const QString build = qobject_cast<QLabel*>(about.Control(IDC_ABOUT_BUILD))->text();
        // The compiler's form: "Mmm dd yyyy hh:mm:ss", the day padded with a blank.
        QVERIFY2(QRegularExpression(QStringLiteral("^Built on [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} "
                                                   "[0-9]{2}:[0-9]{2}:[0-9]{2}$"))
                     .match(build)
                     .hasMatch(),
                 qPrintable(build));
        QStringList texts;
        for (auto* label : about.findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("Frostmark Version")));
        QVERIFY(about.Control(IDOK));
        QCOMPARE(about.size(), DialogSize(DialogFont(AboutDialogTemplate()), 235, 65));
    }
};

FROSTMARK_APP_SUITE(DialogLayoutTest)
#include "DialogLayoutTest.moc"
