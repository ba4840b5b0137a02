// Drives the desktop program's real window, offscreen, through Analyze, Create Patch File and Clean
// Worldfile as a user clicks them, and prints the time from each click until its results are shown:
//
//   frostmark-bench-desktop --world FILE --scripts DIR --patch FILE --out FILE --flags HEX
//                           [--steps analyze|patch|clean]
//
// --steps patch runs Analyze and Create Patch File, clean all three. Output lines: "analyze SECONDS",
// "patch SECONDS", "clean SECONDS", then "rows N". A failure prints the message the window showed and
// exits 1. bench/desktop/run.sh measures it against frostmark-cli.
#include "app/CommandPanel.h"
#include "app/DialogSettings.h"
#include "app/FrostmarkDlg.h"
#include "app/PatchObjectsModel.h"
#include "app/Resource.h"
#include "model/ScriptObjects.h"
#include "platform/LargeAllocator.h"
#include "platform/MemoryServices.h"
#include "platform/qt/QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace frostmark;

namespace {

struct CArguments {
    std::string world, scripts, patch, out, steps = "clean";
    std::uint32_t flags = 0;
};

bool Parse(int argc, char** argv, CArguments& a) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--world")
            a.world = value;
        else if (name == "--scripts")
            a.scripts = value;
        else if (name == "--patch")
            a.patch = value;
        else if (name == "--out")
            a.out = value;
        else if (name == "--flags")
            a.flags = static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
        else if (name == "--steps")
            a.steps = value;
        else
            return false;
    }
    return !a.world.empty() && (argc % 2) == 1;
}

// Clicks a command button and runs the window's event loop until the command's results are shown (its
// timer refreshing the figures and the list meanwhile, as for a user). Answers the seconds taken.
double ClickAndWait(CFrostmarkDlg& dlg, int id) {
    QEventLoop loop;
    QObject::connect(&dlg.Commands(), &CCommandPanel::CommandFinished, &loop, &QEventLoop::quit);
    const auto start = std::chrono::steady_clock::now();
    qobject_cast<QAbstractButton*>(dlg.Control(id))->click();
    if (dlg.Commands().IsBusy())
        loop.exec();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    PrepareHugePageHeap(std::size_t(512) << 20);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CArguments a;
    if (!Parse(argc, argv, a)) {
        std::fprintf(stderr,
                     "usage: %s --world FILE --scripts DIR --patch FILE --out FILE --flags HEX "
                     "[--steps analyze|patch|clean]\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    CQtSettingsStore settings(settingsDir.filePath(QStringLiteral("bench.ini")));
    CMemoryMessageBox messages;
    CScriptObjects scripts;
    CServices services;
    services.settings = &settings;
    services.messages = &messages;
    CFrostmarkDlg dlg(scripts, services);
    dlg.show();
    IDialogControls& c = dlg.Controls();
    c.SetText(IDC_WORLDFILE, a.world);
    c.SetText(IDC_SCRIPTDIR, a.scripts);
    c.SetText(IDC_PATCHFILE, a.patch);
    c.SetText(IDC_OUTPUTWORLD, a.out);
    for (const COptionCheckbox& box : OptionCheckboxes())
        c.SetChecked(box.id, (a.flags & box.bit) != 0);

    const auto failed = [&] {
        if (messages.Messages().empty())
            return false;
        std::fprintf(stderr, "frostmark-bench-desktop: %s\n", messages.Messages().back().text.c_str());
        return true;
    };
    std::printf("analyze %.3f\n", ClickAndWait(dlg, IDC_ANALYZE));
    if (failed())
        return 1;
    if (a.steps != "analyze") {
        std::printf("patch %.3f\n", ClickAndWait(dlg, IDC_CREATEPATCH));
        if (failed())
            return 1;
    }
    if (a.steps == "clean") {
        std::printf("clean %.3f\n", ClickAndWait(dlg, IDC_CLEANWORLD));
        if (failed())
            return 1;
    }
    std::printf("rows %d\n", dlg.Commands().Objects().rowCount());
    return 0;
}
