// Stopping a process from a list: a warning sheet on the screen's window, then SIGTERM through the
// engine. Success reports "Stopped “name” (PID n)." through report(); a refusal shows an alert with the
// engine's own text. Either way refresh() runs 0.8 s later (while the screen exists), so a process that
// exited leaves the list. Cancel does nothing. Nothing here blocks: the sheet and the alert are
// window-modal and answer through signals.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QMessageBox;

namespace StopProcessFlow {

struct Request {
    std::int32_t pid = 0;
    std::uint64_t startTicks = 0; // as listed: a pid that now names another process is not signalled
    QString name;
    QString message;
    QString informativeText;
};

// The sheet, already open; returned for tests and for keyboard focus.
QMessageBox* confirm(QWidget* screen, const Request& request, std::function<void(const QString&)> report,
                     std::function<void()> refresh);

inline constexpr int refreshDelayMilliseconds = 800;

} // namespace StopProcessFlow
