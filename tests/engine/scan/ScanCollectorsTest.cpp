#include "scan/ScanCollectors.h"

#include <gtest/gtest.h>

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
    // Room for every offer, so a file wrongly left out cannot hide behind a larger one.
    LargeFileCollector collector(10, 16'777'216);
    collector.offer(file("just-below", 16'777'215));
    collector.offer(file("at", 16'777'216));
    collector.offer(file("bigger", 20'000'000));
    EXPECT_EQ(names(collector.sortedItems()), (std::vector<std::string>{"bigger", "at"}));
    LargeFileCollector one(0, 1);
    one.offer(file("a", 5));
    one.offer(file("b", 7));
    EXPECT_EQ(names(one.sortedItems()), std::vector<std::string>{"b"});
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
