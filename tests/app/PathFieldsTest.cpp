// The four path fields: Browse through an injected chooser (the right kind of chooser, starting at the
// field's value, a cancel changing nothing) and files dropped on the window or on a field.
#include "AppTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <deque>
#include <utility>

using namespace frostmark;
using namespace frostmark::testing;

class PathFieldsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    QString Path(const QString& name) const { return QDir::toNativeSeparators(m_dir.filePath(name)); }

    // Drags local paths over `target` and drops them there; answers whether the drop was taken.
    static bool DropOn(QWidget* target, const QStringList& paths, QPoint at = {5, 5}) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << (path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("scripts")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("other scripts")));
        WriteText(m_dir.filePath(QStringLiteral("world.wsc")).toStdString(), "[WORLDITEM 0eed]\n");
        WriteText(m_dir.filePath(QStringLiteral("second.wsc")).toStdString(), "[WORLDITEM 0eed]\n");
    }

    void browseAsksForTheFieldsKindStartingAtItsValue() {
        std::vector<std::pair<PathField, QString>> asked;
        std::deque<std::optional<QString>> answers;
        CFrostmarkDlg::Options options;
        options.choosePath = [&](PathField field, const QString& start) {
            asked.emplace_back(field, start);
            std::optional<QString> answer = answers.front();
            answers.pop_front();
            return answer;
        };
        CDialogHarness h(SettingsFile(), options);
        h.Show();
        CPathFields& paths = h.dlg->PathFields();
        auto* world = paths.Field(PathField::World);
        QCOMPARE(world, h.dlg->ControlAs<QLineEdit>(IDC_WORLDFILE));

        // Every field has its button, named for what it asks.
        for (const PathField field :
             {PathField::World, PathField::Patch, PathField::Output, PathField::Scripts}) {
            QAction* browse = paths.BrowseAction(field);
            QVERIFY(browse && browse->isVisible() && browse->isEnabled());
            QVERIFY(paths.Field(field)->actions().contains(browse));
            QVERIFY(browse->toolTip().startsWith(QLatin1String("Browse for")));
        }

        // The world chooser starts at the file the field names; the answer goes in as if typed.
        h.Type(IDC_WORLDFILE, Path(QStringLiteral("world.wsc")));
        answers = {Path(QStringLiteral("second.wsc"))};
        paths.BrowseAction(PathField::World)->trigger();
        QCOMPARE(asked.back(), std::make_pair(PathField::World, Path(QStringLiteral("world.wsc"))));
        QCOMPARE(world->text(), Path(QStringLiteral("second.wsc")));
        world->setFocus();
        QTest::keyClick(world, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(world->text(), Path(QStringLiteral("world.wsc")));

        // Empty fields start beside the world file; a patch name whose folder is gone starts there with
        // the name kept.
        answers = {std::nullopt, std::nullopt};
        paths.BrowseAction(PathField::Patch)->trigger();
        QCOMPARE(asked.back(), std::make_pair(PathField::Patch, QDir::cleanPath(m_dir.path())));
        h.Type(IDC_OUTPUTWORLD, QStringLiteral("/no/such/folder/clean.wsc"));
        paths.BrowseAction(PathField::Output)->trigger();
        QCOMPARE(asked.back(),
                 std::make_pair(PathField::Output, QDir(m_dir.path()).filePath(QStringLiteral("clean.wsc"))));
        // A cancel leaves the field as it was.
        QCOMPARE(h.Text(IDC_PATCHFILE), std::string());
        QCOMPARE(h.Text(IDC_OUTPUTWORLD), std::string("/no/such/folder/clean.wsc"));

        // The script directory: a directory chooser at the directory the field names.
        h.Type(IDC_SCRIPTDIR, Path(QStringLiteral("scripts")));
        answers = {Path(QStringLiteral("other scripts"))};
        paths.BrowseAction(PathField::Scripts)->trigger();
        QCOMPARE(asked.back(), std::make_pair(PathField::Scripts, Path(QStringLiteral("scripts"))));
        QCOMPARE(h.Text(IDC_SCRIPTDIR), Path(QStringLiteral("other scripts")).toStdString());
        QCOMPARE(asked.size(), std::size_t{4});
        QVERIFY(answers.empty());
    }

    void filesDroppedFillTheMatchingField() {
        CDialogHarness h(SettingsFile());
        h.Show();
        const QString world = Path(QStringLiteral("world.wsc")), second = Path(QStringLiteral("second.wsc"));
        const QString scripts = Path(QStringLiteral("scripts"));

        // On the window: a file is the world, a directory the scripts, both at once fill both.
        QVERIFY(DropOn(h.dlg.get(), {world}));
        QCOMPARE(h.Text(IDC_WORLDFILE), world.toStdString());
        QVERIFY(DropOn(h.dlg.get(), {scripts}));
        QCOMPARE(h.Text(IDC_SCRIPTDIR), scripts.toStdString());
        QVERIFY(DropOn(h.dlg.get(), {Path(QStringLiteral("other scripts")), second}));
        QCOMPARE(h.Text(IDC_WORLDFILE), second.toStdString());
        QCOMPARE(h.Text(IDC_SCRIPTDIR), Path(QStringLiteral("other scripts")).toStdString());

        // On a field: that field, if the kind fits.
        QVERIFY(DropOn(h.Control(IDC_PATCHFILE), {world}));
        QCOMPARE(h.Text(IDC_PATCHFILE), world.toStdString());
        QVERIFY(DropOn(h.Control(IDC_SCRIPTDIR), {scripts}));
        QCOMPARE(h.Text(IDC_SCRIPTDIR), scripts.toStdString());
        // A field that takes the other kind passes the drop to the window: it goes where it fits.
        QVERIFY(DropOn(h.Control(IDC_WORLDFILE), {Path(QStringLiteral("other scripts"))}));
        QCOMPARE(h.Text(IDC_SCRIPTDIR), Path(QStringLiteral("other scripts")).toStdString());
        QCOMPARE(h.Text(IDC_WORLDFILE), second.toStdString());
        QVERIFY(DropOn(h.Control(IDC_SCRIPTDIR), {world}));
        QCOMPARE(h.Text(IDC_WORLDFILE), world.toStdString());
        QCOMPARE(h.Text(IDC_SCRIPTDIR), Path(QStringLiteral("other scripts")).toStdString());

        // What cannot be meant is refused and changes nothing: two files, a web address.
        QVERIFY(!DropOn(h.dlg.get(), {world, second}));
        QVERIFY(!DropOn(h.dlg.get(), {QStringLiteral("https://example.org/world.wsc")}));
        QCOMPARE(h.Text(IDC_WORLDFILE), world.toStdString());
        QCOMPARE(h.Text(IDC_PATCHFILE), world.toStdString());
        QCOMPARE(h.Text(IDC_SCRIPTDIR), Path(QStringLiteral("other scripts")).toStdString());
    }
};

FROSTMARK_APP_SUITE(PathFieldsTest)
#include "PathFieldsTest.moc"
