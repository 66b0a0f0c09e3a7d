// Program entry: the application object, its delegate, the event loop.
// "--screenshots DIR" renders every section and the settings sheet to PNG files in DIR and quits.
#include "shell/AppDelegate.h"
#include "shell/AppInfo.h"
#include "shell/Screenshots.h"
#include "shell/UpdateController.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
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

    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    application.exec();
    return 0;
}
