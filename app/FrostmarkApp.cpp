#include "app/FrostmarkApp.h"

#include "app/AboutDlg.h"
#include "app/FrostmarkDlg.h"

#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

namespace frostmark {

CFrostmarkApp::CFrostmarkApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("Kelvane"));
    setApplicationName(QStringLiteral("Frostmark"));
    setApplicationVersion(QString::fromLatin1(kFrostmarkVersion));
}

CFrostmarkApp::~CFrostmarkApp() = default;

int CFrostmarkApp::InitInstance() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Frostmark: freezes the static scenery of a Tavrel world file into a freeze patch file."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption clientDir(
        QStringLiteral("client-dir"), QStringLiteral("The game client's directory (map0.mul, radarcol.mul)."),
        QStringLiteral("dir"));
    const QCommandLineOption settingsFile(
        QStringLiteral("settings"),
        QStringLiteral("Keep the settings in this INI file instead of the user's."), QStringLiteral("file"));
    const QCommandLineOption analyze(QStringLiteral("analyze"),
                                     QStringLiteral("Run Analyze once the dialog is shown."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral(
            "Save a picture of the dialog to this PNG file once it is shown (and analyzed), then close."),
        QStringLiteral("png"));
    const QCommandLineOption area(QStringLiteral("area"),
                                  QStringLiteral("Add a Patch Areas entry, in world tiles (repeatable)."),
                                  QStringLiteral("left,top,right,bottom"));
    const QCommandLineOption windowSize(QStringLiteral("window-size"),
                                        QStringLiteral("Open the window at this size in pixels."),
                                        QStringLiteral("WIDTHxHEIGHT"));
    parser.addOptions({clientDir, settingsFile, analyze, screenshot, area, windowSize});
    parser.process(*this);

    m_settings = parser.isSet(settingsFile) ? std::make_unique<CQtSettingsStore>(parser.value(settingsFile))
                                            : std::make_unique<CQtSettingsStore>();
    CServices services;
    services.messages = &m_messages;
    services.settings = m_settings.get();
    services.waitCursor = &m_waitCursor;
    services.timers = &m_timers;
    services.progressViews = &m_progressViews;

    CFrostmarkDlg::Options options;
    if (parser.isSet(clientDir))
        options.clientDirectory = parser.value(clientDir).toStdString();

    CFrostmarkDlg dlg(m_scripts, services, options);
    m_messages.SetParent(&dlg);
    for (const QString& entry : parser.values(area))
        dlg.AddPatchAreaText(entry.toStdString());
    if (parser.isSet(windowSize)) {
        const QStringList parts = parser.value(windowSize).split(QLatin1Char('x'));
        if (parts.size() == 2)
            dlg.resize(parts[0].toInt(), parts[1].toInt());
    }
    int status = 0;
    if (parser.isSet(analyze) || parser.isSet(screenshot)) {
        const bool runAnalyze = parser.isSet(analyze);
        const QString png = parser.value(screenshot);
        QTimer::singleShot(200, &dlg, [&dlg, runAnalyze, png, &status] {
            if (runAnalyze)
                dlg.OnAnalyze();
            if (png.isEmpty())
                return;
            // Let the results and the overlay paint before the picture is taken.
            QTimer::singleShot(600, &dlg, [&dlg, png, &status] {
                if (!dlg.grab().save(png, "PNG")) {
                    std::fprintf(stderr, "frostmark: cannot write %s\n", qPrintable(png));
                    status = 1;
                }
                dlg.reject();
            });
        });
    }
    dlg.exec();
    m_messages.SetParent(nullptr);
    return status;
}

} // namespace frostmark
