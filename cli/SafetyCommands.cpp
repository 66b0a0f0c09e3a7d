#include "CliSupport.h"
#include "Commands.h"

namespace brisklet::cli {

int trashCommand(const Args&) { return usageError("'trash' is not available yet"); }

int historyCommand(const Args&) { return usageError("'history' is not available yet"); }

} // namespace brisklet::cli
