#include "CliSupport.h"
#include "Commands.h"

namespace brisklet::cli {

int portsCommand(const Args&) { return usageError("'ports' is not available yet"); }

int psCommand(const Args&) { return usageError("'ps' is not available yet"); }

int statsCommand(const Args&) { return usageError("'stats' is not available yet"); }

int volumesCommand(const Args&) { return usageError("'volumes' is not available yet"); }

} // namespace brisklet::cli
