// Headless rendering of the running program for review: one PNG per section, the settings sheet, and
// the dashboard and sheet again in the dark appearance, a sheet of chart palette swatches and
// one of every named symbol. Used by scripts/screenshots.
#pragma once

#include "shell/Section.h"

#include <QString>

#include <memory>

class AppDelegate;
class QTemporaryDir;
class QWidget;
class UpdateFeed;

namespace Screenshots {

// A feed that always offers a fixed newer release, so the update button shows in the pictures.
std::shared_ptr<UpdateFeed> demoFeed();

// Shows section in window through the shared notification and lets its first answers arrive (ten
// seconds at most), so a picture shows the section's content rather than its busy view.
void showSettled(QWidget* window, Section section);

// The pictures really trash, put back and log demo files and store settings. Unless HOME already lies
// inside the temporary folder (scripts/screenshots and the tests make one), points HOME and the XDG
// folders into a new throw-away folder held by holder, so the user's home, Trash, history and
// preferences stay as they were. Call before the application object exists. False when none could be
// made; the pictures must not be taken then.
bool useThrowAwayHome(std::unique_ptr<QTemporaryDir>& holder);

// Writes the PNG files into folder (created if needed). False when a file could not be written. On a
// real display server (not the offscreen platform) it takes pictures of the whole screen instead, the
// window manager's frame included, through every section before and after live switches of the
// appearance, and at the window's minimum size.
bool writeAll(AppDelegate& delegate, const QString& folder);

} // namespace Screenshots
