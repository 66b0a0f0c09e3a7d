#include "DirectoryIOPool.h"

#include "Error.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <optional>
#include <pthread.h>
#include <queue>
#include <thread>

namespace brisklet {

DirectoryWork DirectoryWork::timedOutRecord() {
    DirectoryWork work;
    work.unreadable = true;
    work.timedOut = true;
    return work;
}

DirectoryWork DirectoryWork::unreadableRecord() {
    DirectoryWork work;
    work.unreadable = true;
    return work;
}

void DirectoryRequest::install(Continuation continuation) {
    std::unique_lock lock(m_lock);
    if (m_result) {
        DirectoryWork work = std::move(*m_result);
        m_result.reset();
        lock.unlock();
        continuation(std::move(work));
        return;
    }
    m_continuation = std::move(continuation);
}

bool DirectoryRequest::finish(DirectoryWork&& work) {
    Continuation continuation;
    {
        std::lock_guard lock(m_lock);
        if (m_answered.load(std::memory_order_relaxed))
            return false;
        m_answered.store(true, std::memory_order_relaxed);
        if (!m_continuation) {
            m_result = std::move(work);
            return true;
        }
        continuation = std::move(m_continuation);
        m_continuation = nullptr;
    }
    continuation(std::move(work));
    return true;
}

namespace {

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// A serial queue with one detached worker thread that owns a reference to it.
struct DirectoryIOPool::SerialQueue {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool closed = false;
    // When the running read began (steady-clock nanoseconds), -1 while idle.
    std::atomic<std::int64_t> busySince{-1};

    // False once closed: the job is dropped (outside the lock) instead of parking forever.
    bool submit(std::function<void()> job) {
        {
            std::lock_guard guard(lock);
            if (closed)
                return false;
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
        return true;
    }

    void close() {
        std::deque<std::function<void()>> dropped;
        {
            std::lock_guard guard(lock);
            closed = true;
            dropped.swap(jobs);
        }
        wake.notify_one();
    }

    static void work(const std::shared_ptr<SerialQueue>& self) {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock guard(self->lock);
                self->wake.wait(guard, [&] { return self->closed || !self->jobs.empty(); });
                if (self->closed)
                    return;
                job = std::move(self->jobs.front());
                self->jobs.pop_front();
            }
            self->busySince.store(nowNanoseconds());
            job();
            self->busySince.store(-1);
        }
    }
};

// One thread firing the deadlines of all reads of a pool, earliest first. Requests answered by their
// read are dropped from the heap in batches, so it holds few more than the reads still waiting.
struct DirectoryIOPool::Timer {
    using Clock = std::chrono::steady_clock;
    struct Deadline {
        Clock::time_point when;
        std::uint64_t sequence; // keeps equal deadlines in arming order
        std::shared_ptr<DirectoryRequest> request;
        std::shared_ptr<SerialQueue> queue;
        bool operator>(const Deadline& o) const {
            return when != o.when ? when > o.when : sequence > o.sequence;
        }
    };

    std::mutex lock;
    std::condition_variable wake;
    std::vector<Deadline> deadlines; // a min-heap by std::greater
    std::size_t answeredEarly = 0;   // entries whose request the read answered
    std::uint64_t sequence = 0;
    bool closed = false;
    const std::int64_t timeout; // nanoseconds

    explicit Timer(std::int64_t timeoutNanoseconds) : timeout(timeoutNanoseconds) {}

    void push(Deadline deadline) {
        deadlines.push_back(std::move(deadline));
        std::push_heap(deadlines.begin(), deadlines.end(), std::greater<>());
    }
    Deadline pop() {
        std::pop_heap(deadlines.begin(), deadlines.end(), std::greater<>());
        Deadline due = std::move(deadlines.back());
        deadlines.pop_back();
        return due;
    }

    // False once closed: nothing would ever fire.
    bool arm(Clock::time_point when, std::shared_ptr<DirectoryRequest> request, std::shared_ptr<SerialQueue> queue) {
        bool earliest;
        {
            std::lock_guard guard(lock);
            if (closed)
                return false;
            earliest = deadlines.empty() || when < deadlines.front().when;
            push({when, sequence++, std::move(request), std::move(queue)});
        }
        if (earliest)
            wake.notify_one();
        return true;
    }

    // A read answered its request: once half the heap is such entries, drop them.
    void noteAnswered() {
        std::vector<Deadline> dropped; // released outside the lock
        std::lock_guard guard(lock);
        if (++answeredEarly * 2 < deadlines.size())
            return;
        const auto waiting = std::partition(deadlines.begin(), deadlines.end(),
                                            [](const Deadline& d) { return !d.request->answered().load(); });
        dropped.assign(std::make_move_iterator(waiting), std::make_move_iterator(deadlines.end()));
        deadlines.erase(waiting, deadlines.end());
        std::make_heap(deadlines.begin(), deadlines.end(), std::greater<>());
        answeredEarly = 0;
    }

    // Nothing when the read is overdue: it has run for the time-out, or waits behind a read that has.
    // Otherwise the moment to look again.
    std::optional<Clock::time_point> extension(const Deadline& due) const {
        const std::int64_t now = nowNanoseconds();
        std::int64_t since = due.request->startedAt();
        if (since < 0)
            since = due.queue->busySince.load();
        if (since < 0)
            since = now; // between two reads: the queue is moving
        if (now - since >= timeout)
            return std::nullopt;
        return Clock::time_point(std::chrono::nanoseconds(since + timeout));
    }

    // Every armed request, for cancellation; the deadlines stay armed and fire harmlessly later.
    std::vector<std::shared_ptr<DirectoryRequest>> armedRequests() {
        std::lock_guard guard(lock);
        std::vector<std::shared_ptr<DirectoryRequest>> all;
        all.reserve(deadlines.size());
        for (const Deadline& deadline : deadlines)
            all.push_back(deadline.request);
        return all;
    }

    void close() {
        std::vector<Deadline> dropped;
        {
            std::lock_guard guard(lock);
            closed = true;
            std::swap(dropped, deadlines);
        }
        wake.notify_one();
    }

    static void work(const std::shared_ptr<Timer>& self) {
        std::unique_lock guard(self->lock);
        while (!self->closed) {
            if (self->deadlines.empty()) {
                self->wake.wait(guard);
                continue;
            }
            const auto when = self->deadlines.front().when;
            if (Clock::now() < when) {
                self->wake.wait_until(guard, when);
                continue;
            }
            Deadline due = self->pop();
            if (due.request->answered().load()) {
                if (self->answeredEarly > 0)
                    --self->answeredEarly;
                continue;
            }
            if (const auto later = self->extension(due)) {
                due.when = *later;
                self->push(std::move(due));
                continue;
            }
            std::shared_ptr<DirectoryRequest> request = std::move(due.request);
            due.queue.reset();
            guard.unlock();
            request->finish(DirectoryWork::timedOutRecord());
            request.reset();
            guard.lock();
        }
    }
};

namespace {

void nameThread(std::thread& thread, const std::string& label) {
    // Thread names hold 15 bytes: keep the distinctive tail of the label.
    const std::string name = label.size() > 15 ? label.substr(label.size() - 15) : label;
    pthread_setname_np(thread.native_handle(), name.c_str());
}

} // namespace

DirectoryIOPool::DirectoryIOPool(int width, double timeoutSeconds)
    : m_timeout(std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(
          std::isfinite(timeoutSeconds) ? std::clamp(timeoutSeconds, 0.0, 1e9) : 1e9))) {
    m_timer = std::make_shared<Timer>(std::chrono::duration_cast<std::chrono::nanoseconds>(m_timeout).count());
    const int count = std::clamp(width, 1, maxWidth);
    m_queues.reserve(static_cast<std::size_t>(count));
    try {
        for (int i = 0; i < count; ++i) {
            auto queue = std::make_shared<SerialQueue>();
            std::thread thread(SerialQueue::work, queue);
            nameThread(thread, queueLabel(i));
            thread.detach();
            m_queues.push_back(std::move(queue));
        }
        std::thread timer(Timer::work, m_timer);
        nameThread(timer, std::string(engineIdentifier()) + ".deadline");
        timer.detach();
    } catch (...) {
        // The threads already started would wait for work for good: let them end.
        shutdown();
        throw;
    }
}

DirectoryIOPool::~DirectoryIOPool() { shutdown(); }

void DirectoryIOPool::shutdown() {
    for (auto& queue : m_queues)
        queue->close();
    m_timer->close();
}

std::string DirectoryIOPool::queueLabel(int index) const {
    return std::string(engineIdentifier()) + ".io." + std::to_string(index);
}

int DirectoryIOPool::nextQueue() {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_cursor++ % m_queues.size());
}

void DirectoryIOPool::run(Read read, DirectoryRequest::Continuation continuation) {
    auto request = std::make_shared<DirectoryRequest>();
    request->install(std::move(continuation));
    if (m_cancelled->load()) {
        request->finish(DirectoryWork::emptyRecord());
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + m_timeout;
    const std::shared_ptr<SerialQueue>& queue = m_queues[static_cast<std::size_t>(nextQueue())];
    const bool queued =
        queue->submit([request, read = std::move(read), cancelled = m_cancelled, queue = queue.get(),
                       timer = std::weak_ptr<Timer>(m_timer)]() {
            const StopCheck stop(*cancelled, request->answered());
            if (stop())
                return;
            request->markStarted(queue->busySince.load());
            // A read that throws (its hook did) fails that folder only; the thread goes on.
            DirectoryWork work;
            try {
                work = read(stop);
            } catch (...) {
                work = DirectoryWork::unreadableRecord();
            }
            if (request->finish(std::move(work)))
                if (const auto deadlines = timer.lock())
                    deadlines->noteAnswered();
        });
    // After shutdown() nothing runs or fires any more: answer now rather than leave the waiter (and
    // whatever it holds) parked for good.
    if (!queued || !m_timer->arm(deadline, request, queue)) {
        request->finish(DirectoryWork::emptyRecord());
        return;
    }
    // A cancel() racing with this call may have collected the armed requests just before ours.
    if (m_cancelled->load())
        request->finish(DirectoryWork::emptyRecord());
}

std::size_t DirectoryIOPool::armedDeadlines() const {
    std::lock_guard guard(m_timer->lock);
    return m_timer->deadlines.size();
}

void DirectoryIOPool::cancel() {
    m_cancelled->store(true);
    for (const auto& request : m_timer->armedRequests())
        request->finish(DirectoryWork::emptyRecord());
}

} // namespace brisklet
