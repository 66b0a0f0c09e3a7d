// Headless pictures of the Smart Clean and Uninstaller screens over a demonstration home folder (a few
// caches, a simulator device and some applications, built in a temporary folder), light and dark.
#pragma once

#include <QString>

namespace CleanupScreenshots {

// Writes smartclean-{light,dark}.png and uninstaller-{light,dark}.png into folder, and the empty states
// as smartclean-empty-*.png and uninstaller-empty-*.png; false when a file could not be written. Leaves
// the appearance it found.
bool writeAll(const QString& folder);

} // namespace CleanupScreenshots
