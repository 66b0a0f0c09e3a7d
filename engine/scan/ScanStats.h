// ScanStats: the live counters of one scan, shared by its workers and polled by the caller.
#pragma once

#include "ScanRecords.h"
#include "platform/Export.h"

#include <mutex>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT ScanStats {
public:
    // A copy of all six counters, taken under the lock; callable from any thread during a scan.
    ScanProgress snapshot() const;

    // Adds a folder's files and marks it as the folder most recently read.
    void addDirectory(std::int64_t files, std::int64_t bytes, const std::string& path);
    void addPermissionDenial();
    void addTimedOutDirectory();

private:
    mutable std::mutex m_lock;
    ScanProgress m_progress;
};

} // namespace brisklet
