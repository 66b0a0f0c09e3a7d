// Machine-wide processor and memory figures for the dashboard, from /proc/stat and /proc/meminfo.
//
// Every unreadable or implausible reading gives an absent figure; nothing throws or logs.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace brisklet::SystemStats {

struct BRISKLET_ENGINE_EXPORT MemoryUsage {
    std::int64_t totalBytes = 0;
    std::int64_t usedBytes = 0; // between 0 and totalBytes

    std::int64_t availableBytes() const { return totalBytes - usedBytes > 0 ? totalBytes - usedBytes : 0; }
    double usedFraction() const;
    bool operator==(const MemoryUsage&) const = default;
};

// Sums over all processors of the "cpu" line.
struct CpuTicks {
    std::uint64_t user = 0;
    std::uint64_t system = 0; // system + irq + softirq + steal
    std::uint64_t idle = 0;   // idle + iowait
    std::uint64_t nice = 0;

    bool operator==(const CpuTicks&) const = default;
};

// Total from MemTotal, in use = total minus MemAvailable.
BRISKLET_ENGINE_EXPORT std::optional<MemoryUsage> memoryUsage();
std::optional<MemoryUsage> memoryUsage(std::string_view meminfoText);

// Busy share of all processors over sampleSeconds (at least 0.05 s; a stop request only shortens the
// wait), between 0 and 1.
BRISKLET_ENGINE_EXPORT std::optional<double> cpuUsage(double sampleSeconds, std::stop_token stop = {});

std::optional<CpuTicks> cpuTicks(const std::string& procStatPath = "/proc/stat");
std::optional<CpuTicks> parseCpuTicks(std::string_view procStatText);
// Absent when no tick passed or when any sum went down between the readings.
std::optional<double> busyFraction(const CpuTicks& before, const CpuTicks& after);

} // namespace brisklet::SystemStats
