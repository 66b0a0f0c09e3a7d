#include "BackgroundRunner.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace {
QThreadPool* backgroundPool()
{
    // Screens block in their work (samples, child processes, scans), so the pool is wider than the
    // processor count; idle threads expire.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(32);
        pool->setExpiryTimeout(30'000);
    }
    return pool;
}
} // namespace

void BackgroundRunner::stopAll()
{
    m_stop.request_stop();
    m_stop = std::stop_source();
}

void BackgroundRunner::start(std::function<void()> job)
{
    backgroundPool()->start(std::move(job));
}

void BackgroundRunner::deliver(QPointer<QObject> owner, std::stop_source stop, std::function<void()> answer)
{
    // The application object outlives the pool's workers, so it is a safe target from any thread; the
    // owner is checked only on the GUI thread, where it can be destroyed.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [owner = std::move(owner), stop = std::move(stop), answer = std::move(answer)] {
            if (owner && !stop.stop_requested())
                answer();
        },
        Qt::QueuedConnection);
}
