// The program's own command line: help and version are answered on a host without any display (the
// window system is never started for them), and the options meant for tests are not offered.
#include "AppTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

using namespace frostmark::testing;

class CommandLineTest : public QObject {
    Q_OBJECT

    // Runs the built program with no display at all: no X server, no Wayland, no offscreen default.
    static QProcess* Run(const QStringList& arguments, QObject* parent) {
        auto* process = new QProcess(parent);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(FROSTMARK_PROGRAM), arguments);
        return process;
    }

private slots:
    void helpAndVersionNeedNoDisplay() {
        for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            QProcess* help = Run({option}, this);
            QVERIFY(help->waitForFinished(30000));
            QCOMPARE(help->exitStatus(), QProcess::NormalExit);
            QCOMPARE(help->exitCode(), 0);
            const QString text = QString::fromUtf8(help->readAllStandardOutput());
            QVERIFY2(text.contains(QStringLiteral("--settings")), qPrintable(text));
            QVERIFY(text.contains(QStringLiteral("--client-dir")));
            for (const char* hidden : {"--analyze", "--screenshot", "--area"})
                QVERIFY2(!text.contains(QLatin1String(hidden)), hidden);
        }
        QProcess* version = Run({QStringLiteral("--version")}, this);
        QVERIFY(version->waitForFinished(30000));
        QCOMPARE(version->exitCode(), 0);
        QCOMPARE(QString::fromUtf8(version->readAllStandardOutput()).trimmed(),
                 QStringLiteral("Frostmark 1.04"));
    }
};

FROSTMARK_APP_SUITE(CommandLineTest)
#include "CommandLineTest.moc"
