// UTF-8 repair for text that is shown or encoded.
//
// Names and paths stay as the file system's bytes inside the engine; only where text leaves for a
// person or a JSON document is it repaired, each invalid sequence becoming U+FFFD.
#pragma once

#include "platform/Export.h"

#include <string>
#include <string_view>

namespace brisklet {

bool isValidUtf8(std::string_view bytes);
BRISKLET_ENGINE_EXPORT std::string repairUtf8(std::string_view bytes);

} // namespace brisklet
