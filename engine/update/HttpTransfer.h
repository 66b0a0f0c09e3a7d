// One HTTP(S) GET on libcurl, streamed piece by piece to a sink, for the self-update component.
//
// No redirects are followed, nothing is cached, only http and https are spoken. The transfer gives up
// after the connect time-out or when no byte arrives for the idle time-out; there is no limit on the
// whole transfer. Requesting stop wakes the transfer at once and ends it.
#pragma once

#include "AppUpdate.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace brisklet::update {

// What is known of the response when a piece of its body arrives.
struct HttpResponseHead {
    long status = 0;                  // 0 when no HTTP status line was received
    std::int64_t contentLength = -1;  // negative when the response gives none
};

// Receives each piece of the body in order; returning false ends the transfer.
using HttpBodySink = std::function<bool(const HttpResponseHead& head, std::string_view piece)>;

struct HttpOutcome {
    int curlCode = 0;        // CURLE_OK when the whole body arrived
    std::string errorText;   // libcurl's explanation when curlCode is not CURLE_OK
    HttpResponseHead head;
    bool stopped = false;    // ended because stop was requested
    bool sinkRefused = false; // ended because the sink returned false

    bool succeeded() const { return curlCode == 0 && !stopped && !sinkRefused; }
};

// Runs the GET on the calling thread. Does not throw for transport problems: they are in the outcome.
// The sink must not throw.
HttpOutcome httpGet(const std::string& url, const AppUpdate::TransferTimeouts& timeouts,
                    std::stop_token stop, const HttpBodySink& sink);

// Readable text for a failed outcome, as shown to the user.
std::string transportFailureText(const HttpOutcome& outcome);

} // namespace brisklet::update
