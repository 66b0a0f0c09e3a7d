#include "CleanupScreenshots.h"

#include "ApplicationListModel.h"
#include "SmartCleanModel.h"
#include "SmartCleanViewController.h"
#include "UninstallerViewController.h"
#include "shell/PictureWatch.h"
#include "shell/AppPreferences.h"
#include "shell/PathBytes.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTableView>
#include <QTreeView>

#include <functional>

#include <unistd.h>

namespace CleanupScreenshots {

namespace {

void write(const QString& path, qint64 bytes, const QByteArray& content = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    if (!content.isEmpty())
        file.write(content);
    const QByteArray block(64 * 1024, 'x');
    for (qint64 left = bytes; left > 0; left -= block.size())
        file.write(block.left(static_cast<qsizetype>(std::min<qint64>(left, block.size()))));
}

QByteArray plist(const QList<std::pair<QString, QString>>& keys)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n";
    for (const auto& [key, value] : keys)
        xml += "<key>" + QByteArray(utf8String(key).c_str()) + "</key><string>" + QByteArray(utf8String(value).c_str()) + "</string>\n";
    return xml + "</dict></plist>\n";
}

void buildHome(const QString& home)
{
    constexpr qint64 mb = 1024 * 1024;
    write(home + "/.npm/_cacache/content-v2/sha512/pack-1", 5 * mb);
    // Also linked from a project: ticking the npm cache does not reclaim it.
    QDir().mkpath(home + "/Projects");
    if (::link(pathBytes(home + "/.npm/_cacache/content-v2/sha512/pack-1").c_str(),
               pathBytes(home + "/Projects/pack-1").c_str()) != 0)
        qWarning("screenshots: no second link for the npm pack");
    write(home + "/.npm/_cacache/index-v5/index", mb / 2);
    write(home + "/.cache/pip/http-v2/wheels.bin", 3 * mb);
    write(home + "/.gradle/caches/modules-2/files-2.1/kotlin.jar", 7 * mb);
    write(home + "/.cargo/registry/cache/index.crates.io/serde-1.0.crate", 4 * mb);
    write(home + "/.cache/thumbnails/large/3f2a.png", 2 * mb);
    write(home + "/.cache/go-build/3f/3f2a-d", 9 * mb);
    write(home + "/.cache/mozilla/firefox/abcd.default-release/cache2/entries/1", 6 * mb);
    write(home + "/.cache/JetBrains/CLion2024.1/index.bin", 12 * mb);

    const QList<std::tuple<QString, QString, QString, qint64>> applications = {
        {"Inkscape", "org.inkscape.Inkscape", "1.3", 14 * mb},
        {"Krita", "org.kde.krita", "5.2", 11 * mb},
        {"Blender", "org.blender.Blender", "4.1", 22 * mb},
        {"Firefox", "org.mozilla.firefox", "126.0", 6 * mb},
        {"Zed", "dev.zed.Zed", "0.140", 4 * mb},
        {"Transmission", "com.transmissionbt.transmission", "4.0", 2 * mb},
    };
    for (const auto& [name, id, version, bytes] : applications) {
        const QString bundle = home + "/Applications/" + name + ".app/Contents/";
        write(bundle + "Info.plist", 0,
              plist({{"CFBundleName", name}, {"CFBundleIdentifier", id}, {"CFBundleShortVersionString", version}}));
        write(bundle + "MacOS/" + name, bytes);
    }
    write(home + "/.cache/org.inkscape.Inkscape/fonts.cache", mb);
}

bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(60000);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    return done();
}

bool grab(QWidget* screen, const QString& path)
{
    screen->resize(980, 660);
    screen->setAutoFillBackground(true);
    screen->show();
    waitUntil([] { return true; });
    PictureWatch::taken(screen);
    return screen->grab().save(path, "PNG");
}

} // namespace

bool writeAll(const QString& folder)
{
    QTemporaryDir home;
    if (!home.isValid())
        return false;
    buildHome(home.path());
    const QDir dir(folder);
    const AppPreferences::Appearance found = AppPreferences::appearance();
    bool ok = true;
    for (const auto appearance : {AppPreferences::Appearance::light, AppPreferences::Appearance::dark}) {
        AppPreferences::applyAppearance(appearance);
        const QString suffix = appearance == AppPreferences::Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light");

        SmartCleanViewController clean(home.path(), nullptr);
        clean.resize(980, 660);
        clean.show();
        ok = waitUntil([&clean] { return !clean.isScanning(); }) && ok;
        SmartCleanModel* model = clean.model();
        model->setCategoryChecked(0, true);
        const QModelIndex browsers = model->categoryIndex(QStringLiteral("browser-caches"));
        if (browsers.isValid()) {
            model->setCategoryChecked(model->resultOf(browsers), true);
            clean.treeView()->setCurrentIndex(browsers);
        }
        ok = waitUntil([&clean] { return clean.releasedBytes().has_value(); }) && ok;
        ok = grab(&clean, dir.filePath(QStringLiteral("smartclean-%1.png").arg(suffix))) && ok;

        UninstallerViewController::Sources sources{
            home.path(), [](const std::string& root) { return std::vector<std::string>{root + "/Applications"}; },
            [](const std::vector<brisklet::ApplicationEntry>&) { return std::set<std::string>{"dev.zed.Zed"}; }};
        UninstallerViewController apps(sources, nullptr);
        apps.resize(980, 660);
        apps.show();
        ok = waitUntil([&apps] { return !apps.isWorking() && !apps.isSizing(); }) && ok;
        waitUntil([] { return true; });
        apps.model()->setChecked(0, true);
        apps.model()->setChecked(2, true);
        apps.tableView()->selectRow(2);
        ok = grab(&apps, dir.filePath(QStringLiteral("uninstaller-%1.png").arg(suffix))) && ok;

        // The empty states, over a home with nothing to clean and no applications.
        QTemporaryDir bare;
        SmartCleanViewController nothing(bare.path(), nullptr);
        nothing.resize(980, 660);
        nothing.show();
        ok = waitUntil([&nothing] { return !nothing.isScanning(); }) && ok;
        ok = grab(&nothing, dir.filePath(QStringLiteral("smartclean-empty-%1.png").arg(suffix))) && ok;
        UninstallerViewController::Sources bareSources = sources;
        bareSources.home = bare.path();
        UninstallerViewController noApps(bareSources, nullptr);
        noApps.resize(980, 660);
        noApps.show();
        ok = waitUntil([&noApps] { return !noApps.isWorking() && !noApps.isSizing(); }) && ok;
        ok = grab(&noApps, dir.filePath(QStringLiteral("uninstaller-empty-%1.png").arg(suffix))) && ok;
    }
    AppPreferences::applyAppearance(found);
    return ok;
}

} // namespace CleanupScreenshots
