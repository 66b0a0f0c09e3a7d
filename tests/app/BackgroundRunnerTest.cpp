// The screens' background helper: answers arrive on the GUI thread, failures carry the engine's text,
// nothing arrives for a screen that is gone or has moved on, and what the answer held is released on
// the GUI thread either way.
#include "AppTestSupport.h"

#include "shell/BackgroundRunner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>
#include <optional>
#include <stdexcept>

namespace {

bool onGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Held by a callback: records whether the callback was released on the GUI thread.
struct ReleaseMark {
    bool* releasedOnGui;
    ~ReleaseMark() { *releasedOnGui = onGuiThread(); }
};

struct Answers {
    std::optional<int> value;
    std::optional<QString> failure;
    bool releasedOnGui = false;
};

enum class Then { nothing, stop, destroyOwner };

// Runs a job that gives 7 or throws what raise throws; then happens before the answer can arrive.
Answers runOnce(const std::function<void()>& raise, Then then)
{
    Answers answers;
    auto owner = std::make_unique<QObject>();
    BackgroundRunner runner(owner.get());
    runner.run(
        [raise](std::stop_token) {
            raise();
            return 7;
        },
        [&answers, mark = std::make_shared<ReleaseMark>(&answers.releasedOnGui)](int v) {
            EXPECT_TRUE(onGuiThread());
            answers.value = v;
        },
        [&answers](const QString& text) { answers.failure = text; });
    if (then == Then::stop)
        runner.stopAll();
    if (then == Then::destroyOwner)
        owner.reset();
    settleBackground();
    return answers;
}

} // namespace

TEST(BackgroundRunner, AnswersOnTheGuiThreadOnlyWhileWantedAndReleasesTheCallbacksThere)
{
    struct Case { const char* name; std::function<void()> raise; Then then; std::optional<int> value; std::optional<QString> failure; };
    const Case cases[] = {
        {"result", [] {}, Then::nothing, 7, {}},
        {"engine error", [] { throw brisklet::Error("The disk is gone."); }, Then::nothing, {}, "The disk is gone."},
        {"other exception", [] { throw std::runtime_error("bad"); }, Then::nothing, {}, "bad"},
        {"cancelled", [] { throw brisklet::Cancelled(); }, Then::nothing, {}, {}},
        {"stopped", [] {}, Then::stop, {}, {}},
        {"owner gone", [] {}, Then::destroyOwner, {}, {}},
    };
    for (const Case& c : cases) {
        const Answers answers = runOnce(c.raise, c.then);
        EXPECT_EQ(answers.value, c.value) << c.name;
        EXPECT_EQ(answers.failure, c.failure) << c.name;
        EXPECT_TRUE(answers.releasedOnGui) << c.name << ": callbacks released on a worker thread";
    }
}

TEST(BackgroundRunner, StopReachesTheWorkAndItsReportsAndLaterRunsStillAnswer)
{
    QObject owner;
    BackgroundRunner runner(&owner);
    std::vector<int> reports;
    std::atomic<bool> started = false, sawStop = false;
    const auto report = runner.reporter<int>([&reports](int step) {
        EXPECT_TRUE(onGuiThread());
        reports.push_back(step);
    });
    runner.run(
        [&, report](std::stop_token token) {
            report(1);
            started = true;
            while (!token.stop_requested())
                QThread::msleep(1);
            sawStop = true;
            report(2); // after the stop: dropped
        },
        [] { ADD_FAILURE() << "a stopped run answered"; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 10000));
    QCoreApplication::processEvents();
    runner.stopAll();
    bool answered = false;
    runner.run([](std::stop_token) {}, [&answered] { answered = true; });
    settleBackground();
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(answered);
    EXPECT_EQ(reports, std::vector<int>{1});
}
