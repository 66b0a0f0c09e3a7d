// Scan records: the plain values a directory scan produces and every screen reads.
//
// They carry no behaviour beyond equality, hashing, raw-string coding and one pre-order walk.
// Names and paths hold the file system's bytes; repair them only where they are shown or encoded.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisklet {

enum class ScanState : std::uint8_t {
    complete,    // everything below this item was read
    partial,     // some places below could not be read in time or at all; sizes are lower bounds
    unavailable, // the item itself could not be read; size 0, no children
};

BRISKLET_ENGINE_EXPORT std::string_view toRawString(ScanState state);
// Exactly the three raw values, case-sensitively; nothing for any other text.
std::optional<ScanState> scanStateFromRawString(std::string_view raw);

struct FileEntry {
    std::string name; // last path component (the file-system root has a display name)
    std::string path; // absolute path
    std::int64_t sizeBytes = 0;
    bool isDirectory = false;
    ScanState state = ScanState::complete;
    // A file's hard links (1 for folders, symbolic links and files with one name). Sits in what would
    // be padding, so it costs the record nothing.
    std::uint32_t linkCount = 1;
    // A hard-linked file whose blocks another of its links already counted in this scan: the size it
    // has (sizeBytes is then 0, so totals count the file once). 0 for every other entry.
    std::int64_t linkedSizeBytes = 0;

    bool operator==(const FileEntry&) const = default;
};

struct ScanNode {
    FileEntry entry;
    // Absent for a file, an unreadable folder and a folded folder; present (maybe empty) for a folder
    // that was read and descended into.
    std::optional<std::vector<ScanNode>> children;

    // Visits this node, then each child's subtree in order (depth-first pre-order).
    template <typename Visitor>
    void walk(Visitor&& visit) const {
        visit(*this);
        if (children)
            for (const ScanNode& child : *children)
                child.walk(visit);
    }
};

struct ScanTotals {
    std::int64_t files = 0;
    std::int64_t directories = 0;
    std::int64_t bytes = 0;

    bool operator==(const ScanTotals&) const = default;
};

struct ScanProgress {
    std::int64_t files = 0;
    std::int64_t directories = 0;
    std::int64_t bytes = 0;
    std::int64_t permissionDenials = 0;
    std::int64_t timedOutDirectories = 0;
    std::string currentPath;

    bool operator==(const ScanProgress&) const = default;
};

struct ScanResult {
    ScanNode root;
    std::vector<FileEntry> largeFiles; // largest first
    ScanTotals totals;
    ScanState state = ScanState::complete; // never unavailable
};

namespace ByteFormat {
// A short size with a decimal unit ("1.2 MB"); negative counts keep their sign.
BRISKLET_ENGINE_EXPORT std::string humanReadable(std::int64_t bytes);
} // namespace ByteFormat

} // namespace brisklet

template <>
struct std::hash<brisklet::FileEntry> {
    std::size_t operator()(const brisklet::FileEntry& e) const noexcept;
};
