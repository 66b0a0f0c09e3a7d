#include "ScanRecords.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace brisklet {

PathLink::~PathLink() {
    std::shared_ptr<const PathLink> above = std::move(m_parent);
    // While this is the last owner of the link above, hold that link's parent before letting it go:
    // its destructor then finds its parent shared and stops, so a long chain never recurses. Copying
    // rather than taking the parent leaves a link another thread might still read untouched.
    while (above && above.use_count() == 1) {
        std::shared_ptr<const PathLink> next = above->m_parent;
        above = std::move(next);
    }
}

ScanNode::~ScanNode() {
    if (!children || children->empty())
        return;
    // Each node taken off the list gives up its children first, so its own destructor has nothing
    // left to descend into.
    std::vector<ScanNode> pending = std::move(*children);
    children.reset();
    while (!pending.empty()) {
        ScanNode node = std::move(pending.back());
        pending.pop_back();
        if (node.children) {
            for (ScanNode& child : *node.children)
                pending.push_back(std::move(child));
            node.children.reset();
        }
    }
}

std::string PathLink::path() const { return pathOf({}); }

std::string PathLink::pathOf(std::string_view name) const {
    std::vector<const PathLink*> chain;
    std::size_t length = name.size() + 1;
    for (const PathLink* link = this; link; link = link->m_parent.get()) {
        chain.push_back(link);
        length += link->m_component.size() + 1;
    }
    std::string path;
    path.reserve(length);
    const auto append = [&path](std::string_view component) {
        if (!path.empty() && path.back() != '/')
            path.push_back('/');
        path.append(component);
    };
    for (auto link = chain.rbegin(); link != chain.rend(); ++link)
        append((*link)->m_component);
    if (!name.empty())
        append(name);
    return path;
}

FileEntry::FileEntry(std::string name, std::string path, std::int64_t sizeBytes, bool isDirectory, ScanState state,
                     std::uint32_t linkCount, std::int64_t linkedSizeBytes)
    : name(std::move(name)), sizeBytes(sizeBytes), isDirectory(isDirectory), state(state), linkCount(linkCount),
      linkedSizeBytes(linkedSizeBytes) {
    setPath(std::move(path));
}

FileEntry FileEntry::inFolder(std::shared_ptr<const PathLink> folder, std::string name, std::int64_t sizeBytes,
                              bool isDirectory, ScanState state, std::uint32_t linkCount) {
    FileEntry entry = at(std::move(folder), std::move(name), sizeBytes, isDirectory, state);
    entry.linkCount = linkCount;
    entry.m_placeIsOwn = false;
    return entry;
}

FileEntry FileEntry::at(std::shared_ptr<const PathLink> place, std::string name, std::int64_t sizeBytes,
                        bool isDirectory, ScanState state) {
    FileEntry entry;
    entry.name = std::move(name);
    entry.sizeBytes = sizeBytes;
    entry.isDirectory = isDirectory;
    entry.state = state;
    entry.m_place = std::move(place);
    return entry;
}

std::string FileEntry::path() const {
    if (!m_place)
        return {};
    return m_placeIsOwn ? m_place->path() : m_place->pathOf(name);
}

void FileEntry::setPath(std::string path) {
    m_place = path.empty() ? nullptr : std::make_shared<const PathLink>(nullptr, std::move(path));
    m_placeIsOwn = true;
}

bool FileEntry::operator==(const FileEntry& other) const {
    if (name != other.name || sizeBytes != other.sizeBytes || isDirectory != other.isDirectory ||
        state != other.state || linkCount != other.linkCount || linkedSizeBytes != other.linkedSizeBytes)
        return false;
    if (m_place == other.m_place && m_placeIsOwn == other.m_placeIsOwn)
        return true;
    return path() == other.path();
}

std::string_view toRawString(ScanState state) {
    switch (state) {
    case ScanState::complete:
        return "complete";
    case ScanState::partial:
        return "partial";
    case ScanState::unavailable:
        return "unavailable";
    }
    return "complete";
}

std::optional<ScanState> scanStateFromRawString(std::string_view raw) {
    for (ScanState s : {ScanState::complete, ScanState::partial, ScanState::unavailable})
        if (raw == toRawString(s))
            return s;
    return std::nullopt;
}

namespace ByteFormat {

std::string humanReadable(std::int64_t bytes) {
    // Decimal multiples, like the desktop's file-size style: 1 kB = 1,000 bytes.
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    const bool negative = bytes < 0;
    // Negating INT64_MIN overflows; go through double, which is exact enough for display.
    const double magnitude = negative ? -static_cast<double>(bytes) : static_cast<double>(bytes);
    const char* sign = negative ? "-" : "";
    char text[48];
    if (magnitude < 1000) {
        std::snprintf(text, sizeof text, "%s%.0f %s", sign, magnitude, magnitude == 1 ? "byte" : "bytes");
        return text;
    }
    double value = magnitude / 1000;
    int unit = 0;
    // The unit follows the digits printed: 999,500 bytes reads "1 MB", never "1000 KB". Values of 100
    // and above print whole numbers, and below 100 none can print as 1000.
    while (unit < 5 && std::round(value) >= 1000) {
        value /= 1000;
        ++unit;
    }
    // Three significant figures at most: "1.2 MB", "12.3 GB", "123 KB"; kilobytes show whole numbers.
    if (unit == 0 || value >= 100)
        std::snprintf(text, sizeof text, "%s%.0f %s", sign, value, units[unit]);
    else
        std::snprintf(text, sizeof text, "%s%.3g %s", sign, value, units[unit]);
    return text;
}

} // namespace ByteFormat

} // namespace brisklet

std::size_t std::hash<brisklet::FileEntry>::operator()(const brisklet::FileEntry& e) const noexcept {
    std::size_t h = std::hash<std::string>{}(e.name);
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<std::string>{}(e.path()));
    mix(std::hash<std::int64_t>{}(e.sizeBytes));
    mix(std::hash<bool>{}(e.isDirectory));
    mix(std::hash<std::string_view>{}(brisklet::toRawString(e.state)));
    return h;
}
