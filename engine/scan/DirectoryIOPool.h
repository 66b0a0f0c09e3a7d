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
//    the file system keeps its queue busy; reads queued behind it time out in turn.
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

// What one folder read yields.
struct DirectoryWork {
    struct Subdir {
        std::string path;
        bool folded = false;
        std::optional<std::uint64_t> device; // from the listing's status query, saves one per folder
    };

    bool rootUnavailable = false;     // the scan root is missing or not a folder
    std::vector<ScanNode> fileNodes;  // one leaf per non-folder entry, in listing order
    std::vector<Subdir> subdirs;      // folders to descend into, in listing order
    std::int64_t localBytes = 0;      // sum of the file nodes' sizes
    std::int64_t fileCount = 0;       // non-folder entries counted (also where no nodes are kept)
    bool unreadable = false;          // could not be opened, or timed out
    bool timedOut = false;            // cut off by the deadline (always with unreadable)

    static DirectoryWork emptyRecord() { return {}; }
    static DirectoryWork timedOutRecord();
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
    // The earliest finish decides; later ones do nothing. The continuation runs outside the lock.
    void finish(DirectoryWork&& work);

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
    // Drops queued reads and armed deadlines without answering them; used once the scan is over.
    // A run() after it answers at once with the empty record.
    void shutdown();
    bool isCancelled() const { return m_cancelled->load(); }

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
