#include "ScanDefaults.h"

#include "platform/FileServices.h"
#include "platform/HostProfile.h"

#include <algorithm>
#include <cstdlib>
#include <sched.h>
#include <thread>

namespace brisklet::ScanDefaults {

const std::set<std::string>& foldDirectoryNames() {
    static const std::set<std::string> names{
        ".git",         ".svn",          ".hg",         "node_modules", "bower_components", ".npm",
        ".yarn",        ".pnpm-store",   ".next",       ".nuxt",        ".turbo",           ".parcel-cache",
        ".nx",          "__pycache__",   "venv",        ".venv",        "virtualenv",       "site-packages",
        ".pytest_cache", ".mypy_cache",  ".ruff_cache", ".tox",         "vendor",           ".bundle",
        ".gradle",      "target",        ".m2",         ".ivy2",        "DerivedData",      "Pods",
        "Carthage",     ".build",        ".cache",      "build",        "dist",             ".output",
        "coverage",     ".terraform"};
    return names;
}

std::set<std::string> unfoldedDirectoryPaths() {
    if (hostProfile().foldsCacheHome)
        return {};
    const char* configured = std::getenv("XDG_CACHE_HOME");
    // A relative value is invalid and ignored, as the XDG base directory rules say.
    const std::string cacheHome = configured && configured[0] == '/'
                                      ? platform::withoutTrailingSlashes(configured)
                                      : platform::joinPath(platform::homeDirectory(), ".cache");
    // Compared as written, without touching the disk: the options are made on the interface thread.
    return {cacheHome};
}

const std::set<std::string>& rootSkipNames() {
    static const std::set<std::string> names(hostProfile().rootSkipNames.begin(),
                                             hostProfile().rootSkipNames.end());
    return names;
}

int readsInFlight() {
    // The cores this process may run on: a CPU-limited container or a taskset sees fewer than the machine.
    int cores = static_cast<int>(std::thread::hardware_concurrency());
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        cores = CPU_COUNT(&allowed);
    return std::clamp(cores, 24, 32);
}

} // namespace brisklet::ScanDefaults
