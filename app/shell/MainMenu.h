// The menu bar, after the GNOME and KDE conventions: File (New Scan, Check for Updates, Quit), Edit (undo,
// redo, clipboard and select all, sent to the focused widget; Preferences), View (the six sections on
// Ctrl+1 to Ctrl+6, Refresh on F5) and Help (Keyboard Shortcuts, About Brisklet). Every menu and item has
// a mnemonic. The items that act on the window (New Scan, Refresh, Preferences) carry object names the
// main window connects; the others act by themselves.
#pragma once

#include <QString>

class QMenuBar;
class QWidget;
class UpdateController;

namespace MainMenu {

inline const QString newScanItem = QStringLiteral("menu.newScan");
inline const QString refreshItem = QStringLiteral("menu.refresh");
inline const QString preferencesItem = QStringLiteral("menu.preferences");

// Builds the menu bar; the main window takes it over.
QMenuBar* install(UpdateController& updateController);

// The Help menu's windows, shown over parent and closed by the user. Each is built once per parent.
void showKeyboardShortcuts(QWidget* parent);
void showAbout(QWidget* parent);

// The version as the About window shows it: "0.1.0", with the build number only where it differs from
// the version's own ("0.1.0 (7)").
QString versionText(const QString& version, const QString& build);

} // namespace MainMenu
