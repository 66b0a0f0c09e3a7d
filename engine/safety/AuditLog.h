// AuditLog: the durable record of every trash, restore and purge, one compact JSON object per line.
//
// Protocol:
//  - record() stamps the entry at the call and queues its write; one writer thread appends the lines
//    in the order record() was called, and mirrors each to the system log at debug level. flush()
//    waits for every write queued before it. Nothing here reports an error to a caller.
//  - DIRECTORY/audit.jsonl is only ever appended to, under an flock on the file that serialises
//    writers of every process. An existing file is opened for writing and the line written at its end
//    with one write (after a line feed when the file ends in a torn line); a missing file is created
//    holding its first line atomically. An existing file that cannot be opened for writing is never
//    replaced: the entry is dropped.
//  - At 10 MB the file is rotated under that lock: it becomes audit.jsonl.1 (one old file is kept,
//    replacing the one before) and the line starts a fresh audit.jsonl.
//  - Lines are {"timestamp":S,"operation":"...","path":"...","bytes":N,"result":"..."} with S the seconds since
//    2001-01-01 00:00:00 UTC, "/" written as "\/", and text that is not UTF-8 repaired, never dropped. An
//    action that did not happen adds "reason":"..." (why); lines without it, as earlier versions wrote
//    them, read with an empty reason.
//  - recentEntries() reads audit.jsonl and then audit.jsonl.1 from their ends (not through the writer)
//    and skips, one by one, lines that are not UTF-8 or not complete entries.
#pragma once

#include "platform/Export.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT AuditLog {
public:
    struct Entry {
        std::chrono::system_clock::time_point timestamp;
        std::string operation; // "trash", "restore" or "purge"
        std::string path;
        std::int64_t bytes = 0;
        std::string result; // "ok", "error", "rejected" or "missing"
        std::string reason = {}; // why it did not happen, as the outcome said; empty for "ok" and older lines

        bool operator==(const Entry&) const = default;
    };

    // Creates directory (with missing parents) if it can, and again at a write that finds it gone;
    // writes fail silently where it cannot be made.
    explicit AuditLog(std::string directory);
    // Writes everything still queued, then stops the writer.
    ~AuditLog();
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    // The process-wide log in $XDG_STATE_HOME/brisklet (default ~/.local/state/brisklet), made on
    // first use and kept for the life of the process. A log left in $XDG_DATA_HOME/Brisklet by earlier
    // versions is adopted (see adoptEarlierLog).
    static std::shared_ptr<AuditLog> shared();

    // Queues moving a log file kept elsewhere into this log, losing nothing: it becomes audit.jsonl
    // where there is none yet, else audit.jsonl.1 (its entries are older than any here), joined in
    // front of an existing audit.jsonl.1. Its folder goes too when that leaves it empty. A file that
    // cannot be moved stays where it is, to be tried again next time. Returns at once; flush() waits.
    void adoptEarlierLog(std::string earlierFile);

    const std::string& filePath() const { return m_filePath; }
    // Where the file goes when rotated.
    const std::string& previousFilePath() const { return m_previousFilePath; }
    // The writer's label: the engine identifier followed by ".auditlog".
    const std::string& queueLabel() const { return m_queueLabel; }

    // Returns at once; the write happens on the writer thread.
    void record(std::string operation, std::string path, std::int64_t bytes, std::string result,
                std::string reason = {});
    // Blocks until every write queued before the call has finished. Returns at once on the writer.
    void flush();
    // The last limit readable entries of the file, oldest first.
    std::vector<Entry> recentEntries(std::size_t limit) const;

    // The JSON line of an entry, without its line feed.
    static std::string encode(const Entry& entry);
    // An entry from one line; nothing unless it is an object with all five keys of the right types. The
    // reason is optional: absent, or not a string, it reads as empty.
    static std::optional<Entry> decode(std::string_view line);

    // Seconds since 2001-01-01 00:00:00 UTC and back.
    static double secondsSinceReferenceDate(std::chrono::system_clock::time_point time);
    static std::chrono::system_clock::time_point fromSecondsSinceReferenceDate(double seconds);

private:
    void writerLoop();
    void write(const Entry& entry);
    void adopt(const std::string& earlierFile);

    std::string m_directory;
    std::string m_filePath;
    std::string m_previousFilePath;
    std::string m_queueLabel;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_writer; // last: starts after everything it uses exists
};

} // namespace brisklet
