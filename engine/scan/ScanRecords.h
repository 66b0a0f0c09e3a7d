// Scan records: the plain values a directory scan produces and every screen reads.
//
// They carry no behaviour beyond equality, hashing, raw-string coding and one pre-order walk.
// Names and paths hold the file system's bytes; repair them only where they are shown or encoded.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <functional>
#include <memory>
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

// Where an entry of a scanned tree lies: one folder's name and a link to the folder above, shared by
// everything inside it. A tree holds each folder's name once instead of every entry's full path, which
// grows with the square of the depth (a chain of 20,000 folders held gigabytes of paths). Immutable;
// shared between threads and between copies of entries.
class BRISKLET_ENGINE_EXPORT PathLink {
public:
    // component: a name inside parent's folder, or (without a parent) a whole path.
    PathLink(std::shared_ptr<const PathLink> parent, std::string component)
        : m_parent(std::move(parent)), m_component(std::move(component)) {}
    // Releases a long chain level by level: no recursion per folder.
    ~PathLink();
    PathLink(const PathLink&) = delete;
    PathLink& operator=(const PathLink&) = delete;

    const std::shared_ptr<const PathLink>& parent() const { return m_parent; }
    const std::string& component() const { return m_component; }
    // The whole path, built on each call.
    std::string path() const;
    // The path of name inside this folder.
    std::string pathOf(std::string_view name) const;

private:
    std::shared_ptr<const PathLink> m_parent;
    std::string m_component;
};

struct BRISKLET_ENGINE_EXPORT FileEntry {
    FileEntry() = default;
    // An entry standing on its own, at an absolute path.
    FileEntry(std::string name, std::string path, std::int64_t sizeBytes, bool isDirectory, ScanState state,
              std::uint32_t linkCount = 1, std::int64_t linkedSizeBytes = 0);
    // An entry of a scanned tree: the item named name inside the folder at folder.
    static FileEntry inFolder(std::shared_ptr<const PathLink> folder, std::string name, std::int64_t sizeBytes,
                              bool isDirectory, ScanState state, std::uint32_t linkCount = 1);
    // An entry of a scanned tree whose own place is place (a folder, whose entries link to it).
    static FileEntry at(std::shared_ptr<const PathLink> place, std::string name, std::int64_t sizeBytes,
                        bool isDirectory, ScanState state);

    std::string name; // last path component (the file-system root has a display name)
    std::int64_t sizeBytes = 0;
    bool isDirectory = false;
    ScanState state = ScanState::complete;
    // A file's hard links (1 for folders, symbolic links and files with one name).
    std::uint32_t linkCount = 1;
    // A hard-linked file whose blocks another of its links already counted in this scan: the size it
    // has (sizeBytes is then 0, so totals count the file once). 0 for every other entry.
    std::int64_t linkedSizeBytes = 0;

    // The absolute path, built on each call (a scanned entry keeps only its name and its folder's link).
    std::string path() const;
    void setPath(std::string path);
    // The link naming this entry's own place when it has one (scanned folders, entries built from a
    // path), else null: an entry inside a folder of the tree is named by that folder and its name.
    std::shared_ptr<const PathLink> ownPlace() const { return m_placeIsOwn ? m_place : nullptr; }

    bool operator==(const FileEntry& other) const;

private:
    std::shared_ptr<const PathLink> m_place; // the entry's own place, or the folder holding it
    bool m_placeIsOwn = true;
};

struct BRISKLET_ENGINE_EXPORT ScanNode {
    ScanNode() = default;
    ScanNode(FileEntry entry, std::optional<std::vector<ScanNode>> children = std::nullopt)
        : entry(std::move(entry)), children(std::move(children)) {}
    // Releases the subtree level by level: a chain of folders may be far deeper than the stack.
    ~ScanNode();
    ScanNode(const ScanNode&) = default;
    ScanNode(ScanNode&&) noexcept = default;
    ScanNode& operator=(const ScanNode&) = default;
    ScanNode& operator=(ScanNode&&) noexcept = default;

    FileEntry entry;
    // Absent for a file, an unreadable folder and a folded folder; present (maybe empty) for a folder
    // that was read and descended into.
    std::optional<std::vector<ScanNode>> children;

    // Visits this node, then each child's subtree in order (depth-first pre-order), without recursion.
    template <typename Visitor>
    void walk(Visitor&& visit) const {
        std::vector<const ScanNode*> pending{this};
        while (!pending.empty()) {
            const ScanNode* node = pending.back();
            pending.pop_back();
            visit(*node);
            if (node->children)
                for (auto child = node->children->rbegin(); child != node->children->rend(); ++child)
                    pending.push_back(&*child);
        }
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
