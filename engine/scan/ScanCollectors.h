// Per-scan shared collectors: the hard-link tracker and the largest-files list.
//
// Both are shared by every folder read of one scan and guard their state with their own short lock.
#pragma once

#include "ScanRecords.h"

#include <cstdint>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace brisklet {

struct InodeKey {
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    bool operator==(const InodeKey&) const = default;
};

struct InodeKeyHash {
    std::size_t operator()(const InodeKey& k) const noexcept { return k.ino * 0x9e3779b97f4a7c15ULL ^ k.dev; }
};

// Remembers which multiply-linked inodes a scan has already counted.
class InodeTracker {
public:
    // True when the key was not seen before in this scan.
    bool insert(InodeKey key);

private:
    std::mutex m_lock;
    std::unordered_set<InodeKey, InodeKeyHash> m_seen;
};

// Keeps the `limit` largest files at or above `threshold`.
//
// Below the limit the list stays in arrival order; when it first fills it is sorted largest first
// (stable), and from then on a newcomer replaces the smallest only when strictly larger, moving up past
// strictly smaller items, so among equal sizes the earlier arrival stays in front.
class LargeFileCollector {
public:
    LargeFileCollector(int limit, std::int64_t threshold);

    void offer(const FileEntry& entry);
    // The held items sorted largest first; equal sizes keep the order in which they are held.
    std::vector<FileEntry> sortedItems() const;

    std::int64_t threshold() const { return m_threshold; }

private:
    mutable std::mutex m_lock;
    std::size_t m_limit;
    std::int64_t m_threshold;
    std::vector<FileEntry> m_items;
};

} // namespace brisklet
