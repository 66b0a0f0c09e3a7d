// CleanCatalog: the fixed catalog of cleanable categories, and measuring them on disk.
//
// The table is rebuilt from the home folder on every call and holds no state. Measuring scans a few
// categories at a time (MeasuringPool; each category's paths one after another) and returns the
// results in catalog order. What cannot be read is left out; only a failure of the machine itself
// (no memory, no thread for a scan) ends measuring with that error. A stop request ends measuring
// with Cancelled.
#pragma once

#include "clean/CleanCategory.h"
#include "platform/Export.h"
#include "scan/DiskScanner.h"

#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace brisklet {

struct HostProfile;

namespace CleanCatalog {

// Runtime identifier -> the one build installed for it.
using RuntimeBuilds = std::map<std::string, std::string>;

// The eleven categories in table order, paths built from home by plain concatenation; on a Linux
// desktop each group is followed by its Linux categories, and places in ~/.cache and ~/.config lie in
// the XDG folders the environment names.
BRISKLET_ENGINE_EXPORT std::vector<CleanCategory> categories(const std::string& home);
// The same table with another host profile's cache locations.
BRISKLET_ENGINE_EXPORT std::vector<CleanCategory> categories(const std::string& home, const HostProfile& profile);

// "iOS 17.5" for an identifier whose last dot-separated piece is "iOS-17-5", with " (BUILD)" added
// when builds knows the identifier; nothing for an absent, empty or differently shaped identifier.
std::optional<std::string> simulatorRuntimeLabel(const std::optional<std::string>& runtime,
                                                 const RuntimeBuilds& builds);
// The same, looked up in the process-wide map.
std::optional<std::string> simulatorRuntimeLabel(const std::optional<std::string>& runtime);

// A simulator device folder renamed "NAME · LABEL" from its device.plist; unchanged when the
// property list is unreadable or names no device. Only the name changes.
FileEntry simulatorChildName(const FileEntry& entry, const RuntimeBuilds& builds);
FileEntry simulatorChildName(const FileEntry& entry);

// The two system runtime folders, in the order they are searched.
const std::vector<std::string>& simulatorRuntimeFolders();
// Walks the runtime folders for .simruntime bundles; identifiers found with two different builds
// are dropped.
RuntimeBuilds loadSimulatorRuntimeBuilds(const std::vector<std::string>& folders);
RuntimeBuilds loadSimulatorRuntimeBuilds();
// loadSimulatorRuntimeBuilds() of the system folders, built once per process on first use.
const RuntimeBuilds& simulatorRuntimeBuilds();

// Measures one category: its existing folders, their sizes and largest members. A location that is a
// symbolic link is left out; a member that is one counts as the link itself, as the scanner counts it.
CleanCategoryResult measureOne(const CleanCategory& category, const DiskScanner::Options& scannerOptions,
                               std::stop_token stop = {});
// Measures all categories at once; one result per category, in the order given.
BRISKLET_ENGINE_EXPORT
std::vector<CleanCategoryResult> measure(const std::vector<CleanCategory>& categories,
                                         const DiskScanner::Options& scannerOptions, std::stop_token stop = {});

// The direct members of one folder kept for selection.
inline constexpr std::size_t maximumChildrenPerFolder = 100;

namespace detail {
// measure() with the per-category work supplied: runs measureOne on the measuring pool and assembles
// the results in input order, whatever order they finish in. The first exception is rethrown.
std::vector<CleanCategoryResult>
measureEach(const std::vector<CleanCategory>& categories,
            const std::function<CleanCategoryResult(const CleanCategory&)>& measureOne, std::stop_token stop);
} // namespace detail

} // namespace CleanCatalog
} // namespace brisklet
