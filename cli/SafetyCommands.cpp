// brisklet-cli trash and history: the deletion-safety engine from a terminal.
#include "CliSupport.h"
#include "Commands.h"

#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "safety/AuditLog.h"
#include "safety/PathValidator.h"
#include "safety/TrashService.h"
#include "scan/DiskScanner.h"
#include "scan/ScanRecords.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <ftw.h>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet::cli {

namespace {

const char* const trashHelp = R"(usage: brisklet-cli trash [--json] [--] PATH...

Moves each PATH to the Trash of its volume (the freedesktop.org Trash that file managers and trash-cli
use). Every path is first checked against the protected system and home locations; nothing is ever
deleted outright. Each item is recorded in the audit log (see 'brisklet-cli history').
A relative PATH is taken relative to the current folder. A symbolic link is trashed itself, not its
target.

Output: one line per PATH, in the order given:
  trashed PATH -> PLACE IN THE TRASH (SIZE)
  failed PATH: REASON
SIZE is the item's disk space (allocated blocks, a file linked twice inside it counted once). A file
with hard links outside the PATHs given frees nothing until its last link goes; when an item holds
such files, the part that emptying the Trash would give back is shown too:
  trashed PATH -> PLACE IN THE TRASH (SIZE, of which RELEASED reclaimable)

Options:
  --json    print the outcomes as a JSON array instead (releasedBytes: the reclaimable bytes);
            paths are UTF-8 text with each invalid sequence shown as U+FFFD, and where a path is
            not valid UTF-8 its exact bytes follow in base64 ("pathBytes", "trashPathBytes"),
            so that names that read the same stay apart
  --        end of options (for paths that begin with '-')

Exit status: 0 every item was moved, 1 some item failed, 2 bad arguments.
)";

const char* const historyHelp = R"(usage: brisklet-cli history [--limit N] [--json]

Shows the most recent entries of the audit log, newest first: every item moved to the Trash, put back
or permanently deleted, and every refusal, with the size recorded at the time.

Output: one line per entry:
  DATE TIME  OPERATION  RESULT  SIZE  PATH
OPERATION is trash, restore or purge; RESULT is ok, error, rejected or missing.

Options:
  --limit N   how many entries to show (default 200; 0 shows none)
  --json      print the entries as a JSON array; "timestamp" is the time in ISO 8601, UTC, with
              milliseconds (2026-03-01T09:30:00.250Z); "date" holds the same text for older scripts

Exit status: 0 success, 2 bad arguments.
)";

std::string absoluteFromHere(const std::string& path) {
    if (path.empty() || path.front() == '/')
        return path;
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer))
        return path; // refused by the validator as it stands
    return platform::joinPath(buffer, path);
}

std::string formatTime(std::chrono::system_clock::time_point time, bool utcIso) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(time_point_cast<system_clock::duration>(time));
    std::tm parts {};
    if (utcIso)
        gmtime_r(&seconds, &parts);
    else
        localtime_r(&seconds, &parts);
    char text[40];
    std::strftime(text, sizeof text, utcIso ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &parts);
    if (!utcIso)
        return text;
    const auto millis = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
    std::ostringstream out;
    out << text << '.' << std::setw(3) << std::setfill('0') << (millis < 0 ? millis + 1000 : millis) << 'Z';
    return out.str();
}

} // namespace

int trashCommand(const Args& args) {
    bool json = false;
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            std::cout << trashHelp;
            return exitOk;
        }
        if (!optionsEnded && arg == "--json")
            json = true;
        else if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (!optionsEnded && arg.size() > 1 && arg.front() == '-')
            return usageError("trash: unknown option '" + arg + "' (use -- before a path that begins with '-')");
        else
            paths.push_back(arg);
    }
    if (paths.empty())
        return usageError("trash: no PATH given (see brisklet-cli trash --help)");
    // An empty argument names no item (relative to here it would be this folder): nothing is moved.
    if (std::find(paths.begin(), paths.end(), std::string()) != paths.end())
        return usageError("trash: an empty PATH names nothing (see brisklet-cli trash --help)");

    // Sizes for the log and the report; only what may be trashed is measured (never a whole home), by the
    // scanner's rules, so the figure is the one a scan shows.
    const DiskScanner measurer(DiskScanner::Options{.maxWorkers = 2,
                                                    .foldDirectoryNames = {},
                                                    .rootSkipNames = {},
                                                    .largeFileThresholdBytes = INT64_MAX,
                                                    .topLargeFileCount = 1,
                                                    .directoryTimeoutSeconds = 8.0});
    std::vector<std::string> absolute;
    std::map<std::string, std::int64_t> sizes;
    const std::string home = platform::homeDirectory();
    for (const std::string& path : paths) {
        absolute.push_back(absoluteFromHere(path));
        if (!sizes.contains(absolute.back()) && !PathValidator::deletionRejection(absolute.back(), home))
            sizes[absolute.back()] = measurer.sizeOfItem(absolute.back());
    }

    const auto audit = AuditLog::shared();
    const std::vector<TrashOutcome> outcomes = TrashService(audit).movePathsToTrash(absolute, sizes);
    audit->flush();

    bool anyFailed = false;
    nlohmann::json document = nlohmann::json::array();
    for (const TrashOutcome& outcome : outcomes) {
        anyFailed = anyFailed || !outcome.success;
        if (json) {
            nlohmann::json item{{"path", outcome.path}, {"sizeBytes", outcome.sizeBytes}, {"success", outcome.success}};
            item["failureDescription"] = outcome.failureDescription ? nlohmann::json(*outcome.failureDescription)
                                                                    : nlohmann::json(nullptr);
            item["trashPath"] = outcome.trashPath ? nlohmann::json(*outcome.trashPath) : nlohmann::json(nullptr);
            item["releasedBytes"] = outcome.releasedBytes;
            if (const auto exact = exactBytesWhereRepaired(outcome.path))
                item["pathBytes"] = *exact;
            if (const auto exact = exactBytesWhereRepaired(outcome.trashPath.value_or("")))
                item["trashPathBytes"] = *exact;
            document.push_back(std::move(item));
        } else if (outcome.success) {
            std::cout << "trashed " << displayText(outcome.path);
            if (outcome.trashPath)
                std::cout << " -> " << displayText(*outcome.trashPath);
            std::cout << " (" << ByteFormat::humanReadable(outcome.sizeBytes);
            if (outcome.releasedBytes < outcome.sizeBytes)
                std::cout << ", of which " << ByteFormat::humanReadable(outcome.releasedBytes) << " reclaimable";
            std::cout << ")\n";
        } else {
            std::cout << "failed " << displayText(outcome.path) << ": "
                      << displayText(outcome.failureDescription.value_or("")) << '\n';
        }
    }
    if (json)
        writeJson(std::cout, document);
    std::cout.flush();
    return anyFailed ? exitSomeFailed : exitOk;
}

int historyCommand(const Args& args) {
    bool json = false;
    long long limit = 200;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << historyHelp;
            return exitOk;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--limit" || arg.rfind("--limit=", 0) == 0) {
            std::string value;
            if (arg == "--limit") {
                if (i + 1 >= args.size())
                    return usageError("history: --limit needs a number");
                value = args[++i];
            } else {
                value = arg.substr(8);
            }
            const auto count = parseCount(value);
            if (!count)
                return usageError("history: --limit takes a whole number of entries, not '" + value + "'");
            limit = *count;
        } else {
            return usageError("history: unexpected argument '" + arg + "' (see brisklet-cli history --help)");
        }
    }

    const auto audit = AuditLog::shared();
    audit->flush();
    std::vector<AuditLog::Entry> entries = audit->recentEntries(static_cast<std::size_t>(limit));
    std::reverse(entries.begin(), entries.end()); // newest first

    if (json) {
        nlohmann::json document = nlohmann::json::array();
        for (const AuditLog::Entry& entry : entries)
            document.push_back({{"timestamp", formatTime(entry.timestamp, true)},
                                {"date", formatTime(entry.timestamp, true)},
                                {"operation", entry.operation},
                                {"path", entry.path},
                                {"bytes", entry.bytes},
                                {"result", entry.result}});
        writeJson(std::cout, document);
        return exitOk;
    }
    for (const AuditLog::Entry& entry : entries)
        std::cout << formatTime(entry.timestamp, false) << "  " << std::left << std::setw(8) << entry.operation
                  << std::setw(9) << entry.result << std::right << std::setw(10)
                  << ByteFormat::humanReadable(entry.bytes) << "  " << displayText(entry.path) << '\n';
    return exitOk;
}

} // namespace brisklet::cli
