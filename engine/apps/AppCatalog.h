// AppCatalog: the applications installed for the current user, read from their bundles, and their sizes.
//
// Listing looks one level deep into each root for real folders named "*.app" and reads each bundle's
// Contents/Info.plist (XML or binary); on a Linux desktop the same roots also yield AppImages,
// home-installed application folders and package-managed applications (HomeApplications.h).
// Measuring uses the directory scanner; a bundle that is a file measures its own blocks. Nothing here
// reports an error: unreadable roots and bundles are skipped or fall back, a failed scan measures 0. A
// stop request ends the measuring operations with Cancelled.
#pragma once

#include "apps/ApplicationEntry.h"
#include "platform/Export.h"
#include "scan/DiskScanner.h"

#include <cstdint>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace brisklet {
struct HostProfile;
}

namespace brisklet::AppCatalog {

// The profile's roots: "/Applications", then home + "/Applications"; on a Linux desktop the home
// folders of AppImages and installed applications, then the folders of desktop entries.
BRISKLET_ENGINE_EXPORT std::vector<std::string> scanRoots(const std::string& home);
std::vector<std::string> scanRoots(const std::string& home, const HostProfile& profile);

// Every bundle directly inside the roots, sizes 0, in localized case-insensitive name order (stable:
// equal names keep root order, then listing order). Blocks the calling thread.
BRISKLET_ENGINE_EXPORT std::vector<ApplicationEntry> listApplications(const std::vector<std::string>& roots);

// The entry for one bundle (symbolic links in the path followed), size 0, as listing the current
// user's roots finds it. On a Linux desktop only what that listing finds, or an AppImage, is an
// application; elsewhere any folder is read as a bundle. Nothing for anything else.
BRISKLET_ENGINE_EXPORT std::optional<ApplicationEntry> applicationAt(const std::string& path);

// The identifiers of the listed applications that run now: a process's executable lies in the bundle.
BRISKLET_ENGINE_EXPORT
std::set<std::string> runningBundleIDs(const std::vector<ApplicationEntry>& applications);

// Bytes under path, never negative; 0 when the scan fails.
BRISKLET_ENGINE_EXPORT
std::int64_t measureSize(const std::string& path, const DiskScanner::Options& scannerOptions,
                         std::stop_token stop = {});

// The options bundles are measured with: 4 workers, the default name sets, 16 MiB large-file
// threshold, 100 large files, 8 s per folder.
BRISKLET_ENGINE_EXPORT DiskScanner::Options sizingOptions();

// Lists, then measures every bundle one after the other; largest first, equal sizes by name.
BRISKLET_ENGINE_EXPORT
std::vector<ApplicationEntry> discoverApplications(const std::vector<std::string>& roots, std::stop_token stop = {});

} // namespace brisklet::AppCatalog
