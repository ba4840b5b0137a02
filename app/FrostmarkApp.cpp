#include "app/FrostmarkApp.h"

#include "app/AboutDlg.h"
#include "app/CommandPanel.h"
#include "app/FrostmarkDlg.h"
#include "app/Resource.h"

#include <QCommandLineParser>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <string_view>

namespace frostmark {

namespace {

void NameApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Frostmark"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kFrostmarkVersion));
    // Ties the windows to the installed desktop entry (its icon and name in docks and task lists).
    QGuiApplication::setDesktopFileName(QStringLiteral(FROSTMARK_APP_ID));
}

struct CLaunchOptions {
    QCommandLineOption clientDir{QStringLiteral("client-dir"),
                                 QStringLiteral("The game client's directory (map0.mul, radarcol.mul)."),
                                 QStringLiteral("dir")};
    QCommandLineOption settingsFile{
        QStringLiteral("settings"),
        QStringLiteral("Keep the settings in this INI file instead of the user's."), QStringLiteral("file")};
    // For scripted screenshots and tests: not for everyday use, so not in the help.
    QCommandLineOption analyze{QStringLiteral("analyze"),
                               QStringLiteral("Run Analyze once the dialog is shown.")};
    QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        QStringLiteral(
            "Save a picture of the dialog to this PNG file once it is shown (and analyzed), then close."),
        QStringLiteral("png")};
    QCommandLineOption area{QStringLiteral("area"),
                            QStringLiteral("Add a Patch Areas entry, in world tiles (repeatable)."),
                            QStringLiteral("left,top,right,bottom")};
    QCommandLineOption windowSize{QStringLiteral("window-size"),
                                  QStringLiteral("Open the window at this size in pixels."),
                                  QStringLiteral("WIDTHxHEIGHT")};

    QCommandLineOption select{
        QStringLiteral("select"),
        QStringLiteral("Once analyzed, choose this Patch Areas entry and this Patch Objects row (from 0)."),
        QStringLiteral("area,row")};

    void AddTo(QCommandLineParser& parser) {
        parser.setApplicationDescription(QStringLiteral(
            "Frostmark: freezes the static scenery of a Tavrel world file into a freeze patch file."));
        parser.addHelpOption();
        parser.addVersionOption();
        for (QCommandLineOption* hidden : {&analyze, &screenshot, &area, &windowSize, &select})
            hidden->setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOptions({clientDir, settingsFile, analyze, screenshot, area, windowSize, select});
    }
};

} // namespace

CFrostmarkApp::CFrostmarkApp(int& argc, char** argv) : QApplication(argc, argv) {
    NameApplication();
}

CFrostmarkApp::~CFrostmarkApp() = default;

std::optional<int> CFrostmarkApp::AnswerInformationOptions(int argc, char** argv) {
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") // what follows is no option
            break;
        asked = asked || arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" ||
                arg == "-v" || arg == "--version";
    }
    if (!asked)
        return std::nullopt;
    // A core application needs no window system; the parser prints and ends the program itself.
    QCoreApplication core(argc, argv);
    NameApplication();
    QCommandLineParser parser;
    CLaunchOptions options;
    options.AddTo(parser);
    parser.process(core);
    return 0;
}

int CFrostmarkApp::InitInstance() {
    QCommandLineParser parser;
    CLaunchOptions launch;
    launch.AddTo(parser);
    parser.process(*this);
    const QCommandLineOption& clientDir = launch.clientDir;
    const QCommandLineOption& settingsFile = launch.settingsFile;
    const QCommandLineOption& analyze = launch.analyze;
    const QCommandLineOption& screenshot = launch.screenshot;
    const QCommandLineOption& area = launch.area;
    const QCommandLineOption& windowSize = launch.windowSize;

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
        const QStringList chosen = parser.value(launch.select).split(QLatin1Char(','));
        const auto takePicture = [&dlg, png, &status, chosen] {
            // Let the results and the marks paint before anything is chosen, and what the choice shows
            // before the picture is taken.
            if (chosen.size() == 2) {
                QTimer::singleShot(300, &dlg, [&dlg, chosen] {
                    if (QListWidgetItem* item =
                            dlg.ControlAs<QListWidget>(IDC_PATCH_AREAS)->item(chosen[0].toInt()))
                        item->setSelected(true);
                    dlg.ControlAs<QTableView>(IDC_PATCH_OBJECTS)->selectRow(chosen[1].toInt());
                });
            }
            if (png.isEmpty())
                return;
            QTimer::singleShot(chosen.size() == 2 ? 900 : 600, &dlg, [&dlg, png, &status] {
                if (!dlg.grab().save(png, "PNG")) {
                    std::fprintf(stderr, "frostmark: cannot write %s\n", qPrintable(png));
                    status = 1;
                }
                dlg.reject();
            });
        };
        if (runAnalyze)
            QObject::connect(&dlg.Commands(), &CCommandPanel::CommandFinished, &dlg, takePicture,
                             Qt::SingleShotConnection);
        QTimer::singleShot(200, &dlg, [&dlg, runAnalyze, takePicture] {
            if (runAnalyze)
                dlg.OnAnalyze();
            if (!runAnalyze || !dlg.Commands().IsBusy())
                takePicture();
        });
    }
    dlg.exec();
    m_messages.SetParent(nullptr);
    return status;
}

} // namespace frostmark
