// Runs engine work for a screen off the GUI thread and brings its answer back to the screen.
//
// A screen owns one BackgroundRunner as a plain member, constructed with the screen as its owner.
// run(work, done, failed) hands `work(std::stop_token)` to a thread of the shared background pool. The
// answer returns to the GUI thread by a queued call:
//   - done(result) when the work returned (done() when it returns void);
//   - failed(text) when it threw: a brisklet::Error gives its description(), any other exception its
//     what(); brisklet::Cancelled gives no answer at all;
//   - nothing when the owner is gone or stopAll() ran since the work started (the destructor runs it).
// So a screen never receives an answer that belongs to a state it has left.
//
// Only the GUI thread calls into a runner. Nothing here waits for a worker: stopAll() only requests the
// stop. The pool is a child of the application object, which waits for its workers when it is destroyed,
// after every screen has asked its work to stop.
#pragma once

#include "Error.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <stop_token>
#include <type_traits>
#include <utility>

class BackgroundRunner {
public:
    using Failed = std::function<void(const QString&)>;

    explicit BackgroundRunner(QObject* owner) : m_owner(owner) {}
    ~BackgroundRunner() { stopAll(); }
    BackgroundRunner(const BackgroundRunner&) = delete;
    BackgroundRunner& operator=(const BackgroundRunner&) = delete;

    template <class Work, class Done>
    void run(Work work, Done done, Failed failed = {});

    // Asks every run started so far to stop and drops their answers. Later runs start afresh.
    void stopAll();
    // The token the work of the current runs receives.
    std::stop_token stopToken() const { return m_stop.get_token(); }

private:
    // Queues job on the shared pool.
    static void start(std::function<void()> job);
    // Delivers answer on the GUI thread unless owner is gone or stop was requested by then.
    static void deliver(QPointer<QObject> owner, std::stop_source stop, std::function<void()> answer);

    QPointer<QObject> m_owner;
    std::stop_source m_stop;
};

template <class Work, class Done>
void BackgroundRunner::run(Work work, Done done, Failed failed)
{
    using Result = std::invoke_result_t<Work&, std::stop_token>;
    auto job = [owner = m_owner, stop = m_stop, work = std::make_shared<Work>(std::move(work)),
                done = std::make_shared<Done>(std::move(done)), failed = std::move(failed)]() {
        if (stop.stop_requested())
            return;
        QString failure;
        try {
            if constexpr (std::is_void_v<Result>) {
                (*work)(stop.get_token());
                deliver(owner, stop, [done] { (*done)(); });
            } else {
                auto result = std::make_shared<Result>((*work)(stop.get_token()));
                deliver(owner, stop, [done, result] { (*done)(std::move(*result)); });
            }
            return;
        } catch (const brisklet::Cancelled&) {
            return;
        } catch (const brisklet::Error& error) {
            failure = QString::fromStdString(error.description());
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        } catch (...) {
            failure = QStringLiteral("An unexpected error occurred.");
        }
        if (failed)
            deliver(owner, stop, [failed, failure] { failed(failure); });
    };
    start(std::move(job));
}
