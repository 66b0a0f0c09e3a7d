// The system log: syslog(3) at debug level under the engine identifier.
#pragma once

#include <string>

namespace brisklet {

void systemLogDebug(const std::string& message);

} // namespace brisklet
