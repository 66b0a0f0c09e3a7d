#include "ScanStats.h"

#include <utility>

namespace brisklet {

ScanProgress ScanStats::snapshot() const {
    ScanProgress progress;
    std::shared_ptr<const PathLink> current;
    {
        std::lock_guard lock(m_lock);
        progress = m_progress;
        current = m_current;
    }
    if (current)
        progress.currentPath = current->path();
    return progress;
}

void ScanStats::addDirectory(std::int64_t files, std::int64_t bytes, std::shared_ptr<const PathLink> folder) {
    std::shared_ptr<const PathLink> previous; // released outside the lock
    std::lock_guard lock(m_lock);
    m_progress.files += files;
    m_progress.bytes += bytes;
    m_progress.directories += 1;
    previous = std::exchange(m_current, std::move(folder));
}

void ScanStats::addPermissionDenial() {
    std::lock_guard lock(m_lock);
    m_progress.permissionDenials += 1;
}

void ScanStats::addTimedOutDirectory() {
    std::lock_guard lock(m_lock);
    m_progress.timedOutDirectories += 1;
}

} // namespace brisklet
