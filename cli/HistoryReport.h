// The report of what changed between two stored scans, shared by brisklet-cli scan --compare and diff.
#pragma once

#include "history/ScanHistory.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace brisklet::cli {

// "3 Dec 2026, 14:05" in local time.
std::string formatScanTime(std::int64_t ms);
nlohmann::json scanJson(const StoredScan& scan);
// The top largest growths (or shrinkages), leaving out the roots and any folder whose whole change
// lies in one item below it.
std::vector<const ScanChange*> largestChanges(const ScanComparison& comparison, std::size_t top, bool grown);
void writeComparisonText(std::ostream& out, const ScanComparison& comparison, std::size_t top);
nlohmann::json comparisonJson(const ScanComparison& comparison, std::size_t top);

} // namespace brisklet::cli
