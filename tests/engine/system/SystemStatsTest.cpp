#include "system/SystemStats.h"

#include <gtest/gtest.h>

using namespace brisklet::SystemStats;

namespace {
constexpr std::int64_t GiB = 1024LL * 1024 * 1024;
}

TEST(CpuTicks, FoldsIrqStealAndIowaitIntoTheFourSums) {
    const auto ticks = parseCpuTicks("intr 1 2 3\ncpu  100 5 50 1000 20 3 2 1 0 0\ncpu0 50 2 25 500 10 1 1 0 0 0\n");
    ASSERT_TRUE(ticks);
    EXPECT_EQ(*ticks, (CpuTicks{.user = 100, .system = 56, .idle = 1020, .nice = 5}));
    // Kernels before iowait existed print four numbers.
    EXPECT_EQ(parseCpuTicks("cpu 1 2 3 4\n"), (CpuTicks{.user = 1, .system = 3, .idle = 4, .nice = 2}));
    EXPECT_EQ(parseCpuTicks("cpu 1 2 3\n"), std::nullopt);
    EXPECT_EQ(parseCpuTicks("cpu0 1 2 3 4\n"), std::nullopt);
    EXPECT_EQ(parseCpuTicks("cpu 1 2 x 4\n"), std::nullopt);
    EXPECT_EQ(parseCpuTicks(""), std::nullopt);
}

TEST(CpuUsage, NoTicksOrFallingSumsGiveNoFigure) {
    const CpuTicks before{.user = 100, .system = 50, .idle = 800, .nice = 50};
    EXPECT_EQ(busyFraction(before, before), std::nullopt);
    EXPECT_EQ(busyFraction(before, {.user = 99, .system = 60, .idle = 900, .nice = 50}), std::nullopt);
    EXPECT_EQ(busyFraction(before, {.user = 130, .system = 60, .idle = 850, .nice = 60}), 0.5);
    EXPECT_EQ(busyFraction(before, {.user = 100, .system = 50, .idle = 900, .nice = 50}), 0.0);
}

TEST(CpuUsage, RealCountersGiveAFractionBetweenZeroAndOne) {
    const auto usage = cpuUsage(0.2);
    ASSERT_TRUE(usage);
    EXPECT_GE(*usage, 0.0);
    EXPECT_LE(*usage, 1.0);
    std::stop_source stop;
    stop.request_stop();
    // Returns at once; with hardly any ticks in between there may be no figure.
    if (const auto stopped = cpuUsage(3600, stop.get_token())) {
        EXPECT_LE(*stopped, 1.0);
    }
}

TEST(MemoryFigures, UsedIsTotalMinusAvailableWithinBounds) {
    const auto usage = memoryUsage("MemTotal:       16777216 kB\nMemFree:  1 kB\nMemAvailable:    4194304 kB\n");
    ASSERT_TRUE(usage);
    EXPECT_EQ(usage->totalBytes, 16 * GiB);
    EXPECT_EQ(usage->usedBytes, 12 * GiB);
    EXPECT_DOUBLE_EQ(usage->usedFraction(), 0.75);
    EXPECT_EQ(usage->availableBytes(), 4 * GiB);

    const auto overfull = memoryUsage("MemTotal: 1000 kB\nMemAvailable: 5000 kB\n");
    ASSERT_TRUE(overfull);
    EXPECT_EQ(overfull->usedBytes, 0);
    EXPECT_DOUBLE_EQ(overfull->usedFraction(), 0.0);

    EXPECT_EQ(memoryUsage("MemTotal: 0 kB\nMemAvailable: 0 kB\n"), std::nullopt);
    EXPECT_EQ(memoryUsage("MemTotal: 1000 kB\n"), std::nullopt);
    EXPECT_EQ(memoryUsage("MemTotalX: 1000 kB\nMemAvailable: 5 kB\n"), std::nullopt);
    EXPECT_EQ(memoryUsage("MemTotal: 99999999999999999999 kB\nMemAvailable: 5 kB\n"), std::nullopt);

    const MemoryUsage empty{.totalBytes = 0, .usedBytes = 0};
    EXPECT_DOUBLE_EQ(empty.usedFraction(), 0.0);
    EXPECT_EQ(empty.availableBytes(), 0);
    EXPECT_EQ((MemoryUsage{.totalBytes = 10, .usedBytes = 20}).availableBytes(), 0);
}

TEST(MemoryFigures, RealMeminfoIsReadable) {
    const auto usage = memoryUsage();
    ASSERT_TRUE(usage);
    EXPECT_GT(usage->totalBytes, 0);
    EXPECT_GE(usage->usedBytes, 0);
    EXPECT_LE(usage->usedBytes, usage->totalBytes);
}
