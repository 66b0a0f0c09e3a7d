// The standard name sets and the default number of reads in flight for scanner options.
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
// The I/O queues (folders read at the same time) for a scan the user waits on: 24, or one per core this
// process may run on where that is more (at most 32). On a cold cache a read waits for the device far
// longer than it computes, and many reads in flight let the device serve them together (on a 2-core
// virtual machine a cold scan took 0.52 of gdu's time with 24, 0.6 with 12 and 1.0 with 2); on a warm
// cache the queues past the cores made no measurable difference.
BRISKLET_ENGINE_EXPORT int readsInFlight();

} // namespace brisklet::ScanDefaults
