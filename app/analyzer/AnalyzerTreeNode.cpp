#include "AnalyzerTreeNode.h"

#include "apps/LocalizedNameOrder.h"
#include "shell/CountedLinks.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

// One collator per thread: building may run on a worker, removals run on the GUI thread.
const brisklet::LocalizedNameOrder& nameOrder()
{
    thread_local const brisklet::LocalizedNameOrder order;
    return order;
}

} // namespace

AnalyzerTreeNode::AnalyzerTreeNode(brisklet::FileEntry entry)
    : m_entry(std::move(entry)),
      m_sizeBytes(m_entry.sizeBytes),
      m_unreadable(m_entry.state == brisklet::ScanState::unavailable)
{
}

AnalyzerTreeNode::~AnalyzerTreeNode()
{
    // Released level by level: a node whose last owner is this list gives up its children before it
    // goes, so a chain of folders deeper than the stack never recurses.
    std::vector<AnalyzerNodePtr> pending = std::move(m_children);
    for (const AnalyzerNodePtr& child : pending)
        if (child->m_parent == this)
            child->m_parent = nullptr;
    while (!pending.empty()) {
        AnalyzerNodePtr node = std::move(pending.back());
        pending.pop_back();
        if (node.use_count() != 1)
            continue; // a view still holds it, with its subtree
        for (AnalyzerNodePtr& child : node->m_children) {
            if (child->m_parent == node.get())
                child->m_parent = nullptr;
            pending.push_back(std::move(child));
        }
        node->m_children.clear();
    }
}

AnalyzerNodePtr AnalyzerTreeNode::build(brisklet::ScanNode&& node)
{
    AnalyzerNodePtr root = buildFrom(node);
    findWhereLinksCounted(*root);
    return root;
}

void AnalyzerTreeNode::findWhereLinksCounted(AnalyzerTreeNode& root)
{
    std::vector<AnalyzerTreeNode*> linked;
    std::vector<AnalyzerTreeNode*> pending{&root};
    while (!pending.empty()) {
        AnalyzerTreeNode* node = pending.back();
        pending.pop_back();
        for (const AnalyzerNodePtr& child : node->m_children)
            pending.push_back(child.get());
        if (!node->m_entry.isDirectory && node->m_entry.linkCount > 1)
            linked.push_back(node);
    }
    std::vector<LinkedFile> files;
    files.reserve(linked.size());
    for (const AnalyzerTreeNode* node : linked)
        files.push_back({node->m_entry.path(), node->m_entry.linkedSizeBytes > 0});
    for (const auto& [other, carrier] : matchCountedLinks(files))
        linked[other]->m_countedAt = std::make_unique<const std::string>(linked[carrier]->m_entry.path());
}

AnalyzerNodePtr AnalyzerTreeNode::buildFrom(brisklet::ScanNode& scan)
{
    // An explicit list of converted folders whose scan children wait: a chain of folders may be deeper
    // than the stack. Each scan folder's list goes as soon as its children are converted.
    struct Waiting {
        AnalyzerTreeNode* node;
        std::vector<brisklet::ScanNode> children;
    };
    std::vector<Waiting> waiting;
    const auto convert = [&waiting](brisklet::ScanNode& from) {
        auto node = std::make_shared<AnalyzerTreeNode>(std::move(from.entry));
        if (from.children) {
            waiting.push_back({node.get(), std::move(*from.children)});
            from.children.reset();
        } else {
            node->m_folded = node->m_entry.isDirectory && !node->m_unreadable;
        }
        return node;
    };
    AnalyzerNodePtr root = convert(scan);
    while (!waiting.empty()) {
        Waiting next = std::move(waiting.back());
        waiting.pop_back();
        next.node->m_children.reserve(next.children.size());
        for (brisklet::ScanNode& child : next.children) {
            AnalyzerNodePtr built = convert(child);
            built->m_parent = next.node;
            next.node->m_children.push_back(std::move(built));
        }
        next.node->sortChildren();
    }
    return root;
}

AnalyzerNodePtr AnalyzerTreeNode::makeAggregated(AnalyzerTreeNode* parent, std::string name, std::int64_t sizeBytes)
{
    std::string path = parent ? parent->m_entry.path() + "/\u2026" : std::string("/\u2026");
    auto node = std::make_shared<AnalyzerTreeNode>(
        brisklet::FileEntry{std::move(name), std::move(path), sizeBytes, true, brisklet::ScanState::complete});
    node->m_parent = parent;
    node->m_isAggregated = true;
    return node;
}

void AnalyzerTreeNode::sortChildren()
{
    if (m_children.size() < 2)
        return;
    const brisklet::LocalizedNameOrder& order = nameOrder();
    std::stable_sort(m_children.begin(), m_children.end(), [&order](const AnalyzerNodePtr& a, const AnalyzerNodePtr& b) {
        if (a->m_sizeBytes != b->m_sizeBytes)
            return a->m_sizeBytes > b->m_sizeBytes;
        return order.less(a->m_entry.name, b->m_entry.name);
    });
}

std::int64_t AnalyzerTreeNode::removePaths(const PathSet& paths)
{
    if (paths.contains(m_entry.path()))
        return countedSize(*this);
    // Only the folders on the way to a removed path can change; the rest of the tree is neither walked
    // nor sorted again (the three panes ask in turn, and a scan holds hundreds of thousands of nodes).
    PathSet ancestors;
    for (const std::string& path : paths)
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            ancestors.insert(path.substr(0, slash));
    std::map<std::string, std::int64_t> carriers;
    const std::int64_t removed = removeBelow(paths, ancestors, carriers);
    return removed - passOnCountedSizes(carriers);
}

bool AnalyzerTreeNode::carriesLinkedSize() const
{
    return !m_entry.isDirectory && m_entry.linkCount > 1 && !m_countedAt && m_sizeBytes > 0;
}

void AnalyzerTreeNode::collectLinkCarriers(const AnalyzerTreeNode& top, std::map<std::string, std::int64_t>& carriers)
{
    std::vector<const AnalyzerTreeNode*> pending{&top};
    while (!pending.empty()) {
        const AnalyzerTreeNode* node = pending.back();
        pending.pop_back();
        if (node->carriesLinkedSize())
            carriers.emplace(node->m_entry.path(), node->m_sizeBytes);
        for (const AnalyzerNodePtr& child : node->m_children)
            pending.push_back(child.get());
    }
}

std::int64_t AnalyzerTreeNode::passOnCountedSizes(const std::map<std::string, std::int64_t>& carriers)
{
    if (carriers.empty())
        return 0;
    // The removed link's blocks are still on disk while another link stays: the first such link left in
    // the tree carries them now, and the others name it.
    std::map<std::string, std::vector<AnalyzerTreeNode*>> survivors;
    std::vector<AnalyzerTreeNode*> pending{this};
    while (!pending.empty()) {
        AnalyzerTreeNode* node = pending.back();
        pending.pop_back();
        if (node->m_countedAt && carriers.contains(*node->m_countedAt))
            survivors[*node->m_countedAt].push_back(node);
        for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child)
            pending.push_back(child->get());
    }
    std::int64_t restored = 0;
    for (const auto& [carrierPath, links] : survivors) {
        const std::int64_t bytes = carriers.at(carrierPath);
        AnalyzerTreeNode* heir = links.front();
        heir->m_countedAt.reset();
        const std::string heirPath = heir->m_entry.path();
        for (AnalyzerTreeNode* other : links)
            if (other != heir)
                other->m_countedAt = std::make_unique<const std::string>(heirPath);
        for (AnalyzerTreeNode* node = heir; node; node = node->m_parent) {
            node->m_sizeBytes += bytes;
            if (node->m_parent && node != this)
                node->m_parent->sortChildren();
            if (node == this)
                break;
        }
        restored += bytes;
    }
    return restored;
}

std::int64_t AnalyzerTreeNode::removeBelow(const PathSet& paths, const PathSet& ancestors,
                                           std::map<std::string, std::int64_t>& carriers)
{
    std::int64_t total = 0;
    bool dropped = false;
    bool shrunk = false;
    for (AnalyzerNodePtr& child : m_children) {
        const std::string childPath = child->m_entry.path(); // built on demand: once per child visited
        if (paths.contains(childPath)) {
            total += countedSize(*child);
            collectLinkCarriers(*child, carriers);
            child->m_parent = nullptr; // a view may still hold it; it no longer belongs here
            child.reset();
            dropped = true;
        } else if (child->hasChildren() && ancestors.contains(childPath)) {
            const std::int64_t below = child->removeBelow(paths, ancestors, carriers);
            total += below;
            shrunk = shrunk || below > 0;
        }
    }
    if (dropped)
        std::erase(m_children, nullptr);
    if (shrunk) // dropping alone keeps the others in order
        sortChildren();
    const std::int64_t removed = std::min(countedSize(*this), total);
    m_sizeBytes -= removed;
    return removed;
}

std::optional<FamilyPlacement> AnalyzerTreeNode::familyPlacement(const AnalyzerTreeNode& root) const
{
    if (this == &root)
        return std::nullopt;
    const AnalyzerTreeNode* head = this;
    int collected = 1;
    while (head->m_parent != &root) {
        if (!head->m_parent)
            return std::nullopt;
        head = head->m_parent;
        ++collected;
    }
    FamilyPlacement placement;
    placement.depth = collected - 1;
    bool found = false;
    for (const AnalyzerNodePtr& child : root.m_children) {
        if (child->m_sizeBytes < 1)
            continue;
        if (child.get() == head) {
            placement.index = placement.total;
            found = true;
        }
        ++placement.total;
    }
    if (!found)
        placement.index = 0;
    return placement;
}

AnalyzerNodePtr AnalyzerTreeNode::sharedFromParent() const
{
    if (!m_parent)
        return nullptr;
    for (const AnalyzerNodePtr& sibling : m_parent->m_children)
        if (sibling.get() == this)
            return sibling;
    return nullptr;
}

std::vector<AnalyzerNodePtr> visibleChildren(const AnalyzerTreeNode& node)
{
    std::vector<AnalyzerNodePtr> visible;
    for (const AnalyzerNodePtr& child : node.children())
        if (child->sizeBytes() >= 1)
            visible.push_back(child);
    std::stable_sort(visible.begin(), visible.end(),
                     [](const AnalyzerNodePtr& a, const AnalyzerNodePtr& b) { return a->sizeBytes() > b->sizeBytes(); });
    return visible;
}
