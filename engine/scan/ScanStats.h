// ScanStats: the live counters of one scan, shared by its workers and polled by the caller.
#pragma once

#include "ScanRecords.h"
#include "platform/Export.h"

#include <memory>
#include <mutex>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT ScanStats {
public:
    // A copy of all six counters, taken under the lock; callable from any thread during a scan.
    ScanProgress snapshot() const;

    // Adds a folder's files and marks it as the folder most recently read (its path is built only when
    // a snapshot is taken).
    void addDirectory(std::int64_t files, std::int64_t bytes, std::shared_ptr<const PathLink> folder);
    void addPermissionDenial();
    void addTimedOutDirectory();

private:
    mutable std::mutex m_lock;
    ScanProgress m_progress; // currentPath stays empty: m_current names it
    std::shared_ptr<const PathLink> m_current;
};

} // namespace brisklet
