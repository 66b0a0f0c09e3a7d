// DirectoryIOPool: runs folder reads on a fixed set of serial queues, each answered by its read or by a
// deadline, whichever comes first.
//
// Protocol:
//  - run() hands a read to the next queue in round-robin order and arms a deadline at now + timeout.
//    When it fires, a read that has been running for the time-out, or that waits behind one that has,
//    is answered with the timed-out record. A read that only waits its turn behind reads that keep
//    finishing is given more time: on a large cold tree most folders wait longer than the time-out,
//    and reporting them as unreadable would be wrong. The continuation receives exactly one
//    DirectoryWork: the read's, the timed-out record, or the empty record after cancel().
//  - A read is never interrupted: it polls its StopCheck before and after each file-system call and
//    abandons once the pool is cancelled or its request already has an answer. A read blocked inside
//    the file system keeps its queue busy; reads queued behind it time out in turn. A read that throws
//    is answered with the unreadable record; the queue goes on.
//  - A request answered by its read leaves the timer's heap soon after (in batches), not at its
//    deadline.
//  - cancel() answers every waiting request at once with the empty record; later run() calls answer
//    with the empty record without dispatching.
//  - Queue threads are detached and own only their queue, so a pool (and the scan that made it) can
//    be released while a read is stuck; that thread ends after the read returns. Continuations run on
//    whichever thread answers: a queue thread, the timer thread or the thread calling cancel().
#pragma once

#include "ScanRecords.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace brisklet {

// A folder of the walk held open so that its subfolders are opened relative to it (defined by the
// scanner).
struct OpenFolder;

// What one folder read yields. A read records nothing in the scan's shared collectors: the hard-link
// keys and the large-file candidates travel in the record and are taken in only when the read's own
// record is the answer (a read answered by its deadline leaves no trace).
struct DirectoryWork {
    struct Subdir {
        std::string name;
        bool folded = false;
        // The listing's status query of the folder: its reading must find the same folder there.
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    // A multiply-linked file: it keeps its size only if no other link of it was counted before.
    struct HardLink {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t node = -1; // index in fileNodes, -1 when no node is kept
    };

    bool rootUnavailable = false;     // the scan root is missing or not a folder
    std::vector<ScanNode> fileNodes;  // one leaf per non-folder entry, in listing order
    std::vector<Subdir> subdirs;      // folders to descend into, in listing order
    std::vector<HardLink> hardLinks;  // in listing order
    std::int64_t localBytes = 0;      // sum of the file nodes' sizes, every link counted
    std::int64_t fileCount = 0;       // non-folder entries counted (also where no nodes are kept)
    bool unreadable = false;          // could not be opened, or timed out
    bool timedOut = false;            // cut off by the deadline (always with unreadable)
    std::shared_ptr<const OpenFolder> openFolder; // the folder itself, when kept open for its subfolders

    static DirectoryWork emptyRecord() { return {}; }
    static DirectoryWork timedOutRecord();
    static DirectoryWork unreadableRecord();
};

// True once the read should abandon: the pool was cancelled or the request already has an answer.
class StopCheck {
public:
    StopCheck(const std::atomic<bool>& poolCancelled, const std::atomic<bool>& answered)
        : m_poolCancelled(poolCancelled), m_answered(answered) {}
    bool operator()() const {
        return m_poolCancelled.load(std::memory_order_relaxed) || m_answered.load(std::memory_order_relaxed);
    }

private:
    const std::atomic<bool>& m_poolCancelled;
    const std::atomic<bool>& m_answered;
};

// One folder read's one-shot answer.
class DirectoryRequest {
public:
    using Continuation = std::function<void(DirectoryWork&&)>;

    // Resumes at once with the answer when it is already known, else stores the continuation.
    void install(Continuation continuation);
    // The earliest finish decides (and returns true); later ones do nothing. The continuation runs
    // outside the lock.
    bool finish(DirectoryWork&& work);

    const std::atomic<bool>& answered() const { return m_answered; }
    // When its read began on its queue (steady-clock nanoseconds), or -1 while it waits in the queue.
    std::int64_t startedAt() const { return m_startedAt.load(); }
    void markStarted(std::int64_t nanoseconds) { m_startedAt.store(nanoseconds); }

private:
    std::mutex m_lock;
    Continuation m_continuation;
    std::optional<DirectoryWork> m_result;
    std::atomic<bool> m_answered{false};
    std::atomic<std::int64_t> m_startedAt{-1};
};

class DirectoryIOPool {
public:
    using Read = std::function<DirectoryWork(const StopCheck&)>;

    // At most this many queues, whatever the width asked for.
    static constexpr int maxWidth = 64;

    // Throws std::system_error when a thread cannot be started (none is left behind then).
    DirectoryIOPool(int width, double timeoutSeconds);
    ~DirectoryIOPool();
    DirectoryIOPool(const DirectoryIOPool&) = delete;
    DirectoryIOPool& operator=(const DirectoryIOPool&) = delete;

    int width() const { return static_cast<int>(m_queues.size()); }
    // The label of queue i: the engine identifier, ".io." and i.
    std::string queueLabel(int index) const;
    // Round-robin in call order: the index of the queue the next read goes to.
    int nextQueue();

    void run(Read read, DirectoryRequest::Continuation continuation);
    // Answers every waiting read with the empty record; the pool stays cancelled.
    void cancel();
    // Cancels without answering: reads abandon at their next check (answering with the empty record)
    // and later run() calls answer at once; reads still waiting are left for cancel().
    void stopReads() { m_cancelled->store(true); }
    // Drops queued reads and armed deadlines without answering them; used once the scan is over.
    // A run() after it answers at once with the empty record.
    void shutdown();
    bool isCancelled() const { return m_cancelled->load(); }
    // Deadlines still held by the timer (for tests: answered reads leave early).
    std::size_t armedDeadlines() const;

private:
    struct SerialQueue;
    struct Timer;

    std::vector<std::shared_ptr<SerialQueue>> m_queues;
    std::shared_ptr<Timer> m_timer;
    std::chrono::steady_clock::duration m_timeout;
    std::mutex m_lock; // guards m_cursor
    std::uint64_t m_cursor = 0;
    // Shared with queued jobs, which may outlive the pool while a read is stuck.
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
};

} // namespace brisklet
