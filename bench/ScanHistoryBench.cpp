// scan-history-bench TREE STORE: scans TREE once as brisklet-cli does, then times, in this process,
// summarising the scan, storing it into a fresh store and into one that has it already, and comparing
// the two stored scans; prints the store's size after each. Medians of several runs.
#include "BenchTiming.h"
#include "history/ScanHistory.h"
#include "scan/DiskScanner.h"
#include "scan/ScanDefaults.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

using namespace brisklet;

namespace {

// The store's file with its write-ahead log, as it stands on disk.
double megabytesOnDisk(const std::string& path) {
    std::error_code error;
    double bytes = 0;
    for (const char* suffix : {"", "-wal"})
        if (const auto size = std::filesystem::file_size(path + suffix, error); !error)
            bytes += double(size);
    return bytes / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: scan-history-bench TREE STORE\n");
        return 2;
    }
    const std::string tree = argv[1], store = argv[2];
    DiskScanner::Options options{.maxWorkers = 2,
                                 .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
                                 .rootSkipNames = ScanDefaults::rootSkipNames(),
                                 .largeFileThresholdBytes = 16 * 1024 * 1024,
                                 .topLargeFileCount = 100,
                                 .directoryTimeoutSeconds = 15,
                                 .unfoldedDirectoryPaths = ScanDefaults::unfoldedDirectoryPaths()};
    const ScanResult result = DiskScanner(options).scan(tree, std::make_shared<ScanStats>());

    ScanSummary summary;
    const double summarizeMs = medianWallMilliseconds(5, [&] { summary = ScanHistory::summarize(tree, result, 0, 1); });
    std::printf("scan: %lld files, %lld folders; kept: %zu folders and large files\n",
                static_cast<long long>(result.totals.files), static_cast<long long>(result.totals.directories),
                summary.items.size());
    std::printf("summarise:            %8.1f ms\n", summarizeMs);

    std::vector<std::int64_t> ids;
    double firstMs = 0;
    {
        std::filesystem::remove(store);
        ScanHistory history(store);
        firstMs = medianWallMilliseconds(1, [&] { ids.push_back(history.store(summary).value_or(0)); });
    }
    const double afterFirst = megabytesOnDisk(store);
    ScanHistory history(store);
    summary.finishedAtMs = 2;
    const double laterMs = medianWallMilliseconds(5, [&] { ids.push_back(history.store(summary).value_or(0)); });
    const double usedAll = double(history.usedBytes()) / 1e6;
    std::printf("store, fresh store:   %8.1f ms   store %.2f MB on disk\n", firstMs, afterFirst);
    std::printf("store, again:         %8.1f ms   %.2f MB per later scan (%zu scans: %.2f MB in use)\n", laterMs,
                (usedAll - afterFirst) / double(ids.size() - 1), ids.size(), usedAll);

    std::size_t changes = 0;
    const double compareMs = medianWallMilliseconds(7, [&] { changes = history.compare(ids.front(), ids.back())->changes.size(); });
    std::printf("compare two scans:    %8.1f ms   (%zu folders and files)\n", compareMs, changes);
    return 0;
}
