// Typed access to the per-user preferences (QSettings, organisation and application "Brisklet") and the
// application-wide appearance: Fusion with a light or dark palette, or the desktop's own palette for
// Follow System. Applying an appearance restyles every open window at once.
#pragma once

#include <QSettings>
#include <QString>

#include <array>
#include <optional>

class DesktopColorScheme;

namespace AppPreferences {

enum class Appearance { system, light, dark };

inline constexpr std::array<Appearance, 3> allAppearances = {Appearance::system, Appearance::light, Appearance::dark};

inline const QString settingsOrganization = QStringLiteral("Brisklet");
inline const QString settingsApplication = QStringLiteral("Brisklet");

inline const QString appearanceKey = QStringLiteral("appearance");
inline const QString lastFolderKey = QStringLiteral("analyzer.lastFolder");
inline const QString splitKey = QStringLiteral("main.split");
inline const QString rememberScansKey = QStringLiteral("history.rememberScans");

QString rawValue(Appearance appearance);
std::optional<Appearance> appearanceFromRawValue(const QString& raw);
QString label(Appearance appearance);

// A missing key or any value that is not an exact raw value reads as system.
Appearance appearance();
void setAppearance(Appearance appearance);

// Whether finished scans are stored to compare later ones with; on unless turned off.
bool rememberScans();
void setRememberScans(bool remember);

// Removes the per-application language overrides; run at every launch.
void removeLanguageKeys();

// Applies to the whole application. system follows the desktop's colour scheme from the XDG portal
// (the light or dark palette, live), and where the desktop states none, or there is no portal, restores
// the palette the desktop gave at start-up.
void applyAppearance(Appearance appearance);
// Where system reads the desktop's preference: the session bus's portal unless set (tests; null
// returns to the session bus).
void useDesktopColorScheme(DesktopColorScheme* source);
// The appearance most recently applied (system before any call).
Appearance appliedAppearance();

} // namespace AppPreferences
