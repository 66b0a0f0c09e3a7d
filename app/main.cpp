// Program entry: the command line, one instance per session, the application object, its delegate and
// the event loop (Launch.h lists the arguments).
// "--screenshots DIR" renders every section and the settings sheet to PNG files in DIR and quits,
// in a throw-away home unless it already runs in one.
// "--analyzer-benchmark TREE" scans TREE from the analyzer screen, prints its figures and quits.
#include "Launch.h"
#include "Screenshots.h"
#include "SectionScreens.h"
#include "SingleInstance.h"

#include "analyzer/AnalyzerBenchmark.h"
#include "shell/AppDelegate.h"
#include "shell/AppInfo.h"
#include "shell/UpdateController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Brisklet"));
    QCoreApplication::setApplicationName(AppInfo::name);
    QCoreApplication::setApplicationVersion(AppInfo::appVersion());
}
} // namespace

int main(int argc, char* argv[])
{
    // --help, --version and mistakes are answered on the terminal, also where no display is reachable.
    if (Launch::answersWithoutWindow(argc, argv)) {
        QCoreApplication core(argc, argv);
        nameApplication();
        QCommandLineParser parser;
        Launch::describe(parser);
        parser.process(core); // prints and ends the process for --help, --version and errors
    }

    // Before the application reads any setting: the pictures are taken in a throw-away home.
    std::unique_ptr<QTemporaryDir> pictureHome;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshots") == 0 && !Screenshots::useThrowAwayHome(pictureHome)) {
            std::fputs("Brisklet: no throw-away home folder for the pictures could be made\n", stderr);
            return 1;
        }
    }
    QApplication application(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(QStringLiteral("io.brisklet.Brisklet"));
    QCommandLineParser parser;
    Launch::describe(parser);
    parser.process(application);

    if (parser.isSet(QStringLiteral("screenshots"))) {
        // Pictures show the update button with a fixed offer and never reach the network.
        UpdateController controller(Screenshots::demoFeed());
        AppDelegate delegate(SectionScreens::table(), &controller);
        delegate.applicationDidFinishLaunching();
        const QString folder = parser.value(QStringLiteral("screenshots"));
        QTimer::singleShot(0, &delegate, [&delegate, folder] {
            const bool ok = Screenshots::writeAll(delegate, folder);
            QApplication::exit(ok ? 0 : 1);
        });
        return application.exec();
    }
    if (parser.isSet(QStringLiteral("analyzer-benchmark"))) {
        UpdateController controller(Screenshots::demoFeed()); // no update check reaches the network
        AppDelegate delegate(SectionScreens::table(), &controller);
        delegate.applicationDidFinishLaunching();
        return AnalyzerBenchmark::run(delegate, parser.value(QStringLiteral("analyzer-benchmark")));
    }

    const QByteArray folder = Launch::folderArgument(argc, argv);
    SingleInstance instance;
    if (instance.claim(folder) == SingleInstance::Claim::handedOver)
        return 0;
    AppDelegate delegate(SectionScreens::table());
    QObject::connect(&instance, &SingleInstance::activated, &delegate,
                     [&delegate](const QByteArray& handed) { Launch::activate(delegate, handed); });
    delegate.applicationDidFinishLaunching();
    if (!folder.isEmpty())
        Launch::activate(delegate, folder);
    application.exec();
    return 0;
}
