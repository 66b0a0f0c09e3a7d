#include "MeasuringPool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace brisklet {

void forEachIndex(std::size_t count, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;
    std::exception_ptr failure;
    const auto drain = [&] {
        for (std::size_t index; !failed.load() && (index = next.fetch_add(1)) < count;) {
            try {
                work(index);
            } catch (...) {
                const std::lock_guard guard(lock);
                if (!failure)
                    failure = std::current_exception();
                failed.store(true);
            }
        }
    };
    std::vector<std::thread> helpers;
    const std::size_t wanted = std::min<std::size_t>(count, measuringWidth);
    for (std::size_t started = 1; started < wanted; ++started) {
        try {
            helpers.emplace_back(drain);
        } catch (const std::system_error&) {
            break; // fewer helpers: the others take their share
        }
    }
    drain();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace brisklet
