// Error types shared by the whole engine.
//
// Every operation that can fail throws a type derived from brisklet::Error; description() is the
// exact text a front end shows. Cancellation through a std::stop_token surfaces as Cancelled.
#pragma once

#include "platform/Export.h"

#include <stdexcept>
#include <string>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
    // The user-facing text, unchanged.
    virtual std::string description() const { return what(); }
};

class BRISKLET_ENGINE_EXPORT Cancelled : public Error {
public:
    Cancelled() : Error("The operation was cancelled.") {}
};

// The identifier the engine uses for queue labels and its system-log ident.
const char* engineIdentifier();

} // namespace brisklet
