#include "TempTree.h"

#include "apps/AppCatalog.h"
#include "apps/LeftoverScanner.h"
#include "platform/HostProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

using namespace brisklet;
using brisklet::test::TempTree;

namespace {

ApplicationEntry app(std::optional<std::string> bundleID, std::string name) {
    return ApplicationEntry{std::move(name), std::move(bundleID), "/Applications/X.app", 0, std::nullopt, false};
}

std::vector<std::string> paths(const std::vector<Leftover>& entries) {
    std::vector<std::string> result;
    for (const FileEntry& entry : entries)
        result.push_back(entry.path());
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<Leftover> scan(const ApplicationEntry& application, const TempTree& home) {
    return LeftoverScanner::leftovers(application, home.root(), AppCatalog::sizingOptions(), {}, originalHostProfile());
}

} // namespace

TEST(LeftoverCandidates, TableOrderWithGroupContainersLast) {
    TempTree home;
    home.makeDir("Library/Group Containers/ABCDE12345.org.example.tool");
    const std::string library = home.path("Library");
    const auto candidates = LeftoverScanner::candidates(app("org.example.tool", "Tool"), home.root(), originalHostProfile());
    EXPECT_EQ(candidates, (std::vector<std::string>{
                              library + "/Caches/org.example.tool",
                              library + "/Preferences/org.example.tool.plist",
                              library + "/Saved Application State/org.example.tool.savedState",
                              library + "/WebKit/org.example.tool",
                              library + "/HTTPStorages/org.example.tool",
                              library + "/Application Scripts/org.example.tool",
                              library + "/Containers/org.example.tool",
                              library + "/Cookies/org.example.tool.binarycookies",
                              library + "/LaunchAgents/org.example.tool.plist",
                              library + "/Application Support/org.example.tool",
                              library + "/Application Support/Tool",
                              library + "/Caches/Tool",
                              library + "/Logs/Tool",
                              library + "/Logs/org.example.tool",
                              library + "/Group Containers/ABCDE12345.org.example.tool",
                          }));
}

TEST(LeftoverCandidates, TextThatIsNotOneComponentCannotLeaveTheSearchedPlaces) {
    TempTree home;
    home.makeDir("Library/Group Containers/anything");
    for (const std::string bad : {"..", ".", "", "a/../../..", "/"}) {
        const auto candidates = LeftoverScanner::candidates(app(bad, bad), home.root(), originalHostProfile());
        EXPECT_TRUE(candidates.empty()) << "identifier and name '" << bad << "'";
    }
    const auto nameOnly = LeftoverScanner::candidates(app("..", "Tool"), home.root(), originalHostProfile());
    EXPECT_EQ(nameOnly.size(), 3u);
}

TEST(LeftoverScanner, TextWithANulByteNeverStandsForTheFolderAbove) {
    // A property-list string may hold a NUL; the system would read the path only up to it, so "\0" as a
    // name would make the whole Application Support folder a leftover.
    TempTree home;
    home.writeFileOfSize("Library/Application Support/Other App/data", 4096);
    home.writeFileOfSize("Library/Caches/org.example/cache", 4096);
    const std::string nul(1, '\0');
    EXPECT_TRUE(scan(app(std::nullopt, nul), home).empty());
    EXPECT_TRUE(scan(app("org.example" + nul + "x", "Tool" + nul), home).empty());
    EXPECT_TRUE(LeftoverScanner::candidates(app("org.example" + nul, nul + "Tool"), home.root(), originalHostProfile()).empty());
}

TEST(LeftoverScanner, PreferencesFileIsSizedByAllocatedBlocks) {
    TempTree home;
    const std::string prefs = home.writeFileOfSize("Library/Preferences/org.example.tool.plist", 5000);
    struct stat status {};
    ASSERT_EQ(::lstat(prefs.c_str(), &status), 0);

    const auto found = scan(app("org.example.tool", "Tool"), home);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (FileEntry{"org.example.tool.plist", prefs, std::int64_t(status.st_blocks) * 512, false,
                                   ScanState::complete}));
}

TEST(LeftoverScanner, WithoutIdentifierOnlyTheNamePlacesAreSearched) {
    TempTree home;
    home.writeFileOfSize("Library/Application Support/Tool/data", 4096);
    home.writeFileOfSize("Library/Caches/Tool/cache", 4096);
    home.writeFileOfSize("Library/Logs/Tool/log", 4096);
    // Every name ends with the empty identifier: none of these may be taken.
    home.writeFileOfSize("Library/Group Containers/group.other/data", 4096);
    home.writeFileOfSize("Library/Preferences/.plist", 4096);

    EXPECT_EQ(paths(scan(app(std::nullopt, "Tool"), home)),
              (std::vector<std::string>{home.path("Library/Application Support/Tool"), home.path("Library/Caches/Tool"),
                                        home.path("Library/Logs/Tool")}));
    EXPECT_EQ(paths(scan(app("", "Tool"), home)).size(), 3u);
}

TEST(LeftoverScanner, GroupContainersMatchBySuffixCaseSensitively) {
    TempTree home;
    home.writeFileOfSize("Library/Group Containers/ABCDE12345.org.example.tool/data", 4096);
    home.writeFileOfSize("Library/Group Containers/org.example.tool.extra/data", 4096);
    home.writeFileOfSize("Library/Group Containers/ABCDE12345.ORG.EXAMPLE.TOOL/data", 4096);
    home.writeFileOfSize("Library/Caches/Org.Example.Tool/data", 4096);

    EXPECT_EQ(paths(scan(app("org.example.tool", "Tool"), home)),
              (std::vector<std::string>{home.path("Library/Group Containers/ABCDE12345.org.example.tool")}));
}

TEST(LeftoverScanner, EmptyFoldersAndFilesAreNotReported) {
    TempTree home;
    home.makeDir("Library/Caches/org.example.tool");
    home.writeFile("Library/Preferences/org.example.tool.plist", "");
    home.writeSparseFile("Library/Cookies/org.example.tool.binarycookies", 0);
    EXPECT_TRUE(scan(app("org.example.tool", "Tool"), home).empty());
}

TEST(LeftoverScanner, SymbolicLinkIsMeasuredAsTheLinkNotItsTarget) {
    TempTree home;
    home.writeFileOfSize("elsewhere/big", 1024 * 1024);
    const std::string link = home.symlink("Library/Containers/org.example.tool", home.path("elsewhere"));
    struct stat status {};
    ASSERT_EQ(::lstat(link.c_str(), &status), 0);
    const std::int64_t linkSize = status.st_blocks > 0 ? std::int64_t(status.st_blocks) * 512 : status.st_size;

    const auto found = scan(app("org.example.tool", "Tool"), home);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].isDirectory);
    EXPECT_EQ(found[0].sizeBytes, linkSize);
    EXPECT_LT(found[0].sizeBytes, 1024 * 1024);
}

TEST(LeftoverScanner, NameEqualToIdentifierIsReportedOnce) {
    TempTree home;
    home.writeFileOfSize("Library/Caches/tool/a", 4096);
    home.writeFileOfSize("Library/Application Support/tool/b", 4096);
    home.writeFileOfSize("Library/Logs/tool/c", 4096);
    EXPECT_EQ(paths(scan(app("tool", "tool"), home)),
              (std::vector<std::string>{home.path("Library/Application Support/tool"), home.path("Library/Caches/tool"),
                                        home.path("Library/Logs/tool")}));
}

TEST(LeftoverScanner, LargestFirstWithFoldersMeasuredByTheScanner) {
    TempTree home;
    home.writeFileOfSize("Library/Caches/org.example.tool/blob", 256 * 1024);
    home.writeFileOfSize("Library/Containers/org.example.tool/deep/er/blob", 1024 * 1024);
    home.writeFileOfSize("Library/Preferences/org.example.tool.plist", 2000);

    const auto found = scan(app("org.example.tool", "Tool"), home);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path(), home.path("Library/Containers/org.example.tool"));
    EXPECT_TRUE(found[0].isDirectory);
    EXPECT_GE(found[0].sizeBytes, 1024 * 1024);
    EXPECT_EQ(found[1].path(), home.path("Library/Caches/org.example.tool"));
    EXPECT_EQ(found[2].path(), home.path("Library/Preferences/org.example.tool.plist"));
    EXPECT_EQ(found[0].state, ScanState::complete);
}

TEST(LeftoverScanner, StopRequestCancels) {
    TempTree home;
    home.writeFileOfSize("Library/Caches/org.example.tool/blob", 4096);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(LeftoverScanner::leftovers(app("org.example.tool", "Tool"), home.root(), AppCatalog::sizingOptions(),
                                            stop.get_token()),
                 Cancelled);
}
