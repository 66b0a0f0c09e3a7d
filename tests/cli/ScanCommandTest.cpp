#include "ChildProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>

using brisklet::test::CommandResult;
using brisklet::test::runCommand;
using brisklet::test::TempTree;

namespace {
CommandResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), BRISKLET_CLI_PATH);
    return runCommand(args);
}
} // namespace

TEST(ScanCommand, UnusableRootsGiveOneLineAndStatusTwo) {
    TempTree tree;
    const std::string file = tree.writeFile("file", "x");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"scan", tree.path("missing")}, {"scan", file}, {"scan"}, {"scan", tree.root(), "--top", "zero"},
             {"scan", tree.root(), "--timeout", "-1"}, {"scan", tree.root(), "--bogus"}}) {
        const CommandResult r = cli(args);
        EXPECT_EQ(r.exitStatus, 2) << args.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(ScanCommand, JsonHasTheRecordKeysAndRepairsNamesThatAreNotUtf8) {
    TempTree tree;
    tree.writeFile("sub/caf\xE9", "x");
    tree.writeFileOfSize("sub/node_modules/m.js", 10);
    const CommandResult r = cli({"scan", tree.root(), "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["state"], "complete");
    EXPECT_EQ(doc["totals"]["files"], 2);
    EXPECT_EQ(doc["totals"]["directories"], 3);
    const nlohmann::json& root = doc["root"];
    for (const char* key : {"name", "path", "sizeBytes", "isDirectory", "state", "children"})
        EXPECT_TRUE(root.contains(key)) << key;
    EXPECT_EQ(root["path"], tree.root());
    const nlohmann::json& sub = root["children"][0];
    bool sawRepaired = false, sawFolded = false;
    for (const nlohmann::json& node : sub["children"]) {
        if (node["name"] == "caf\xEF\xBF\xBD") {
            sawRepaired = true;
            EXPECT_FALSE(node.contains("children"));
        }
        if (node["name"] == "node_modules") {
            sawFolded = true;
            EXPECT_FALSE(node.contains("children")); // folded: measured, not kept
            EXPECT_GT(node["sizeBytes"], 0);
        }
    }
    EXPECT_TRUE(sawRepaired);
    EXPECT_TRUE(sawFolded);
    EXPECT_TRUE(doc["largeFiles"].is_array());
}

TEST(ScanCommand, JsonFileAndTextReportAgree) {
    TempTree tree;
    tree.writeFileOfSize("a/big", 200'000);
    tree.writeFile("b/small", "x");
    const std::string target = tree.path("out.json");
    const CommandResult r = cli({"scan", tree.path("a"), "--json", target, "--no-fold"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("State: complete"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("big"), std::string::npos);
    std::ifstream in(target);
    const nlohmann::json doc = nlohmann::json::parse(in);
    EXPECT_EQ(doc["root"]["name"], "a");
    EXPECT_EQ(doc["totals"]["files"], 1);
}

TEST(ScanCommand, HelpDocumentsOptionsAndExitCodes) {
    const CommandResult r = cli({"scan", "--help"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* word : {"--json", "--top", "--workers", "--timeout", "--no-fold", "Exit status"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
}
