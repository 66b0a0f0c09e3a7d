// The running program's name, version and build number as fixed by the build, with the fallbacks
// used when a value is missing.
#pragma once

#include <QString>

namespace AppInfo {

inline const QString name = QStringLiteral("Brisklet");

// The version string ("0.1.0" when the build provides none).
QString appVersion();
// The build number string ("1" when the build provides none).
QString appBuild();
// The build string parsed as a base-10 integer with an optional leading sign; 0 when empty or invalid.
qint64 parseBuildNumber(const QString& text);
// parseBuildNumber(appBuild()).
qint64 currentBuild();

} // namespace AppInfo
