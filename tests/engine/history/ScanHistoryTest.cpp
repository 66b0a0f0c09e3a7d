#include "ChildProcess.h"
#include "TempTree.h"
#include "history/ScanHistory.h"
#include "platform/FileServices.h"
#include "scan/DiskScanner.h"
#include "scan/ScanDefaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;

namespace {

constexpr std::int64_t MiB = 1024 * 1024;

ScanResult scan(const std::string& root) {
    DiskScanner::Options options{.maxWorkers = 2,
                                 .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
                                 .rootSkipNames = ScanDefaults::rootSkipNames(),
                                 .largeFileThresholdBytes = 1,
                                 .topLargeFileCount = 100,
                                 .directoryTimeoutSeconds = 15};
    return DiskScanner(options).scan(root, std::make_shared<ScanStats>());
}

std::int64_t allocated(const std::string& path) {
    struct stat st{};
    ::lstat(path.c_str(), &st);
    return st.st_blocks * 512;
}

// A root with `folders` folders of one large file each: big enough that storing takes a while.
ScanSummary syntheticSummary(const std::string& root, int folders, std::int64_t finishedAtMs) {
    ScanSummary summary;
    summary.root = root;
    summary.startedAtMs = summary.finishedAtMs = finishedAtMs;
    summary.items.push_back({-1, true, ScanState::complete, root, 0, 0});
    for (int i = 0; i < folders; ++i) {
        const auto folder = static_cast<std::int32_t>(summary.items.size());
        summary.items.push_back({0, true, ScanState::complete, "folder" + std::to_string(i), 2 * MiB, 1});
        summary.items.push_back({folder, false, ScanState::complete, "big", 2 * MiB, 1});
    }
    summary.items[0].bytes = 2 * MiB * folders;
    return summary;
}

std::map<std::string, ScanChange> byPath(const ScanComparison& comparison) {
    std::map<std::string, ScanChange> changes;
    for (const ScanChange& change : comparison.changes)
        changes.emplace(change.path, change);
    return changes;
}

} // namespace

TEST(ScanHistory, TwoRealScansCompareExactlyInMemoryAndStoredForGrownShrunkNewAndGoneItemsWithNamesThatAreNotUtf8) {
    TempTree tree;
    TempTree state;
    const std::string root = tree.root();
    tree.writeFileOfSize("keep/grow.bin", 2 * MiB);
    tree.writeFileOfSize("keep/shrink.bin", 3 * MiB);
    tree.writeFileOfSize("keep/dwindle.bin", 2 * MiB); // falls below the large-file size
    tree.writeFileOfSize("keep/small.txt", 100);
    tree.writeFileOfSize("gone/old.bin", 2 * MiB);
    tree.writeFileOfSize("caf\xE9/kept\xFF.bin", 2 * MiB);
    ScanHistory history(state.path("brisklet/scans.sqlite"));

    const ScanResult first = scan(root);
    const std::map<std::string, std::int64_t> before{
        {"keep/grow.bin", allocated(tree.path("keep/grow.bin"))},
        {"keep/shrink.bin", allocated(tree.path("keep/shrink.bin"))},
        {"keep/dwindle.bin", allocated(tree.path("keep/dwindle.bin"))},
        {"caf\xE9/kept\xFF.bin", allocated(tree.path("caf\xE9/kept\xFF.bin"))},
        {"gone/old.bin", allocated(tree.path("gone/old.bin"))}};
    const auto firstId = history.store(ScanHistory::summarize(root, first, 1000, 2000));
    ASSERT_TRUE(firstId);

    tree.writeFileOfSize("keep/grow.bin", 5 * MiB);
    tree.writeFileOfSize("keep/shrink.bin", MiB + 4096);
    tree.writeFileOfSize("keep/dwindle.bin", 8192);
    test::removeTree(tree.path("gone"));
    tree.writeFileOfSize("n\xE9w\xC3/added.bin", 3 * MiB);
    const ScanResult second = scan(root);
    const auto earlier = history.newestSnapshot(root);
    ASSERT_TRUE(earlier);
    const ScanSummary secondSummary = ScanHistory::summarize(root, second, 3000, 4000, false, &*earlier);
    const auto inMemory = byPath(ScanHistory::compare(*earlier, ScanHistory::snapshot(secondSummary)));
    const auto secondId = history.store(secondSummary);
    ASSERT_TRUE(secondId);

    EXPECT_EQ(history.previousScan(*secondId)->id, *firstId);
    const auto comparison = history.compare(*firstId, *secondId);
    ASSERT_TRUE(comparison);
    const auto changes = byPath(*comparison);
    ASSERT_EQ(inMemory.size(), changes.size());
    for (const auto& [path, change] : changes) {
        EXPECT_EQ(inMemory.at(path).earlierBytes, change.earlierBytes) << path;
        EXPECT_EQ(inMemory.at(path).laterBytes, change.laterBytes) << path;
    }
    const auto at = [&](const std::string& relative) {
        const auto found = changes.find(relative.empty() ? root : root + "/" + relative);
        EXPECT_NE(found, changes.end()) << relative;
        return found == changes.end() ? ScanChange{} : found->second;
    };

    EXPECT_EQ(at("").difference(), second.root.entry.sizeBytes - first.root.entry.sizeBytes);
    for (const char* grownOrShrunk : {"keep/grow.bin", "keep/shrink.bin"}) {
        const ScanChange change = at(grownOrShrunk);
        EXPECT_EQ(change.earlierBytes, before.at(grownOrShrunk));
        EXPECT_EQ(change.laterBytes, allocated(tree.path(grownOrShrunk)));
    }
    EXPECT_EQ(at("keep").difference(),
              allocated(tree.path("keep/grow.bin")) - before.at("keep/grow.bin") +
                  allocated(tree.path("keep/shrink.bin")) - before.at("keep/shrink.bin") +
                  allocated(tree.path("keep/dwindle.bin")) - before.at("keep/dwindle.bin"));
    EXPECT_EQ(at("keep/dwindle.bin").laterBytes, allocated(tree.path("keep/dwindle.bin"))); // shrunk, not gone
    EXPECT_TRUE(at("gone").isGone());
    EXPECT_EQ(at("gone/old.bin").difference(), -before.at("gone/old.bin"));
    EXPECT_TRUE(at("n\xE9w\xC3").isNew());
    EXPECT_TRUE(at("n\xE9w\xC3/added.bin").isNew());
    EXPECT_EQ(at("n\xE9w\xC3/added.bin").difference(), allocated(tree.path("n\xE9w\xC3/added.bin")));
    EXPECT_EQ(at("caf\xE9/kept\xFF.bin").difference(), 0);
    EXPECT_FALSE(changes.contains(root + "/keep/small.txt"));
    EXPECT_TRUE(at("keep").isDirectory);
    EXPECT_FALSE(at("keep/grow.bin").isDirectory);

    // Still small in a third scan: still kept, so nothing reads as gone.
    const auto latest = history.newestSnapshot(root);
    const auto thirdId = history.store(ScanHistory::summarize(root, scan(root), 5000, 6000, false, &*latest));
    const auto unchanged = history.compare(*secondId, *thirdId);
    ASSERT_TRUE(unchanged);
    EXPECT_TRUE(std::none_of(unchanged->changes.begin(), unchanged->changes.end(),
                             [](const ScanChange& change) { return change.isGone() || change.isNew(); }));

    const std::vector<StoredScan> stored = history.scans(root);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1].id, *secondId); // newest first
    EXPECT_EQ(stored[1].totals, second.totals);
    EXPECT_EQ(stored[2].root, root);
    struct stat st{};
    ASSERT_EQ(::stat(history.databasePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
}

TEST(ScanHistory, AFileGrownPastTheLargeSizeIsNotNewAndWhatAScanCouldNotReadIsNeitherNewNorGone) {
    TempTree tree, state;
    const std::string root = tree.root(), grew = "d\xFF/grew\xE9.bin", locked = "locked\xFE";
    tree.writeFileOfSize(grew, 500 * 1024);
    tree.writeFileOfSize(locked + "/sub/deeper.bin", 2 * MiB);
    ::chmod(root.c_str(), 0755);
    ::chmod(state.root().c_str(), 0777);
    ::chmod(tree.path(locked).c_str(), 0);
    const std::string store = state.path("scans.sqlite"); // first scanned by a user who cannot read "locked"
    ASSERT_EQ(test::runUnprivileged([&] { return ScanHistory(store).store(ScanHistory::summarize(root, scan(root), 1, 2)) ? 0 : 1; }), 0);
    ::chmod(tree.path(locked).c_str(), 0755);
    tree.writeFileOfSize(grew, 3 * MiB);
    ScanHistory history(store);
    auto earlier = history.newestSnapshot(root);
    const auto laterId = history.store(ScanHistory::summarize(root, scan(root), 3, 4, false, &*earlier));
    auto changes = byPath(*history.compare(earlier->scan.id, *laterId));
    const ScanChange& grown = changes.at(root + "/" + grew);
    EXPECT_TRUE(!grown.isNew() && grown.earlierBelowLargeFile);
    EXPECT_EQ(grown.difference(), allocated(tree.path(grew)) - (MiB - 1)); // the least it can have grown
    for (const std::string& relative : {locked, locked + "/sub", locked + "/sub/deeper.bin"})
        EXPECT_TRUE(!changes.at(root + "/" + relative).isNew() && changes.at(root + "/" + relative).notCompared) << relative;

    // Stopped as it opens "locked": stored marked cancelled, never a baseline, and what it left unread is not gone.
    std::stop_source source;
    DiskScanner stopping({.maxWorkers = 1, .foldDirectoryNames = {}, .rootSkipNames = {}, .largeFileThresholdBytes = 1,
                          .topLargeFileCount = 10, .directoryTimeoutSeconds = 15},
                         [&](const std::string& path, std::string_view call) { if (path == tree.path(locked) && call == "open") source.request_stop(); });
    try {
        stopping.scan(root, std::make_shared<ScanStats>(), source.get_token());
        FAIL() << "not stopped";
    } catch (const DiskScanner::Stopped& stopped) {
        earlier = history.newestSnapshot(root);
        const auto id = history.store(ScanHistory::summarize(root, stopped.walked(), 5, 6, true, &*earlier));
        EXPECT_TRUE(history.scan(*id)->cancelled && history.newestSnapshot(root)->scan.id == *laterId);
        changes = byPath(*history.compare(*laterId, *id));
        EXPECT_TRUE(changes.at(tree.path(locked)).notCompared && !changes.at(tree.path(locked + "/sub/deeper.bin")).isGone());
    }
}

TEST(ScanHistory, RetentionKeepsTheNewestScansOfEachRootAndFitsTheStoreInItsSize) {
    TempTree state;
    {
        ScanHistory history(state.path("scans.sqlite"), {.scansPerRoot = 3, .totalBytes = 500'000'000});
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(history.store(syntheticSummary("/a", 10, i * 1000)));
        ASSERT_TRUE(history.store(syntheticSummary("/b", 10, 9000)));
        std::vector<std::int64_t> finished;
        for (const StoredScan& s : history.scans("/a"))
            finished.push_back(s.finishedAtMs);
        EXPECT_EQ(finished, (std::vector<std::int64_t>{5000, 4000, 3000}));
        EXPECT_EQ(history.scans("/b").size(), 1u);
    }
    {
        // Room for about two of these scans: the oldest go first, whatever their root, never the newest.
        ScanHistory history(state.path("small.sqlite"), {.scansPerRoot = 20, .totalBytes = 600'000});
        for (int i = 1; i <= 6; ++i)
            ASSERT_TRUE(history.store(syntheticSummary(i % 2 ? "/odd" : "/even", 4000, i * 1000)));
        const std::vector<StoredScan> kept = history.scans();
        ASSERT_FALSE(kept.empty());
        EXPECT_LT(kept.size(), 6u);
        EXPECT_EQ(kept.front().finishedAtMs, 6000);
        for (std::size_t i = 0; i < kept.size(); ++i)
            EXPECT_EQ(kept[i].finishedAtMs, 6000 - std::int64_t(i) * 1000); // a run of the newest
        EXPECT_LE(history.usedBytes(), 600'000);
    }
}

TEST(ScanHistory, CancellingAgainAndAgainNeverPushesOutTheScanToCompareWith) {
    TempTree state;
    ScanHistory history(state.path("scans.sqlite"), {.scansPerRoot = 3, .totalBytes = 500'000'000});
    ASSERT_TRUE(history.store(syntheticSummary("/r", 2, 1000)));
    for (int i = 2; i <= 6; ++i) {
        ScanSummary cancelled = syntheticSummary("/r", 2, i * 1000);
        cancelled.cancelled = true;
        history.store(cancelled);
    }
    const std::vector<StoredScan> kept = history.scans("/r"); // the newest cancelled one and the baseline
    EXPECT_TRUE(kept.size() == 2 && kept[0].finishedAtMs == 6000 && kept[1].finishedAtMs == 1000);
    EXPECT_EQ(history.newestSnapshot("/r").value_or(ScanSnapshot{}).scan.finishedAtMs, 1000);
}

TEST(ScanHistory, AnUnusableStoreIsMovedAsideUnchangedAndTheScanStillKept) {
    TempTree state;
    const std::string garbage(100'000, 'x');
    const std::string broken = state.writeFile("garbage/scans.sqlite", garbage);
    state.makeDir("folder/scans.sqlite"); // cannot be opened as a file at all
    for (const std::string& path : {broken, state.path("folder/scans.sqlite")}) {
        ScanHistory history(path);
        ASSERT_TRUE(history.store(syntheticSummary("/r", 3, 1000))) << path;
        EXPECT_EQ(history.scans().size(), 1u);
        const std::vector<std::string> names = platform::sortedEntryNames(platform::parentPath(path));
        const auto aside = std::find_if(names.begin(), names.end(),
                                        [](const std::string& n) { return n.starts_with("scans.sqlite.broken-"); });
        ASSERT_NE(aside, names.end()) << path;
        if (path == broken) {
            EXPECT_EQ(platform::readFileContents(platform::joinPath(platform::parentPath(path), *aside)), garbage);
        }
    }
}

TEST(ScanHistory, ForgettingRemovesOnlyTheCopiesMovedAsideAndDropsAStoreHandedOverBeforeIt) {
    TempTree state;
    const std::string path = state.path("brisklet/scans.sqlite");
    for (std::int64_t at : {1000, 2000}) { // two broken stores in turn, the second in the same second maybe
        state.writeFile("brisklet/scans.sqlite", std::string(100'000, 'x'));
        ASSERT_TRUE(ScanHistory(path).store(syntheticSummary("/r", 1, at)));
    }
    state.writeFile("brisklet/scans.sqlite.broken-20250101-000000.3-wal", "journal");
    const std::vector<std::string> others{"scans.sqlite.broken-notes.txt", "scans.sqlite.broken-20250101-000000.txt",
                                          "other.sqlite.broken-20250101-000000", "scans.sqlite.broken-20250102-000000"};
    for (const std::string& name : others)
        state.writeFile(name == others.back() ? "brisklet/" + name + "/inside" : "brisklet/" + name, "theirs");
    state.writeFile("target", "theirs");
    state.symlink("brisklet/scans.sqlite.broken-20250103-000000", state.path("target"));
    ScanHistory history(path);
    ASSERT_EQ(history.scans().size(), 1u);

    const std::uint64_t handedOver = history.generation();
    ASSERT_TRUE(history.forgetAll());
    EXPECT_FALSE(history.store(syntheticSummary("/r", 1, 3000), handedOver)); // forgetting wins
    EXPECT_TRUE(history.scans().empty());
    std::vector<std::string> left = platform::sortedEntryNames(state.path("brisklet"));
    std::erase_if(left, [](const std::string& name) { return name.starts_with("scans.sqlite") && name.find(".broken-") == std::string::npos; });
    std::vector<std::string> expected = others;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(platform::readFileContents(state.path("target")), "theirs");
    EXPECT_TRUE(history.store(syntheticSummary("/r", 1, 4000), history.generation()));
}

TEST(ScanHistory, RootKeyGivesOneFolderOneKeyHoweverItIsWritten) {
    const std::string here = platform::withoutTrailingSlashes(std::filesystem::current_path().string());
    const std::pair<std::string, std::string> cases[] = {
        {"/tmp/x/tree/", "/tmp/x/tree"}, {"/tmp/x/./tree//.", "/tmp/x/tree"}, {"/tmp/x/tree/../tree/.", "/tmp/x/tree"},
        {"/", "/"}, {"/tmp/..", "/"}, {"./tree/", here + "/tree"}, {"tree/../tree/.", here + "/tree"},
        {"/tmp/\xFF\xFE/", "/tmp/\xFF\xFE"}};
    for (const auto& [written, key] : cases)
        EXPECT_EQ(ScanHistory::rootKey(written), key) << written;
}

TEST(ScanHistory, TheBaselineSkipsCancelledScansAndPrefersCompleteOnes) {
    TempTree state;
    ScanHistory history(state.path("scans.sqlite"));
    std::int64_t latest = 0;
    // A scan's end, whether it is partial and cancelled, and the baseline the store offers before it.
    for (const auto& [at, partial, cancelled, baseline] :
         {std::tuple{1000, false, false, 0}, {2000, true, false, 1000}, {3000, true, true, 1000}, {4000, false, false, 1000}}) {
        EXPECT_EQ(history.newestSnapshot("/r").value_or(ScanSnapshot{}).scan.finishedAtMs, baseline);
        ScanSummary summary = syntheticSummary("/r", 2, at);
        summary.state = partial ? ScanState::partial : ScanState::complete;
        summary.cancelled = cancelled;
        latest = history.store(summary).value_or(0);
    }
    EXPECT_EQ(history.previousScan(latest)->finishedAtMs, 1000);
}

TEST(ScanHistory, AStoreThatIsAPipeOrALinkIsRefusedWhenReadAndNeverMovedAsideByReading) {
    TempTree state;
    ASSERT_EQ(mkfifo(state.path("pipe").c_str(), 0600), 0);
    ASSERT_TRUE(ScanHistory(state.path("real")).store(syntheticSummary("/r", 1, 1000)));
    ASSERT_EQ(symlink("real", state.path("link").c_str()), 0);
    const std::vector<std::string> before = platform::sortedEntryNames(state.root());
    for (const char* name : {"pipe", "link"}) {
        std::string reason;
        EXPECT_TRUE(ScanHistory(state.path(name)).scans(std::nullopt, &reason).empty() && !reason.empty()) << name;
        EXPECT_EQ(platform::sortedEntryNames(state.root()), before) << name; // nothing moved
    }
    EXPECT_TRUE(ScanHistory(state.path("pipe")).store(syntheticSummary("/r", 1, 2000))); // aside, then a fresh one
}

TEST(ScanHistory, TwoProcessesStoringAtOnceLoseNoScan) {
    TempTree state;
    const std::string path = state.path("scans.sqlite");
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ScanHistory history(path);
            int stored = 0;
            for (int i = 0; i < 5; ++i)
                stored += history.store(syntheticSummary("/shared", 3000, writer * 100 + i)) ? 1 : 0;
            _exit(stored == 5 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ScanHistory history(path);
    const std::vector<StoredScan> stored = history.scans("/shared");
    ASSERT_EQ(stored.size(), 10u);
    for (const StoredScan& s : stored)
        EXPECT_EQ(history.compare(s.id, s.id)->changes.size(), 6001u);
}

TEST(ScanHistory, AWriterKilledMidStoreLeavesTheEarlierScansReadable) {
    TempTree state;
    const std::string path = state.path("scans.sqlite");
    {
        ScanHistory history(path);
        ASSERT_TRUE(history.store(syntheticSummary("/r", 100, 1)));
    }
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ScanHistory history(path);
        for (int i = 2;; ++i)
            history.store(syntheticSummary("/r", 20'000, i));
    }
    // Killed while its first big scans are being written, and then once more later.
    ScanHistory reader(path);
    for (int polls = 0; polls < 2000 && reader.scans().size() < 2; ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(37));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);

    ScanHistory history(path);
    const std::vector<StoredScan> stored = history.scans("/r");
    ASSERT_GE(stored.size(), 1u);
    for (const StoredScan& s : stored)
        EXPECT_EQ(history.compare(s.id, s.id)->changes.size(), std::size_t(s.storedItems)) << s.id;
    EXPECT_TRUE(history.store(syntheticSummary("/r", 10, 1'000'000)));
}

TEST(ScanHistory, AChainOfFoldersDeeperThanTheStackIsWalkedSummarizedAndReleased) {
    constexpr int depth = 20'000;
    TempTree tree;
    test::makeFolderChain(tree.root(), depth);
    auto result = std::make_unique<ScanResult>(scan(tree.root()));
    test::removeFolderChain(tree.root(), depth);
    ScanSummary summary;
    std::int64_t visited = 0;
    test::onSmallStack([&] {
        result->root.walk([&visited](const ScanNode&) { ++visited; });
        summary = ScanHistory::summarize(tree.root(), *result, 1000, 2000);
        result.reset();
    });
    EXPECT_EQ(visited, depth + 1);
    ASSERT_EQ(summary.items.size(), std::size_t{depth + 1});
    EXPECT_EQ(summary.items.back().parent, depth - 1);
    EXPECT_EQ(summary.items.back().name, "d");
}

TEST(ScanHistory, TheFoldersAboveAnUnreadFolderDoNotGrowOrShrinkByWhatItHeld) {
    TempTree tree, state;
    const std::string root = tree.root();
    tree.writeFileOfSize("p/d/big.bin", 2 * MiB);
    ::chmod(root.c_str(), 0755);
    ::chmod(state.root().c_str(), 0777);
    ::chmod(tree.path("p/d").c_str(), 0);
    const std::string store = state.path("scans.sqlite");
    ASSERT_EQ(test::runUnprivileged([&] { return ScanHistory(store).store(ScanHistory::summarize(root, scan(root), 1, 2)) ? 0 : 1; }), 0);
    ::chmod(tree.path("p/d").c_str(), 0755);
    tree.writeFileOfSize("p/added.bin", 2 * MiB); // the one change both scans read
    ScanHistory history(store);
    const auto unread = history.newestSnapshot(root);
    const auto readId = history.store(ScanHistory::summarize(root, scan(root), 3, 4, false, &*unread));
    const auto read = history.compare(unread->scan.id, *readId), back = history.compare(*readId, unread->scan.id);
    for (const std::string& folder : {root, tree.path("p")}) {
        EXPECT_EQ(byPath(*read).at(folder).difference(), allocated(tree.path("p/added.bin"))) << folder;
        EXPECT_EQ(byPath(*back).at(folder).difference(), -allocated(tree.path("p/added.bin"))) << folder;
    }
}

TEST(ScanHistory, AKeptFileMissingFromALaterScanOfAnotherBaselineIsNotCalledGone) {
    TempTree tree, state;
    const std::string root = tree.root();
    tree.writeFileOfSize("f.bin", 3 * MiB / 2);
    ScanHistory history(state.path("scans.sqlite"));
    const auto firstId = history.store(ScanHistory::summarize(root, scan(root), 1, 2));
    tree.writeFileOfSize("f.bin", 10'000);
    const auto first = history.newestSnapshot(root);
    const ScanResult now = scan(root);
    const auto strangerId = history.store(ScanHistory::summarize(root, now, 3, 4)); // as another program, with no baseline
    const auto neighbourId = history.store(ScanHistory::summarize(root, now, 5, 6, false, &*first));
    const ScanChange maybe = byPath(*history.compare(*firstId, *strangerId)).at(tree.path("f.bin"));
    EXPECT_TRUE(!maybe.isGone() && maybe.laterBelowLargeFile && maybe.difference() == MiB - 1 - maybe.earlierBytes.value_or(0));
    const ScanChange shrunk = byPath(*history.compare(*firstId, *neighbourId)).at(tree.path("f.bin"));
    EXPECT_TRUE(!shrunk.isGone() && !shrunk.laterBelowLargeFile && shrunk.laterBytes == allocated(tree.path("f.bin")));
}
