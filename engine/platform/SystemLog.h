// The system log: syslog(3) at debug level under the engine identifier.
#pragma once

#include "platform/Export.h"

#include <string>

namespace brisklet {

BRISKLET_ENGINE_EXPORT void systemLogDebug(const std::string& message);

} // namespace brisklet
