// Headless pictures of the three analyzer panes over a real scan of a folder of this machine (default
// /usr/share, or $BRISKLET_SCREENSHOT_FOLDER), light and dark, for review.
#pragma once

#include <QString>

namespace AnalyzerScreenshots {

// Writes analyzer-{blocks,pie,list}-{light,dark}.png into folder; false when a scan or a file failed.
// Leaves the appearance it found.
bool writeAll(const QString& folder);

} // namespace AnalyzerScreenshots
