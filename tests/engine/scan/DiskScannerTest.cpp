#include "ChildProcess.h"
#include "MountNamespace.h"
#include "ProcessCounts.h"
#include "TempTree.h"
#include "platform/FileOperations.h"
#include "scan/DirectoryIOPool.h"
#include "scan/DiskScanner.h"
#include "scan/ScanDefaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;

namespace {

DiskScanner::Options options(int workers = 2, double timeout = 15) {
    return DiskScanner::Options{.maxWorkers = workers,
                                .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
                                .rootSkipNames = ScanDefaults::rootSkipNames(),
                                .largeFileThresholdBytes = 1,
                                .topLargeFileCount = 100,
                                .directoryTimeoutSeconds = timeout};
}

ScanResult scan(const std::string& root, DiskScanner::Options opts = options(),
                DiskScanner::BeforeCall hook = {}) {
    return DiskScanner(std::move(opts), std::move(hook)).scan(root, std::make_shared<ScanStats>());
}

const ScanNode* child(const ScanNode& node, const std::string& name) {
    if (node.children)
        for (const ScanNode& c : *node.children)
            if (c.entry.name == name)
                return &c;
    return nullptr;
}

std::int64_t allocated(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_blocks * 512;
}

// A gate a hook can wait on; opened by the test. Shared so a stuck read may outlive the test body.
struct Gate {
    std::mutex lock;
    std::condition_variable cv;
    bool open = false;
    void wait() {
        std::unique_lock l(lock);
        cv.wait(l, [&] { return open; });
    }
    void release() {
        {
            std::lock_guard l(lock);
            open = true;
        }
        cv.notify_all();
    }
};

} // namespace

TEST(ScanSizes, CountAllocatedBlocksSymlinkLengthAndSparseLogicalLength) {
    TempTree tree;
    const std::string one = tree.writeFile("one", "x");
    tree.writeFileOfSize("big", 3 * 1024 * 1024);
    tree.symlink("link", tree.path("big"));
    tree.writeSparseFile("sparse", 5'000'000);
    const ScanResult result = scan(tree.root());

    EXPECT_EQ(child(result.root, "one")->entry.sizeBytes, allocated(one));
    EXPECT_GE(child(result.root, "one")->entry.sizeBytes, 512);
    EXPECT_EQ(child(result.root, "link")->entry.sizeBytes, static_cast<std::int64_t>(tree.path("big").size()));
    EXPECT_EQ(child(result.root, "sparse")->entry.sizeBytes, 5'000'000); // no blocks: logical length
    EXPECT_EQ(result.totals.files, 4);
    EXPECT_EQ(result.totals.directories, 1);
    EXPECT_EQ(result.root.entry.sizeBytes, result.totals.bytes);
    EXPECT_EQ(result.state, ScanState::complete);
}

TEST(ScanSizes, HardLinksAcrossFoldersCountOnceAndTheUncountedLinkKeepsItsSizeAndLinkCount) {
    TempTree tree;
    tree.writeFileOfSize("a/data", 1'000'000);
    tree.hardlink("b/again", "a/data");
    const ScanResult result = scan(tree.root());
    const FileEntry& a = child(*child(result.root, "a"), "data")->entry;
    const FileEntry& b = child(*child(result.root, "b"), "again")->entry;
    const FileEntry& uncounted = a.sizeBytes == 0 ? a : b;
    EXPECT_EQ(std::min(a.sizeBytes, b.sizeBytes), 0);
    EXPECT_EQ(std::max(a.sizeBytes, b.sizeBytes), allocated(tree.path("a/data")));
    EXPECT_EQ(uncounted.linkedSizeBytes, allocated(tree.path("a/data"))) << "so screens can show what it holds";
    EXPECT_EQ(a.linkCount, 2u);
    EXPECT_EQ(b.linkCount, 2u);
    EXPECT_EQ(a.linkedSizeBytes + b.linkedSizeBytes, uncounted.linkedSizeBytes) << "the counted link has none";
    EXPECT_EQ(result.totals.files, 2);
    EXPECT_EQ(result.totals.bytes, allocated(tree.path("a/data")));
    EXPECT_EQ(result.root.entry.sizeBytes, result.totals.bytes);
}

TEST(ScanTree, FoldedFolderKeepsSizeButNoChildrenAndNoLargeFiles) {
    TempTree tree;
    tree.writeFileOfSize("project/src/main.c", 10);
    tree.writeFileOfSize("project/node_modules/dep/huge.bin", 2 * 1024 * 1024);
    const ScanResult result = scan(tree.root());
    const ScanNode* modules = child(*child(result.root, "project"), "node_modules");
    ASSERT_NE(modules, nullptr);
    EXPECT_TRUE(modules->entry.isDirectory);
    EXPECT_FALSE(modules->children.has_value());
    EXPECT_EQ(modules->entry.sizeBytes, allocated(tree.path("project/node_modules/dep/huge.bin")));
    EXPECT_EQ(result.totals.files, 2);
    ASSERT_EQ(result.largeFiles.size(), 1u);
    EXPECT_EQ(result.largeFiles[0].name, "main.c");

    // The same folder scanned as the root is not folded.
    const ScanResult rootScan = scan(tree.path("project/node_modules"));
    EXPECT_TRUE(rootScan.root.children.has_value());
    EXPECT_EQ(rootScan.largeFiles.size(), 1u);
}

// ~/.cache is a folder a user goes into; a project's own .cache stays one node.
TEST(ScanTree, CacheHomeIsWalkedIntoWhileProjectCacheFoldersStayFolded) {
    TempTree tree;
    tree.writeFileOfSize("home/.cache/pip/wheel.whl", 10);
    tree.writeFileOfSize("home/project/.cache/tool.bin", 10);
    const std::string cacheHome = tree.path("home/.cache");
    ::setenv("XDG_CACHE_HOME", (cacheHome + "/").c_str(), 1);
    const std::set<std::string> unfolded = ScanDefaults::unfoldedDirectoryPaths();
    ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(unfolded, std::set<std::string>{cacheHome});
    DiskScanner::Options opts = options();
    opts.unfoldedDirectoryPaths = unfolded;
    const ScanResult result = scan(tree.path("home"), opts);
    const ScanNode* cache = child(result.root, ".cache");
    ASSERT_NE(cache, nullptr);
    ASSERT_TRUE(cache->children.has_value());
    EXPECT_NE(child(*cache, "pip"), nullptr);
    EXPECT_FALSE(child(*child(result.root, "project"), ".cache")->children.has_value());
}

TEST(ScanTree, EmptyFolderAndChildOrderFilesFirst) {
    TempTree tree;
    tree.makeDir("empty");
    const ScanResult empty = scan(tree.path("empty"));
    ASSERT_TRUE(empty.root.children.has_value());
    EXPECT_TRUE(empty.root.children->empty());
    EXPECT_EQ(empty.root.entry.sizeBytes, 0);
    EXPECT_EQ(empty.root.entry.name, "empty");
    EXPECT_EQ(empty.totals, (ScanTotals{0, 1, 0}));

    tree.makeDir("mixed/sub1");
    tree.writeFile("mixed/f1", "a");
    tree.makeDir("mixed/sub2");
    tree.writeFile("mixed/f2", "b");
    const ScanResult mixed = scan(tree.path("mixed"));
    ASSERT_EQ(mixed.root.children->size(), 4u);
    EXPECT_FALSE((*mixed.root.children)[0].entry.isDirectory);
    EXPECT_FALSE((*mixed.root.children)[1].entry.isDirectory);
    EXPECT_TRUE((*mixed.root.children)[2].entry.isDirectory);
    EXPECT_TRUE((*mixed.root.children)[3].entry.isDirectory);
}

TEST(ScanTree, ListingLongerThanOneReadBufferIsComplete) {
    // About 130 KB of directory records: the listing takes several calls, the last one short.
    TempTree tree;
    const std::string pad(60, 'n');
    for (int i = 0; i < 1500; ++i)
        tree.writeFile("many/" + pad + std::to_string(i), "");
    const ScanResult result = scan(tree.path("many"));
    EXPECT_EQ(result.totals.files, 1500);
    EXPECT_EQ(result.root.children->size(), 1500u);
}

TEST(ScanTree, NamesThatAreNotUtf8KeepTheirBytes) {
    TempTree tree;
    const std::string name = "caf\xE9"; // Latin-1, not UTF-8
    const std::string path = tree.writeFile(name, "x");
    const ScanResult result = scan(tree.root());
    ASSERT_EQ(result.root.children->size(), 1u);
    EXPECT_EQ((*result.root.children)[0].entry.name, name);
    EXPECT_EQ((*result.root.children)[0].entry.path(), path);
}

TEST(ScanRoot, TrailingSlashesOfTheRootDoNotDoubleInEntryPaths) {
    TempTree tree;
    const std::string file = tree.writeFile("sub/f", "x");
    const ScanResult result = scan(tree.root() + "//");
    EXPECT_EQ(result.root.entry.path(), tree.root());
    const ScanNode* sub = child(result.root, "sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->entry.path(), tree.path("sub"));
    EXPECT_EQ(child(*sub, "f")->entry.path(), file);
}

TEST(ScanHook, SeesEveryFileSystemCallWithItsPath) {
    // Time-out tests and diagnostics rely on these points: validate the root only, open and read each
    // folder by its path, stat each entry by its full path.
    TempTree tree;
    const std::string file = tree.writeFile("f", "x");
    const std::string sub = tree.makeDir("d");
    auto calls = std::make_shared<std::vector<std::pair<std::string, std::string>>>();
    auto lock = std::make_shared<std::mutex>();
    scan(tree.root(), options(), [calls, lock](const std::string& path, std::string_view op) {
        std::lock_guard l(*lock);
        calls->emplace_back(path, std::string(op));
    });
    using Call = std::pair<std::string, std::string>;
    ASSERT_GE(calls->size(), 2u);
    EXPECT_EQ((*calls)[0], (Call{tree.root(), "validate"}));
    EXPECT_EQ((*calls)[1], (Call{tree.root(), "open"}));
    const auto count = [&](const Call& call) { return std::count(calls->begin(), calls->end(), call); };
    EXPECT_EQ(count({tree.root(), "validate"}), 1);
    EXPECT_EQ(count({sub, "validate"}), 0);
    EXPECT_EQ(count({sub, "open"}), 1);
    EXPECT_GE(count({tree.root(), "read"}), 1);
    EXPECT_GE(count({sub, "read"}), 1);
    EXPECT_EQ(count({file, "stat"}), 1);
    EXPECT_EQ(count({sub, "stat"}), 1);
}

TEST(ScanRoot, MissingRootOrFileRootFailsWithItsPath) {
    TempTree tree;
    const std::string file = tree.writeFile("file", "x");
    tree.makeDir("sub");
    // A NUL cuts the path short for the system: it must not scan the folder before it instead.
    const std::string withNul = tree.path("sub") + std::string(1, '\0') + "more";
    for (const std::string& root : {file, tree.path("missing"), withNul}) {
        try {
            scan(root);
            ADD_FAILURE() << "no error for " << root;
        } catch (const DiskScanner::ScanError& error) {
            EXPECT_EQ(error.path(), root);
        }
    }
}

TEST(ScanRoot, UnreadableSubfolderIsUnavailableAndTheResultPartial) {
    TempTree tree;
    tree.writeFile("open/file", "x");
    const std::string locked = tree.makeDir("locked");
    tree.writeFile("locked/secret", "x");
    ::chmod(tree.root().c_str(), 0755);
    ::chmod(locked.c_str(), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const int status = test::runUnprivileged([&] {
        const ScanResult r = scan(tree.root());
        const ScanNode* node = child(r.root, "locked");
        const long long values[] = {node ? node->entry.sizeBytes : -1,
                                    node ? static_cast<long long>(node->entry.state) : -1,
                                    node ? static_cast<long long>(node->children.has_value()) : -1,
                                    static_cast<long long>(r.root.entry.state),
                                    static_cast<long long>(r.state),
                                    r.totals.directories,
                                    // The refused folder as the root: a result, not an error.
                                    [&] {
                                        try {
                                            const ScanResult own = scan(locked);
                                            return static_cast<long long>(own.root.entry.state) * 10 +
                                                   static_cast<long long>(own.state);
                                        } catch (...) {
                                            return -1LL;
                                        }
                                    }()};
        return ::write(fds[1], values, sizeof values) == sizeof values ? 0 : 1;
    });
    ::close(fds[1]);
    long long values[7] = {};
    const bool got = ::read(fds[0], values, sizeof values) == sizeof values;
    ::close(fds[0]);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], static_cast<long long>(ScanState::unavailable));
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(values[3], static_cast<long long>(ScanState::complete));
    EXPECT_EQ(values[4], static_cast<long long>(ScanState::partial));
    EXPECT_EQ(values[5], 2); // the root and "open"; the refused folder is not counted
    EXPECT_EQ(values[6], static_cast<long long>(ScanState::unavailable) * 10 + static_cast<long long>(ScanState::partial));
}

TEST(ScanTimeouts, SlowFolderTimesOutAndItsLateAnswerIsDiscarded) {
    TempTree tree;
    tree.writeFile("slow/inside", "x");
    tree.writeFile("fast/inside", "x");
    const std::string slow = tree.path("slow");
    auto stats = std::make_shared<ScanStats>();
    DiskScanner scanner(options(2, 0.2), [slow](const std::string& path, std::string_view op) {
        if (op == "open" && path == slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(900));
    });
    const ScanResult result = scanner.scan(tree.root(), stats);
    EXPECT_EQ(result.state, ScanState::partial);
    EXPECT_EQ(stats->snapshot().timedOutDirectories, 1);
    EXPECT_EQ(stats->snapshot().permissionDenials, 0);
    const ScanNode* node = child(result.root, "slow");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->entry.state, ScanState::unavailable);
    EXPECT_FALSE(node->children.has_value());
    EXPECT_EQ(child(result.root, "fast")->entry.state, ScanState::complete);
    EXPECT_EQ(result.totals.files, 1);
}

TEST(ScanTimeouts, ATimedOutReadKeepsItsPathWhileStillRunning) {
    // The answer comes from the deadline while the read is still inside its hook: assembling that
    // answer must not take the path away from under the read.
    TempTree tree;
    tree.writeFile("slow/inside", "x");
    const std::string slow = tree.path("slow");
    auto gate = std::make_shared<Gate>();
    auto seen = std::make_shared<std::promise<std::string>>();
    DiskScanner scanner(options(2, 0.2), [gate, seen, slow](const std::string& path, std::string_view op) {
        if (op == "open" && path == slow) {
            gate->wait();
            seen->set_value(path);
        }
    });
    auto stats = std::make_shared<ScanStats>();
    const ScanResult result = scanner.scan(tree.root(), stats);
    EXPECT_EQ(stats->snapshot().timedOutDirectories, 1);
    EXPECT_EQ(child(result.root, "slow")->entry.path(), slow);
    auto after = seen->get_future();
    gate->release();
    ASSERT_EQ(after.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(after.get(), slow);
}

TEST(ScanTimeouts, WithOneQueueReadsBehindAStuckOneTimeOutToo) {
    TempTree tree;
    for (const char* name : {"a", "b", "c"})
        tree.writeFile(std::string(name) + "/f", "x");
    auto gate = std::make_shared<Gate>();
    auto first = std::make_shared<std::once_flag>();
    auto stats = std::make_shared<ScanStats>();
    // The first subfolder opened blocks the only queue; the other two wait behind it.
    DiskScanner scanner(options(1, 0.3), [gate, first, root = tree.root()](const std::string& path,
                                                                          std::string_view op) {
        if (op == "open" && path != root)
            std::call_once(*first, [&] { gate->wait(); });
    });
    const ScanResult result = scanner.scan(tree.root(), stats);
    gate->release();
    EXPECT_EQ(stats->snapshot().timedOutDirectories, 3);
    EXPECT_EQ(result.state, ScanState::partial);
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(child(result.root, name)->entry.state, ScanState::unavailable) << name;
}

TEST(ScanTimeouts, FoldersThatOnlyWaitTheirTurnAreNotTimedOut) {
    // Six folders of 0.3 s each on one queue with a 1.2 s time-out: the last ones wait longer than the
    // time-out behind reads that keep finishing, yet every one of them is readable. Each read keeps
    // 0.9 s to spare, so a slow (loaded or sanitized) run still reads in time.
    TempTree tree;
    for (int i = 0; i < 6; ++i)
        tree.writeFile("d" + std::to_string(i) + "/f", "x");
    auto stats = std::make_shared<ScanStats>();
    DiskScanner scanner(options(1, 1.2), [root = tree.root()](const std::string& path, std::string_view op) {
        if (op == "open" && path != root)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    const ScanResult result = scanner.scan(tree.root(), stats);
    EXPECT_EQ(stats->snapshot().timedOutDirectories, 0);
    EXPECT_EQ(result.state, ScanState::complete);
    EXPECT_EQ(result.totals.files, 6);
}

TEST(ScanTimeouts, UnresponsiveRootBecomesAnUnavailableRootNode) {
    TempTree tree;
    auto gate = std::make_shared<Gate>();
    auto stats = std::make_shared<ScanStats>();
    DiskScanner scanner(options(2, 0.2), [gate](const std::string&, std::string_view op) {
        if (op == "validate")
            gate->wait();
    });
    const ScanResult result = scanner.scan(tree.root(), stats);
    gate->release();
    EXPECT_EQ(result.root.entry.state, ScanState::unavailable);
    EXPECT_EQ(result.state, ScanState::partial);
    EXPECT_EQ(stats->snapshot().timedOutDirectories, 1);
}

TEST(ScanCancellation, StopBeforeTheScanThrowsWithoutTouchingTheFileSystem) {
    TempTree tree;
    std::stop_source source;
    source.request_stop();
    std::atomic<int> calls{0};
    DiskScanner scanner(options(), [&](const std::string&, std::string_view) { ++calls; });
    EXPECT_THROW(scanner.scan(tree.root(), std::make_shared<ScanStats>(), source.get_token()), Cancelled);
    EXPECT_EQ(calls.load(), 0);
}

TEST(ScanCancellation, StopWhileReadsAreStuckThrowsPromptly) {
    TempTree tree;
    for (int i = 0; i < 6; ++i)
        tree.writeFile("d" + std::to_string(i) + "/f", "x");
    auto gate = std::make_shared<Gate>();
    auto entered = std::make_shared<std::promise<void>>();
    auto once = std::make_shared<std::once_flag>();
    // Every subfolder read blocks inside the "file system" until the gate opens, long after the scan.
    DiskScanner scanner(options(2, 600), [gate, entered, once, root = tree.root()](const std::string& path,
                                                                                     std::string_view op) {
        if (op == "open" && path != root) {
            std::call_once(*once, [&] { entered->set_value(); });
            gate->wait();
        }
    });
    std::stop_source source;
    auto stats = std::make_shared<ScanStats>();
    auto result = std::async(std::launch::async, [&] { return scanner.scan(tree.root(), stats, source.get_token()); });
    ASSERT_EQ(entered->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    source.request_stop();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "scan did not return";
    EXPECT_THROW(result.get(), Cancelled);
    EXPECT_EQ(stats->snapshot().directories, 1); // counters already added stay
    gate->release();
}

TEST(ScanCancellation, StopAtAnyPointOfABusyScanHandsBackATreeWhoseUnreadFoldersAreUnavailable) {
    // The stop comes from inside a read, at a different file-system call each round, while other
    // reads and their continuations are in flight on the other queues. Every folder of what was
    // walked is read whole (its size its children's) or unavailable, and nothing is counted twice.
    TempTree tree;
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b)
            for (int c = 0; c < 3; ++c)
                tree.writeFile("a" + std::to_string(a) + "/b" + std::to_string(b) + "/c" + std::to_string(c) + "/f", "x");
    for (const int stopAt : {1, 2, 7, 30, 90, 250}) {
        std::stop_source source;
        auto calls = std::make_shared<std::atomic<int>>(0);
        DiskScanner scanner(options(3), [calls, stopAt, source](const std::string&, std::string_view) mutable {
            if (++*calls == stopAt)
                source.request_stop();
        });
        try {
            scanner.scan(tree.root(), std::make_shared<ScanStats>(), source.get_token());
            ADD_FAILURE() << "not stopped at " << stopAt;
        } catch (const DiskScanner::Stopped& stopped) {
            std::int64_t files = 0, unread = 0;
            stopped.walked().root.walk([&](const ScanNode& node) {
                std::int64_t sum = 0;
                for (const ScanNode& c : node.children.value_or(std::vector<ScanNode>{}))
                    sum += c.entry.sizeBytes;
                const bool isUnread = node.entry.isDirectory && !node.children;
                files += node.entry.isDirectory ? 0 : 1;
                unread += isUnread;
                EXPECT_TRUE(isUnread ? node.entry.state == ScanState::unavailable && node.entry.sizeBytes == 0
                                     : !node.children || node.entry.sizeBytes == sum) << stopAt;
            });
            EXPECT_TRUE(stopped.walked().state == ScanState::partial && stopped.walked().totals.files == files && unread)
                << stopAt;
        }
    }
}

TEST(ScanMounts, AnotherFileSystemOrABindMountInsideIsNotEntered) {
    if (!test::inPrivateMountNamespace())
        return;
    // The bind mount shows a folder of the same disk again: same device, walked twice if entered.
    TempTree tree;
    const std::string mnt = tree.makeDir("mnt");
    const std::string bind = tree.makeDir("bind");
    tree.writeFileOfSize("keep/data", 1 << 20);
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
    ::close(::open((mnt + "/inside").c_str(), O_CREAT | O_WRONLY, 0644));
    const bool bound = ::mount(tree.path("keep").c_str(), bind.c_str(), nullptr, MS_BIND, nullptr) == 0;
    const ScanResult result = scan(tree.root());
    ::umount(mnt.c_str());
    ::umount2(bind.c_str(), MNT_DETACH);
    ASSERT_TRUE(bound);
    EXPECT_EQ(child(result.root, "mnt"), nullptr);
    EXPECT_EQ(child(result.root, "bind"), nullptr);
    EXPECT_NE(child(result.root, "keep"), nullptr);
    EXPECT_EQ(result.totals.files, 1);
    EXPECT_TRUE(DiskScanner::isMountPoint("/"));
}

TEST(ScanMounts, AShareThatStoppedAnsweringIsSkippedAndItsSiblingsCounted) {
    if (!test::inPrivateMountNamespace())
        return;
    TempTree tree;
    tree.writeFileOfSize("host/notes", 4096);
    std::string failure;
    const int share = test::mountStallingFuse(tree.path("host/remote"), failure);
    if (share < 0)
        GTEST_SKIP() << failure << ": no share that stops answering can be made";
    const ScanResult result = scan(tree.path("host"), options(2, 2));
    ::close(share); // a read still waiting on the share fails now
    EXPECT_EQ(result.state, ScanState::complete);
    EXPECT_EQ(result.totals.files, 1);
    EXPECT_EQ(result.root.entry.sizeBytes, allocated(tree.path("host/notes")));
    EXPECT_EQ(child(result.root, "remote"), nullptr);
}

TEST(ScanRobustness, FolderSwappedAfterTheListingIsNotFollowed) {
    // Between the listing of the root and the read of "sub", another process puts a link to a folder
    // outside, or another folder, in its place.
    for (const bool link : {true, false}) {
        TempTree tree;
        tree.writeFile("scan/sub/f", "x");
        tree.writeFileOfSize("outside/big", 1 << 20);
        const std::string sub = tree.path("scan/sub");
        const ScanResult result = scan(tree.path("scan"), options(), [&](const std::string& path, std::string_view op) {
            if (op != "open" || path != sub || std::rename(sub.c_str(), tree.path("moved").c_str()) != 0)
                return;
            if (link)
                ::symlink(tree.path("outside").c_str(), sub.c_str());
            else
                std::rename(tree.path("outside").c_str(), sub.c_str());
        });
        EXPECT_EQ(child(result.root, "sub")->entry.state, ScanState::unavailable) << link;
        EXPECT_EQ(result.totals.files, 0) << link;
    }
}

TEST(ScanRobustness, FoldersBelowThePathLimitAreRead) {
    TempTree tree;
    const std::string name(200, 'd'); // 25 levels: about 5,000 bytes of path
    int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 25; ++i) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ::close(::openat(fd, "f", O_CREAT | O_WRONLY, 0644));
    ::close(fd);
    const ScanResult result = scan(tree.root());
    EXPECT_EQ(platform::removeItem(tree.path(name)), std::nullopt); // too deep for the tree's own clean-up
    EXPECT_EQ(result.state, ScanState::complete);
    EXPECT_EQ(result.totals, (ScanTotals{1, 26, 0}));
}

TEST(ScanRobustness, DeepChainsUnderAWideLevelAreReadWholeWithFewDescriptors) {
    // 150 folders side by side, each above a chain 10 deep, have more subfolders waiting at once than a
    // scan keeps folders open for; one chain 2,500 deep is five times PATH_MAX long. Every folder must be
    // read and placed, with each entry's path built from its folders, and open descriptors bounded.
    TempTree tree;
    std::int64_t files = 0, folders = 1;
    const auto chain = [&](int dir, int depth) {
        int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth; ++i, ++files, ++folders) {
            ::close(::openat(fd, "f", O_CREAT | O_WRONLY, 0644));
            ::mkdirat(fd, "d", 0755);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(fd);
    };
    const int root = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 150; ++i, ++folders) {
        const std::string name = "w" + std::to_string(i);
        ::mkdirat(root, name.c_str(), 0755);
        const int wide = ::openat(root, name.c_str(), O_RDONLY | O_DIRECTORY);
        chain(wide, 10);
        ::close(wide);
    }
    chain(root, 2500);
    ::close(root);

    const int descriptors = test::openDescriptorCount();
    std::atomic<int> most{0};
    const ScanResult result = scan(tree.root(), options(4), [&most](const std::string&, std::string_view op) {
        if (op != "open")
            return;
        for (int now = test::openDescriptorCount(), seen = most.load();
             now > seen && !most.compare_exchange_weak(seen, now);)
            ;
    });
    EXPECT_EQ(platform::removeItem(tree.path("d")), std::nullopt); // too deep for the tree's own clean-up
    EXPECT_EQ(result.state, ScanState::complete);
    EXPECT_EQ(result.totals.files, files);
    EXPECT_EQ(result.totals.directories, folders);
    EXPECT_LE(most.load() - descriptors, 128); // the folders held open and one per queue, whatever the depth

    const ScanNode* node = &result.root;
    std::string path = tree.root();
    for (int level = 0; level < 2500 && node; ++level, path += "/d") {
        ASSERT_NE(child(*node, "f"), nullptr) << level;
        EXPECT_EQ(child(*node, "f")->entry.path(), path + "/f");
        node = child(*node, "d");
    }
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->entry.path(), path);
    EXPECT_EQ(child(*child(result.root, "w149"), "d")->entry.path(), tree.path("w149/d"));
}

TEST(ScanMachinery, ThrowingHookFailsOnlyItsFolderAndANonFiniteTimeOutIsRefused) {
    TempTree tree;
    tree.writeFile("bad/f", "x");
    tree.writeFile("good/f", "x");
    const ScanResult result = scan(tree.root(), options(), [bad = tree.path("bad")](const std::string& path,
                                                                                     std::string_view op) {
        if (op == "open" && path == bad)
            throw std::runtime_error("hook failed");
    });
    EXPECT_EQ(child(result.root, "bad")->entry.state, ScanState::unavailable);
    EXPECT_EQ(result.totals.files, 1);
    EXPECT_EQ(result.state, ScanState::partial);
    for (const double timeout : {std::nan(""), HUGE_VAL})
        EXPECT_THROW(DiskScanner(options(2, timeout)), std::invalid_argument);
}

TEST(ScanMachinery, ThreadsAndDescriptorsReturnToTheirBaselineAfterFinishedStoppedAndTimedOutScans) {
    TempTree tree;
    for (int i = 0; i < 4; ++i)
        tree.writeFile("d" + std::to_string(i) + "/f", "x");
    // A first thread lets a runtime that keeps a helper thread of its own (ThreadSanitizer) start it
    // before the baseline is taken.
    std::thread([] {}).join();
    const int threads = test::threadCount();
    const int descriptors = test::openDescriptorCount();

    // Finished, asking for far more workers than the cap.
    std::atomic<int> most{0};
    scan(tree.root(), options(100000), [&most](const std::string&, std::string_view) {
        for (int now = test::threadCount(), seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);)
            ;
    });
    EXPECT_LE(most.load() - threads, DirectoryIOPool::maxWidth + 1);

    std::stop_source source;
    DiskScanner stopping(options(), [&source](const std::string&, std::string_view) { source.request_stop(); });
    EXPECT_THROW(stopping.scan(tree.root(), std::make_shared<ScanStats>(), source.get_token()), Cancelled);

    // Timed out, the stuck reads let go after the scan.
    auto gate = std::make_shared<Gate>();
    DiskScanner stuck(options(2, 0.2), [gate, root = tree.root()](const std::string& path, std::string_view op) {
        if (op == "open" && path != root)
            gate->wait();
    });
    EXPECT_EQ(stuck.scan(tree.root(), std::make_shared<ScanStats>()).state, ScanState::partial);
    gate->release();

    // Queue threads end on their own once their queue is closed.
    for (int i = 0; i < 1000 && (test::threadCount() > threads || test::openDescriptorCount() > descriptors); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(test::threadCount(), threads);
    EXPECT_LE(test::openDescriptorCount(), descriptors);
}

TEST(ScanTimeouts, ATimedOutReadLeavesNoHardLinkOrLargeFileBehind) {
    // The read of "a" queries one of its files, then stalls past its time-out; "b", holding the other
    // link of each, is read only after that query. Both files must count in full through "b".
    TempTree tree;
    for (const std::string name : {"one", "two"}) {
        tree.writeFileOfSize("a/" + name, 1 << 20);
        tree.hardlink("b/" + name, "a/" + name);
    }
    auto gate = std::make_shared<Gate>();
    auto firstQueried = std::make_shared<Gate>();
    auto queries = std::make_shared<std::atomic<int>>(0);
    DiskScanner scanner(options(2, 0.2), [=, a = tree.path("a/"), b = tree.path("b")](const std::string& path,
                                                                                       std::string_view op) {
        if (op == "stat" && path.starts_with(a) && ++*queries == 2) {
            firstQueried->release();
            gate->wait();
        }
        if (op == "open" && path == b)
            firstQueried->wait();
    });
    const ScanResult result = scanner.scan(tree.root(), std::make_shared<ScanStats>());
    gate->release();
    EXPECT_EQ(child(result.root, "a")->entry.state, ScanState::unavailable);
    EXPECT_EQ(result.totals.bytes, 2 * allocated(tree.path("a/one")));
    ASSERT_EQ(result.largeFiles.size(), 2u);
    for (const FileEntry& large : result.largeFiles)
        EXPECT_TRUE(large.path().starts_with(tree.path("b/"))) << large.path();
}

TEST(ScanFileSystemRoot, RootIsNamedForTheHostAndSystemAreasAreSkipped) {
    // Scan "/" of a small private tree: chroot into it in a helper program.
    TempTree tree;
    for (const char* name : {"proc", "sys", "usr", "etc", "home/u", "tmp", "var/log"})
        tree.makeDir(name);
    tree.writeFile("home/u/notes", "x");
    tree.writeFile("rootfile", "x");
    const test::CommandResult run = test::runCommand({BRISKLET_CHROOT_SCAN_PATH, tree.root()});
    if (run.exitStatus == 77)
        GTEST_SKIP() << "cannot chroot here (needs root)";
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::string& seen = run.out;
    EXPECT_EQ(seen.substr(0, seen.find(':')), "Computer");
    for (const char* skipped : {"proc", "sys", "usr", "etc"})
        EXPECT_EQ(seen.find(std::string(skipped) + ","), std::string::npos) << skipped;
    for (const char* kept : {"home", "tmp", "var", "rootfile"})
        EXPECT_NE(seen.find(std::string(kept) + ","), std::string::npos) << kept;
}
