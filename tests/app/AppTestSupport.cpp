#include "AppTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QWidget>

#include "tools/worldgen/WorldGen.h"

#include <fstream>
#include <iterator>

namespace frostmark::testing {

std::map<QString, std::function<QObject*()>>& Suites() {
    static std::map<QString, std::function<QObject*()>> suites;
    return suites;
}

std::unique_ptr<IProgressView> CCountingProgressViews::CreateProgressView() {
    auto view = m_qt.CreateProgressView();
    ++created;
    if (auto* qt = dynamic_cast<CQtProgressView*>(view.get());
        qt && qt->Window() && qt->Window()->isVisible())
        ++shownAtCreation;
    return view;
}

CDialogHarness::CDialogHarness(const QString& settingsFile, CFrostmarkDlg::Options options)
    : settings(settingsFile) {
    CServices services;
    services.messages = &messages;
    services.settings = &settings;
    services.waitCursor = &waitCursor;
    services.timers = &timers;
    services.progressViews = &progress;
    dlg = std::make_unique<CFrostmarkDlg>(scripts, services, std::move(options));
}

CDialogHarness::~CDialogHarness() {
    dlg.reset();
}

void CDialogHarness::Show() {
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
}

void CDialogHarness::Type(int id, const QString& text) {
    QWidget* w = Control(id);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->clear();
    if (auto* box = qobject_cast<QPlainTextEdit*>(w))
        box->clear();
    w->setFocus();
    // Line breaks are typed as the Return key they are.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClicks(w, lines[i]);
    }
}

void CDialogHarness::Click(int id) {
    QTest::mouseClick(Control(id), Qt::LeftButton);
}

void CDialogHarness::ClickAndWait(int id) {
    Click(id);
    dlg->Commands().WaitForCommand();
}

void CDialogHarness::SetChecked(int id, bool checked) {
    auto* box = qobject_cast<QCheckBox*>(Control(id));
    if (box->isChecked() != checked)
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

std::string SampleWorld() {
    return FROSTMARK_SOURCE_DIR "/samples/world.wsc";
}
std::string SampleScripts() {
    return FROSTMARK_SOURCE_DIR "/samples/scripts";
}
std::string GoldenPatch() {
    return FROSTMARK_SOURCE_DIR "/tests/cli/golden/sample-main.frz";
}
std::string GoldenSerials() {
    return FROSTMARK_SOURCE_DIR "/tests/cli/golden/sample-main.serials";
}

void WriteGeneratedWorld(const std::string& path, std::uint64_t items, std::uint64_t seed) {
    SWorldGenOptions options;
    options.seed = seed;
    options.itemCount = items;
    std::ofstream out(path, std::ios::binary);
    GenerateWorld(options, [&](const char* data, std::size_t size) {
        return bool(out.write(data, static_cast<std::streamsize>(size)));
    });
}

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

} // namespace frostmark::testing
