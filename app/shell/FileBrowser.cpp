#include "FileBrowser.h"

#include "OpenFailureAlert.h"
#include "PathBytes.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QPointer>
#include <QUrl>
#include <QWidget>

namespace FileBrowser {

namespace {
void openEnclosingFolder(const QString& path, const QPointer<QWidget>& parent)
{
    if (QDesktopServices::openUrl(urlFromPath(pathFolder(path))))
        return;
    // Nothing opens folders on this desktop: say so, and hand over the path.
    OpenFailureAlert::show(parent, QStringLiteral("No File Manager Found"),
                           QStringLiteral("No file manager could show this item. Its path:"), path);
}
} // namespace

void reveal(const QString& path, QWidget* parent)
{
    const QPointer<QWidget> guard(parent);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openEnclosingFolder(path, guard);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    // The URI carries the path's own bytes, so a name that is not UTF-8 is still found.
    call << QStringList{urlFromPath(path).toString(QUrl::FullyEncoded)} << QString();
    // Answered asynchronously: the GUI thread never waits for the bus.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp, [watcher, path, guard] {
        if (watcher->isError())
            openEnclosingFolder(path, guard);
        watcher->deleteLater();
    });
}

} // namespace FileBrowser
