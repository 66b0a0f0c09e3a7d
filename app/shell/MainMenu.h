// The menu bar: "Brisklet" (Check for Updates, Hide, Quit), "Edit" (undo, redo, clipboard, select
// all, sent to the focused widget) and "Window" (Minimize, Zoom, Bring All to Front). There is no
// settings item: settings open from the sidebar. "Hide Others" and "Show All" have no counterpart on
// Linux desktops and are left out.
#pragma once

class QMenuBar;
class UpdateController;

namespace MainMenu {

// Builds the menu bar; the main window takes it over.
QMenuBar* install(UpdateController& updateController);

} // namespace MainMenu
