#include "MonitoringScreenshots.h"

#include "shell/AppPreferences.h"
#include "shell/Screenshots.h"
#include "shell/Section.h"

#include <QWidget>

namespace MonitoringScreenshots {

bool writeAll(QWidget* window, const QDir& folder)
{
    const QString scale = QString::number(qRound(window->devicePixelRatioF()));
    bool ok = true;
    for (const auto appearance : {AppPreferences::Appearance::light, AppPreferences::Appearance::dark}) {
        AppPreferences::applyAppearance(appearance);
        const QString look = appearance == AppPreferences::Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (const Section section : {Section::dashboard, Section::crew, Section::ports}) {
            Screenshots::showSettled(window, section);
            const QString name = QStringLiteral("monitoring-%1-%2@%3x.png").arg(Sections::rawValue(section), look, scale);
            ok = window->grab().save(folder.filePath(name), "PNG") && ok;
        }
    }
    return ok;
}

} // namespace MonitoringScreenshots
