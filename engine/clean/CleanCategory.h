// Clean categories: one cleanable kind of regenerable data, its group, and its measured state.
//
// Plain values. A category is fixed by the catalog; a result is what measuring found on disk: the
// category folders that exist with their sizes, and their largest direct members.
#pragma once

#include "platform/Export.h"
#include "scan/ScanRecords.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisklet {

struct BRISKLET_ENGINE_EXPORT CleanCategory {
    // The section a category is listed under; the raw value is the section heading.
    enum class Group { developer, systemApps };

    std::string id;         // stable key, remembered by the interface
    std::string title;      // short name shown to the user
    std::string detail;     // one-sentence explanation
    std::string symbolName; // system symbol shown beside the category
    Group group = Group::developer;
    std::vector<std::string> paths; // absolute folders, in the order they are measured

    bool operator==(const CleanCategory&) const = default;

    // Both groups in heading order.
    static const std::vector<Group>& allGroups();
    static std::string_view rawValue(Group group);
    // Exactly the two headings, case-sensitively; nothing for any other text.
    static std::optional<Group> groupFromRawValue(std::string_view raw);
};

struct BRISKLET_ENGINE_EXPORT CleanCategoryResult {
    CleanCategory category;
    // One per existing folder of category.paths with more than zero bytes, in path order.
    std::vector<FileEntry> items;
    // The largest direct members of those folders, largest first.
    std::vector<FileEntry> children;

    // Sum over items; children are parts of items and are not added.
    std::int64_t sizeBytes() const;
    bool exists() const { return !items.empty(); }

    bool operator==(const CleanCategoryResult&) const = default;
};

} // namespace brisklet

template <>
struct std::hash<brisklet::CleanCategory> {
    std::size_t operator()(const brisklet::CleanCategory& category) const noexcept;
};
