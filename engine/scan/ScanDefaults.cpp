#include "ScanDefaults.h"

#include "platform/HostProfile.h"

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

const std::set<std::string>& rootSkipNames() {
    static const std::set<std::string> names(hostProfile().rootSkipNames.begin(),
                                             hostProfile().rootSkipNames.end());
    return names;
}

} // namespace brisklet::ScanDefaults
