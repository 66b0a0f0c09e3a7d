// The per-item outcomes of trashing, restoring and purging: plain values, compared field by field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brisklet {

struct TrashOutcome {
    std::string path;       // exactly as the caller passed it
    std::int64_t sizeBytes = 0;
    bool success = false;
    std::optional<std::string> failureDescription; // absent on success
    std::optional<std::string> trashPath;          // on success, where the item now lies in the Trash

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
    std::int64_t sizeBytes = 0; // bytes freed when success
    bool success = false;
    std::optional<std::string> failureDescription;

    bool operator==(const PurgeOutcome&) const = default;
};

} // namespace brisklet
