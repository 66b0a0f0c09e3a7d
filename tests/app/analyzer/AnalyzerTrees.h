// Scan trees for the analyzer tests, written inline: folders sum their children's sizes.
#pragma once

#include "analyzer/AnalyzerTreeNode.h"

#include <string>
#include <vector>

inline std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

inline brisklet::ScanNode file(const std::string& path, std::int64_t size)
{
    return {{lastComponent(path), path, size, false, brisklet::ScanState::complete}, std::nullopt};
}

inline brisklet::ScanNode folder(const std::string& path, std::vector<brisklet::ScanNode> children)
{
    std::int64_t size = 0;
    for (const brisklet::ScanNode& child : children)
        size += child.entry.sizeBytes;
    return {{lastComponent(path), path, size, true, brisklet::ScanState::complete}, std::move(children)};
}

// The child of node named name (null when there is none).
inline AnalyzerNodePtr child(const AnalyzerNodePtr& node, const std::string& name)
{
    for (const AnalyzerNodePtr& candidate : node->children())
        if (candidate->entry().name == name)
            return candidate;
    return nullptr;
}

inline std::vector<std::string> childNames(const AnalyzerNodePtr& node)
{
    std::vector<std::string> names;
    for (const AnalyzerNodePtr& candidate : node->children())
        names.push_back(candidate->entry().name);
    return names;
}
