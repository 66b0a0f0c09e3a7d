#include "CliSupport.h"
#include "Commands.h"

namespace brisklet::cli {

int cleanCommand(const Args&) { return usageError("'clean' is not available yet"); }

int appsCommand(const Args&) { return usageError("'apps' is not available yet"); }

int leftoversCommand(const Args&) { return usageError("'leftovers' is not available yet"); }

} // namespace brisklet::cli
