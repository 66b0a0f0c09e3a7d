#include "scan/DirectoryIOPool.h"
#include "scan/ScanCollectors.h"
#include "Error.h"

#include <gtest/gtest.h>

#include <thread>

#include <atomic>
#include <future>

using namespace brisklet;

namespace {
FileEntry file(const std::string& name, std::int64_t size) {
    return FileEntry{name, "/t/" + name, size, false, ScanState::complete};
}
std::vector<std::string> names(const std::vector<FileEntry>& entries) {
    std::vector<std::string> out;
    for (const FileEntry& e : entries)
        out.push_back(e.name);
    return out;
}
} // namespace

TEST(LargeFileCollector, ThresholdIsInclusiveAndLimitBelowOneMeansOne) {
    LargeFileCollector collector(0, 16'777'216);
    collector.offer(file("just-below", 16'777'215));
    EXPECT_TRUE(collector.sortedItems().empty());
    collector.offer(file("at", 16'777'216));
    collector.offer(file("bigger", 20'000'000));
    EXPECT_EQ(names(collector.sortedItems()), std::vector<std::string>{"bigger"});
}

TEST(LargeFileCollector, EqualSizesKeepArrivalOrderBeforeAndAfterTheListFills) {
    LargeFileCollector collector(3, 1);
    collector.offer(file("a", 5));
    collector.offer(file("b", 7));
    EXPECT_EQ(names(collector.sortedItems()), (std::vector<std::string>{"b", "a"}));
    collector.offer(file("c", 5)); // fills the list: sorted b, a, c
    collector.offer(file("d", 5)); // equal to the smallest: dropped
    EXPECT_EQ(names(collector.sortedItems()), (std::vector<std::string>{"b", "a", "c"}));
    collector.offer(file("e", 6)); // replaces c and moves past a only
    EXPECT_EQ(names(collector.sortedItems()), (std::vector<std::string>{"b", "e", "a"}));
    collector.offer(file("f", 7)); // equal to b: stays behind the earlier arrival
    EXPECT_EQ(names(collector.sortedItems()), (std::vector<std::string>{"b", "f", "e"}));
}

TEST(InodeTracker, ReportsEachKeyNewOnlyOnce) {
    InodeTracker tracker;
    EXPECT_TRUE(tracker.insert({1, 42}));
    EXPECT_FALSE(tracker.insert({1, 42}));
    EXPECT_TRUE(tracker.insert({2, 42})); // same inode number on another device
}

TEST(DirectoryIOPool, WidthBelowOneMeansOneQueueAndQueuesAreTakenRoundRobin) {
    EXPECT_EQ(DirectoryIOPool(0, 1).width(), 1);
    EXPECT_EQ(DirectoryIOPool(-3, 1).width(), 1);
    DirectoryIOPool pool(2, 1);
    std::vector<int> order;
    for (int i = 0; i < 5; ++i)
        order.push_back(pool.nextQueue());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 0, 1, 0}));
    EXPECT_EQ(pool.queueLabel(1), std::string(engineIdentifier()) + ".io.1");
}

TEST(DirectoryRequest, FirstFinishDecidesAndLateInstallStillResumesOnce) {
    DirectoryRequest request;
    request.finish(DirectoryWork::timedOutRecord());
    request.finish(DirectoryWork::emptyRecord()); // ignored
    int resumed = 0;
    bool timedOut = false;
    request.install([&](DirectoryWork&& work) {
        ++resumed;
        timedOut = work.timedOut;
    });
    request.finish(DirectoryWork::emptyRecord());
    EXPECT_EQ(resumed, 1);
    EXPECT_TRUE(timedOut);
}

TEST(DirectoryIOPool, CancelAnswersEveryWaitingReadAndLaterRunsDoNotDispatch) {
    DirectoryIOPool pool(1, 60);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> answered{0}, reads{0};
    // The first read blocks its only queue; the others wait behind it.
    for (int i = 0; i < 4; ++i)
        pool.run(
            [&, released](const StopCheck&) {
                ++reads;
                released.wait();
                DirectoryWork work;
                work.localBytes = 1;
                return work;
            },
            [&](DirectoryWork&& work) {
                EXPECT_EQ(work.localBytes, 0);
                ++answered;
            });
    pool.cancel();
    EXPECT_EQ(answered.load(), 4);
    pool.run([&](const StopCheck&) { return ++reads, DirectoryWork{}; }, [&](DirectoryWork&&) { ++answered; });
    EXPECT_EQ(answered.load(), 5);
    release.set_value();
    EXPECT_LE(reads.load(), 1);
}

TEST(DirectoryIOPool, AnsweredReadsLeaveTheDeadlineHeapLongBeforeTheirDeadline) {
    DirectoryIOPool pool(2, 600);
    for (int i = 0; i < 200; ++i)
        pool.run([](const StopCheck&) { return DirectoryWork{}; }, [](DirectoryWork&&) {});
    for (int i = 0; i < 1000 && pool.armedDeadlines() > 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_LE(pool.armedDeadlines(), 4u);
}

TEST(DirectoryIOPool, RunAfterShutdownAnswersAtOnceAndKeepsNothing) {
    // A scan's continuations may still hand out reads while the scan shuts its pool down; a read
    // parked on a closed queue would keep the scan's shared state alive forever.
    DirectoryIOPool pool(1, 60);
    pool.shutdown();
    auto token = std::make_shared<int>(0);
    int answers = 0;
    pool.run([token](const StopCheck&) { return DirectoryWork{}; },
             [token, &answers](DirectoryWork&& work) {
                 EXPECT_FALSE(work.unreadable);
                 ++answers;
             });
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(token.use_count(), 1);
}
