// brisklet-cli scans and diff: the stored scans, and what changed between two of them. The scan
// command's --compare uses the same report.
#include "CliSupport.h"
#include "Commands.h"
#include "HistoryReport.h"

#include "history/ScanHistory.h"
#include "platform/FileServices.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <unordered_map>

namespace brisklet::cli {

namespace {

const char* const scansUsage = R"(usage: brisklet-cli scans [PATH] [--json]

Lists the stored scans, newest first: all of them, or those of PATH. Each has an id for
'brisklet-cli diff'. Scans are stored by 'brisklet-cli scan' and by Brisklet in
$XDG_STATE_HOME/brisklet/scans.sqlite (~/.local/state/brisklet/ by default).

Options:
  --json               the list as JSON
  -h, --help           this text
)";

const char* const diffUsage = R"(usage: brisklet-cli diff EARLIER LATER [--top N] [--json]

Compares two stored scans (ids from 'brisklet-cli scans'): the largest changes in folders and in
files of 1 MiB or more, grown and shrunk. A folder is left out when one item below it accounts
for all of its change.

Options:
  --top N              rows per list (default 10)
  --json               the changes as JSON
  -h, --help           this text
)";

std::string displayRoot(const std::string& root) { return displayText(root); }

} // namespace

std::string formatScanTime(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "%e %b %Y, %H:%M", &local);
    return text[0] == ' ' ? text + 1 : text;
}

nlohmann::json scanJson(const StoredScan& scan) {
    nlohmann::json item{{"id", scan.id},
                        {"root", scan.root},
                        {"startedAt", scan.startedAtMs},
                        {"finishedAt", scan.finishedAtMs},
                        {"state", scan.cancelled ? "cancelled" : std::string(toRawString(scan.state))},
                        {"totals",
                         {{"files", scan.totals.files},
                          {"directories", scan.totals.directories},
                          {"bytes", scan.totals.bytes}}}};
    if (const auto exact = exactBytesWhereRepaired(scan.root))
        item["rootBytes"] = *exact;
    return item;
}

// The root's change over what both scans read; the totals only when the root is not among the changes.
static std::int64_t totalDifference(const ScanComparison& comparison) {
    for (const ScanChange& change : comparison.changes)
        if (change.path == comparison.later.root)
            return change.difference();
    return comparison.later.totals.bytes - comparison.earlier.totals.bytes;
}

std::vector<const ScanChange*> largestChanges(const ScanComparison& comparison, std::size_t top, bool grown) {
    // A folder whose whole change lies in one item below it says nothing that item does not.
    std::unordered_map<std::string, std::int64_t> differenceOf;
    differenceOf.reserve(comparison.changes.size());
    for (const ScanChange& change : comparison.changes)
        differenceOf.emplace(change.path, change.difference());
    std::unordered_map<std::string, bool> explainedByChild;
    for (const ScanChange& change : comparison.changes) {
        const auto parent = differenceOf.find(platform::parentPath(change.path));
        if (parent != differenceOf.end() && change.difference() == parent->second && parent->first != change.path)
            explainedByChild[parent->first] = true;
    }
    std::vector<const ScanChange*> picked;
    for (const ScanChange& change : comparison.changes) {
        const std::int64_t difference = change.difference();
        if ((grown ? difference > 0 : difference < 0) && !explainedByChild.contains(change.path) &&
            change.path != comparison.later.root && change.path != comparison.earlier.root)
            picked.push_back(&change);
    }
    const auto bySize = [](const ScanChange* a, const ScanChange* b) {
        const std::int64_t da = std::abs(a->difference()), db = std::abs(b->difference());
        return da != db ? da > db : a->path < b->path;
    };
    const std::size_t count = std::min(top, picked.size());
    std::partial_sort(picked.begin(), picked.begin() + static_cast<std::ptrdiff_t>(count), picked.end(), bySize);
    picked.resize(count);
    return picked;
}

void writeComparisonText(std::ostream& out, const ScanComparison& comparison, std::size_t top) {
    const std::int64_t total = totalDifference(comparison);
    // A scan that missed places leaves them out of the comparison: name it, whichever of the two.
    const auto incomplete = [](const StoredScan& scan) {
        return scan.cancelled || scan.state != ScanState::complete ? " (incomplete)" : "";
    };
    const StoredScan& later = comparison.later;
    out << "Since " << formatScanTime(comparison.earlier.finishedAtMs) << incomplete(comparison.earlier);
    if (*incomplete(later))
        out << ", to " << formatScanTime(later.finishedAtMs) << incomplete(later);
    out << ": " << (total >= 0 ? "+" : "-") << ByteFormat::humanReadable(std::abs(total)) << " in all\n";
    for (const bool grown : {true, false}) {
        const auto changes = largestChanges(comparison, top, grown);
        out << (grown ? "\nGrown:\n" : "\nShrunk:\n");
        if (changes.empty())
            out << "  (nothing)\n";
        for (const ScanChange* change : changes) {
            const std::string text = (change->difference() > 0 ? "+" : "-") +
                                     ByteFormat::humanReadable(std::abs(change->difference()));
            char size[32];
            std::snprintf(size, sizeof size, "%10s", text.c_str());
            out << "  " << size << "  " << displayText(change->path) << (change->isDirectory ? "/" : "")
                << (change->isNew()                   ? "  (new)"
                    : change->isGone()                ? "  (gone)"
                    : change->earlierBelowLargeFile ? "  (or more: under 1.05 MB before, or new)"
                    : change->laterBelowLargeFile   ? "  (or more: under 1.05 MB now, or gone)"
                                                      : "")
                << '\n';
        }
    }
}

nlohmann::json comparisonJson(const ScanComparison& comparison, std::size_t top) {
    nlohmann::json changes = nlohmann::json::array();
    for (const bool grown : {true, false}) {
        for (const ScanChange* change : largestChanges(comparison, top, grown)) {
            nlohmann::json item{{"path", change->path},
                                {"isDirectory", change->isDirectory},
                                {"earlierBytes", change->earlierBytes ? nlohmann::json(*change->earlierBytes) : nullptr},
                                {"laterBytes", change->laterBytes ? nlohmann::json(*change->laterBytes) : nullptr},
                                {"difference", change->difference()},
                                {"change", change->isNew()    ? "new"
                                           : change->isGone() ? "gone"
                                           : grown            ? "grown"
                                                              : "shrunk"}};
            if (change->earlierBelowLargeFile) // the difference is then the least it grew
                item["earlierBelowBytes"] = ScanHistory::largeFileBytes;
            if (change->laterBelowLargeFile) // the difference is then the least it shrank
                item["laterBelowBytes"] = ScanHistory::largeFileBytes;
            if (const auto exact = exactBytesWhereRepaired(change->path))
                item["pathBytes"] = *exact;
            changes.push_back(std::move(item));
        }
    }
    return {{"earlier", scanJson(comparison.earlier)},
            {"later", scanJson(comparison.later)},
            {"difference", totalDifference(comparison)},
            {"changes", std::move(changes)}};
}

int scansCommand(const Args& args) {
    std::optional<std::string> root;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            std::cout << scansUsage;
            return exitOk;
        } else if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg + " (see brisklet-cli scans --help)");
        } else if (!root) {
            root = ScanHistory::rootKey(arg);
        } else {
            return usageError("scans takes at most one PATH");
        }
    }
    ScanHistory history;
    std::string failure;
    const std::vector<StoredScan> scans = history.scans(root, &failure);
    if (!failure.empty()) {
        std::cerr << "brisklet-cli: cannot read the scan store at " << displayText(history.databasePath()) << ": "
                  << displayText(failure) << '\n';
        return exitSomeFailed;
    }
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const StoredScan& scan : scans)
            list.push_back(scanJson(scan));
        writeJson(std::cout, list);
        return exitOk;
    }
    if (scans.empty()) {
        std::cout << (root ? "No stored scans of " + displayRoot(*root) + ".\n" : std::string("No stored scans.\n"));
        return exitOk;
    }
    for (const StoredScan& scan : scans) {
        char line[160];
        std::snprintf(line, sizeof line, "%6lld  %-20s  %10s  %-9s  ", static_cast<long long>(scan.id),
                      formatScanTime(scan.finishedAtMs).c_str(), ByteFormat::humanReadable(scan.totals.bytes).c_str(),
                      scan.cancelled ? "cancelled" : std::string(toRawString(scan.state)).c_str());
        std::cout << line << displayRoot(scan.root) << '\n';
    }
    return exitOk;
}

int diffCommand(const Args& args) {
    std::vector<std::int64_t> ids;
    bool json = false;
    std::size_t top = 10;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << diffUsage;
            return exitOk;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--top") {
            const auto count = i + 1 < args.size() ? parseCount(args[++i]) : std::nullopt;
            if (!count || *count < 1 || *count > 100000)
                return usageError("--top needs a whole number from 1");
            top = static_cast<std::size_t>(*count);
        } else if (const auto id = parseCount(arg); id && ids.size() < 2) {
            ids.push_back(*id);
        } else {
            return usageError("diff takes two scan ids (see brisklet-cli diff --help)");
        }
    }
    if (ids.size() != 2)
        return usageError("diff takes two scan ids (see brisklet-cli scans)");
    ScanHistory history;
    const auto comparison = history.compare(ids[0], ids[1]);
    if (!comparison)
        return usageError("no stored scan " + std::to_string(history.scan(ids[0]) ? ids[1] : ids[0]) +
                          " (see brisklet-cli scans)");
    if (comparison->earlier.root != comparison->later.root)
        return usageError("scans " + std::to_string(ids[0]) + " and " + std::to_string(ids[1]) +
                          " are of different folders");
    if (json) {
        writeJson(std::cout, comparisonJson(*comparison, top));
        return exitOk;
    }
    std::cout << displayRoot(comparison->later.root) << '\n';
    writeComparisonText(std::cout, *comparison, top);
    return exitOk;
}

} // namespace brisklet::cli
