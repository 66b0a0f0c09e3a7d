#include "ApplicationEntry.h"

namespace brisklet {

ApplicationEntry ApplicationEntry::withSize(std::int64_t size) const {
    ApplicationEntry copy = *this;
    copy.sizeBytes = size;
    return copy;
}

} // namespace brisklet

std::size_t std::hash<brisklet::ApplicationEntry>::operator()(const brisklet::ApplicationEntry& entry) const noexcept {
    std::size_t seed = 0;
    const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    const std::hash<std::string> text;
    // An absent optional mixes a marker of its own; a present one a different marker, then the value.
    const auto mixOptional = [&](const std::optional<std::string>& value) {
        mix(value ? 1 : 0);
        if (value)
            mix(text(*value));
    };
    mix(text(entry.name));
    mixOptional(entry.bundleID);
    mix(text(entry.path));
    mix(std::hash<std::int64_t>{}(entry.sizeBytes));
    mixOptional(entry.version);
    mix(entry.isProtected ? 1 : 0);
    mixOptional(entry.icon);
    return seed;
}
