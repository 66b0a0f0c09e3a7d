#include "CleanCategory.h"

namespace brisklet {

const std::vector<CleanCategory::Group>& CleanCategory::allGroups() {
    static const std::vector<Group> groups{Group::developer, Group::systemApps};
    return groups;
}

std::string_view CleanCategory::rawValue(Group group) {
    switch (group) {
    case Group::developer:
        return "Developer";
    case Group::systemApps:
        return "System & Apps";
    }
    return {};
}

std::optional<CleanCategory::Group> CleanCategory::groupFromRawValue(std::string_view raw) {
    for (const Group group : allGroups())
        if (rawValue(group) == raw)
            return group;
    return std::nullopt;
}

std::int64_t CleanCategoryResult::sizeBytes() const {
    std::int64_t total = 0;
    for (const FileEntry& item : items)
        total += item.sizeBytes;
    return total;
}

} // namespace brisklet

std::size_t std::hash<brisklet::CleanCategory>::operator()(const brisklet::CleanCategory& category) const noexcept {
    std::size_t seed = 0;
    const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    const std::hash<std::string> text;
    mix(text(category.id));
    mix(text(category.title));
    mix(text(category.detail));
    mix(text(category.symbolName));
    mix(std::size_t(category.group));
    mix(category.paths.size());
    for (const std::string& path : category.paths)
        mix(text(path));
    return seed;
}
