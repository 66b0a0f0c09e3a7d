#include "ScanHistory.h"

#include "platform/FileServices.h"
#include "platform/SystemLog.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace brisklet {

namespace {

constexpr int schemaVersion = 2;
constexpr int busyTimeoutMs = 10'000;

// Schema steps: migrations[v] brings a store of version v to v + 1. Only ever append.
const char* const migrations[] = {
    // 0 -> 1
    "CREATE TABLE paths(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name BLOB NOT NULL,"
    "  UNIQUE(parent, name));"
    "CREATE TABLE scans(id INTEGER PRIMARY KEY, root BLOB NOT NULL, rootPath INTEGER NOT NULL,"
    "  startedAt INTEGER NOT NULL, finishedAt INTEGER NOT NULL, state TEXT NOT NULL,"
    "  cancelled INTEGER NOT NULL, files INTEGER NOT NULL, directories INTEGER NOT NULL,"
    "  bytes INTEGER NOT NULL, items INTEGER NOT NULL);"
    "CREATE INDEX scansByRoot ON scans(root, finishedAt);"
    // kind: bit 0 folder, bits 1-2 the state.
    "CREATE TABLE items(scan INTEGER NOT NULL, path INTEGER NOT NULL, bytes INTEGER NOT NULL,"
    "  files INTEGER NOT NULL, kind INTEGER NOT NULL, PRIMARY KEY(scan, path)) WITHOUT ROWID;",
    // 1 -> 2: the scan whose kept files a scan kept too (0: none, or not known).
    "ALTER TABLE scans ADD COLUMN baseline INTEGER NOT NULL DEFAULT 0;",
};
static_assert(std::size(migrations) == schemaVersion);

// A failure of SQLite, with its code, so callers can tell a corrupt file from a busy one.
struct SqliteError : std::runtime_error {
    SqliteError(int code, const std::string& text) : std::runtime_error(text), code(code) {}
    int code;
};

bool meansUnusableFile(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_CANTOPEN;
}

int kindOf(bool isDirectory, ScanState state) {
    return (isDirectory ? 1 : 0) | (static_cast<int>(state) << 1);
}

} // namespace

// The connection and its prepared statements.
class ScanHistory::Database {
public:
    explicit Database(const std::string& path) {
        const int rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                                                SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            const std::string text = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw SqliteError(rc, text);
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, busyTimeoutMs);
    }
    ~Database() {
        for (auto& [sql, statement] : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const char* sql) {
        char* message = nullptr;
        const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            const std::string text = message ? message : sqlite3_errstr(rc);
            sqlite3_free(message);
            throw SqliteError(rc, text);
        }
    }

    // A cached statement, reset and unbound, ready for binding.
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt*& statement = m_statements[sql];
        if (!statement) {
            check(sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr));
        } else {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
        }
        return statement;
    }

    // SQLITE_ROW: true, SQLITE_DONE: false, anything else throws.
    bool step(sqlite3_stmt* statement) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        check(rc);
        return false;
    }

    std::int64_t singleInteger(const char* sql) {
        sqlite3_stmt* s = prepare(sql);
        const std::int64_t value = step(s) ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_reset(s);
        return value;
    }

    void check(int rc) {
        if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
            throw SqliteError(sqlite3_extended_errcode(m_db), sqlite3_errmsg(m_db));
    }

    sqlite3* handle() { return m_db; }

private:
    sqlite3* m_db = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements; // keyed by the literal's address
};

namespace {

// A write transaction, taken at once so two writers queue on the busy time-out instead of failing
// on an upgrade; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) { run("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        run("COMMIT");
        m_done = true;
    }

private:
    void run(const char* sql) {
        const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw SqliteError(sqlite3_extended_errcode(m_db), sqlite3_errmsg(m_db));
    }
    sqlite3* m_db;
    bool m_done = false;
};

std::string blobColumn(sqlite3_stmt* s, int column) {
    const void* data = sqlite3_column_blob(s, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(sqlite3_column_bytes(s, column)))
                : std::string();
}

void bindBlob(sqlite3_stmt* s, int index, const std::string& bytes) {
    // A zero-length blob must still be a blob, not NULL.
    sqlite3_bind_blob(s, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

// Columns: id, root, startedAt, finishedAt, state, cancelled, files, directories, bytes, items, baseline.
constexpr const char* scanColumns =
    "id, root, startedAt, finishedAt, state, cancelled, files, directories, bytes, items, baseline";

StoredScan readScan(sqlite3_stmt* s) {
    StoredScan scan;
    scan.id = sqlite3_column_int64(s, 0);
    scan.root = blobColumn(s, 1);
    scan.startedAtMs = sqlite3_column_int64(s, 2);
    scan.finishedAtMs = sqlite3_column_int64(s, 3);
    const auto* state = reinterpret_cast<const char*>(sqlite3_column_text(s, 4));
    scan.state = scanStateFromRawString(state ? state : "").value_or(ScanState::partial);
    scan.cancelled = sqlite3_column_int(s, 5) != 0;
    scan.totals = {sqlite3_column_int64(s, 6), sqlite3_column_int64(s, 7), sqlite3_column_int64(s, 8)};
    scan.storedItems = sqlite3_column_int64(s, 9);
    scan.baselineId = sqlite3_column_int64(s, 10);
    return scan;
}

// Renames the broken store to a name beside it that nothing uses yet,
// "scans.sqlite.broken-20261207-140500[.N]", with its journal files. The rename itself refuses an
// existing name, so an earlier broken copy is never replaced. False when it could not be moved.
bool moveAside(const std::string& path, std::string& aside) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".broken-" + stamp;
    aside = base;
    struct stat st{};
    for (int n = 2; n < 1000; aside = base + "." + std::to_string(n++)) {
        if (lstat((aside + "-wal").c_str(), &st) == 0)
            continue;
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            for (const char* suffix : {"-wal", "-shm"})
                renameat2(AT_FDCWD, (path + suffix).c_str(), AT_FDCWD, (aside + suffix).c_str(), RENAME_NOREPLACE);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    errno = EEXIST;
    return false;
}

// Whether name is one moveAside gives a copy of the store named base: base, ".broken-", a
// YYYYMMDD-HHMMSS stamp, maybe ".N", maybe "-wal" or "-shm". Nothing else beside the store is ours.
bool isMovedAsideName(std::string_view name, std::string_view base) {
    constexpr std::string_view marker = ".broken-";
    const auto isDigits = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!name.starts_with(base) || !name.substr(base.size()).starts_with(marker))
        return false;
    name.remove_prefix(base.size() + marker.size());
    if (name.ends_with("-wal") || name.ends_with("-shm"))
        name.remove_suffix(4);
    if (name.size() < 15 || !isDigits(name.substr(0, 8)) || name[8] != '-' || !isDigits(name.substr(9, 6)))
        return false;
    name.remove_prefix(15);
    return name.empty() || (name.size() <= 4 && name.front() == '.' && isDigits(name.substr(1)));
}

// Removes the copies moveAside left beside the store at path, by name relative to the folder's
// descriptor: a link is removed itself, never followed, and a folder is left with what it holds.
bool removeMovedAsideCopies(const std::string& path) {
    const std::string folder = platform::parentPath(path);
    const std::string base = path.substr(path.rfind('/') + 1);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT; // no folder: nothing was moved aside
    DIR* dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names; // read first: removing while reading may skip names
    while (const dirent* entry = readdir(dir))
        if (isMovedAsideName(entry->d_name, base))
            names.emplace_back(entry->d_name);
    bool removed = true;
    for (const std::string& name : names) {
        struct stat st{};
        if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
            continue;
        if (unlinkat(dirfd(dir), name.c_str(), 0) != 0 && errno != ENOENT) {
            systemLogDebug("scan history: cannot remove " + platform::joinPath(folder, name) + ": " + std::strerror(errno));
            removed = false;
        }
    }
    closedir(dir);
    return removed;
}

} // namespace

std::string ScanHistory::rootKey(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error)
        absolute = path;
    return platform::withoutTrailingSlashes(absolute.lexically_normal().string());
}

std::string ScanHistory::defaultDatabasePath() {
    return platform::joinPath(platform::joinPath(platform::stateDirectory(), "brisklet"), "scans.sqlite");
}

ScanHistory::ScanHistory(std::string databasePath, Limits limits)
    : m_path(std::move(databasePath)), m_limits(limits) {}

ScanHistory::~ScanHistory() = default;

ScanSummary ScanHistory::summarize(const std::string& root, const ScanResult& result, std::int64_t startedAtMs,
                                   std::int64_t finishedAtMs, bool cancelled, const ScanSnapshot* earlier) {
    ScanSummary summary;
    summary.root = root;
    summary.startedAtMs = startedAtMs;
    summary.finishedAtMs = finishedAtMs;
    summary.totals = result.totals;
    summary.state = result.state;
    summary.cancelled = cancelled;
    summary.baselineId = earlier ? earlier->scan.id : 0;

    // The files the earlier scan kept, and the folders they lie in: a small file is looked up only
    // in those folders.
    std::unordered_set<std::string_view> keptFiles;
    std::unordered_set<std::string_view> keptFolders;
    if (earlier) {
        for (const ScanSnapshot::Item& item : earlier->items) {
            if (item.isDirectory || item.parent < 0)
                continue;
            keptFiles.insert(item.path);
            keptFolders.insert(earlier->items[static_cast<std::size_t>(item.parent)].path);
        }
    }

    // Pre-order, so a parent's index is always below its children's; file counts are added up on
    // the way back. An explicit stack of open folders: a chain of folders may be deeper than the stack.
    // Paths are made only when small files may have to be kept.
    auto& items = summary.items;
    const bool withPaths = !keptFiles.empty();
    const auto place = [&items](const ScanNode& node, std::int32_t parent, std::string name) {
        const FileEntry& entry = node.entry;
        items.push_back({parent, entry.isDirectory, entry.state, std::move(name), entry.sizeBytes,
                         entry.isDirectory ? 0 : 1});
        return static_cast<std::int32_t>(items.size() - 1);
    };
    struct OpenFolder {
        const ScanNode* node;
        std::int32_t index;
        std::size_t next;
        std::int64_t files;
        std::string path;
        bool keepsSmall;
    };
    std::vector<OpenFolder> open;
    const std::int32_t top = place(result.root, -1, root);
    if (result.root.entry.isDirectory)
        open.push_back({&result.root, top, 0, 0, root, withPaths && keptFolders.contains(root)});
    while (!open.empty()) {
        OpenFolder& folder = open.back();
        if (folder.node->children && folder.next < folder.node->children->size()) {
            const ScanNode& child = (*folder.node->children)[folder.next++];
            const bool kept = child.entry.isDirectory || child.entry.sizeBytes >= largeFileBytes;
            if (!kept && !folder.keepsSmall) {
                ++folder.files;
                continue;
            }
            std::string childPath = withPaths ? platform::joinPath(folder.path, child.entry.name) : std::string();
            if (child.entry.isDirectory) {
                const std::int32_t index = place(child, folder.index, child.entry.name);
                const bool keepsSmall = withPaths && keptFolders.contains(childPath);
                open.push_back({&child, index, 0, 0, std::move(childPath), keepsSmall});
                continue;
            }
            if (kept || keptFiles.contains(childPath))
                place(child, folder.index, child.entry.name);
            ++folder.files;
            continue;
        }
        const std::int64_t files = folder.files;
        items[static_cast<std::size_t>(folder.index)].files = files;
        open.pop_back();
        if (!open.empty())
            open.back().files += files;
    }
    return summary;
}

ScanSnapshot ScanHistory::snapshot(const ScanSummary& summary) {
    ScanSnapshot snapshot;
    snapshot.scan = {0, summary.root, summary.startedAtMs, summary.finishedAtMs, summary.totals, summary.state,
                     summary.cancelled, static_cast<std::int64_t>(summary.items.size()), summary.baselineId};
    snapshot.items.reserve(summary.items.size());
    for (const ScanSummary::Item& item : summary.items) {
        std::string path = item.parent < 0 ? item.name
                                           : platform::joinPath(snapshot.items[static_cast<std::size_t>(item.parent)].path,
                                                                item.name);
        snapshot.items.push_back({item.parent, item.isDirectory, item.state, std::move(path), item.bytes});
    }
    return snapshot;
}

ScanHistory::Database* ScanHistory::database(bool forWriting) {
    if (m_db)
        return m_db.get();
    if (m_unusable)
        return nullptr;

    const std::string folder = platform::parentPath(m_path);
    if (!folder.empty() && !platform::createDirectories(folder, 0700)) {
        m_failure = std::string("cannot make its folder: ") + std::strerror(errno);
        systemLogDebug("scan history: cannot make " + folder + ": " + std::strerror(errno));
        return nullptr;
    }

    // Opens and brings the schema up to date; throws SqliteError.
    const auto open = [this]() -> std::unique_ptr<Database> {
        // Made here first so that the store and its journal files are the user's alone. Opened without
        // blocking, so a pipe put in its place is seen for what it is instead of waited on.
        const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd >= 0) {
            struct stat st{};
            const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
            if (regular && st.st_uid == geteuid() && (st.st_mode & 0077))
                fchmod(fd, 0600);
            ::close(fd);
            if (!regular)
                throw SqliteError(SQLITE_CANTOPEN, "not a regular file");
        } else if (errno == EISDIR || errno == ELOOP) {
            throw SqliteError(SQLITE_CANTOPEN, errno == ELOOP ? "a symbolic link" : "not a regular file");
        }
        auto db = std::make_unique<Database>(m_path);
        const bool fresh = db->singleInteger("PRAGMA page_count") == 0;
        if (fresh)
            db->exec("PRAGMA auto_vacuum=INCREMENTAL");
        db->exec("PRAGMA journal_mode=WAL");
        db->exec("PRAGMA synchronous=NORMAL");
        db->exec("PRAGMA foreign_keys=OFF");
        Transaction transaction(db->handle());
        const std::int64_t version = db->singleInteger("PRAGMA user_version");
        if (version > schemaVersion) {
            m_unusable = true;
            m_failure = "written by a newer version";
            systemLogDebug("scan history: " + m_path + " is of a newer version; left alone");
            return nullptr;
        }
        for (std::int64_t v = version; v < schemaVersion; ++v)
            db->exec(migrations[v]);
        if (version != schemaVersion)
            db->exec(("PRAGMA user_version=" + std::to_string(schemaVersion)).c_str());
        // Reads the schema and a page of every table: a file that is not a database or is damaged
        // where it starts fails here.
        db->singleInteger("SELECT count(*) FROM (SELECT 1 FROM scans LIMIT 1)");
        transaction.commit();
        return db;
    };

    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            m_db = open();
            return m_db.get();
        } catch (const SqliteError& error) {
            m_failure = error.what();
            if (attempt > 0 || !forWriting || !meansUnusableFile(error.code)) {
                systemLogDebug("scan history: cannot open " + m_path + ": " + error.what());
                return nullptr;
            }
            // Renamed, never deleted: whatever it holds stays for the user to look at.
            std::string aside;
            if (!moveAside(m_path, aside)) {
                systemLogDebug("scan history: cannot move " + m_path + " aside: " + std::strerror(errno));
                return nullptr;
            }
            systemLogDebug("scan history: " + m_path + " was unusable (" + error.what() + "); moved to " + aside);
        }
    }
    return nullptr;
}

bool ScanHistory::storeLocked(Database& db, const ScanSummary& summary, std::int64_t& id) {
    Transaction transaction(db.handle());

    // The paths this root already has, from its newest scan: a later scan finds nearly all of its
    // paths here and asks the database only for new ones.
    std::unordered_map<std::string, std::int64_t> known;
    const auto key = [](std::int64_t parent, const std::string& name) {
        std::string k(reinterpret_cast<const char*>(&parent), sizeof parent);
        k += name;
        return k;
    };
    {
        sqlite3_stmt* s = db.prepare(
            "SELECT p.parent, p.name, p.id FROM items i JOIN paths p ON p.id = i.path WHERE i.scan ="
            " (SELECT id FROM scans WHERE root = ?1 ORDER BY finishedAt DESC, id DESC LIMIT 1)");
        bindBlob(s, 1, summary.root);
        while (db.step(s))
            known.emplace(key(sqlite3_column_int64(s, 0), blobColumn(s, 1)), sqlite3_column_int64(s, 2));
    }

    std::vector<std::int64_t> pathIds(summary.items.size());
    sqlite3_stmt* intern = nullptr;
    sqlite3_stmt* insertItem = nullptr;
    for (std::size_t i = 0; i < summary.items.size(); ++i) {
        const ScanSummary::Item& item = summary.items[i];
        const std::int64_t parent = item.parent < 0 ? 0 : pathIds[static_cast<std::size_t>(item.parent)];
        std::int64_t pathId = 0;
        if (const auto found = known.find(key(parent, item.name)); found != known.end()) {
            pathId = found->second;
        } else {
            intern = db.prepare("INSERT INTO paths(parent, name) VALUES(?1, ?2) ON CONFLICT(parent, name)"
                                " DO UPDATE SET parent = excluded.parent RETURNING id");
            sqlite3_bind_int64(intern, 1, parent);
            bindBlob(intern, 2, item.name);
            if (!db.step(intern))
                throw SqliteError(SQLITE_ERROR, "no id for a path");
            pathId = sqlite3_column_int64(intern, 0);
            sqlite3_reset(intern);
        }
        pathIds[i] = pathId;
    }

    sqlite3_stmt* insertScan =
        db.prepare("INSERT INTO scans(root, rootPath, startedAt, finishedAt, state, cancelled, files, directories,"
                   " bytes, items, baseline) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    bindBlob(insertScan, 1, summary.root);
    sqlite3_bind_int64(insertScan, 2, pathIds.empty() ? 0 : pathIds[0]);
    sqlite3_bind_int64(insertScan, 3, summary.startedAtMs);
    sqlite3_bind_int64(insertScan, 4, summary.finishedAtMs);
    const std::string_view state = toRawString(summary.state);
    sqlite3_bind_text(insertScan, 5, state.data(), static_cast<int>(state.size()), SQLITE_STATIC);
    sqlite3_bind_int(insertScan, 6, summary.cancelled ? 1 : 0);
    sqlite3_bind_int64(insertScan, 7, summary.totals.files);
    sqlite3_bind_int64(insertScan, 8, summary.totals.directories);
    sqlite3_bind_int64(insertScan, 9, summary.totals.bytes);
    sqlite3_bind_int64(insertScan, 10, static_cast<std::int64_t>(summary.items.size()));
    sqlite3_bind_int64(insertScan, 11, summary.baselineId);
    db.step(insertScan);
    id = sqlite3_last_insert_rowid(db.handle());

    // The same path twice in one scan (two names that the file system told apart but the tree
    // repeats) keeps its first figures.
    for (std::size_t i = 0; i < summary.items.size(); ++i) {
        const ScanSummary::Item& item = summary.items[i];
        insertItem = db.prepare(
            "INSERT OR IGNORE INTO items(scan, path, bytes, files, kind) VALUES(?1, ?2, ?3, ?4, ?5)");
        sqlite3_bind_int64(insertItem, 1, id);
        sqlite3_bind_int64(insertItem, 2, pathIds[i]);
        sqlite3_bind_int64(insertItem, 3, item.bytes);
        sqlite3_bind_int64(insertItem, 4, item.files);
        sqlite3_bind_int(insertItem, 5, kindOf(item.isDirectory, item.state));
        db.step(insertItem);
    }

    // Retention: the newest scans of this root, then the oldest of all until the store fits. A cancelled
    // scan is never a baseline, so a root keeps only its newest one, and cancelled scans go before
    // complete ones: cancelling again and again never pushes out the scans there are to compare with.
    bool removed = false;
    bool kept = true;
    const auto removeScan = [&db, &removed, &kept, id](std::int64_t scanId) {
        kept = kept && scanId != id;
        for (const char* sql : {"DELETE FROM items WHERE scan = ?1", "DELETE FROM scans WHERE id = ?1"}) {
            sqlite3_stmt* s = db.prepare(sql);
            sqlite3_bind_int64(s, 1, scanId);
            db.step(s);
        }
        removed = true;
    };
    {
        std::vector<std::int64_t> surplus;
        sqlite3_stmt* s = db.prepare(
            "SELECT id FROM scans WHERE root = ?1 AND cancelled = 1 ORDER BY finishedAt DESC, id DESC LIMIT -1 OFFSET 1");
        bindBlob(s, 1, summary.root);
        while (db.step(s))
            surplus.push_back(sqlite3_column_int64(s, 0));
        for (const std::int64_t old : surplus)
            removeScan(old);
        surplus.clear();
        s = db.prepare("SELECT id FROM scans WHERE root = ?1 ORDER BY cancelled, finishedAt DESC, id DESC"
                       " LIMIT -1 OFFSET ?2");
        bindBlob(s, 1, summary.root);
        sqlite3_bind_int(s, 2, std::max(1, m_limits.scansPerRoot));
        while (db.step(s))
            surplus.push_back(sqlite3_column_int64(s, 0));
        for (const std::int64_t old : surplus)
            removeScan(old);
    }
    const auto collectPaths = [&db] {
        db.exec("DELETE FROM paths WHERE id NOT IN (SELECT path FROM items)");
    };
    const auto used = [&db] {
        return (db.singleInteger("PRAGMA page_count") - db.singleInteger("PRAGMA freelist_count")) *
               db.singleInteger("PRAGMA page_size");
    };
    if (removed)
        collectPaths();
    while (used() > m_limits.totalBytes) {
        // Never the scan just stored unless it is cancelled: a store too small for one scan still keeps
        // the newest complete one.
        const std::int64_t oldest =
            db.singleInteger("SELECT id FROM scans ORDER BY cancelled DESC, finishedAt, id LIMIT 1");
        if (oldest == 0 || (oldest == id && !summary.cancelled))
            break;
        removeScan(oldest);
        collectPaths();
        if (oldest == id)
            break;
    }
    transaction.commit();
    if (removed)
        sqlite3_exec(db.handle(), "PRAGMA incremental_vacuum", nullptr, nullptr, nullptr);
    return kept;
}

std::optional<std::int64_t> ScanHistory::store(const ScanSummary& summary, std::optional<std::uint64_t> asOf) noexcept {
    try {
        std::lock_guard lock(m_lock);
        if (asOf && *asOf != m_generation.load()) {
            systemLogDebug("scan history: a scan of " + summary.root + " handed over before the history was forgotten is not kept");
            return std::nullopt;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            Database* db = database(true);
            if (!db)
                return std::nullopt;
            try {
                std::int64_t id = 0;
                if (!storeLocked(*db, summary, id))
                    return std::nullopt; // a cancelled scan that retention let go at once
                return id;
            } catch (const SqliteError& error) {
                systemLogDebug("scan history: storing a scan of " + summary.root + " failed: " + error.what());
                if (attempt > 0 || (error.code & 0xff) != SQLITE_CORRUPT)
                    return std::nullopt;
                // Damaged past its first pages: start over with a fresh store and keep this scan.
                m_db.reset();
                std::string aside;
                if (!moveAside(m_path, aside))
                    return std::nullopt;
            }
        }
    } catch (const std::exception& error) {
        systemLogDebug(std::string("scan history: ") + error.what());
    }
    return std::nullopt;
}

std::vector<StoredScan> ScanHistory::scans(const std::optional<std::string>& root, std::string* reason) noexcept {
    std::vector<StoredScan> list;
    try {
        std::lock_guard lock(m_lock);
        Database* db = database(false);
        if (!db) {
            if (reason)
                *reason = m_failure.empty() ? std::string("unusable") : m_failure;
            return list;
        }
        static const std::string all =
            std::string("SELECT ") + scanColumns + " FROM scans ORDER BY finishedAt DESC, id DESC";
        static const std::string ofRoot = std::string("SELECT ") + scanColumns +
                                          " FROM scans WHERE root = ?1 ORDER BY finishedAt DESC, id DESC";
        sqlite3_stmt* s = db->prepare(root ? ofRoot.c_str() : all.c_str());
        if (root)
            bindBlob(s, 1, *root);
        while (db->step(s))
            list.push_back(readScan(s));
    } catch (const std::exception& error) {
        systemLogDebug(std::string("scan history: listing failed: ") + error.what());
        if (reason)
            *reason = error.what();
        list.clear();
    }
    return list;
}

std::optional<ScanSnapshot> ScanHistory::queryScan(const std::string& sql,
                                                   const std::function<void(sqlite3_stmt*)>& bind,
                                                   bool withItems) noexcept {
    try {
        std::lock_guard lock(m_lock);
        Database* db = database(false);
        if (!db)
            return std::nullopt;
        sqlite3_stmt* s = db->prepare(sql.c_str());
        bind(s);
        if (!db->step(s))
            return std::nullopt;
        ScanSnapshot found{readScan(s), {}};
        sqlite3_reset(s);
        if (!withItems)
            return found;

        // Rows come in path-id order, and a path's id is above its parent's (parents are interned
        // first), so every parent's path is made before its children's.
        s = db->prepare("SELECT i.path, p.parent, p.name, i.bytes, i.kind FROM items i"
                        " JOIN paths p ON p.id = i.path WHERE i.scan = ?1 ORDER BY i.path");
        sqlite3_bind_int64(s, 1, found.scan.id);
        std::unordered_map<std::int64_t, std::int32_t> indexOfPath;
        indexOfPath.reserve(static_cast<std::size_t>(found.scan.storedItems));
        found.items.reserve(static_cast<std::size_t>(found.scan.storedItems));
        while (db->step(s)) {
            ScanSnapshot::Item item;
            const int kind = sqlite3_column_int(s, 4);
            item.isDirectory = (kind & 1) != 0;
            item.state = static_cast<ScanState>(std::min((kind >> 1) & 3, static_cast<int>(ScanState::unavailable)));
            item.bytes = sqlite3_column_int64(s, 3);
            if (const auto parent = indexOfPath.find(sqlite3_column_int64(s, 1)); parent != indexOfPath.end()) {
                item.parent = parent->second;
                item.path = platform::joinPath(found.items[static_cast<std::size_t>(parent->second)].path,
                                               blobColumn(s, 2));
            } else {
                item.path = blobColumn(s, 2); // the root: its name is the whole path
            }
            indexOfPath.emplace(sqlite3_column_int64(s, 0), static_cast<std::int32_t>(found.items.size()));
            found.items.push_back(std::move(item));
        }
        return found;
    } catch (const std::exception& error) {
        systemLogDebug(std::string("scan history: reading a scan failed: ") + error.what());
    }
    return std::nullopt;
}

std::optional<StoredScan> ScanHistory::scan(std::int64_t id) noexcept {
    static const std::string sql = std::string("SELECT ") + scanColumns + " FROM scans WHERE id = ?1";
    auto found = queryScan(sql, [id](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, id); }, false);
    return found ? std::optional(std::move(found->scan)) : std::nullopt;
}

std::optional<StoredScan> ScanHistory::previousScan(std::int64_t id) noexcept {
    static const std::string sql =
        std::string("SELECT ") + scanColumns +
        " FROM scans WHERE root = (SELECT root FROM scans WHERE id = ?1) AND (finishedAt, id) <"
        " (SELECT finishedAt, id FROM scans WHERE id = ?1) AND NOT cancelled"
        " ORDER BY state = 'complete' DESC, finishedAt DESC, id DESC LIMIT 1";
    auto found = queryScan(sql, [id](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, id); }, false);
    return found ? std::optional(std::move(found->scan)) : std::nullopt;
}

std::optional<ScanSnapshot> ScanHistory::newestSnapshot(const std::string& root) noexcept {
    static const std::string sql = std::string("SELECT ") + scanColumns +
                                   " FROM scans WHERE root = ?1 AND NOT cancelled"
                                   " ORDER BY state = 'complete' DESC, finishedAt DESC, id DESC LIMIT 1";
    return queryScan(sql, [&root](sqlite3_stmt* s) { bindBlob(s, 1, root); }, true);
}

std::optional<ScanComparison> ScanHistory::compare(std::int64_t earlierId, std::int64_t laterId) noexcept {
    static const std::string sql = std::string("SELECT ") + scanColumns + " FROM scans WHERE id = ?1";
    const auto load = [this](std::int64_t id) {
        return queryScan(sql, [id](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, id); }, true);
    };
    const auto earlier = load(earlierId);
    const auto later = earlier ? load(laterId) : std::nullopt;
    if (!earlier || !later)
        return std::nullopt;
    try {
        return compare(*earlier, *later);
    } catch (const std::exception& error) {
        systemLogDebug(std::string("scan history: comparing failed: ") + error.what());
    }
    return std::nullopt;
}

namespace {

// How an item of one scan stands against the other scan, worked out parents first.
enum class Footing : std::uint8_t {
    matched,   // the other scan has it, read
    unread,    // the other scan could not read it or a folder above it
    absent,    // not in the other scan, whose folder above was read: truly new or gone
    belowKept, // a file not in the other scan, whose folder was read: there it was small or absent
};

struct Match {
    Footing footing = Footing::absent;
    std::int64_t other = -1; // the item's index in the other scan, -1 when not there
};

// Each scan's paths with the index of their first item; first[i] is false for a path seen before.
std::unordered_map<std::string_view, std::size_t> indexOf(const ScanSnapshot& scan, std::vector<bool>& first) {
    std::unordered_map<std::string_view, std::size_t> index;
    index.reserve(scan.items.size());
    first.resize(scan.items.size());
    for (std::size_t i = 0; i < scan.items.size(); ++i)
        first[i] = index.emplace(scan.items[i].path, i).second;
    return index;
}

// For each item of scan (parents first), its match in other. keepsFilesOfOther: scan kept every file
// other kept (the later scan of two), so a file of other it lacks is gone rather than small.
std::vector<Match> matches(const ScanSnapshot& scan, const std::unordered_map<std::string_view, std::size_t>& index,
                           const ScanSnapshot& other, bool keepsFilesOfOther) {
    std::vector<Match> result(scan.items.size());
    for (std::size_t i = 0; i < scan.items.size(); ++i) {
        const ScanSnapshot::Item& item = scan.items[i];
        Match& match = result[i];
        if (const auto found = index.find(item.path); found != index.end()) {
            match.other = static_cast<std::int64_t>(found->second);
            match.footing = other.items[found->second].state == ScanState::unavailable ? Footing::unread : Footing::matched;
            continue;
        }
        if (item.parent < 0)
            continue;
        const Footing above = result[static_cast<std::size_t>(item.parent)].footing;
        if (above == Footing::unread)
            match.footing = Footing::unread;
        else if (above == Footing::matched && !item.isDirectory && !keepsFilesOfOther)
            // The other scan read the folder but kept no such file: smaller than the kept size there.
            match.footing = item.bytes >= ScanHistory::largeFileBytes ? Footing::belowKept : Footing::unread;
    }
    return result;
}

} // namespace

ScanComparison ScanHistory::compare(const ScanSnapshot& earlier, const ScanSnapshot& later) {
    ScanComparison comparison{earlier.scan, later.scan, {}};
    // A path twice in one scan keeps its first figures.
    std::vector<bool> firstEarlier, firstLater;
    const auto earlierIndex = indexOf(earlier, firstEarlier);
    const auto laterIndex = indexOf(later, firstLater);
    // A later file missing from the earlier scan was small then (or absent); an earlier file missing
    // from the later scan is gone only when the later scan kept every file the earlier kept.
    const bool keepsEarlierFiles = earlier.scan.id != 0 && later.scan.baselineId == earlier.scan.id;
    const std::vector<Match> laterMatches = matches(later, earlierIndex, earlier, false);
    const std::vector<Match> earlierMatches = matches(earlier, laterIndex, later, keepsEarlierFiles);
    comparison.changes.reserve(std::max(earlier.items.size(), later.items.size()));

    // The later scan's items in its order, then what only the earlier had in its: parents first.
    for (std::size_t i = 0; i < later.items.size(); ++i) {
        const ScanSnapshot::Item& item = later.items[i];
        if (!firstLater[i])
            continue;
        const Match& match = laterMatches[i];
        ScanChange& change = comparison.changes.emplace_back();
        change.path = item.path;
        change.isDirectory = item.isDirectory;
        change.laterBytes = item.bytes;
        change.notCompared = match.footing == Footing::unread || item.state == ScanState::unavailable;
        change.earlierBelowLargeFile = match.footing == Footing::belowKept;
        if (match.other >= 0)
            change.earlierBytes = earlier.items[static_cast<std::size_t>(match.other)].bytes;
    }
    for (std::size_t i = 0; i < earlier.items.size(); ++i) {
        const ScanSnapshot::Item& item = earlier.items[i];
        if (!firstEarlier[i] || earlierMatches[i].other >= 0)
            continue;
        ScanChange& change = comparison.changes.emplace_back();
        change.path = item.path;
        change.isDirectory = item.isDirectory;
        change.earlierBytes = item.bytes;
        change.notCompared = earlierMatches[i].footing == Footing::unread || item.state == ScanState::unavailable;
        change.laterBelowLargeFile = earlierMatches[i].footing == Footing::belowKept;
    }

    // A folder either scan could not read, whose folder above both read: its bytes in each scan leave
    // every folder above. Paths are clean, so a folder above is a prefix ending at a separator.
    std::unordered_map<std::string_view, ScanChange*> changeOf;
    changeOf.reserve(comparison.changes.size());
    for (ScanChange& change : comparison.changes)
        changeOf.emplace(change.path, &change);
    const auto unreadIn = [](const ScanSnapshot& scan, const std::unordered_map<std::string_view, std::size_t>& index,
                             const std::string& path) {
        const auto found = index.find(path);
        return found != index.end() && scan.items[found->second].state == ScanState::unavailable;
    };
    for (const ScanChange& change : comparison.changes) {
        if (!change.isDirectory || !change.notCompared ||
            !(unreadIn(earlier, earlierIndex, change.path) || unreadIn(later, laterIndex, change.path)))
            continue;
        const std::string parent = platform::parentPath(change.path);
        const auto above = changeOf.find(parent);
        if (parent == change.path || above == changeOf.end() || above->second->notCompared)
            continue;
        for (std::string folder = parent;;) {
            const auto found = changeOf.find(folder);
            if (found == changeOf.end())
                break;
            found->second->leftOutEarlier += change.earlierBytes.value_or(0);
            found->second->leftOutLater += change.laterBytes.value_or(0);
            const std::string next = platform::parentPath(folder);
            if (next == folder)
                break;
            folder = next;
        }
    }
    return comparison;
}

bool ScanHistory::forgetAll() noexcept {
    try {
        std::lock_guard lock(m_lock);
        ++m_generation;
        bool forgotten = false;
        if (Database* db = database(true)) {
            try {
                {
                    Transaction transaction(db->handle());
                    db->exec("DELETE FROM items; DELETE FROM scans; DELETE FROM paths;");
                    transaction.commit();
                }
                sqlite3_exec(db->handle(), "PRAGMA incremental_vacuum", nullptr, nullptr, nullptr);
                sqlite3_exec(db->handle(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
                forgotten = true;
            } catch (const std::exception& error) {
                systemLogDebug(std::string("scan history: forgetting failed: ") + error.what());
            }
        }
        // After the store, which may itself have been moved aside on opening.
        return removeMovedAsideCopies(m_path) && forgotten;
    } catch (const std::exception& error) {
        systemLogDebug(std::string("scan history: forgetting failed: ") + error.what());
    }
    return false;
}

std::int64_t ScanHistory::usedBytes() noexcept {
    try {
        std::lock_guard lock(m_lock);
        Database* db = database(false);
        if (!db)
            return 0;
        return (db->singleInteger("PRAGMA page_count") - db->singleInteger("PRAGMA freelist_count")) *
               db->singleInteger("PRAGMA page_size");
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace brisklet
