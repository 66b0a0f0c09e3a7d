#include "Screenshots.h"

#include "AppDelegate.h"
#include "AppPreferences.h"
#include "MainWindowController.h"
#include "NotificationCenter.h"
#include "Section.h"
#include "SidebarViewController.h"
#include "UpdateFeed.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMainWindow>
#include <QPixmap>
#include <QThread>

#include <stdexcept>

namespace Screenshots {

namespace {
class DemoFeed : public UpdateFeed {
public:
    std::optional<brisklet::UpdateManifest> fetchManifest(std::stop_token) override
    {
        brisklet::UpdateManifest manifest;
        manifest.version = "0.2.0";
        manifest.build = 2;
        manifest.url = "https://updates.brisklet.io/brisklet/Brisklet-0.2.0.dmg";
        manifest.sha256 = std::string(64, '0');
        manifest.notes = "Faster scans of large folders.";
        return manifest;
    }
    std::string download(const brisklet::UpdateManifest&, const std::string&, const std::function<void(double)>&,
                         std::stop_token) override
    {
        throw std::runtime_error("Downloads are disabled while taking screenshots.");
    }
    QString hostName() const override { return QStringLiteral("updates.brisklet.io"); }
};

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool save(QWidget* widget, const QString& path)
{
    settle();
    return widget->grab().save(path, "PNG");
}
} // namespace

std::shared_ptr<UpdateFeed> demoFeed() { return std::make_shared<DemoFeed>(); }

bool writeAll(AppDelegate& delegate, const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QDir dir(folder);
    MainWindowController* controller = delegate.windowController();
    QMainWindow* window = controller->window();
    bool ok = true;

    int number = 1;
    for (Section section : Sections::all()) {
        NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                          {{NotificationNames::sectionKey, Sections::rawValue(section)}});
        const QString name = QStringLiteral("%1-%2.png").arg(number++, 2, 10, QLatin1Char('0')).arg(Sections::rawValue(section));
        ok = save(window, dir.filePath(name)) && ok;
    }

    NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                      {{NotificationNames::sectionKey, Sections::rawValue(Section::dashboard)}});
    controller->sidebar()->showSettings();
    if (QDialog* sheet = controller->sidebar()->settingsSheet()) {
        ok = save(sheet, dir.filePath(QStringLiteral("07-settings.png"))) && ok;
        sheet->close();
    }

    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    ok = save(window, dir.filePath(QStringLiteral("08-dashboard-dark.png"))) && ok;
    controller->sidebar()->showSettings();
    if (QDialog* sheet = controller->sidebar()->settingsSheet()) {
        ok = save(sheet, dir.filePath(QStringLiteral("09-settings-dark.png"))) && ok;
        sheet->close();
    }
    return ok;
}

} // namespace Screenshots
