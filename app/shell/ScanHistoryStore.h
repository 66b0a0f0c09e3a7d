// The scan history this process uses: one ScanHistory (one connection) for the analyzer, which stores
// and reads scans, and the settings sheet, which forgets them. Sharing it is what orders a forget
// against a store in flight: both take the store's own lock, and a store handed over before the forget
// began is dropped (ScanHistory::generation). Made on the first call without opening anything (the GUI
// thread may call it); the first worker that uses it opens it.
#pragma once

#include "history/ScanHistory.h"

#include <memory>

namespace ScanHistoryStore {
std::shared_ptr<brisklet::ScanHistory> shared();
} // namespace ScanHistoryStore
