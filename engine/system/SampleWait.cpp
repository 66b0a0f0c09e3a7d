#include "SampleWait.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace brisklet {

void waitBetweenSamples(double seconds, std::stop_token stop) {
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 0.05, 86400.0) : 0.05;
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    woken.wait_for(lock, stop, std::chrono::duration<double>(clamped), [] { return false; });
}

} // namespace brisklet
