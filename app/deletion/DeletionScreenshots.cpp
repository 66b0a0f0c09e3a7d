#include "DeletionScreenshots.h"

#include "ReviewSheetViewController.h"
#include "TrashFlowController.h"
#include "TrashFlowHostScreen.h"
#include "AuditHistoryViewController.h"
#include "shell/PictureWatch.h"
#include "shell/AppPreferences.h"
#include "shell/PathBytes.h"
#include "safety/AuditLog.h"
#include "safety/TrashService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace DeletionScreenshots {

namespace {
// Lets queued answers and repaints through; with done, until it holds (up to a bound).
bool settle(const std::function<bool()>& done = {})
{
    for (int i = 0; i < 500; ++i) {
        QApplication::processEvents();
        if (i >= 5 && (!done || done()))
            return true;
        QThread::msleep(10);
    }
    return done();
}

// A few real files (sizes are measured when the sheet opens), one of them with a second hard link
// outside the selection, and a protected folder the sheet refuses.
QList<TrashCandidate> demoItems(const QString& folder)
{
    const struct {
        const char* name;
        int megabytes;
        bool folder;
    } items[] = {{"Downloads/debian-12.5.0-amd64-netinst.iso", 9, false},
                 {"Projects/old-site/node_modules", 4, true},
                 {"Downloads/Screen Recording 2024-03-02.mkv", 6, false},
                 {"Projects/old-site/build", 2, true}};
    QList<TrashCandidate> result;
    for (const auto& item : items) {
        const QString path = folder + QLatin1Char('/') + utf8Text(item.name);
        const QString file = item.folder ? path + QStringLiteral("/bundle.js") : path;
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(QByteArray(item.megabytes * 1024 * 1024, 'x'));
        result.append({path, qint64(item.megabytes) * 1024 * 1024, item.folder});
    }
    // The recording is also in Videos: moving the Downloads copy frees nothing.
    QDir().mkpath(folder + QStringLiteral("/Videos"));
    const std::string second = pathBytes(folder + QStringLiteral("/Videos/Screen Recording 2024-03-02.mkv"));
    if (::link(pathBytes(result[2].path).c_str(), second.c_str()) != 0)
        qWarning("screenshots: no second link for the recording: %s", std::strerror(errno));
    result.append({QDir::homePath() + QStringLiteral("/.config"), 1'073'741'824, true}); // refused
    return result;
}

bool grabTo(QWidget* widget, const QString& path)
{
    settle();
    if (widget)
        PictureWatch::taken(widget);
    return widget && widget->grab().save(path, "PNG");
}

bool writeSet(const QString& folder, const QString& look)
{
    const QDir dir(folder);
    const auto name = [&](const char* what) {
        return dir.filePath(QStringLiteral("deletion-%1-%2.png").arg(QLatin1String(what), look));
    };
    bool ok = true;
    TrashFlowHostScreen host;
    host.setWindowTitle(QStringLiteral("Brisklet"));
    host.resize(760, 360);
    host.setItems(demoItems(QDir::homePath() + QStringLiteral("/Demo ") + look));
    host.show();
    settle();

    host.trashSelection();
    ReviewSheetViewController* sheet = host.flow()->reviewSheet();
    if (!sheet)
        return false;
    ok = settle([&] { return sheet->isMeasured(); }) && ok;
    const int last = static_cast<int>(sheet->items().size()) - 1;
    sheet->toggle(last); // unticked, to show the partial subtitle
    ok = grabTo(sheet, name("review")) && ok;
    sheet->toggle(last);
    sheet->confirmClicked();
    // The history shows a refusal too, as a stale review would have met it.
    brisklet::TrashService(brisklet::AuditLog::shared()).movePathToTrash(pathBytes(QDir::homePath() + QStringLiteral("/.config")), 0);
    ok = settle([&] { return !host.flow()->isRunning(); }) && ok;
    ok = grabTo(&host, name("status")) && ok;

    host.flow()->freeSpace();
    if (QMessageBox* warning = host.flow()->freeWarning()) {
        ok = grabTo(warning, name("free-warning")) && ok;
        warning->reject();
    }

    host.showHistory();
    auto* history = host.findChild<AuditHistoryViewController*>();
    ok = history && settle([&] { return history->isLoaded(); }) && ok;
    ok = grabTo(history, name("history")) && ok;
    if (history)
        history->accept();
    host.flow()->undo(); // leaves the demo files where they were
    settle([&] { return !host.flow()->isRunning(); });
    return ok;
}
} // namespace

bool writeAll(const QString& folder)
{
    const AppPreferences::Appearance before = AppPreferences::appliedAppearance();
    AppPreferences::applyAppearance(AppPreferences::Appearance::light);
    bool ok = writeSet(folder, QStringLiteral("light"));
    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    ok = writeSet(folder, QStringLiteral("dark")) && ok;
    AppPreferences::applyAppearance(before);
    return ok;
}

} // namespace DeletionScreenshots
