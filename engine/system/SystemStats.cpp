#include "SystemStats.h"

#include "SampleWait.h"
#include "platform/TextFields.h"

#include "platform/FileServices.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace brisklet::SystemStats {

namespace {

// "MemTotal:       16318128 kB" -> bytes.
std::optional<std::int64_t> meminfoBytes(std::string_view text, std::string_view key) {
    for (const std::string_view line : text::splitLines(text, '\n')) {
        if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ':')
            continue;
        std::string_view value = text::trimSpacesAndTabs(line.substr(key.size() + 1));
        std::int64_t unit = 1;
        if (value.ends_with(" kB")) {
            value = text::trimSpacesAndTabs(value.substr(0, value.size() - 3));
            unit = 1024;
        }
        const auto number = text::parseUInt64(value);
        if (!number || *number > std::uint64_t(INT64_MAX / unit))
            return std::nullopt;
        return std::int64_t(*number) * unit;
    }
    return std::nullopt;
}

} // namespace

double MemoryUsage::usedFraction() const {
    if (totalBytes < 1)
        return 0.0;
    return std::clamp(double(usedBytes) / double(totalBytes), 0.0, 1.0);
}

std::optional<MemoryUsage> memoryUsage(std::string_view meminfoText) {
    const auto total = meminfoBytes(meminfoText, "MemTotal");
    if (!total || *total < 1)
        return std::nullopt;
    const auto available = meminfoBytes(meminfoText, "MemAvailable");
    if (!available)
        return std::nullopt;
    return MemoryUsage{.totalBytes = *total, .usedBytes = *total - std::min(*total, *available)};
}

std::optional<MemoryUsage> memoryUsage() {
    const auto text = platform::readFileContents("/proc/meminfo");
    return text ? memoryUsage(*text) : std::nullopt;
}

std::optional<CpuTicks> parseCpuTicks(std::string_view procStatText) {
    for (const std::string_view line : text::splitLines(procStatText, '\n')) {
        if (!line.starts_with("cpu "))
            continue;
        std::vector<std::uint64_t> values;
        for (const std::string_view piece : text::splitLines(line.substr(4), ' ')) {
            if (piece.empty())
                continue;
            const auto value = text::parseUInt64(text::trimWhitespace(piece));
            if (!value)
                return std::nullopt;
            values.push_back(*value);
        }
        // user nice system idle [iowait irq softirq steal guest guest_nice]; older kernels stop early.
        if (values.size() < 4)
            return std::nullopt;
        values.resize(std::max<size_t>(values.size(), 8), 0);
        return CpuTicks{.user = values[0],
                        .system = values[2] + values[5] + values[6] + values[7],
                        .idle = values[3] + values[4],
                        .nice = values[1]};
    }
    return std::nullopt;
}

std::optional<CpuTicks> cpuTicks(const std::string& procStatPath) {
    const auto text = platform::readFileContents(procStatPath);
    return text ? parseCpuTicks(*text) : std::nullopt;
}

std::optional<double> busyFraction(const CpuTicks& before, const CpuTicks& after) {
    if (after.user < before.user || after.system < before.system || after.idle < before.idle ||
        after.nice < before.nice)
        return std::nullopt;
    const std::uint64_t user = after.user - before.user;
    const std::uint64_t system = after.system - before.system;
    const std::uint64_t idle = after.idle - before.idle;
    const std::uint64_t nice = after.nice - before.nice;
    const std::uint64_t total = user + system + idle + nice;
    if (total == 0)
        return std::nullopt;
    return std::clamp(double(user + system + nice) / double(total), 0.0, 1.0);
}

std::optional<double> cpuUsage(double sampleSeconds, std::stop_token stop) {
    const auto before = cpuTicks();
    if (!before)
        return std::nullopt;
    waitBetweenSamples(sampleSeconds, stop);
    const auto after = cpuTicks();
    if (!after)
        return std::nullopt;
    return busyFraction(*before, *after);
}

} // namespace brisklet::SystemStats
