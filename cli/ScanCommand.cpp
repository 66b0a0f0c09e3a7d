// brisklet-cli scan: where the space goes under a folder.
#include "CliSupport.h"
#include "Commands.h"
#include "HistoryReport.h"

#include "history/ScanHistory.h"
#include "platform/FileServices.h"
#include "scan/DiskScanner.h"
#include "scan/ScanDefaults.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace brisklet::cli {

namespace {

const char* const scanUsage = R"(usage: brisklet-cli scan PATH [options]

Walks PATH and reports the space on disk below it: totals, the largest items directly
under PATH with their share, and the largest files. Never crosses into another mounted
file system; known tool folders (.git, node_modules, build, ...) are measured as one item.
The scan is stored (every folder's size and the files of 1 MiB or more) in
$XDG_STATE_HOME/brisklet/scans.sqlite, so later scans can be compared with it.

Options:
  --json [FILE]        write the whole result as JSON to FILE, or to stdout without FILE or with -;
                       names and paths are UTF-8 text, with each invalid sequence shown as U+FFFD, and
                       an entry whose path is not valid UTF-8 also has "pathBytes": the path's exact
                       bytes in base64 (its name is the part after the last "/")
  --top N              rows per list in the text output (default 10)
  --workers N          folders read at the same time (default: 24, or the active cores where more)
  --timeout SECONDS    time allowed for reading one folder (default 15)
  --no-fold            keep the contents of tool folders as separate items
  --compare            also print the largest changes since PATH's previous stored scan, grown and
                       shrunk (with --json: under "comparison", null when there is none)
  --no-history         do not store this scan (stored scans: brisklet-cli scans)
  -h, --help           this text

Progress (files, bytes, current folder) is shown on stderr when it is a terminal.

Exit status: 0 every folder was read; 1 some folders could not be read or did not answer in
time (the scan still finishes, reports them and gives lower-bound sizes), or the output could not
be written; 2 bad arguments, PATH is missing or not a folder, or FILE cannot be written.
)";

DiskScanner::Options defaultOptions() {
    return DiskScanner::Options{
        .maxWorkers = ScanDefaults::readsInFlight(),
        .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
        .rootSkipNames = ScanDefaults::rootSkipNames(),
        .largeFileThresholdBytes = 16 * 1024 * 1024,
        .topLargeFileCount = 100,
        .directoryTimeoutSeconds = 15,
        .unfoldedDirectoryPaths = ScanDefaults::unfoldedDirectoryPaths(),
    };
}

void writeJsonString(std::ostream& out, const std::string& bytes) {
    const std::string text = displayText(bytes);
    out << '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        case '\t':
            out << "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out << escaped;
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

void writeEntryFields(std::ostream& out, const FileEntry& e) {
    out << "\"name\":";
    writeJsonString(out, e.name);
    out << ",\"path\":";
    const std::string path = e.path();
    writeJsonString(out, path);
    if (const auto exact = exactBytesWhereRepaired(path))
        out << ",\"pathBytes\":\"" << *exact << '"';
    out << ",\"sizeBytes\":" << e.sizeBytes << ",\"isDirectory\":" << (e.isDirectory ? "true" : "false")
        << ",\"state\":\"" << toRawString(e.state) << '"';
}

// Streams the tree depth-first; a node has "children" only when it was descended into. An explicit
// stack of open folders: a chain of folders may be deeper than the stack.
void writeNode(std::ostream& out, const ScanNode& top) {
    struct OpenFolder {
        const ScanNode* node;
        std::size_t next;
    };
    std::vector<OpenFolder> open;
    const auto start = [&out, &open](const ScanNode& node) {
        out << '{';
        writeEntryFields(out, node.entry);
        if (node.children) {
            out << ",\"children\":[";
            open.push_back({&node, 0});
        } else {
            out << '}';
        }
    };
    start(top);
    while (!open.empty()) {
        OpenFolder& folder = open.back();
        if (folder.next < folder.node->children->size()) {
            if (folder.next > 0)
                out << ',';
            start((*folder.node->children)[folder.next++]);
            continue;
        }
        out << "]}";
        open.pop_back();
    }
}

void writeResultJson(std::ostream& out, const ScanResult& result, const nlohmann::json* comparison) {
    out << "{\"root\":";
    writeNode(out, result.root);
    out << ",\"largeFiles\":[";
    for (std::size_t i = 0; i < result.largeFiles.size(); ++i) {
        out << (i ? ",{" : "{");
        writeEntryFields(out, result.largeFiles[i]);
        out << '}';
    }
    out << "],\"totals\":{\"files\":" << result.totals.files << ",\"directories\":" << result.totals.directories
        << ",\"bytes\":" << result.totals.bytes << "},\"state\":\"" << toRawString(result.state) << '"';
    if (comparison)
        out << ",\"comparison\":" << comparison->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out << "}\n";
}

std::string plural(std::int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void writeText(std::ostream& out, const ScanResult& result, const ScanProgress& progress, std::size_t top) {
    const std::int64_t total = std::max<std::int64_t>(result.root.entry.sizeBytes, 0);
    out << displayText(result.root.entry.path()) << ": " << ByteFormat::humanReadable(total) << " in "
        << plural(result.totals.files, "file") << " and " << plural(result.totals.directories, "folder") << '\n';
    out << "State: " << toRawString(result.state);
    if (result.state == ScanState::partial)
        out << " (" << plural(progress.permissionDenials, "folder") << " refused, "
            << plural(progress.timedOutDirectories, "folder") << " timed out)";
    out << '\n';

    if (result.root.children && !result.root.children->empty()) {
        std::vector<const ScanNode*> children;
        for (const ScanNode& child : *result.root.children)
            children.push_back(&child);
        std::stable_sort(children.begin(), children.end(), [](const ScanNode* a, const ScanNode* b) {
            return a->entry.sizeBytes > b->entry.sizeBytes;
        });
        out << "\nLargest items:\n";
        for (std::size_t i = 0; i < std::min(top, children.size()); ++i) {
            const FileEntry& e = children[i]->entry;
            char share[16];
            std::snprintf(share, sizeof share, "%5.1f%%", total > 0 ? 100.0 * double(e.sizeBytes) / double(total) : 0.0);
            char size[24];
            std::snprintf(size, sizeof size, "%10s", ByteFormat::humanReadable(e.sizeBytes).c_str());
            out << "  " << size << "  " << share << "  " << displayText(e.name) << (e.isDirectory ? "/" : "")
                << (e.state == ScanState::unavailable ? "  (unreadable)" : "") << '\n';
        }
    }
    if (!result.largeFiles.empty()) {
        out << "\nLargest files:\n";
        for (std::size_t i = 0; i < std::min(top, result.largeFiles.size()); ++i) {
            char size[24];
            std::snprintf(size, sizeof size, "%10s", ByteFormat::humanReadable(result.largeFiles[i].sizeBytes).c_str());
            out << "  " << size << "  " << displayText(result.largeFiles[i].path()) << '\n';
        }
    }
}

// Rewrites one status line on the terminal while the scan runs.
class ProgressLine {
public:
    explicit ProgressLine(std::shared_ptr<ScanStats> stats) : m_stats(std::move(stats)) {
        m_thread = std::thread([this] { loop(); });
    }
    ~ProgressLine() {
        {
            std::lock_guard lock(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }

private:
    void loop() {
        std::unique_lock lock(m_lock);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(150), [this] { return m_stop; })) {
            const ScanProgress p = m_stats->snapshot();
            winsize ws{};
            const std::size_t width = ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20 ? ws.ws_col : 80;
            std::string line = std::to_string(p.files) + " files, " + ByteFormat::humanReadable(p.bytes) + "  " +
                               displayText(p.currentPath);
            if (line.size() > width - 1)
                line = line.substr(0, width - 1);
            std::fprintf(stderr, "\r\033[K%s", line.c_str());
            std::fflush(stderr);
        }
    }

    std::shared_ptr<ScanStats> m_stats;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

bool isOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// Whether an argument from index `from` on is a PATH rather than an option or an option's value.
bool pathFollows(const Args& args, std::size_t from) {
    for (std::size_t j = from; j < args.size(); ++j) {
        if (args[j] == "--top" || args[j] == "--workers" || args[j] == "--timeout")
            ++j;
        else if (!isOption(args[j]))
            return true;
    }
    return false;
}

} // namespace

int scanCommand(const Args& args) {
    DiskScanner::Options options = defaultOptions();
    std::optional<std::string> path;
    std::optional<std::string> jsonTarget;
    std::size_t top = 10;
    bool remember = true;
    bool compare = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            (void)what;
            return args[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << scanUsage;
            return exitOk;
        } else if (arg == "--json") {
            jsonTarget = "-";
            // The file is optional: take the next argument only when it is not an option and a PATH was
            // given before it or still follows it.
            if (i + 1 < args.size() && !isOption(args[i + 1]) && (path || pathFollows(args, i + 2)))
                jsonTarget = args[++i];
        } else if (arg == "--top" || arg == "--workers") {
            const auto text = value(arg.c_str());
            const auto count = text ? parseCount(*text) : std::nullopt;
            if (!count || *count < 1 || *count > 100000)
                return usageError(arg + " needs a whole number from 1");
            if (arg == "--top")
                top = static_cast<std::size_t>(*count);
            else
                options.maxWorkers = static_cast<int>(std::min<long long>(*count, 256));
        } else if (arg == "--timeout") {
            const auto text = value("--timeout");
            const auto seconds = text ? parseSeconds(*text) : std::nullopt;
            if (!seconds)
                return usageError("--timeout needs a positive number of seconds");
            options.directoryTimeoutSeconds = *seconds;
        } else if (arg == "--no-fold") {
            options.foldDirectoryNames.clear();
        } else if (arg == "--no-history") {
            remember = false;
        } else if (arg == "--compare") {
            compare = true;
        } else if (isOption(arg)) {
            return usageError("unknown option " + arg + " (see brisklet-cli scan --help)");
        } else if (!path) {
            path = arg;
        } else {
            return usageError("scan takes one PATH");
        }
    }
    if (!path || path->empty())
        return usageError("scan needs a PATH (see brisklet-cli scan --help)");
    if (compare && !remember)
        return usageError("--compare needs the scan stored: leave out --no-history");

    const std::string root = ScanHistory::rootKey(*path);
    if (!platform::exists(root))
        return usageError(root + ": no such file or folder");
    if (!platform::existsAndIsFolder(root))
        return usageError(root + ": not a folder");

    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t startedAt = now();
    auto stats = std::make_shared<ScanStats>();
    ScanResult result;
    // The root's previous scan is read while this one runs: the files it kept stay kept.
    ScanHistory history;
    std::optional<ScanSnapshot> earlier;
    std::jthread reading;
    if (remember)
        reading = std::jthread([&history, &earlier, &root] { earlier = history.newestSnapshot(root); });
    try {
        std::optional<ProgressLine> progress;
        if (isatty(STDERR_FILENO))
            progress.emplace(stats);
        result = DiskScanner(options).scan(root, stats);
    } catch (const DiskScanner::ScanError& error) {
        return usageError(error.path() + ": no longer a folder");
    }

    // As du does: the figures are still printed, but places that could not be read make it a failure.
    const ScanProgress progress = stats->snapshot();
    const bool incomplete =
        result.state != ScanState::complete || progress.permissionDenials > 0 || progress.timedOutDirectories > 0;
    if (incomplete)
        std::cerr << "brisklet-cli: " << plural(progress.permissionDenials, "folder") << " could not be read, "
                  << plural(progress.timedOutDirectories, "folder") << " timed out; sizes are lower bounds\n";
    const int status = incomplete ? exitSomeFailed : exitOk;

    // Stored while the report is written; never a reason for the scan to fail.
    std::optional<std::int64_t> storedId;
    std::jthread storing;
    if (remember) {
        // The report only reads the result, so it is summarised on the storing thread as well.
        storing = std::jthread([&, finishedAt = now()] {
            reading.join();
            storedId = history.store(ScanHistory::summarize(root, result, startedAt, finishedAt, false,
                                                            earlier ? &*earlier : nullptr));
        });
    }

    // One line when the scan could not be kept; the scan's own exit status stands.
    const auto waitForStoring = [&] {
        if (!storing.joinable())
            return;
        storing.join();
        if (!storedId)
            std::cerr << "brisklet-cli: the scan could not be stored in " << displayText(history.databasePath())
                      << (compare ? ", so there is nothing to compare it with\n" : "\n");
    };
    std::optional<ScanComparison> comparison;
    if (compare) {
        waitForStoring();
        const auto previous = storedId ? history.previousScan(*storedId) : std::nullopt;
        if (previous)
            comparison = history.compare(previous->id, *storedId);
    }
    std::optional<nlohmann::json> comparisonDocument;
    if (compare)
        comparisonDocument = comparison ? comparisonJson(*comparison, top) : nlohmann::json(nullptr);
    const nlohmann::json* comparisonMember = comparisonDocument ? &*comparisonDocument : nullptr;

    if (jsonTarget) {
        if (*jsonTarget == "-") {
            writeResultJson(std::cout, result, comparisonMember);
            waitForStoring();
            return std::cout ? status : exitSomeFailed;
        }
        std::ofstream out(*jsonTarget, std::ios::binary | std::ios::trunc);
        if (out)
            writeResultJson(out, result, comparisonMember);
        if (!out.flush())
            return usageError("cannot write " + *jsonTarget);
    }
    writeText(std::cout, result, progress, top);
    waitForStoring();
    if (compare && storedId) {
        std::cout << '\n';
        if (comparison)
            writeComparisonText(std::cout, *comparison, top);
        else
            std::cout << "No earlier scan of " << displayText(root) << " to compare with.\n";
    }
    return status;
}

} // namespace brisklet::cli
