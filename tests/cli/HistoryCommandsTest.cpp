#include "ChildProcess.h"
#include "TempTree.h"
#include "history/ScanHistory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

using brisklet::test::CommandResult;
using brisklet::test::runCommand;
using brisklet::test::TempTree;

namespace {

// Every scan this test program runs is stored in a store of its own, never the user's.
const TempTree& stateHome() {
    static const TempTree state;
    return state;
}
const bool stateHomeSet = (setenv("XDG_STATE_HOME", stateHome().root().c_str(), 1), true);

CommandResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), BRISKLET_CLI_PATH);
    return runCommand(args);
}

nlohmann::json storedScans(const std::string& root) {
    return nlohmann::json::parse(cli({"scans", root, "--json"}).out);
}

} // namespace

TEST(HistoryCommands, ScanStoresUnlessToldNotToAndComparesWithThePreviousScanOfItsRoot) {
    ASSERT_TRUE(stateHomeSet);
    TempTree tree;
    tree.writeFileOfSize("old/gone\xFF.bin", 2 << 20);
    tree.writeFileOfSize("kept/grow.bin", 1 << 20);
    tree.writeFileOfSize("less/dwindle.bin", 3 << 20);
    const CommandResult first = cli({"scan", tree.root(), "--compare"});
    ASSERT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_NE(first.out.find("No earlier scan"), std::string::npos) << first.out;
    EXPECT_EQ(cli({"scan", tree.root(), "--no-history"}).exitStatus, 0);
    EXPECT_EQ(storedScans(tree.root()).size(), 1u);

    brisklet::test::removeTree(tree.path("old"));
    tree.writeFileOfSize("kept/grow.bin", 4 << 20);
    tree.writeFileOfSize("less/dwindle.bin", 4096); // below the large-file size, but no less there
    const CommandResult second = cli({"scan", tree.root(), "--compare", "--json"});
    ASSERT_EQ(second.exitStatus, 0) << second.err;
    const nlohmann::json comparison = nlohmann::json::parse(second.out)["comparison"];
    ASSERT_EQ(comparison["changes"].size(), 3u) << comparison.dump(1);
    EXPECT_EQ(comparison["changes"][0]["path"], tree.path("kept/grow.bin")); // the folder says nothing more
    EXPECT_EQ(comparison["changes"][0]["change"], "grown");
    EXPECT_EQ(comparison["changes"][1]["change"], "shrunk");
    EXPECT_EQ(comparison["changes"][1]["path"], tree.path("less/dwindle.bin"));
    EXPECT_EQ(comparison["changes"][2]["change"], "gone"); // "old" with its one file
    EXPECT_EQ(comparison["changes"][2]["path"], tree.path("old/gone\xEF\xBF\xBD.bin"));
    EXPECT_TRUE(comparison["changes"][2].contains("pathBytes"));

    const nlohmann::json scans = storedScans(tree.root());
    ASSERT_EQ(scans.size(), 2u);
    const std::string later = std::to_string(scans[0]["id"].get<long long>());
    const std::string earlier = std::to_string(scans[1]["id"].get<long long>());
    const CommandResult diff = cli({"diff", earlier, later});
    EXPECT_EQ(diff.exitStatus, 0) << diff.err;
    EXPECT_NE(diff.out.find("kept/grow.bin"), std::string::npos) << diff.out;
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"diff", earlier, "999999"}, {"diff", earlier}, {"scan", tree.root(), "--compare", "--no-history"}})
        EXPECT_EQ(cli(bad).exitStatus, 2) << bad[1];
}

TEST(HistoryCommands, AFolderScannedWithATrailingSlashSharesItsHistory) {
    TempTree tree;
    ASSERT_EQ(cli({"scan", tree.root() + "/"}).exitStatus, 0);
    ASSERT_EQ(cli({"scan", tree.root()}).exitStatus, 0);
    EXPECT_EQ(storedScans(tree.root() + "/.").size(), 2u);
}

TEST(HistoryCommands, AStoreThatCannotBeReadIsReportedNotListedAsEmpty) {
    TempTree state;
    state.writeFile("brisklet", "a file where the store's folder belongs");
    setenv("XDG_STATE_HOME", state.root().c_str(), 1);
    const CommandResult listing = cli({"scans"});
    const CommandResult scanning = cli({"scan", state.root()});
    setenv("XDG_STATE_HOME", stateHome().root().c_str(), 1);
    EXPECT_TRUE(listing.exitStatus == 1 && listing.err.starts_with("brisklet-cli: cannot read the scan store at " + state.root()))
        << listing.err;
    EXPECT_TRUE(scanning.exitStatus == 0 && scanning.err.find("could not be stored") != std::string::npos) << scanning.err;
}

TEST(HistoryCommands, AnIncompleteScanIsNamedAndAFileThatCrossedTheKeptSizeIsNotCalledNewOrGone) {
    ASSERT_TRUE(stateHomeSet);
    using brisklet::ScanState;
    brisklet::ScanSummary summary;
    summary.root = "/incomplete";
    summary.state = ScanState::partial;
    summary.items = {{-1, true, ScanState::complete, "/incomplete", 3 << 20, 1}, {0, true, ScanState::complete, "d", 3 << 20, 1},
                     {1, false, ScanState::complete, "g", 3 << 20, 1}};
    const auto earlier = brisklet::ScanHistory().store(summary);
    summary.cancelled = true; // and summarised against no earlier scan: "g" may have shrunk below the kept size
    summary.items.back().name = "f";
    const auto later = brisklet::ScanHistory().store(summary);
    const CommandResult diff = cli({"diff", std::to_string(earlier.value_or(0)), std::to_string(later.value_or(0))});
    const std::string header = diff.out.substr(0, diff.out.find(" in all"));
    EXPECT_TRUE(header.find(" (incomplete), to ") != std::string::npos && header.find(" (incomplete): ") != std::string::npos) << header;
    EXPECT_NE(diff.out.find("/incomplete/d/f  (or more: under 1.05 MB before, or new)"), std::string::npos) << diff.out;
    EXPECT_NE(diff.out.find("/incomplete/d/g  (or more: under 1.05 MB now, or gone)"), std::string::npos) << diff.out;
}
