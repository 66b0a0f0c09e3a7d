#include "DeletionScreenshots.h"

#include "ReviewSheetViewController.h"
#include "TrashFlowController.h"
#include "TrashFlowHostScreen.h"
#include "AuditHistoryViewController.h"
#include "shell/PictureWatch.h"
#include "shell/AppPreferences.h"
#include "shell/PathBytes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QThread>

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

// A few files with the sizes a scan would have found (the files themselves stay small).
QList<TrashCandidate> demoItems(const QString& folder)
{
    const struct {
        const char* name;
        qint64 size;
        bool folder;
    } items[] = {{"Downloads/debian-12.5.0-amd64-DVD-1.iso", 3'994'091'520, false},
                 {"Projects/old-site/node_modules", 412'338'176, true},
                 {"Downloads/Screen Recording 2024-03-02.mkv", 268'435'456, false},
                 {"Projects/old-site/build", 48'234'496, true}};
    QList<TrashCandidate> result;
    for (const auto& item : items) {
        const QString path = folder + QLatin1Char('/') + utf8Text(item.name);
        if (item.folder) {
            QDir().mkpath(path);
            QFile(path + QStringLiteral("/index.js")).open(QIODevice::WriteOnly);
        } else {
            QDir().mkpath(QFileInfo(path).path());
            QFile(path).open(QIODevice::WriteOnly);
        }
        result.append({path, item.size, item.folder});
    }
    result.append({QDir::homePath(), 1'073'741'824, true}); // refused: shows a rejected line in the history
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
    const int last = static_cast<int>(sheet->items().size()) - 1;
    sheet->toggle(last); // unticked, to show the partial subtitle
    ok = grabTo(sheet, name("review")) && ok;
    sheet->toggle(last);
    sheet->confirmClicked();
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
