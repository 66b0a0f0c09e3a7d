// The per-item outcomes of trashing, restoring and purging: plain values, compared field by field.
#pragma once

#include "platform/TrashEntry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace brisklet {

// What was moved into the Trash: the item's device and inode, and the Path and DeletionDate written in
// its .trashinfo. Given back to restore or purge, it makes them act on that very item only.
using TrashedIdentity = platform::TrashEntryIdentity;

struct TrashOutcome {
    std::string path;       // exactly as the caller passed it
    std::int64_t sizeBytes = 0;
    bool success = false;
    std::optional<std::string> failureDescription; // absent on success
    std::optional<std::string> trashPath;          // on success, where the item now lies in the Trash
    std::optional<TrashedIdentity> identity = std::nullopt; // on success, what was moved
    // On success, the bytes that deleting the items of this batch for good would give back: a file
    // with other links counts only when all of them were moved in this batch (sizeBytes stays the
    // caller's figure).
    std::int64_t releasedBytes = 0;

    bool operator==(const TrashOutcome&) const = default;
};

struct RestoreOutcome {
    std::string originalPath;
    std::string restoredPath; // where the item now lies; originalPath on failure
    bool success = false;
    std::optional<std::string> failureDescription;

    bool operator==(const RestoreOutcome&) const = default;
};

struct PurgeOutcome {
    std::string trashPath;
    std::int64_t sizeBytes = 0; // the caller's figure, carried unchanged
    bool success = false;
    std::optional<std::string> failureDescription;
    // On success, the bytes the removal gave back: a file with other links counts only when all of them
    // went in this batch.
    std::int64_t releasedBytes = 0;

    bool operator==(const PurgeOutcome&) const = default;
};

} // namespace brisklet
