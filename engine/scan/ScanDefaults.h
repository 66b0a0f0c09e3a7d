// The standard name sets for scanner options.
#pragma once

#include "platform/Export.h"

#include <set>
#include <string>

namespace brisklet::ScanDefaults {

// Bulky tool folders (version control, dependency caches, build output) measured as one node.
BRISKLET_ENGINE_EXPORT const std::set<std::string>& foldDirectoryNames();
// Folders walked into although their name is folded: the user's cache home ($XDG_CACHE_HOME, else
// ~/.cache) where the host profile says so.
BRISKLET_ENGINE_EXPORT std::set<std::string> unfoldedDirectoryPaths();
// Top-level names left out when "/" itself is scanned: this host's system areas.
BRISKLET_ENGINE_EXPORT const std::set<std::string>& rootSkipNames();

} // namespace brisklet::ScanDefaults
