// MeasuringPool: measures several folders at once on a few threads, not one thread per folder.
//
// forEachIndex(count, work) calls work(i) once for every i < count on at most measuringWidth
// threads, the calling thread among them (so the work is done even when no thread can be started).
// Each thread takes the next index until none is left. The first exception a call throws stops the
// handing out of indexes and is rethrown once every thread has ended. Each measurement is a scan with
// its own I/O queues: the width bounds those too.
#pragma once

#include <cstddef>
#include <functional>

namespace brisklet {

inline constexpr int measuringWidth = 4;

void forEachIndex(std::size_t count, const std::function<void(std::size_t)>& work);

} // namespace brisklet
