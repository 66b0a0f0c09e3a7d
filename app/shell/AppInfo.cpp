#include "AppInfo.h"

#ifndef BRISKLET_APP_VERSION
#define BRISKLET_APP_VERSION ""
#endif
#ifndef BRISKLET_APP_BUILD
#define BRISKLET_APP_BUILD ""
#endif

namespace AppInfo {

QString appVersion()
{
    const QString value = QStringLiteral(BRISKLET_APP_VERSION);
    return value.isEmpty() ? QStringLiteral("0.1.0") : value;
}

QString appBuild()
{
    const QString value = QStringLiteral(BRISKLET_APP_BUILD);
    return value.isEmpty() ? QStringLiteral("1") : value;
}

qint64 parseBuildNumber(const QString& text)
{
    if (text.isEmpty())
        return 0;
    QString digits = text;
    bool negative = false;
    if (digits.front() == QLatin1Char('+') || digits.front() == QLatin1Char('-')) {
        negative = digits.front() == QLatin1Char('-');
        digits.remove(0, 1);
    }
    // Only plain ASCII digits: no inner sign, blanks or a second sign.
    if (digits.isEmpty())
        return 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, 10);
    if (!ok)
        return 0;
    return negative ? -value : value;
}

qint64 currentBuild() { return parseBuildNumber(appBuild()); }

} // namespace AppInfo
