#include "MonitoringScreenshots.h"

#include "CrewViewController.h"
#include "DashboardViewController.h"
#include "PortsViewController.h"
#include "shell/AppPreferences.h"
#include "shell/NotificationCenter.h"
#include "shell/Section.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QWidget>

#include <functional>

namespace MonitoringScreenshots {

namespace {
// Lets queued answers arrive until ready() holds or a generous limit passes.
void settleUntil(const std::function<bool()>& ready)
{
    QDeadlineTimer limit(10'000);
    while (!limit.hasExpired()) {
        QApplication::processEvents();
        if (ready())
            break;
        QThread::msleep(20);
    }
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}
} // namespace

bool writeAll(QWidget* window, const QDir& folder)
{
    const auto* dashboard = window->findChild<DashboardViewController*>();
    const auto* crew = window->findChild<CrewViewController*>();
    const auto* ports = window->findChild<PortsViewController*>();
    const std::pair<Section, std::function<bool()>> screens[] = {
        {Section::dashboard, [=] { return dashboard && !dashboard->isSamplingCPU() && !dashboard->isReadingFigures(); }},
        {Section::crew, [=] { return crew && crew->hasLoaded() && !crew->isSampling(); }},
        {Section::ports, [=] { return ports && ports->hasLoaded() && !ports->isScanning(); }},
    };
    const QString scale = QString::number(qRound(window->devicePixelRatioF()));
    bool ok = true;
    for (const auto appearance : {AppPreferences::Appearance::light, AppPreferences::Appearance::dark}) {
        AppPreferences::applyAppearance(appearance);
        const QString look = appearance == AppPreferences::Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (const auto& [section, ready] : screens) {
            NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                              {{NotificationNames::sectionKey, Sections::rawValue(section)}});
            settleUntil(ready);
            const QString name = QStringLiteral("monitoring-%1-%2@%3x.png").arg(Sections::rawValue(section), look, scale);
            ok = window->grab().save(folder.filePath(name), "PNG") && ok;
        }
    }
    return ok;
}

} // namespace MonitoringScreenshots
