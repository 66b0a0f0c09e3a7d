#include "ScanRecords.h"

#include <cmath>
#include <cstdio>

namespace brisklet {

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
    mix(std::hash<std::string>{}(e.path));
    mix(std::hash<std::int64_t>{}(e.sizeBytes));
    mix(std::hash<bool>{}(e.isDirectory));
    mix(std::hash<std::string_view>{}(brisklet::toRawString(e.state)));
    return h;
}
