// AnalyzerTreeNode: the mutable tree every disk chart, list and outline shows.
//
// A finished scan is converted once: build() moves the entries out of the scan nodes (no name or path is
// copied) and frees each scan folder's child list as soon as it is converted, so the ScanResult is gone
// when the tree stands. Parents own their children (shared_ptr); a child's parent() is a weak link that
// reads null once the parent is destroyed or has dropped the child. Nodes are compared by identity.
//
// Children are kept in display order: larger sizeBytes first, equal sizes by name in the localized,
// case-insensitive order, stable. removePaths() drops items and shrinks every ancestor by exactly the
// bytes removed below it (never below 0); a removed file that carried the size of a file with another
// hard link left in the tree hands that size to the link, whose ancestors grow by it. entry().sizeBytes
// keeps the size at scan time. It visits only the folders on the way to a removed path and sorts only
// the child lists whose sizes changed, so asking again for paths already gone costs next to nothing.
//
// A file whose size another of its hard links carries (entry().linkedSizeBytes) learns at build() the
// path of that link, when it is in the tree: build() looks at such files (lstat, on the building
// thread) only when the scan counted some file at another link.
//
// The tree may be built on any thread; once handed to the screens it is touched on the GUI thread only.
#pragma once

#include "scan/ScanRecords.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class AnalyzerTreeNode;
using AnalyzerNodePtr = std::shared_ptr<AnalyzerTreeNode>;
using PathSet = std::unordered_set<std::string>;
using NodeSet = std::unordered_set<const AnalyzerTreeNode*>;

// Where a node sits among the top-level families of a shown root, for colouring.
struct FamilyPlacement {
    int index = 0; // position of the family head among the root's children of size >= 1
    int total = 0; // number of such children
    int depth = 0; // 0 for a direct child of the root
    bool operator==(const FamilyPlacement&) const = default;
};

class AnalyzerTreeNode {
public:
    // The whole subtree of node, children sorted. node is consumed.
    static AnalyzerNodePtr build(brisklet::ScanNode&& node);
    // A synthetic "Other" node standing for many small children of parent; not added to parent's children.
    static AnalyzerNodePtr makeAggregated(AnalyzerTreeNode* parent, std::string name, std::int64_t sizeBytes);

    explicit AnalyzerTreeNode(brisklet::FileEntry entry);
    ~AnalyzerTreeNode();
    AnalyzerTreeNode(const AnalyzerTreeNode&) = delete;
    AnalyzerTreeNode& operator=(const AnalyzerTreeNode&) = delete;

    const brisklet::FileEntry& entry() const { return m_entry; }
    const std::vector<AnalyzerNodePtr>& children() const { return m_children; }
    bool hasChildren() const { return !m_children.empty(); }
    AnalyzerTreeNode* parent() const { return m_parent; }

    std::int64_t sizeBytes() const { return m_sizeBytes; }
    bool folded() const { return m_folded; }
    bool unreadable() const { return m_unreadable; }
    bool isAggregated() const { return m_isAggregated; }
    bool isMissing() const { return m_isMissing; }
    void setMissing(bool missing) { m_isMissing = missing; }
    // For a file counted at another of its links: that link's path, when the tree holds it.
    const std::string* countedAt() const { return m_countedAt.get(); }

    // Removes every node below (and including) this one whose path is in paths; returns the bytes removed.
    // When this node's own path is listed nothing changes and its size is returned: the caller drops it.
    std::int64_t removePaths(const PathSet& paths);

    // Nothing when this node is root or is not below it.
    std::optional<FamilyPlacement> familyPlacement(const AnalyzerTreeNode& root) const;

    // The shared pointer the parent holds for this node (null for a root or a detached node).
    AnalyzerNodePtr sharedFromParent() const;

private:
    static AnalyzerNodePtr buildFrom(brisklet::ScanNode& scan);
    // removePaths() below this node, descending only into the listed ancestors of removed paths.
    // Collects in carriers the removed files that carried the size of a hard-linked file.
    std::int64_t removeBelow(const PathSet& paths, const PathSet& ancestors,
                             std::map<std::string, std::int64_t>& carriers);
    bool carriesLinkedSize() const;
    static void collectLinkCarriers(const AnalyzerTreeNode& top, std::map<std::string, std::int64_t>& carriers);
    // Moves the size each removed carrier counted to a link of the same file left below this node,
    // growing its ancestors; returns the bytes moved.
    std::int64_t passOnCountedSizes(const std::map<std::string, std::int64_t>& carriers);
    static void findWhereLinksCounted(AnalyzerTreeNode& root);
    void sortChildren();

    brisklet::FileEntry m_entry;
    std::vector<AnalyzerNodePtr> m_children;
    AnalyzerTreeNode* m_parent = nullptr; // weak: cleared by the parent when it drops this node or dies
    std::int64_t m_sizeBytes = 0;
    std::unique_ptr<const std::string> m_countedAt; // rare: one pointer in every node, the text in few
    bool m_folded = false;
    bool m_unreadable = false;
    bool m_isAggregated = false;
    bool m_isMissing = false;
};

// max(size, 0): what a node counts for in shares, totals and trash items.
inline std::int64_t countedSize(const AnalyzerTreeNode& node) { return node.sizeBytes() > 0 ? node.sizeBytes() : 0; }

// The children of node with size >= 1, largest first (stable, so ties keep the display order).
std::vector<AnalyzerNodePtr> visibleChildren(const AnalyzerTreeNode& node);
