#include "PlistFiles.h"
#include "ChildProcess.h"
#include "TempTree.h"

#include "clean/CleanCatalog.h"
#include "platform/HostProfile.h"
#include "scan/MeasuringPool.h"
#include "scan/ScanDefaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::PlistFormat;
using brisklet::test::TempTree;

namespace {

DiskScanner::Options options() {
    return DiskScanner::Options{2, ScanDefaults::foldDirectoryNames(), ScanDefaults::rootSkipNames(), 16 * 1024 * 1024,
                                100, 30.0};
}

CleanCategory category(std::string id, std::vector<std::string> paths) {
    return CleanCategory{std::move(id), "Title", "Detail.", "folder", CleanCategory::Group::developer, std::move(paths)};
}

const std::string runtimeId = "com.apple.CoreSimulator.SimRuntime.iOS-17-5";

} // namespace

TEST(CleanCatalogTable, OriginalProfileGivesTheDescribedPaths) {
    const auto table = CleanCatalog::categories("/Users/a", originalHostProfile());
    std::vector<std::string> ids, paths;
    for (const CleanCategory& c : table) {
        ids.push_back(c.id);
        ASSERT_EQ(c.paths.size(), 1u) << c.id;
        paths.push_back(c.paths[0]);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"xcode-derived", "ios-simulators", "homebrew-cache", "npm-cache",
                                             "pip-cache", "uv-cache", "gradle-cache", "cocoapods-cache",
                                             "jetbrains-cache", "system-logs", "spotify-cache"}));
    EXPECT_EQ(paths, (std::vector<std::string>{"/Users/a/Library/Developer/Xcode/DerivedData",
                                               "/Users/a/Library/Developer/CoreSimulator/Devices",
                                               "/Users/a/Library/Caches/Homebrew",
                                               "/Users/a/.npm",
                                               "/Users/a/Library/Caches/pip",
                                               "/Users/a/.cache/uv",
                                               "/Users/a/.gradle/caches",
                                               "/Users/a/Library/Caches/CocoaPods",
                                               "/Users/a/Library/Caches/JetBrains",
                                               "/Users/a/Library/Logs",
                                               "/Users/a/Library/Application Support/Spotify/PersistentCache"}));
}

TEST(CleanCatalogTable, LinuxProfileMovesFourToolCachesAddsItsOwnAndNeverTakesTokensSettingsOrLinkedFolders) {
    TempTree home;
    home.makeDir(".var/app/org.b.App");
    home.makeDir(".var/app/org.a.App");
    home.symlink(".var/app/org.c.Linked", home.makeDir("Documents")); // not a Flatpak's own folder
    const auto original = CleanCatalog::categories(home.root(), originalHostProfile());
    const auto here = CleanCatalog::categories(home.root());
    const std::map<std::string, std::string> moved{{"homebrew-cache", ".cache/Homebrew"},
                                                   {"pip-cache", ".cache/pip"},
                                                   {"jetbrains-cache", ".cache/JetBrains"},
                                                   {"spotify-cache", ".cache/spotify"}};
    std::vector<std::string> ids;
    for (const CleanCategory& category : here) {
        ids.push_back(category.id);
        const auto described = std::find_if(original.begin(), original.end(),
                                            [&](const CleanCategory& c) { return c.id == category.id; });
        if (described == original.end())
            continue;
        CleanCategory changed = *described;
        if (const auto path = moved.find(category.id); path != moved.end())
            changed.paths = {home.path(path->second)};
        EXPECT_EQ(category, changed) << category.id;
    }
    // No Xcode, simulator, CocoaPods or ~/Library/Logs category: those exist only on the other platform.
    EXPECT_EQ(ids, (std::vector<std::string>{"homebrew-cache", "npm-cache", "pip-cache", "uv-cache", "gradle-cache",
                                             "jetbrains-cache", "cargo-cache", "go-build-cache", "yarn-cache",
                                             "ccache", "huggingface-cache", "vscode-cache", "spotify-cache",
                                             "thumbnails", "browser-caches", "flatpak-app-caches"}));
    for (std::size_t index = 0; index < here.size(); ++index)
        EXPECT_EQ(here[index].group, index < 12 ? CleanCategory::Group::developer : CleanCategory::Group::systemApps);
    EXPECT_EQ(here.back().paths, (std::vector<std::string>{home.path(".var/app/org.a.App/cache"),
                                                           home.path(".var/app/org.b.App/cache")}));
    for (const CleanCategory& category : here) // regenerable data only: never a token or settings
        for (const std::string& path : category.paths)
            for (const char* kept : {".cache/huggingface/token", ".cache/huggingface/accelerate/default_config.yaml",
                                     ".cargo/credentials.toml", ".config/Code/User/settings.json"})
                EXPECT_FALSE(home.path(kept).starts_with(path + "/")) << category.id << " takes " << kept;
}

TEST(CleanCategoryGroup, OnlyTheExactHeadingsConstructAGroup) {
    EXPECT_EQ(CleanCategory::groupFromRawValue("Developer"), CleanCategory::Group::developer);
    EXPECT_EQ(CleanCategory::groupFromRawValue("System & Apps"), CleanCategory::Group::systemApps);
    EXPECT_FALSE(CleanCategory::groupFromRawValue("developer"));
    EXPECT_FALSE(CleanCategory::groupFromRawValue(""));
    EXPECT_EQ(CleanCategory::allGroups(),
              (std::vector<CleanCategory::Group>{CleanCategory::Group::developer, CleanCategory::Group::systemApps}));
}

TEST(SimulatorRuntimeLabel, VersionPiecesBecomeADottedVersionWithKnownBuild) {
    const CleanCatalog::RuntimeBuilds builds{{runtimeId, "21F79"}};
    EXPECT_EQ(CleanCatalog::simulatorRuntimeLabel(runtimeId, builds), "iOS 17.5 (21F79)");
    EXPECT_EQ(CleanCatalog::simulatorRuntimeLabel(runtimeId, {}), "iOS 17.5");
    EXPECT_EQ(CleanCatalog::simulatorRuntimeLabel("com.apple.CoreSimulator.SimRuntime.watchOS-10", {}), "watchOS 10");
    EXPECT_EQ(CleanCatalog::simulatorRuntimeLabel("tvOS-18-0-1", {}), "tvOS 18.0.1");
    EXPECT_EQ(CleanCatalog::simulatorRuntimeLabel("a.b.iOS-17-5..", {}), "iOS 17.5");
}

TEST(SimulatorRuntimeLabel, RejectedShapesGiveNoLabel) {
    for (const std::string shape : {"x.iOS-17-beta", "x.iOS", "x.iOS--5", "x.iOS-17-", "x.-17", "x.i0S-17",
                                    "x.iOS_17-5", "...", ""})
        EXPECT_FALSE(CleanCatalog::simulatorRuntimeLabel(shape, {})) << shape;
    EXPECT_FALSE(CleanCatalog::simulatorRuntimeLabel(std::nullopt, {}));
}

TEST(SimulatorChildName, DeviceNameAndRuntimeFromEitherEncoding) {
    for (const PlistFormat format : {PlistFormat::xml, PlistFormat::binary}) {
        TempTree tree;
        const std::string device = tree.makeDir("Devices/0A1B");
        test::writePlist(device + "/device.plist", {{"name", "s:iPhone 15"}, {"runtime", "s:" + runtimeId}}, format);
        const FileEntry entry{"0A1B", device, 12345, true, ScanState::partial};

        FileEntry expected = entry;
        expected.name = "iPhone 15 \u00B7 iOS 17.5 (21F79)";
        EXPECT_EQ(CleanCatalog::simulatorChildName(entry, {{runtimeId, "21F79"}}), expected);
        expected.name = "iPhone 15 \u00B7 iOS 17.5";
        EXPECT_EQ(CleanCatalog::simulatorChildName(entry, {}), expected);
    }
}

TEST(SimulatorChildName, UnreadableOrNamelessDevicesKeepTheFolderName) {
    TempTree tree;
    tree.makeDir("missing");
    test::writePlist(tree.path("empty/device.plist"), {{"name", "s:"}, {"runtime", "s:" + runtimeId}}, PlistFormat::xml);
    test::writePlist(tree.path("number/device.plist"), {{"name", "i:7"}}, PlistFormat::binary);
    tree.makeDir("folder/device.plist");
    tree.writeFile("garbage/device.plist", "bplist00garbage");
    test::writePlist(tree.path("badruntime/device.plist"), {{"name", "s:iPad"}, {"runtime", "s:x.iOS-17-beta"}},
                     PlistFormat::xml);
    test::writePlist(tree.path("noruntime/device.plist"), {{"name", "s:iPad"}, {"runtime", "i:17"}}, PlistFormat::xml);

    for (const std::string folder : {"missing", "empty", "number", "folder", "garbage"}) {
        const FileEntry entry{folder, tree.path(folder), 1, true, ScanState::complete};
        EXPECT_EQ(CleanCatalog::simulatorChildName(entry, {}), entry) << folder;
    }
    for (const std::string folder : {"badruntime", "noruntime"})
        EXPECT_EQ(CleanCatalog::simulatorChildName(FileEntry{folder, tree.path(folder), 1, true, ScanState::complete}, {}).name, "iPad");
}

namespace {

void makeRuntime(TempTree& tree, const std::string& bundle, const std::string& identifier, const std::string& build,
                 PlistFormat format = PlistFormat::xml) {
    test::writePlist(tree.path(bundle + "/Contents/Info.plist"), {{"CFBundleIdentifier", "s:" + identifier}}, format);
    if (!build.empty())
        test::writePlist(
            tree.path(bundle + "/Contents/Resources/RuntimeRoot/System/Library/CoreServices/SystemVersion.plist"),
            {{"ProductBuildVersion", "s:" + build}}, format);
}

} // namespace

TEST(SimulatorRuntimeBuilds, AgreeingCopiesKeepTheBuildDisagreeingOnesDropIt) {
    TempTree tree;
    makeRuntime(tree, "Runtimes/iOS 17.5.simruntime", runtimeId, "21F79");
    makeRuntime(tree, "Volumes/iOS_21F79/Library/iOS 17.5.simruntime", runtimeId, "21F79", PlistFormat::binary);
    makeRuntime(tree, "Runtimes/watchOS.simruntime", "watch.id", "21R1");
    makeRuntime(tree, "Volumes/deep/er/watchOS.simruntime", "watch.id", "21R2");
    makeRuntime(tree, "Runtimes/tvOS.simruntime", "tv.id", ""); // no SystemVersion.plist
    tree.writeFile("Runtimes/NotAPlist.simruntime/Contents/Info.plist", "garbage");
    // A bundle is not descended into: a copy nested inside it must not count.
    makeRuntime(tree, "Runtimes/iOS 17.5.simruntime/Contents/Nested.simruntime", runtimeId, "OTHER");

    const auto builds =
        CleanCatalog::loadSimulatorRuntimeBuilds({tree.path("Runtimes"), tree.path("Volumes"), tree.path("absent")});
    EXPECT_EQ(builds, (CleanCatalog::RuntimeBuilds{{runtimeId, "21F79"}}));
}

TEST(SimulatorRuntimeBuilds, ProcessWideMapIsBuiltOnceForAllThreads) {
    std::vector<const CleanCatalog::RuntimeBuilds*> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < seen.size(); ++index)
        threads.emplace_back([&seen, index] { seen[index] = &CleanCatalog::simulatorRuntimeBuilds(); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<const CleanCatalog::RuntimeBuilds*>(seen.begin(), seen.end()).size(), 1u);
}

TEST(CleanCatalogMeasure, NothingOnDiskGivesEmptyResultsInCatalogOrder) {
    TempTree home;
    home.writeFile(".npm", "a file where the folder should be");
    home.makeDir(".cache/uv"); // empty: zero bytes
    const auto table = CleanCatalog::categories(home.root());
    const auto results = CleanCatalog::measure(table, options());
    ASSERT_EQ(results.size(), table.size());
    for (std::size_t index = 0; index < table.size(); ++index) {
        EXPECT_EQ(results[index].category, table[index]);
        EXPECT_TRUE(results[index].items.empty());
        EXPECT_TRUE(results[index].children.empty());
        EXPECT_FALSE(results[index].exists());
        EXPECT_EQ(results[index].sizeBytes(), 0);
    }
}

TEST(CleanCatalogMeasure, ResultsKeepInputOrderWhenTheyFinishInReverse) {
    const std::vector<CleanCategory> table{category("first", {}), category("second", {}), category("third", {})};
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> finishOrder;
    const auto measureOne = [&](const CleanCategory& c) {
        std::unique_lock guard(lock);
        // Each waits until every later category has finished, so they finish last to first.
        const std::size_t position = std::size_t(&c - table.data());
        const bool inTime = changed.wait_for(guard, std::chrono::seconds(60), [&] {
            return finishOrder.size() == table.size() - 1 - position;
        });
        finishOrder.push_back(c.id);
        changed.notify_all();
        CleanCategoryResult result{c, {FileEntry{c.id, "/" + c.id, 1, true, ScanState::complete}}, {}};
        if (!inTime)
            result.items.clear();
        return result;
    };
    const auto results = CleanCatalog::detail::measureEach(table, measureOne, {});
    EXPECT_EQ(finishOrder, (std::vector<std::string>{"third", "second", "first"}));
    ASSERT_EQ(results.size(), 3u);
    for (std::size_t index = 0; index < 3; ++index) {
        EXPECT_EQ(results[index].category.id, table[index].id);
        EXPECT_TRUE(results[index].exists()) << "category " << index << " waited in vain: not measured concurrently";
    }
}

TEST(CleanCatalogMeasure, AFewAtATimeAndAFailureOfTheMachineIsNotReadAsEmpty) {
    // Each waits until the pool is full (or all have come): more than its width never run at once.
    std::vector<CleanCategory> table;
    for (int index = 0; index < 12; ++index)
        table.push_back(category("c" + std::to_string(index), {}));
    std::mutex lock;
    std::condition_variable changed;
    int entered = 0, running = 0, most = 0;
    const auto results = CleanCatalog::detail::measureEach(
        table,
        [&](const CleanCategory& c) {
            std::unique_lock guard(lock);
            most = std::max(most, ++running);
            ++entered;
            changed.notify_all();
            changed.wait_for(guard, std::chrono::seconds(10), [&] { return entered >= measuringWidth; });
            --running;
            return CleanCategoryResult{c, {FileEntry{"x", "/x", 5, true, ScanState::complete}}, {}};
        },
        {});
    EXPECT_EQ(results.size(), table.size());
    EXPECT_EQ(most, measuringWidth);

    const auto failing = [](const CleanCategory& c) {
        if (c.id == "c3")
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return CleanCategoryResult{c, {}, {}};
    };
    EXPECT_THROW(CleanCatalog::detail::measureEach(table, failing, {}), std::system_error);
}

// A hard-linked pair counts its blocks at one link only; the other shows the same size and is as large.
TEST(CleanCatalogMeasure, KeepsTheHundredLargestMembersPerFolderHardLinksByTheirShownSize) {
    TempTree tree;
    for (int index = 0; index < 150; ++index)
        tree.writeFileOfSize("cache/f" + std::to_string(index), 4096 * (index + 1));
    tree.writeFileOfSize("cache/linked", 4096 * 200);
    ASSERT_EQ(::link(tree.path("cache/linked").c_str(), tree.path("cache/linked-too").c_str()), 0);
    tree.writeFileOfSize("logs/only", 4096);

    const auto result =
        CleanCatalog::measureOne(category("c", {tree.path("missing"), tree.path("cache"), tree.path("logs")}), options());
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].path(), tree.path("cache"));
    EXPECT_EQ(result.items[0].name, "cache");
    EXPECT_TRUE(result.items[0].isDirectory);
    EXPECT_EQ(result.items[1].path(), tree.path("logs"));
    EXPECT_EQ(result.sizeBytes(), result.items[0].sizeBytes + result.items[1].sizeBytes);

    ASSERT_EQ(result.children.size(), 101u);
    std::set<std::string> kept;
    for (std::size_t index = 0; index < 100; ++index)
        kept.insert(result.children[index].name);
    for (int index = 52; index < 150; ++index)
        EXPECT_TRUE(kept.count("f" + std::to_string(index))) << index;
    EXPECT_TRUE(kept.count("linked") && kept.count("linked-too")) << "the link counted elsewhere was cut as empty";
    EXPECT_EQ(result.children.back().path(), tree.path("logs/only"));
    const auto shown = [](const FileEntry& entry) { return std::max(entry.sizeBytes, entry.linkedSizeBytes); };
    EXPECT_TRUE(std::is_sorted(result.children.begin(), result.children.end(),
                               [&](const FileEntry& a, const FileEntry& b) { return shown(a) > shown(b); }));
}

TEST(CleanCatalogMeasure, EqualSizesKeepTheScannersOrder) {
    TempTree tree;
    for (const std::string name : {"m", "c", "x", "a", "q"})
        tree.writeFileOfSize("cache/" + name, 8192);
    tree.writeFileOfSize("cache/big", 65536);

    const ScanResult scan = DiskScanner(options()).scan(tree.path("cache"), std::make_shared<ScanStats>());
    ASSERT_TRUE(scan.root.children);
    std::vector<std::string> expected{"big"};
    for (const ScanNode& node : *scan.root.children)
        if (node.entry.name != "big")
            expected.push_back(node.entry.name);

    const auto result = CleanCatalog::measureOne(category("c", {tree.path("cache")}), options());
    std::vector<std::string> actual;
    for (const FileEntry& child : result.children)
        actual.push_back(child.name);
    EXPECT_EQ(actual, expected);
}

TEST(CleanCatalogMeasure, OnlyTheSimulatorCategoryRenamesDevices) {
    // Those categories exist only under the profile that has simulators and a Library folder.
    TempTree home;
    const auto table = CleanCatalog::categories(home.root(), originalHostProfile());
    for (const std::string folder : {"Library/Developer/CoreSimulator/Devices/0A1B", "Library/Logs/0A1B"}) {
        test::writePlist(home.path(folder + "/device.plist"), {{"name", "s:iPhone 15"}}, PlistFormat::binary);
        home.writeFileOfSize(folder + "/data", 8192);
    }
    const auto results = CleanCatalog::measure(table, options());
    std::map<std::string, std::vector<std::string>> childNames;
    for (const CleanCategoryResult& result : results)
        for (const FileEntry& child : result.children)
            childNames[result.category.id].push_back(child.name);
    EXPECT_EQ(childNames, (std::map<std::string, std::vector<std::string>>{{"ios-simulators", {"iPhone 15"}},
                                                                          {"system-logs", {"0A1B"}}}));
    ASSERT_EQ(results[1].children.size(), 1u);
    EXPECT_EQ(results[1].children[0].path(), home.path("Library/Developer/CoreSimulator/Devices/0A1B"));
}

TEST(CleanCatalogMeasure, ACacheLinkedToDocumentsNeverOffersTheDocuments) {
    // ln -s ../Documents ~/.cache/thumbnails; a member linked there counts as the link alone.
    TempTree home;
    home.writeFileOfSize("Documents/thesis/chapter.tex", 65536);
    home.symlink(".cache/thumbnails", "../Documents");
    home.writeFileOfSize(".cache/chromium/blob", 4096);
    home.symlink(".cache/chromium/Default", "../../Documents");
    for (const CleanCategoryResult& result : CleanCatalog::measure(CleanCatalog::categories(home.root()), options())) {
        EXPECT_LT(result.sizeBytes(), 65536) << result.category.id;
        for (const FileEntry& child : result.children)
            EXPECT_FALSE(child.isDirectory) << child.path();
    }
}

TEST(CleanCatalogMeasure, PartialScanCountsAndCarriesItsState) {
    TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    tree.writeFileOfSize("cache/readable", 65536);
    tree.writeFileOfSize("cache/locked/hidden", 65536);
    ASSERT_EQ(::chmod(tree.path("cache/locked").c_str(), 0), 0);
    const std::string cache = tree.path("cache");
    // 1: partial with the readable part counted; 2: wrong state or size; 3: no item.
    const int outcome = test::runUnprivileged([&cache] {
        const auto result = CleanCatalog::measureOne(category("c", {cache}), options());
        if (result.items.size() != 1)
            return 3;
        const FileEntry& item = result.items[0];
        return item.state == ScanState::partial && item.sizeBytes >= 65536 ? 1 : 2;
    });
    EXPECT_EQ(outcome, 1);
}

TEST(CleanCatalogMeasure, StopRequestCancels) {
    TempTree tree;
    tree.writeFileOfSize("cache/blob", 4096);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(CleanCatalog::measure({category("c", {tree.path("cache")})}, options(), stop.get_token()), Cancelled);
}
