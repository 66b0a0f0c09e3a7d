#include "ScanCollectors.h"

#include <algorithm>

namespace brisklet {

bool InodeTracker::insert(InodeKey key) {
    std::lock_guard lock(m_lock);
    return m_seen.insert(key).second;
}

LargeFileCollector::LargeFileCollector(int limit, std::int64_t threshold)
    : m_limit(static_cast<std::size_t>(std::max(limit, 1))), m_threshold(threshold) {}

namespace {
bool largerFirst(const FileEntry& a, const FileEntry& b) { return a.sizeBytes > b.sizeBytes; }
} // namespace

void LargeFileCollector::offer(const FileEntry& entry) {
    if (entry.sizeBytes < m_threshold)
        return;
    std::lock_guard lock(m_lock);
    if (m_items.size() < m_limit) {
        m_items.push_back(entry);
        if (m_items.size() == m_limit)
            std::stable_sort(m_items.begin(), m_items.end(), largerFirst);
        return;
    }
    if (m_items.back().sizeBytes >= entry.sizeBytes)
        return;
    std::size_t i = m_items.size() - 1;
    m_items[i] = entry;
    while (i > 0 && m_items[i - 1].sizeBytes < m_items[i].sizeBytes) {
        std::swap(m_items[i - 1], m_items[i]);
        --i;
    }
}

std::vector<FileEntry> LargeFileCollector::sortedItems() const {
    std::vector<FileEntry> copy;
    {
        std::lock_guard lock(m_lock);
        copy = m_items;
    }
    std::stable_sort(copy.begin(), copy.end(), largerFirst);
    return copy;
}

} // namespace brisklet
