#include "CliSupport.h"
#include "Commands.h"

namespace brisklet::cli {

int scanCommand(const Args&) { return usageError("'scan' is not available yet"); }

} // namespace brisklet::cli
