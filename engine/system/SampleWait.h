// The pause between two counter readings: never shorter than 50 ms, cut short (not aborted) by a stop
// request, because the caller still wants its figures.
#pragma once

#include <stop_token>

namespace brisklet {

void waitBetweenSamples(double seconds, std::stop_token stop);

} // namespace brisklet
