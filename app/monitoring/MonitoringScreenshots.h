// Pictures of the dashboard, processes and ports screens with this machine's own figures, once their
// first reading has arrived, in the light and the dark appearance. File names carry the scale factor
// ("monitoring-crew-dark@2x.png"), so a run with QT_SCALE_FACTOR=2 adds the sharp versions beside them.
#pragma once

#include <QDir>

class QWidget;

namespace MonitoringScreenshots {

// Switches window's sections through the shared notification; false when a file could not be written.
bool writeAll(QWidget* window, const QDir& folder);

} // namespace MonitoringScreenshots
