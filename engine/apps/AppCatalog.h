// AppCatalog: the applications installed for the current user, read from their bundles, and their sizes.
//
// Listing looks one level deep into each root for real folders named "*.app" and reads each bundle's
// Contents/Info.plist (XML or binary). Measuring uses the directory scanner. Nothing here reports an
// error: unreadable roots and bundles are skipped or fall back, a failed scan measures 0. A stop
// request ends the measuring operations with Cancelled.
#pragma once

#include "apps/ApplicationEntry.h"
#include "scan/DiskScanner.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace brisklet::AppCatalog {

// "/Applications", then home + "/Applications".
std::vector<std::string> scanRoots(const std::string& home);

// Every bundle directly inside the roots, sizes 0, in localized case-insensitive name order (stable:
// equal names keep root order, then listing order). Blocks the calling thread.
std::vector<ApplicationEntry> listApplications(const std::vector<std::string>& roots);

// The entry for one bundle folder (symbolic links in the path followed), size 0; nothing when path
// is not a folder.
std::optional<ApplicationEntry> applicationAt(const std::string& path);

// Bytes under path, never negative; 0 when the scan fails.
std::int64_t measureSize(const std::string& path, const DiskScanner::Options& scannerOptions,
                         std::stop_token stop = {});

// The options bundles are measured with: 4 workers, the default name sets, 16 MiB large-file
// threshold, 100 large files, 8 s per folder.
DiskScanner::Options sizingOptions();

// Lists, then measures every bundle one after the other; largest first, equal sizes by name.
std::vector<ApplicationEntry> discoverApplications(const std::vector<std::string>& roots, std::stop_token stop = {});

} // namespace brisklet::AppCatalog
