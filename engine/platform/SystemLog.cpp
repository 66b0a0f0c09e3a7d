#include "SystemLog.h"

#include "Error.h"
#include "Utf8.h"

#include <mutex>
#include <syslog.h>

namespace brisklet {

void systemLogDebug(const std::string& message) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog(engineIdentifier(), LOG_PID, LOG_USER); });
    syslog(LOG_DEBUG, "%s", repairUtf8(message).c_str());
}

} // namespace brisklet
