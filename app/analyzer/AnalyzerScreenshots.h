// Headless pictures of the analyzer screen for review, light and dark: the picker, a scan from the picker
// (voyage mode), the result in each pane, a rescan's progress row, and the review sheet over the screen.
// The result is a real scan of a folder of this machine (default /usr/share, or
// $BRISKLET_SCREENSHOT_FOLDER); scans that must be caught while running are slowed by the scanner's
// hook. Nothing is moved to the Trash: the review sheet is cancelled.
#pragma once

#include <QString>

namespace AnalyzerScreenshots {

// Writes analyzer-{picker,voyage,blocks,pie,list,rescan,review}-{light,dark}.png into folder; false when
// a scan or a file failed. Leaves the appearance it found.
bool writeAll(const QString& folder);

} // namespace AnalyzerScreenshots
