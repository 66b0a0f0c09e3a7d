#include "Error.h"

namespace brisklet {

const char* engineIdentifier() { return BRISKLET_ENGINE_IDENTIFIER; }

} // namespace brisklet
