#include "scan/ScanRecords.h"

#include <gtest/gtest.h>

using namespace brisklet;

TEST(ScanStateCoding, AcceptsOnlyExactRawValues) {
    EXPECT_EQ(scanStateFromRawString("partial"), ScanState::partial);
    EXPECT_EQ(scanStateFromRawString("complete"), ScanState::complete);
    EXPECT_EQ(scanStateFromRawString("unavailable"), ScanState::unavailable);
    EXPECT_EQ(scanStateFromRawString("Partial"), std::nullopt);
    EXPECT_EQ(scanStateFromRawString(""), std::nullopt);
    EXPECT_EQ(scanStateFromRawString("partial "), std::nullopt);
    for (ScanState s : {ScanState::complete, ScanState::partial, ScanState::unavailable})
        EXPECT_EQ(scanStateFromRawString(toRawString(s)), s);
}

TEST(FileEntryEquality, StateAloneMakesEntriesDiffer) {
    const FileEntry a{"n", "/p/n", 10, false, ScanState::complete};
    FileEntry b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<FileEntry>{}(a), std::hash<FileEntry>{}(b));
    b.state = ScanState::partial;
    EXPECT_NE(a, b);
    EXPECT_NE(std::hash<FileEntry>{}(a), std::hash<FileEntry>{}(b));
}

namespace {
ScanNode node(const std::string& name, std::optional<std::vector<ScanNode>> children = std::nullopt) {
    return ScanNode{FileEntry{name, "/" + name, 0, bool(children), ScanState::complete}, std::move(children)};
}
} // namespace

TEST(ScanNodeWalk, VisitsPreOrderAndLeavesWithoutChildrenOnce) {
    std::vector<std::string> seen;
    node("A").walk([&](const ScanNode& n) { seen.push_back(n.entry.name); });
    EXPECT_EQ(seen, std::vector<std::string>{"A"});

    seen.clear();
    const ScanNode tree = node("A", std::vector<ScanNode>{node("B", std::vector<ScanNode>{node("D")}), node("C")});
    tree.walk([&](const ScanNode& n) { seen.push_back(n.entry.name); });
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "B", "D", "C"}));
}

TEST(ByteFormatHumanReadable, UsesDecimalUnitsAndSurvivesNegativeAndExtremeCounts) {
    EXPECT_EQ(ByteFormat::humanReadable(0), "0 bytes");
    EXPECT_EQ(ByteFormat::humanReadable(1), "1 byte");
    EXPECT_EQ(ByteFormat::humanReadable(999), "999 bytes");
    EXPECT_EQ(ByteFormat::humanReadable(1000), "1 KB");
    EXPECT_EQ(ByteFormat::humanReadable(1'500'000), "1.5 MB");
    EXPECT_EQ(ByteFormat::humanReadable(999'999), "1 MB");
    EXPECT_EQ(ByteFormat::humanReadable(999'499), "999 KB");
    EXPECT_EQ(ByteFormat::humanReadable(999'500), "1 MB");
    EXPECT_EQ(ByteFormat::humanReadable(999'949), "1 MB");
    EXPECT_EQ(ByteFormat::humanReadable(999'949'999), "1 GB");
    EXPECT_EQ(ByteFormat::humanReadable(12'345'678'901), "12.3 GB");
    EXPECT_EQ(ByteFormat::humanReadable(-1'500'000), "-1.5 MB");
    EXPECT_FALSE(ByteFormat::humanReadable(INT64_MIN).empty());
    EXPECT_FALSE(ByteFormat::humanReadable(INT64_MAX).empty());
}
