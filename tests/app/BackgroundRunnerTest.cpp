// The screens' background helper: answers arrive on the GUI thread, failures carry the engine's text,
// nothing arrives for a screen that is gone or has moved on, and what the answer held is released on
// the GUI thread either way.
#include "shell/BackgroundRunner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace {

bool onGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Lets every queued job finish and every answer it posted run.
void settle()
{
    ASSERT_TRUE(BackgroundRunner::pool()->waitForDone(10000));
    QCoreApplication::processEvents();
}

// Records on which thread the callbacks holding it were released.
struct ReleaseProbe {
    std::shared_ptr<bool> releasedOnGui = std::make_shared<bool>(false);
    struct Mark {
        std::shared_ptr<bool> flag;
        ~Mark() { *flag = onGuiThread(); }
    };
    std::shared_ptr<Mark> mark = std::make_shared<Mark>(Mark{releasedOnGui});
};

struct Answers {
    std::optional<int> value;
    std::optional<QString> failure;
    bool answeredOnGui = false;
    bool releasedOnGui = false;
};

enum class Then { nothing, stop, destroyOwner };

// Runs a job that gives `value` or throws what `raise` throws; `then` happens before the answer can.
template <class Raise>
Answers runOnce(Raise raise, Then then = Then::nothing)
{
    Answers answers;
    auto owner = std::make_unique<QObject>();
    BackgroundRunner runner(owner.get());
    ReleaseProbe probe;
    runner.run(
        [raise](std::stop_token) {
            raise();
            return 7;
        },
        [&answers, mark = probe.mark](int v) {
            answers.value = v;
            answers.answeredOnGui = onGuiThread();
        },
        [&answers](const QString& text) { answers.failure = text; });
    probe.mark.reset();
    if (then == Then::stop)
        runner.stopAll();
    if (then == Then::destroyOwner)
        owner.reset();
    settle();
    answers.releasedOnGui = *probe.releasedOnGui;
    return answers;
}

} // namespace

TEST(BackgroundRunner, DeliversResultsAndFailureTextsOnTheGuiThread)
{
    const Answers ok = runOnce([] {});
    EXPECT_EQ(ok.value, 7);
    EXPECT_TRUE(ok.answeredOnGui);
    EXPECT_FALSE(ok.failure);

    EXPECT_EQ(runOnce([] { throw brisklet::Error("The disk is gone."); }).failure, QStringLiteral("The disk is gone."));
    EXPECT_EQ(runOnce([] { throw std::runtime_error("bad"); }).failure, QStringLiteral("bad"));

    const Answers cancelled = runOnce([] { throw brisklet::Cancelled(); });
    EXPECT_FALSE(cancelled.value);
    EXPECT_FALSE(cancelled.failure);
}

TEST(BackgroundRunner, DropsAnswersAfterStopOrWhenTheOwnerIsGoneAndReleasesThemOnTheGuiThread)
{
    for (Then then : {Then::stop, Then::destroyOwner}) {
        const Answers dropped = runOnce([] {}, then);
        EXPECT_FALSE(dropped.value);
        EXPECT_TRUE(dropped.releasedOnGui) << "callbacks released on a worker thread";
    }
    EXPECT_TRUE(runOnce([] { throw brisklet::Cancelled(); }).releasedOnGui);
}

TEST(BackgroundRunner, StopReachesTheWorkAndItsReportsAndLaterRunsStillAnswer)
{
    QObject owner;
    BackgroundRunner runner(&owner);
    std::vector<int> reports;
    std::mutex mutex;
    std::condition_variable_any wake;
    bool started = false, sawStop = false;
    const auto report = runner.reporter<int>([&reports](int step) {
        EXPECT_TRUE(onGuiThread());
        reports.push_back(step);
    });
    runner.run(
        [&, report](std::stop_token token) {
            report(1);
            std::unique_lock lock(mutex);
            started = true;
            wake.notify_all();
            sawStop = !wake.wait(lock, token, [] { return false; });
            report(2); // after the stop: dropped
        },
        [] { ADD_FAILURE() << "a stopped run answered"; });
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return started; });
    }
    QCoreApplication::processEvents();
    runner.stopAll();
    bool answered = false;
    runner.run([](std::stop_token) {}, [&answered] { answered = true; });
    settle();
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(answered);
    EXPECT_EQ(reports, std::vector<int>{1});
}
