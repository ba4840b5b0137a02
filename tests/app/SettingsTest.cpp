// The settings: a first run without any, what the commands and closing store, and how it comes back.
#include "AppTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>

#include <filesystem>

using namespace frostmark;
using namespace frostmark::testing;

namespace {
const int kOptionBoxes[] = {IDC_EXCLUDE_TYPED,      IDC_EXCLUDE_DOORS,  IDC_EXCLUDE_SIGNS, IDC_EXCLUDE_LIGHTS,
                            IDC_EXCLUDE_CONTAINERS, IDC_NEVER_MOVEABLE, IDC_STATIC_ATTR};
}

class SettingsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString SettingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

private slots:
    void init() { std::filesystem::remove(SettingsFile().toStdString()); }

    void firstRunStartsEmptyAndTheFirstCommandStores() {
        {
            CDialogHarness h(SettingsFile());
            h.Show();
            for (int id : {IDC_WORLDFILE, IDC_PATCHFILE, IDC_OUTPUTWORLD, IDC_SCRIPTDIR, IDC_EXCLUDE_ART,
                           IDC_INCLUDE_ART})
                QCOMPARE(h.Text(id), std::string());
            for (int id : kOptionBoxes)
                QVERIFY(!h.dlg->ControlAs<QCheckBox>(id)->isChecked());
            QVERIFY(!QSettings(SettingsFile(), QSettings::IniFormat).contains(QStringLiteral("Flags")));
            // Analyze with no path still stores the settings first.
            h.Click(IDC_ANALYZE);
            QSettings stored(SettingsFile(), QSettings::IniFormat);
            QVERIFY(stored.contains(QStringLiteral("Flags")));
            QCOMPARE(stored.value(QStringLiteral("Input Worldfile")).toString(), QString());
            QCOMPARE(stored.value(QStringLiteral("Flags")).toUInt(), 0u);
        }
    }

    void flagsAndArtIdsRoundTrip() {
        {
            CDialogHarness h(SettingsFile());
            h.Show();
            h.Type(IDC_WORLDFILE, QStringLiteral("/srv/shard/world.wsc"));
            h.Type(IDC_PATCHFILE, QStringLiteral("stat_tavrel.frz"));
            h.Type(IDC_OUTPUTWORLD, QStringLiteral("/srv/shard/world-clean.wsc"));
            h.Type(IDC_SCRIPTDIR, QStringLiteral("/srv/shard/scripts"));
            h.SetChecked(IDC_EXCLUDE_DOORS, true);
            h.SetChecked(IDC_NEVER_MOVEABLE, true);
            // 0eed, an empty line, 0f3f.
            h.Type(IDC_EXCLUDE_ART, QStringLiteral("0eed"));
            QTest::keyClick(h.Control(IDC_EXCLUDE_ART), Qt::Key_Return);
            QTest::keyClick(h.Control(IDC_EXCLUDE_ART), Qt::Key_Return);
            QTest::keyClicks(h.Control(IDC_EXCLUDE_ART), QStringLiteral("0f3f"));
            QCOMPARE(h.dlg->Controls().GetLineCount(IDC_EXCLUDE_ART), 3);
            // Escape closes the dialog and stores the settings as the commands do.
            QTest::keyClick(h.Control(IDC_WORLDFILE), Qt::Key_Escape);
            QVERIFY(!h.dlg->isVisible());
        }
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("Flags")).toUInt(), 0x100010u);
        QCOMPARE(stored.value(QStringLiteral("IgnoreArt")).toStringList(),
                 QStringList({QStringLiteral("0eed"), QStringLiteral("0f3f")}));
        QCOMPARE(stored.value(QStringLiteral("IncludeArt")).toStringList(), QStringList());
        QCOMPARE(stored.value(QStringLiteral("Script Path")).toString(),
                 QStringLiteral("/srv/shard/scripts"));

        CDialogHarness h(SettingsFile());
        QCOMPARE(h.Text(IDC_WORLDFILE), std::string("/srv/shard/world.wsc"));
        QCOMPARE(h.Text(IDC_PATCHFILE), std::string("stat_tavrel.frz"));
        QCOMPARE(h.Text(IDC_OUTPUTWORLD), std::string("/srv/shard/world-clean.wsc"));
        QCOMPARE(h.Text(IDC_SCRIPTDIR), std::string("/srv/shard/scripts"));
        for (int id : kOptionBoxes)
            QCOMPARE(h.dlg->ControlAs<QCheckBox>(id)->isChecked(),
                     id == IDC_EXCLUDE_DOORS || id == IDC_NEVER_MOVEABLE);
        // One art ID per line, a line break after the last; the empty box stays empty.
        QCOMPARE(h.Text(IDC_EXCLUDE_ART), std::string("0eed\n0f3f\n"));
        QCOMPARE(h.Text(IDC_INCLUDE_ART), std::string());
        // And what the rules get from it.
        h.dlg->ReadOptions();
        QCOMPARE(h.dlg->OptionFlags(), 0x100010u);
        QCOMPARE(h.dlg->FreezeOptions().excludeArt, (std::vector<std::uint16_t>{0x0eed, 0x0f3f}));
    }

    void closeBoxStoresTooAndLongPathsSurvive() {
        const QString longPath =
            QStringLiteral("/srv/") + QString(300, QLatin1Char('d')) + QStringLiteral("/world.wsc");
        {
            CDialogHarness h(SettingsFile());
            h.Show();
            qobject_cast<QLineEdit*>(h.Control(IDC_WORLDFILE))->setText(longPath);
            h.SetChecked(IDC_STATIC_ATTR, true);
            h.dlg->close();
            QVERIFY(!h.dlg->isVisible());
        }
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("Flags")).toUInt(), 0x8000u);
        CDialogHarness h(SettingsFile());
        QCOMPARE(QString::fromStdString(h.Text(IDC_WORLDFILE)), longPath);
    }

    void windowGeometryAndTheMapViewComeBack() {
        QSize size;
        {
            CDialogHarness h(SettingsFile());
            h.Show();
            size = h.dlg->size() + QSize(321, 123);
            h.dlg->resize(size);
            QTRY_COMPARE(h.dlg->size(), size);
            // The map where the user left it.
            h.dlg->MapView().SetZoom(4);
            h.dlg->MapView().SetCentre(1234, 2345);
            h.dlg->close();
        }
        CDialogHarness h(SettingsFile());
        h.Show();
        QCOMPARE(h.dlg->size(), size);
        QCOMPARE(h.dlg->MapView().Zoom(), 4);
        QCOMPARE(h.dlg->MapView().CentreX(), 1234);
        QCOMPARE(h.dlg->MapView().CentreY(), 2345);
    }

    void storedFlagsOutsideTheOptionsAreIgnored() {
        {
            QSettings stored(SettingsFile(), QSettings::IniFormat);
            stored.setValue(QStringLiteral("Flags"), 0xFFFFFFFFu);
            stored.setValue(QStringLiteral("IncludeArt"),
                            QStringList({QStringLiteral("1"), QString(), QStringLiteral("2")}));
        }
        CDialogHarness h(SettingsFile());
        for (int id : kOptionBoxes)
            QVERIFY(h.dlg->ControlAs<QCheckBox>(id)->isChecked());
        QCOMPARE(h.Text(IDC_INCLUDE_ART), std::string("1\n2\n"));
        h.dlg->SaveSettings();
        QCOMPARE(QSettings(SettingsFile(), QSettings::IniFormat).value(QStringLiteral("Flags")).toUInt(),
                 0x378010u);
    }
};

FROSTMARK_APP_SUITE(SettingsTest)
#include "SettingsTest.moc"
