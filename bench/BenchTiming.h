// Wall-clock timing shared by the benchmarks: the median of several runs, so one slow run on a busy
// machine does not set the figure.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

inline double medianWallMilliseconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
