#include "ChildProcess.h"
#include "SafetyTestSupport.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <set>
#include <sys/stat.h>

using brisklet::test::CommandResult;
using brisklet::test::TempTree;
using brisklet::test::readFile;
using brisklet::test::somethingAt;
using brisklet::test::runCommand;

namespace {

CommandResult cli(std::vector<std::string> arguments, const std::string& cwd = {}) {
    arguments.insert(arguments.begin(), BRISKLET_CLI_PATH);
    return runCommand(arguments, {}, cwd);
}

class SafetyCommandsTest : public ::testing::Test {
protected:
    TempTree tree;
    brisklet::test::ScopedSafetyEnvironment environment{tree};
};

} // namespace

TEST_F(SafetyCommandsTest, TrashReportsEveryItemInOrderAndExitsOneWhenAnyFailed) {
    const std::string kept = tree.writeFile("work/a.txt", std::string(10000, 'a'));
    tree.writeFile("work/dir/inner", "i");
    const auto run = cli({"trash", "a.txt", tree.path("work/dir"), "missing", environment.home()}, tree.path("work"));
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    // Sizes are allocated blocks, which depend on the file system: compare them apart.
    const std::regex size(R"( \(([0-9.]+ (bytes|KB))\)\n)");
    EXPECT_EQ(std::regex_replace(run.out, size, " (SIZE)\n"),
              "trashed " + kept + " -> " + environment.homeTrash() + "/files/a.txt (SIZE)\n"
              "trashed " + tree.path("work/dir") + " -> " + environment.homeTrash() + "/files/dir (SIZE)\n"
              "failed " + tree.path("work/missing") + ": path does not exist\n"
              "failed " + environment.home() + ": refusing to delete protected location " + environment.home() + "\n")
        << run.out;
    EXPECT_FALSE(somethingAt(kept));
    EXPECT_TRUE(somethingAt(environment.home()));
}

TEST_F(SafetyCommandsTest, TrashExitsZeroWhenEverythingMovedAndTakesDashedNamesAfterDoubleDash) {
    tree.writeFile("work/-rf", "x");
    const auto refused = cli({"trash", "-rf"}, tree.path("work"));
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_TRUE(somethingAt(tree.path("work/-rf")));
    const auto run = cli({"trash", "--json", "--", "-rf"}, tree.path("work"));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const auto document = nlohmann::json::parse(run.out);
    ASSERT_EQ(document.size(), 1u);
    EXPECT_EQ(document[0]["path"], tree.path("work/-rf"));
    EXPECT_EQ(document[0]["success"], true);
    EXPECT_EQ(document[0]["trashPath"], environment.homeTrash() + "/files/-rf");
    EXPECT_TRUE(document[0]["failureDescription"].is_null());
}

TEST_F(SafetyCommandsTest, TrashReportsTheSizeAScanGivesTheFolder) {
    // A file whose data take no blocks counts its length, and a folder's own blocks are not counted.
    tree.writeSparseFile("work/sparse", 1 << 20);
    const auto run = cli({"trash", "--json", tree.path("work")});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)[0]["sizeBytes"], 1 << 20);
}

TEST_F(SafetyCommandsTest, TrashDoesNotCallAFileWithAnotherHardLinkReclaimable) {
    const std::string video = tree.writeFileOfSize("one/video.mp4", 200'000);
    tree.hardlink("two/video.mp4", "one/video.mp4");
    const auto run = cli({"trash", video});
    EXPECT_NE(run.out.find(" KB, of which 0 bytes reclaimable)\n"), std::string::npos) << run.out;
    const auto json = nlohmann::json::parse(cli({"trash", "--json", tree.path("two/video.mp4")}).out);
    EXPECT_EQ(json[0]["releasedBytes"], 0) << "its other link is in the Trash, not in this batch";
    EXPECT_GT(json[0]["sizeBytes"].get<long long>(), 0);
}

TEST_F(SafetyCommandsTest, TrashWithoutPathsOrWithAnEmptyOneIsAUsageError) {
    const auto run = cli({"trash"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("no PATH"), std::string::npos);
    EXPECT_EQ(cli({"trash", "--help"}).exitStatus, 0);
    const std::string kept = tree.writeFile("work/a.txt", "a");
    EXPECT_EQ(cli({"trash", ""}, tree.path("work")).exitStatus, 2);
    EXPECT_EQ(cli({"trash", "a.txt", ""}, tree.path("work")).exitStatus, 2);
    EXPECT_TRUE(somethingAt(kept));
}

TEST_F(SafetyCommandsTest, HistoryShowsTheAuditedItemsNewestFirst) {
    tree.writeFile("work/one", "1");
    tree.writeFile("work/two", "2");
    ASSERT_EQ(cli({"trash", tree.path("work/one"), tree.path("work/two"), "/usr/bin/env"}).exitStatus, 1);
    const std::string logFile = environment.stateHome() + "/brisklet/audit.jsonl";
    ASSERT_TRUE(readFile(logFile)) << "the audit log lives in the state folder";

    const auto run = cli({"history", "--json", "--limit", "2"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const auto document = nlohmann::json::parse(run.out);
    ASSERT_EQ(document.size(), 2u);
    EXPECT_EQ(document[0]["path"], "/usr/bin/env");
    EXPECT_EQ(document[0]["result"], "rejected");
    EXPECT_EQ(document[1]["path"], tree.path("work/two"));
    EXPECT_EQ(document[1]["result"], "ok");
    EXPECT_EQ(document[1]["operation"], "trash");
    EXPECT_GT(document[1]["bytes"].get<long long>(), 0);

    const auto text = cli({"history"});
    EXPECT_EQ(text.exitStatus, 0);
    const auto newest = text.out.find("/usr/bin/env");
    const auto oldest = text.out.find(tree.path("work/one"));
    ASSERT_NE(newest, std::string::npos) << text.out;
    ASSERT_NE(oldest, std::string::npos) << text.out;
    EXPECT_LT(newest, oldest);
    EXPECT_NE(text.out.find("trash   rejected"), std::string::npos) << text.out;

    EXPECT_EQ(cli({"history", "--json", "--limit=0"}).out, "[]\n");
}

TEST_F(SafetyCommandsTest, HistoryRejectsABadLimitAndAnEmptyLogPrintsNothing) {
    EXPECT_EQ(cli({"history", "--limit", "-3"}).exitStatus, 2);
    EXPECT_EQ(cli({"history", "--limit"}).exitStatus, 2);
    EXPECT_EQ(cli({"history", "--bogus"}).exitStatus, 2);
    const auto run = cli({"history"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "");
}

TEST_F(SafetyCommandsTest, HistoryAdoptsTheLogOfTheEarlierPlaceAndWritesIsoTimes) {
    const std::string line = R"({"timestamp":786000000.5,"operation":"trash","path":"\/old","bytes":1,"result":"ok"})" "\n";
    const std::string earlier = tree.writeFile("home/me/.local/share/Brisklet/audit.jsonl", line);
    const auto run = cli({"history", "--json"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const auto document = nlohmann::json::parse(run.out);
    ASSERT_EQ(document.size(), 1u) << run.out;
    EXPECT_EQ(document[0]["timestamp"], "2025-11-28T05:20:00.500Z");
    EXPECT_FALSE(somethingAt(earlier));
    EXPECT_EQ(readFile(environment.stateHome() + "/brisklet/audit.jsonl"), line) << "the stored line keeps its form";
}

// Names that are not UTF-8 read alike once repaired; the exact bytes keep them apart.
TEST_F(SafetyCommandsTest, ScanAndTrashJsonKeepTheExactBytesOfNamesThatReadAlike) {
    std::vector<std::string> paths;
    for (const char* name : {"a\xef\xbf\xbd", "a\xfe", "a\xff"})
        paths.push_back(tree.writeFile(std::string("work/") + name, "x"));
    const auto exactBytes = [](const nlohmann::json& item, const char* text, const char* bytes) {
        return item.contains(bytes) ? runCommand({"/usr/bin/base64", "-d"}, item[bytes].get<std::string>()).out
                                    : item[text].get<std::string>();
    };
    const auto scan = nlohmann::json::parse(cli({"scan", tree.path("work"), "--json"}).out);
    std::set<std::string> scanned;
    for (const auto& node : scan["root"]["children"])
        scanned.insert(exactBytes(node, "path", "pathBytes"));
    EXPECT_EQ(scanned, std::set<std::string>(paths.begin(), paths.end()));
    paths.insert(paths.begin(), {"trash", "--json"});
    const auto trash = nlohmann::json::parse(cli(paths).out);
    ASSERT_EQ(trash.size(), 3u);
    std::set<std::string> places;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(exactBytes(trash[i], "path", "pathBytes"), paths[i + 2]);
        const std::string place = exactBytes(trash[i], "trashPath", "trashPathBytes");
        EXPECT_TRUE(somethingAt(*places.insert(place).first)) << place;
    }
    EXPECT_EQ(places.size(), 3u);
}
