#include "FileBrowser.h"

#include "PathBytes.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace FileBrowser {

namespace {
void openEnclosingFolder(const QString& path)
{
    QDesktopServices::openUrl(urlFromPath(QFileInfo(path).absolutePath()));
}
} // namespace

void reveal(const QString& path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openEnclosingFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    // The URI carries the path's own bytes, so a name that is not UTF-8 is still found.
    call << QStringList{QString::fromLatin1(urlFromPath(path).toEncoded())} << QString();
    // Answered asynchronously: the GUI thread never waits for the bus.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp, [watcher, path] {
        if (watcher->isError())
            openEnclosingFolder(path);
        watcher->deleteLater();
    });
}

} // namespace FileBrowser
