#include "BackgroundRunner.h"

#include <QThreadPool>

QThreadPool* BackgroundRunner::pool()
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

void BackgroundRunner::stopAll()
{
    m_stop.request_stop();
    m_stop = std::stop_source();
}

void BackgroundRunner::start(std::function<void()> job)
{
    pool()->start(std::move(job));
}
