// The dialog as the user first sees it: every control of the template in its row, with its text and
// initial state, no text over another control, mnemonics and tooltips, the caption and icon, the user
// guide and the About box.
#include "AppTestSupport.h"

#include "app/AboutDlg.h"
#include "app/DialogBuilder.h"
#include "app/DialogTemplate.h"
#include "app/UserGuide.h"
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
#include <QSet>
#include <QTest>
#include <QTextBrowser>

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
        h.Show();
        const CDialogTemplate& tmpl = MainDialogTemplate();
        const QFont font = DialogFont(tmpl);
        // The template's height; below it across the whole width the notice line, then the status line.
        const QSize templateSize = DialogSize(font, tmpl.cx, tmpl.cy);
        const QRect notice = h.Control(IDC_NOTICE)->geometry();
        const QRect status = h.dlg->StatusLine()->geometry();
        QCOMPARE(notice.top(), templateSize.height());
        QCOMPARE(status.top(), notice.bottom() + 1);
        QCOMPARE(status.bottom(), h.dlg->height() - 1);
        QCOMPARE(notice.width(), h.dlg->width());
        QCOMPARE(status.width(), h.dlg->width());
        QVERIFY(notice.height() >= 2 * h.Control(IDC_NOTICE)->fontMetrics().lineSpacing());
        QVERIFY(h.dlg->width() >= templateSize.width());
        // Rows stay where the template puts them; columns keep their order and widths never shrink.
        int checked = 0;
        std::vector<std::pair<const CControlTemplate*, QRect>> placed;
        for (const CControlTemplate& c : tmpl.controls) {
            if (c.id == -1)
                continue;
            QWidget* w = h.Control(c.id);
            QVERIFY2(w, qPrintable(QStringLiteral("control %1 missing").arg(c.id)));
            const QRect expected = DialogRect(font, c.x, c.y, c.cx, c.cy);
            QCOMPARE(w->y(), expected.y());
            QCOMPARE(w->height(), expected.height());
            if (c.kind != EControlKind::RightLabel)
                QVERIFY(w->x() >= expected.x());
            if (c.kind != EControlKind::Label && c.kind != EControlKind::CheckBox &&
                c.kind != EControlKind::RightLabel)
                QVERIFY2(w->width() >= expected.width(), qPrintable(QString::number(c.id)));
            placed.emplace_back(&c, w->geometry());
            ++checked;
        }
        QCOMPARE(checked, 30);
        for (const auto& [a, ra] : placed)
            for (const auto& [b, rb] : placed)
                if (a->x < b->x && a->kind != EControlKind::RightLabel && b->kind != EControlKind::RightLabel)
                    QVERIFY2(ra.x() < rb.x(),
                             qPrintable(QStringLiteral("%1 before %2").arg(a->id).arg(b->id)));
        // The map keeps its size: about the 384 x 256 image, so the whole world fits at the farthest level.
        const CControlTemplate* map = FindControl(tmpl, IDC_MAP);
        QCOMPARE(h.Control(IDC_MAP)->width(), DialogRect(font, map->x, map->y, map->cx, map->cy).width());
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
        QTRY_COMPARE(h.dlg->MapView().PictureWidth(), map.width());
        QCOMPARE(h.dlg->MapView().PictureHeight(), map.height());

        // Back to the template's size, every control is where it was.
        h.dlg->resize(base);
        QTRY_COMPARE(h.dlg->size(), base);
        for (const auto& [w, r] : before)
            QCOMPARE(w->geometry(), r);
    }

    // No fixed text reaches over another control or a value, and every value has room for a grown world's
    // figures. Run at the default size and, as a second ctest case, at a scale factor of 2.
    void noTextCoversAnotherControl() {
        CDialogHarness h(SettingsFile());
        h.Show();
        QList<QWidget*> controls;
        for (QWidget* w : h.dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w->isVisible() && !qobject_cast<CGroupFrame*>(w))
                controls << w;
        int texts = 0;
        for (QWidget* text : controls) {
            const bool fixed = qobject_cast<QLabel*>(text) || qobject_cast<QAbstractButton*>(text);
            if (!fixed || text->objectName() == QStringLiteral("ctl%1").arg(IDC_NOTICE))
                continue;
            ++texts;
            // Its own text fits it: a label or a checkbox is as wide as it asks to be, a button's text fits
            // within its frame.
            const QString said = text->property("text").toString();
            if (qobject_cast<QPushButton*>(text))
                QVERIFY2(text->fontMetrics().horizontalAdvance(QString(said).remove(QLatin1Char('&'))) + 8 <=
                             text->width(),
                         qPrintable(said));
            else
                QVERIFY2(text->sizeHint().width() <= text->width(), qPrintable(said));
            for (QWidget* other : controls)
                QVERIFY2(other == text || !text->geometry().intersects(other->geometry()),
                         qPrintable(text->property("text").toString() + QStringLiteral(" covers ") +
                                    other->objectName() + QLatin1Char(' ') +
                                    other->property("text").toString()));
        }
        QVERIFY(texts >= 25);
        for (int id : {IDC_TOPLEVEL_COUNT, IDC_FREEZE_COUNT, IDC_PATCH_SIZE}) {
            QWidget* field = h.Control(id);
            QVERIFY(field->width() >=
                    field->fontMetrics().horizontalAdvance(QLatin1String(kWidestResultText)));
        }
        // Group boxes hold what the template puts in them.
        for (CGroupFrame* frame : h.dlg->findChildren<CGroupFrame*>())
            for (QWidget* w : controls)
                if (frame->geometry().contains(w->geometry().topLeft()))
                    QVERIFY2(frame->geometry().contains(w->geometry()),
                             qPrintable(frame->Title() + QStringLiteral(" / ") + w->objectName()));
    }

    void mnemonicsAndTooltips() {
        CDialogHarness h(SettingsFile());
        h.Show();
        // Every control the user works with says what it is for.
        for (const CControlTemplate& c : MainDialogTemplate().controls)
            if (c.id != -1 && !(c.style & CS_HIDDEN) && c.id != IDC_NOTICE)
                QVERIFY2(!h.Control(c.id)->toolTip().isEmpty(), qPrintable(QString::number(c.id)));
        // Each Alt+letter is used once; a label's letter moves the focus to the control it names.
        QSet<QChar> letters;
        for (QWidget* w : h.dlg->findChildren<QWidget*>()) {
            const QString text = w->property("text").toString();
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            if (at < 0 || at + 1 >= text.size() || !w->isVisible())
                continue;
            const QChar letter = text.at(at + 1).toLower();
            QVERIFY2(!letters.contains(letter), qPrintable(text));
            letters.insert(letter);
            if (auto* label = qobject_cast<QLabel*>(w))
                QVERIFY2(label->buddy(), qPrintable(text));
        }
        QVERIFY(letters.size() >= 18);
        QTest::keyClick(h.dlg.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), h.Control(IDC_SCRIPTDIR));
        QTest::keyClick(h.dlg.get(), Qt::Key_J, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), h.Control(IDC_PATCH_OBJECTS));
        // A button's letter clicks it: Analyze with no world file asks for one.
        QTest::keyClick(h.dlg.get(), Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(h.messages.Messages().size(), std::size_t{1});
        QCOMPARE(h.messages.Messages()[0].text, std::string("Please enter the path to your worldfile"));
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
        // Without the mnemonic marks.
        texts.replaceInStrings(QStringLiteral("&"), QString());
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
            QCOMPARE(h.dlg->ControlAs<QAbstractItemView>(id)->selectionMode(),
                     QAbstractItemView::ExtendedSelection);
        QVERIFY(!h.Control(IDC_CANCEL_COMMAND)->isEnabled());
        QCOMPARE(h.dlg->ControlAs<QLabel>(IDC_NOTICE)->text(), QString());
        QCOMPARE(h.Status(), QString());
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

    void f1OpensTheUserGuideAndTheContextMenuTheAboutBox() {
        CDialogHarness h(SettingsFile());
        h.Show();
        // F1: the guide shipped with the program, in a window of its own beside the dialog.
        QTest::keyClick(h.dlg.get(), Qt::Key_F1);
        auto* guide = h.dlg->findChild<CUserGuide*>();
        QVERIFY(guide);
        QTRY_VERIFY(guide->isVisible());
        QVERIFY(!guide->isModal());
        const QString text = guide->Browser()->toPlainText();
        for (const char* part : {"Analyze", "Create Patch File", "Clean Worldfile", "Patch Areas",
                                 "Script Directory", "struck through", "frostmark.log"})
            QVERIFY2(text.contains(QLatin1String(part)), part);
        guide->close();

        // The About box stays where it was, in the context menu, with the client directory and the guide.
        QString shown;
        WhenShown([] { return QApplication::activeModalWidget(); },
                  [&](QWidget* modal) {
                      shown = modal->windowTitle();
                      modal->close();
                  });
        QStringList items;
        WhenShown([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                  [&](QWidget* menu) {
                      for (QAction* action : menu->actions())
                          items << action->text();
                      menu->actions().first()->trigger();
                      menu->close();
                  });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 400),
                                h.dlg->mapToGlobal(QPoint(20, 400)));
        QApplication::sendEvent(h.dlg.get(), &event);
        QCOMPARE(items, QStringList({QStringLiteral("&About frostmark..."),
                                     QStringLiteral("&Client directory..."), QStringLiteral("&User guide")}));
        QTRY_COMPARE(shown, QStringLiteral("About Frostmark"));
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
