#include "ScanStats.h"

namespace brisklet {

ScanProgress ScanStats::snapshot() const {
    std::lock_guard lock(m_lock);
    return m_progress;
}

void ScanStats::addDirectory(std::int64_t files, std::int64_t bytes, const std::string& path) {
    std::lock_guard lock(m_lock);
    m_progress.files += files;
    m_progress.bytes += bytes;
    m_progress.directories += 1;
    m_progress.currentPath = path;
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
