// The screens' background helper: answers arrive on the GUI thread, failures carry the engine's text,
// and nothing arrives for a screen that is gone or has moved on.
#include "shell/BackgroundRunner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <optional>
#include <stdexcept>

namespace {

struct Answers {
    std::optional<int> value;
    std::optional<QString> failure;
    bool onGuiThread = false;
};

// Runs a job that gives `value` or throws what `raise` throws, and collects the answers for a moment.
template <class Raise>
Answers runOnce(int value, Raise raise, bool stopFirst = false, bool destroyOwner = false)
{
    Answers answers;
    auto* owner = new QObject;
    auto runner = std::make_unique<BackgroundRunner>(owner);
    runner->run(
        [value, raise](std::stop_token) {
            raise();
            return value;
        },
        [&answers](int v) {
            answers.value = v;
            answers.onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        },
        [&answers](const QString& text) { answers.failure = text; });
    if (stopFirst)
        runner->stopAll();
    if (destroyOwner)
        delete owner;
    QTest::qWait(150);
    runner.reset();
    if (!destroyOwner)
        delete owner;
    return answers;
}

} // namespace

TEST(BackgroundRunner, DeliversResultsAndFailureTextsOnTheGuiThread)
{
    const Answers ok = runOnce(7, [] {});
    EXPECT_EQ(ok.value, 7);
    EXPECT_TRUE(ok.onGuiThread);
    EXPECT_FALSE(ok.failure);

    EXPECT_EQ(runOnce(1, [] { throw brisklet::Error("The disk is gone."); }).failure, QStringLiteral("The disk is gone."));
    EXPECT_EQ(runOnce(1, [] { throw std::runtime_error("bad"); }).failure, QStringLiteral("bad"));

    const Answers cancelled = runOnce(1, [] { throw brisklet::Cancelled(); });
    EXPECT_FALSE(cancelled.value);
    EXPECT_FALSE(cancelled.failure);
}

TEST(BackgroundRunner, DropsAnswersAfterStopOrWhenTheOwnerIsGone)
{
    const auto slow = [] { QThread::msleep(40); };
    EXPECT_FALSE(runOnce(1, slow, /*stopFirst=*/true).value);
    EXPECT_FALSE(runOnce(1, slow, false, /*destroyOwner=*/true).value);
}

TEST(BackgroundRunner, StopReachesTheWorkAndLaterRunsStillAnswer)
{
    QObject owner;
    BackgroundRunner runner(&owner);
    std::atomic<bool> started = false, sawStop = false;
    runner.run(
        [&started, &sawStop](std::stop_token token) {
            started = true;
            for (int i = 0; i < 200 && !token.stop_requested(); ++i)
                QThread::msleep(5);
            sawStop = token.stop_requested();
        },
        [] { ADD_FAILURE() << "a stopped run answered"; });
    QTRY_VERIFY_WITH_TIMEOUT(started, 2000);
    runner.stopAll();
    bool answered = false;
    runner.run([](std::stop_token) {}, [&answered] { answered = true; });
    QTest::qWait(150);
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(answered);
}
