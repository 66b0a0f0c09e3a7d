#include "ChildProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(ScanCommand, OutputThatCannotBeWrittenIsAFailure) {
    TempTree tree;
    tree.writeFile("f", "x");
    for (const char* json : {"", " --json"}) {
        const CommandResult r = runCommand(
            {"/bin/sh", "-c", std::string("exec '") + BRISKLET_CLI_PATH + "' scan '" + tree.root() + "'" + json + " >/dev/full"});
        EXPECT_EQ(r.exitStatus, 1) << json;
        EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    }
}

TEST(ScanCommand, JsonTakesAFileOnlyWhenAPathIsLeftForTheScan) {
    TempTree tree;
    tree.writeFile("d/f", "x");
    const std::string dir = tree.path("d");
    // Options after the folder do not turn the folder into the JSON file.
    for (const auto& args : std::vector<std::vector<std::string>>{{"scan", "--json", dir, "--no-fold"},
                                                                  {"scan", "--json", dir, "--top", "3"}}) {
        const CommandResult r = cli(args);
        ASSERT_EQ(r.exitStatus, 0) << args.back() << ": " << r.err;
        EXPECT_EQ(nlohmann::json::parse(r.out)["root"]["path"], dir);
    }
    const std::string target = tree.path("out.json");
    const CommandResult r = cli({"scan", "--json", target, "--top", "3", dir});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    std::ifstream in(target);
    EXPECT_EQ(nlohmann::json::parse(in)["root"]["path"], dir);
}

TEST(ScanCommand, NoFoldKeepsToolFoldersAndTopLimitsTheRows) {
    TempTree tree;
    tree.writeFileOfSize("node_modules/dep/index.js", 10);
    for (const char* name : {"a", "b", "c"})
        tree.writeFileOfSize(std::string(name) + "/data", 100'000);
    const CommandResult json = cli({"scan", tree.root(), "--no-fold", "--workers", "1", "--timeout", "30", "--json"});
    ASSERT_EQ(json.exitStatus, 0) << json.err;
    bool sawModules = false;
    const nlohmann::json doc = nlohmann::json::parse(json.out);
    for (const nlohmann::json& node : doc["root"]["children"])
        if (node["name"] == "node_modules") {
            sawModules = true;
            EXPECT_TRUE(node.contains("children"));
        }
    EXPECT_TRUE(sawModules);

    const CommandResult text = cli({"scan", tree.root(), "--top", "2"});
    ASSERT_EQ(text.exitStatus, 0) << text.err;
    const std::string rows = text.out.substr(text.out.find("Largest items:"));
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 3) << text.out; // heading and two rows
}

TEST(ScanCommand, UnreadableFoldersMakeTheStatusOneAndTheReportStillComes) {
    TempTree tree;
    tree.writeFile("open/f", "x");
    tree.makeDir("closed");
    ASSERT_EQ(chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(tree.path("closed").c_str(), 0), 0);
    // Root reads any folder, so the scan runs as nobody there.
    std::vector<std::string> prefix;
    if (geteuid() == 0)
        prefix = {"/usr/bin/setpriv", "--reuid=" + std::to_string(brisklet::test::unprivilegedUid()),
                  "--regid=" + std::to_string(brisklet::test::unprivilegedGid()), "--clear-groups"};
    for (const char* json : {"", "--json"}) {
        std::vector<std::string> args = prefix;
        for (const std::string& arg : {std::string(BRISKLET_CLI_PATH), std::string("scan"), tree.root()})
            args.push_back(arg);
        if (*json)
            args.push_back(json);
        const CommandResult r = runCommand(args);
        EXPECT_EQ(r.exitStatus, 1) << json << r.err;
        EXPECT_NE(r.out.find("partial"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("1 folder could not be read"), std::string::npos) << r.err;
    }
    chmod(tree.path("closed").c_str(), 0755);
}

TEST(CliProgram, AnswersVersion) {
    const CommandResult r = cli({"--version"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(r.out.starts_with("brisklet-cli ") && r.out.find('.') != std::string::npos) << r.out;
}
