// Program entry: the application object, its delegate, the event loop.
// "--screenshots DIR" renders every section and the settings sheet to PNG files in DIR and quits,
// in a throw-away home unless it already runs in one.
// "--analyzer-benchmark TREE" scans TREE from the analyzer screen, prints its figures and quits.
#include "analyzer/AnalyzerBenchmark.h"
#include "shell/AppDelegate.h"
#include "shell/AppInfo.h"
#include "shell/Screenshots.h"
#include "shell/UpdateController.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char* argv[])
{
    // Before the application reads any setting: the pictures are taken in a throw-away home.
    std::unique_ptr<QTemporaryDir> pictureHome;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshots") == 0 && !Screenshots::useThrowAwayHome(pictureHome)) {
            std::fputs("Brisklet: no throw-away home folder for the pictures could be made\n", stderr);
            return 1;
        }
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brisklet"));
    QApplication::setApplicationName(AppInfo::name);
    QApplication::setApplicationVersion(AppInfo::appVersion());
    QApplication::setDesktopFileName(QStringLiteral("io.brisklet.Brisklet"));

    const QStringList arguments = QApplication::arguments();
    const qsizetype flag = arguments.indexOf(QStringLiteral("--screenshots"));
    if (flag >= 0 && flag + 1 < arguments.size()) {
        // Pictures show the update button with a fixed offer and never reach the network.
        UpdateController controller(Screenshots::demoFeed());
        AppDelegate delegate(&controller);
        delegate.applicationDidFinishLaunching();
        const QString folder = arguments.at(flag + 1);
        QTimer::singleShot(0, &delegate, [&delegate, folder] {
            const bool ok = Screenshots::writeAll(delegate, folder);
            QApplication::exit(ok ? 0 : 1);
        });
        return application.exec();
    }
    const qsizetype benchmark = arguments.indexOf(QStringLiteral("--analyzer-benchmark"));
    if (benchmark >= 0 && benchmark + 1 < arguments.size()) {
        UpdateController controller(Screenshots::demoFeed()); // no update check reaches the network
        AppDelegate delegate(&controller);
        delegate.applicationDidFinishLaunching();
        return AnalyzerBenchmark::run(delegate, arguments.at(benchmark + 1));
    }

    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    application.exec();
    return 0;
}
