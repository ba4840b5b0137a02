// Runs one test class of the desktop program's GUI tests: frostmark_app_tests CLASS [QTest options].
#include "AppTestSupport.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Kelvane-tests"));
    app.setApplicationName(QStringLiteral("Frostmark-tests"));
    if (argc < 2 || !frostmark::testing::Suites().count(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: %s CLASS [QTest options]; classes:", argv[0]);
        for (const auto& [name, make] : frostmark::testing::Suites())
            std::fprintf(stderr, " %s", qPrintable(name));
        std::fprintf(stderr, "\n");
        return 2;
    }
    std::unique_ptr<QObject> suite(frostmark::testing::Suites()[QString::fromLocal8Bit(argv[1])]());
    // QTest reads its own options after the program name.
    std::vector<char*> args{argv[0]};
    for (int i = 2; i < argc; ++i)
        args.push_back(argv[i]);
    return QTest::qExec(suite.get(), static_cast<int>(args.size()), args.data());
}
