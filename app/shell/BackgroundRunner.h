// Runs engine work for a screen off the GUI thread and brings its answer back to the screen.
//
// A screen owns one BackgroundRunner as a plain member, constructed with the screen as its owner.
// run(work, done, failed) hands `work(std::stop_token)` to a thread of the shared background pool. The
// answer returns to the GUI thread by a queued call:
//   - done(result) when the work returned (done() when it returns void);
//   - failed(text) when it threw: a brisklet::Error gives its description(), any other exception its
//     what(); brisklet::Cancelled gives no answer at all;
//   - nothing when the owner is gone or stopAll() ran since the work started (the destructor runs it).
// So a screen never receives an answer that belongs to a state it has left. Work that reports along
// the way (progress) calls a function made by reporter(), which is guarded the same way.
//
// done and failed are always released on the GUI thread, answered or not, so they may hold objects
// that belong to it (at quit, once the application object is going, they are not released at all);
// work and a reporter's function may be released on the worker.
//
// Only the GUI thread calls into a runner. Nothing here waits for a worker: stopAll() only requests the
// stop. The pool is a child of the application object, which waits for its workers when it is destroyed,
// after every screen has asked its work to stop.
#pragma once

#include "Error.h"
#include "PathBytes.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>

class QThreadPool;

class BackgroundRunner {
public:
    using Failed = std::function<void(const QString&)>;

    explicit BackgroundRunner(QObject* owner) : m_owner(owner) {}
    ~BackgroundRunner() { stopAll(); }
    BackgroundRunner(const BackgroundRunner&) = delete;
    BackgroundRunner& operator=(const BackgroundRunner&) = delete;

    template <class Work, class Done>
    void run(Work work, Done done, Failed failed = {});

    // A function the work may call from its thread any number of times; each call runs
    // report(args...) on the GUI thread unless the owner is gone or stopAll() ran since.
    template <class... Args, class Report>
    std::function<void(Args...)> reporter(Report report) const;

    // Asks every run started so far to stop and drops their answers. Later runs start afresh.
    void stopAll();
    // The token the work of the current runs receives.
    std::stop_token stopToken() const { return m_stop.get_token(); }

    // The shared pool. Tests wait on it to know every answer has been posted; the GUI never does.
    static QThreadPool* pool();

private:
    // Queues job on the shared pool.
    static void start(std::function<void()> job);
    // Runs answer on the GUI thread; it receives whether the owner still wants it (alive, not stopped).
    template <class Answer>
    static void deliver(const QPointer<QObject>& owner, const std::stop_source& stop, Answer answer)
    {
        // The application object outlives the pool's workers, so it is a safe target from any thread;
        // the owner is checked only on the GUI thread, where it can be destroyed.
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) {
            // Quitting: the application object is being destroyed and waits for this worker. Nobody
            // takes the answer, and its callbacks may hold objects of the GUI thread that must not be
            // released on this one, so they are left to the ending process.
            (void)new Answer(std::move(answer));
            return;
        }
        QMetaObject::invokeMethod(
            application,
            [owner, stop, answer = std::move(answer)]() mutable { answer(owner && !stop.stop_requested()); },
            Qt::QueuedConnection);
    }

    QPointer<QObject> m_owner;
    std::stop_source m_stop;
};

template <class Work, class Done>
void BackgroundRunner::run(Work work, Done done, Failed failed)
{
    using Result = std::invoke_result_t<Work&, std::stop_token>;
    struct Callbacks {
        Done done;
        Failed failed;
    };
    // The job is copied into the pool's queue; the callbacks travel once, from here to the answer.
    auto callbacks = std::make_shared<std::optional<Callbacks>>(Callbacks{std::move(done), std::move(failed)});
    auto job = [owner = m_owner, stop = m_stop, work = std::make_shared<Work>(std::move(work)), callbacks]() {
        Callbacks answer = std::move(**callbacks);
        callbacks->reset();
        std::optional<QString> failure;
        try {
            if (!stop.stop_requested()) {
                if constexpr (std::is_void_v<Result>) {
                    (*work)(stop.get_token());
                    deliver(owner, stop, [answer = std::move(answer)](bool wanted) mutable {
                        if (wanted)
                            answer.done();
                    });
                } else {
                    auto result = std::make_shared<Result>((*work)(stop.get_token()));
                    deliver(owner, stop, [answer = std::move(answer), result](bool wanted) mutable {
                        if (wanted)
                            answer.done(std::move(*result));
                    });
                }
                return;
            }
        } catch (const brisklet::Cancelled&) {
        } catch (const brisklet::Error& error) {
            failure = utf8Text(error.description());
        } catch (const std::exception& error) {
            failure = utf8Text(error.what());
        } catch (...) {
            failure = QStringLiteral("An unexpected error occurred.");
        }
        deliver(owner, stop, [answer = std::move(answer), failure](bool wanted) mutable {
            if (wanted && failure && answer.failed)
                answer.failed(*failure);
        });
    };
    start(std::move(job));
}

template <class... Args, class Report>
std::function<void(Args...)> BackgroundRunner::reporter(Report report) const
{
    auto shared = std::make_shared<Report>(std::move(report));
    return [owner = m_owner, stop = m_stop, shared](Args... args) {
        deliver(owner, stop, [shared, args...](bool wanted) {
            if (wanted)
                (*shared)(args...);
        });
    };
}
