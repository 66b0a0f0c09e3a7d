// ScanHistory: every finished scan remembered, so any two scans of a root can be compared.
//
// Protocol:
//  - One SQLite file (default $XDG_STATE_HOME/brisklet/scans.sqlite, mode 0600) in WAL mode with a
//    busy time-out, shared by every running program of the user. Each call opens nothing new: the
//    connection is made on first use and kept; calls from several threads are serialised.
//  - A scan is first summarised (summarize: cheap, in memory, on the scanning thread), then stored
//    (store: the database work, meant for a background thread). Storing never throws and never fails
//    the scan: it answers nothing when the scan could not be kept.
//  - What a scan keeps: the root, start and end, totals and state; every folder's bytes and file count
//    and every file of 1 MiB or more, and any smaller file that the root's previous scan kept (so a
//    file that shrank is compared as shrunk, not as gone). Paths are interned as (parent, name bytes)
//    and shared by all scans, so a later scan of the same root costs only its figures. Names are
//    bytes, never converted.
//  - Two scans compare in memory by path (compare of two snapshots). What a comparison cannot know it
//    does not claim: a file the earlier scan did not keep was then below 1 MiB or not there at all
//    (earlierBelowLargeFile: its growth is at least what it has above that size); a folder either
//    scan could not read, and everything below it, is not compared (neither new nor gone). A scan
//    that was stopped keeps its unread folders as unreadable ones, so the same holds for it.
//    A folder's difference counts only what both scans read: the bytes a not-compared folder below
//    it has in each scan are left out of that scan's side (leftOutEarlier, leftOutLater).
//    A kept file of the earlier scan that the later one lacks is gone only when the later scan was
//    summarised against that earlier one (its baseline); otherwise it may have shrunk below 1 MiB
//    (laterBelowLargeFile: it shrank by at least what it had above that size).
//    A new scan can be compared with
//    the root's newest stored scan before it is stored itself: newestSnapshot, loaded while the scan
//    runs, against snapshot(summary).
//  - One transaction per scan: a writer killed mid-way leaves the store as it was before. Retention
//    runs in the same transaction: the newest scans of each root are kept, then the oldest scans go
//    until the store fits its size.
//  - A file that is not a database, is corrupt or cannot be opened is renamed aside (never deleted)
//    and a fresh store made. A store written by a newer version is left untouched and not used.
//  - Forgetting wins over a scan finishing meanwhile: a store asked for before forgetAll began (its
//    asOf generation is older) is dropped, and forgetAll also removes the copies moved aside.
#pragma once

#include "platform/Export.h"
#include "scan/ScanRecords.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace brisklet {

// A scan in memory, flattened for storing: folders and kept files in pre-order, each naming its
// parent's index (the root names -1 and carries the whole root path as its name).
struct ScanSummary {
    struct Item {
        std::int32_t parent = -1;
        bool isDirectory = false;
        ScanState state = ScanState::complete;
        std::string name;
        std::int64_t bytes = 0;
        std::int64_t files = 0; // files counted below a folder; 1 for a file
    };
    std::string root;
    std::int64_t startedAtMs = 0; // milliseconds since the epoch
    std::int64_t finishedAtMs = 0;
    ScanTotals totals;
    ScanState state = ScanState::complete;
    bool cancelled = false; // stopped before the end: what was walked, marked so
    std::int64_t baselineId = 0; // the stored scan whose kept files this one kept too; 0 for none
    std::vector<Item> items;
};

// One stored scan.
struct StoredScan {
    std::int64_t id = 0;
    std::string root;
    std::int64_t startedAtMs = 0;
    std::int64_t finishedAtMs = 0;
    ScanTotals totals;
    ScanState state = ScanState::complete;
    bool cancelled = false;
    std::int64_t storedItems = 0; // folders and files kept
    std::int64_t baselineId = 0;  // as ScanSummary::baselineId; 0 also when not known

    bool operator==(const StoredScan&) const = default;
};

// A scan's folders and kept files with their paths, parents first: a stored scan as loaded, or a
// summary not stored yet (id 0).
struct ScanSnapshot {
    struct Item {
        std::int32_t parent = -1; // the folder above, by index; -1 for the root
        bool isDirectory = false;
        ScanState state = ScanState::complete;
        std::string path;
        std::int64_t bytes = 0;
    };
    StoredScan scan;
    std::vector<Item> items;
};

// Files of this size or more are kept one by one; smaller ones only count in their folder.
inline constexpr std::int64_t scanHistoryLargeFileBytes = 1024 * 1024;

// One folder or kept file found in either of two scans.
struct ScanChange {
    std::string path;
    bool isDirectory = false;
    std::optional<std::int64_t> earlierBytes; // nothing: not in the earlier scan ("new", unless below)
    std::optional<std::int64_t> laterBytes;   // nothing: not in the later scan ("gone", unless below)
    // A file the earlier scan did not keep although its folder was read: then smaller than the
    // large-file size, or not there.
    bool earlierBelowLargeFile = false;
    // A kept file of the earlier scan that the later one did not keep, although its folder was read
    // and it may have been kept there only as large: now smaller than the large-file size, or gone.
    bool laterBelowLargeFile = false;
    // The item, or a folder above it, could not be read in one of the scans: no change is known.
    bool notCompared = false;
    // A folder's bytes below it in not-compared folders, in each scan: not part of its difference.
    std::int64_t leftOutEarlier = 0;
    std::int64_t leftOutLater = 0;

    bool isNew() const { return !earlierBytes && !earlierBelowLargeFile && !notCompared; }
    bool isGone() const { return !laterBytes && !laterBelowLargeFile && !notCompared; }
    // Later minus earlier bytes of what both scans read; for a file that grew past or shrank below the
    // large-file size the least it can have changed by, 0 when not compared.
    std::int64_t difference() const {
        if (notCompared)
            return 0;
        if (earlierBelowLargeFile)
            return laterBytes.value_or(0) - (scanHistoryLargeFileBytes - 1);
        if (laterBelowLargeFile)
            return (scanHistoryLargeFileBytes - 1) - earlierBytes.value_or(0);
        return (laterBytes.value_or(0) - leftOutLater) - (earlierBytes.value_or(0) - leftOutEarlier);
    }
};

struct ScanComparison {
    StoredScan earlier;
    StoredScan later;
    std::vector<ScanChange> changes; // every folder and kept file of either scan, parents first
};

// What the store keeps: the newest scans of each root, then as many as fit in its size.
struct ScanHistoryLimits {
    int scansPerRoot = 20;
    std::int64_t totalBytes = 500'000'000;
};

class BRISKLET_ENGINE_EXPORT ScanHistory {
public:
    using Limits = ScanHistoryLimits;
    static constexpr std::int64_t largeFileBytes = scanHistoryLargeFileBytes;

    // $XDG_STATE_HOME/brisklet/scans.sqlite, else ~/.local/state/brisklet/scans.sqlite.
    static std::string defaultDatabasePath();
    // The form a root is stored and looked up by, so one folder has one history however it was
    // written: absolute (against the working folder), lexically clean, no trailing slash ("/" stays).
    // Links are kept as written. Bytes in, bytes out.
    static std::string rootKey(const std::string& path);

    explicit ScanHistory(std::string databasePath = defaultDatabasePath(), Limits limits = {});
    ~ScanHistory();
    ScanHistory(const ScanHistory&) = delete;
    ScanHistory& operator=(const ScanHistory&) = delete;

    const std::string& databasePath() const { return m_path; }

    // Flattens a scan of root for store(). Never touches the database. earlier: the root's newest
    // stored scan (newestSnapshot), whose files stay kept whatever their size now.
    static ScanSummary summarize(const std::string& root, const ScanResult& result, std::int64_t startedAtMs,
                                 std::int64_t finishedAtMs, bool cancelled = false,
                                 const ScanSnapshot* earlier = nullptr);
    // The summary with its paths, as compare() takes it.
    static ScanSnapshot snapshot(const ScanSummary& summary);

    // Keeps a scan in one transaction, then applies retention. The new scan's id, or nothing when it
    // could not be kept (the reason goes to the system log). Never throws. Retention keeps a root's
    // newest cancelled scan only, and lets cancelled scans go before complete ones (the one just stored
    // too: then nothing is returned).
    // asOf: generation() when the scan was handed over; when a forgetAll has begun since, the scan is
    // dropped (nothing).
    std::optional<std::int64_t> store(const ScanSummary& summary,
                                      std::optional<std::uint64_t> asOf = std::nullopt) noexcept;

    // Stored scans, newest first: all of them, or those of one root. Empty when the store is unusable,
    // and then, with reason, why. Reading never moves a store aside.
    std::vector<StoredScan> scans(const std::optional<std::string>& root = std::nullopt,
                                  std::string* reason = nullptr) noexcept;
    std::optional<StoredScan> scan(std::int64_t id) noexcept;
    // The newest scan of the same root finished before the scan with this id that is a baseline: not
    // cancelled, and complete ones before partial ones.
    std::optional<StoredScan> previousScan(std::int64_t id) noexcept;

    // The newest stored scan of root that is a baseline (as previousScan) with its folders and files.
    // Nothing when there is none or the store is unusable.
    std::optional<ScanSnapshot> newestSnapshot(const std::string& root) noexcept;

    // Every folder and kept file of either scan with its bytes in each; a path of the later scan finds
    // its earlier self by path. Nothing when either scan is not stored.
    std::optional<ScanComparison> compare(std::int64_t earlierId, std::int64_t laterId) noexcept;
    static ScanComparison compare(const ScanSnapshot& earlier, const ScanSnapshot& later);

    // Removes every stored scan, and the copies of broken stores moved aside beside it
    // ("scans.sqlite.broken-20261207-140500[.N]" and their journals; a link among them is removed, never
    // followed; a folder of such a name is left alone). False when the store could not be changed or a
    // copy could not be removed.
    bool forgetAll() noexcept;
    // How many forgetAll() calls have begun on this object. Reading it touches nothing on disk.
    std::uint64_t generation() const noexcept { return m_generation.load(); }

    // Bytes the store occupies in use (pages not free), 0 when unusable.
    std::int64_t usedBytes() noexcept;

private:
    class Database;
    // The open store. forWriting: one that cannot be opened is moved aside for a fresh one; reading
    // only refuses it (m_failure says why).
    Database* database(bool forWriting);
    bool storeLocked(Database& db, const ScanSummary& summary, std::int64_t& id);
    // The first scan a query of the scans table answers once bind has bound its parameters; with
    // withItems, its folders and files too.
    std::optional<ScanSnapshot> queryScan(const std::string& sql, const std::function<void(sqlite3_stmt*)>& bind,
                                          bool withItems) noexcept;

    std::string m_path;
    Limits m_limits;
    std::mutex m_lock;
    std::unique_ptr<Database> m_db;
    std::string m_failure; // why the store last could not be opened
    bool m_unusable = false; // written by a newer version or not creatable: leave it alone
    std::atomic<std::uint64_t> m_generation{0}; // raised under m_lock
};

} // namespace brisklet
