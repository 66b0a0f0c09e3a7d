#include "FileBrowser.h"

#include "deletion/DeletionItems.h"
#include "deletion/SheetParts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QUrl>

#include <algorithm>

namespace FileBrowser {

namespace {
void openEnclosingFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
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
    const QByteArray uri = "file://" + QUrl::toPercentEncoding(QByteArray::fromStdString(pathBytes(path)), "/");
    call << QStringList{QString::fromLatin1(uri)} << QString();
    // Answered asynchronously: the GUI thread never waits for the bus.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp, [watcher, path] {
        if (watcher->isError())
            openEnclosingFolder(path);
        watcher->deleteLater();
    });
}

QString selectedRowsText(const QAbstractItemView* view)
{
    const QItemSelectionModel* selection = view->selectionModel();
    const QAbstractItemModel* model = view->model();
    if (!selection || !model)
        return {};
    QModelIndexList rows = selection->selectedRows();
    std::sort(rows.begin(), rows.end(), [view](const QModelIndex& a, const QModelIndex& b) {
        return view->visualRect(a).top() < view->visualRect(b).top();
    });
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(row.parent()); ++column)
            cells << model->index(row.row(), column, row.parent()).data(copyTextRole).toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void enableRowCopy(QAbstractItemView* view)
{
    SheetParts::copyRowsOnCopyKey(view, [view] { return selectedRowsText(view); });
}

} // namespace FileBrowser
