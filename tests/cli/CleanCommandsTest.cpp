#include "PlistFiles.h"
#include "TempTree.h"

#include "CliSupport.h"
#include "Commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>
#include <sstream>

using namespace brisklet;
using brisklet::test::TempTree;

namespace {

struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

// Runs a command in-process with HOME pointing at a fake home folder.
CommandRun run(int (*command)(const cli::Args&), const cli::Args& args, const std::string& home) {
    const char* previous = std::getenv("HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("HOME", home.c_str(), 1);
    std::ostringstream out, err;
    std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf* oldErr = std::cerr.rdbuf(err.rdbuf());
    const int status = command(args);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    if (previous)
        ::setenv("HOME", saved.c_str(), 1);
    else
        ::unsetenv("HOME");
    return {status, out.str(), err.str()};
}

} // namespace

TEST(CleanCommand, JsonListsOnlyExistingCategoriesWithTheirMembers) {
    TempTree home;
    home.writeFileOfSize(".npm/_cacache/blob", 128 * 1024);
    home.writeFileOfSize(".npm/_logs/log", 4096);
    home.writeFileOfSize("Library/Logs/app.log", 8192);
    home.makeDir(".cache/uv"); // empty: not listed

    const CommandRun result = run(cli::cleanCommand, {"--json"}, home.root());
    ASSERT_EQ(result.status, cli::exitOk) << result.err;
    const auto document = nlohmann::json::parse(result.out);
    ASSERT_EQ(document.size(), 2u);
    EXPECT_EQ(document[0]["category"]["id"], "npm-cache");
    EXPECT_EQ(document[0]["category"]["group"], "Developer");
    EXPECT_EQ(document[0]["items"][0]["path"], home.path(".npm"));
    EXPECT_EQ(document[0]["items"][0]["state"], "complete");
    EXPECT_GE(document[0]["sizeBytes"].get<std::int64_t>(), 128 * 1024 + 4096);
    EXPECT_EQ(document[0]["children"][0]["name"], "_cacache");
    EXPECT_EQ(document[0]["children"][1]["name"], "_logs");
    EXPECT_EQ(document[1]["category"]["id"], "system-logs");
    EXPECT_EQ(document[1]["category"]["group"], "System & Apps");
    EXPECT_EQ(document[1]["exists"], true);
}

TEST(CleanCommand, TextGroupsCategoriesUnderTheirHeadings) {
    TempTree home;
    home.writeFileOfSize(".npm/_cacache/blob", 64 * 1024);
    home.writeFileOfSize("Library/Logs/app.log", 8192);
    const CommandRun result = run(cli::cleanCommand, {"--members", "1"}, home.root());
    ASSERT_EQ(result.status, cli::exitOk) << result.err;
    const auto developer = result.out.find("Developer\n  npm Cache");
    const auto system = result.out.find("System & Apps\n  System & App Logs");
    EXPECT_NE(developer, std::string::npos) << result.out;
    EXPECT_NE(system, std::string::npos) << result.out;
    EXPECT_LT(developer, system);
    EXPECT_NE(result.out.find("2 categories, "), std::string::npos) << result.out;

    TempTree empty;
    EXPECT_EQ(run(cli::cleanCommand, {}, empty.root()).out, "Nothing to clean.\n");
}

TEST(AppsCommand, JsonCarriesTheRecordFieldsWithAbsentValuesAsNull) {
    TempTree home;
    test::writePlist(home.path("Applications/Tool.app/Contents/Info.plist"),
                     {{"CFBundleName", "s:Tool"}, {"CFBundleIdentifier", "s:org.example.tool"}},
                     test::PlistFormat::binary);
    home.writeFileOfSize("Applications/Tool.app/Contents/MacOS/tool", 32 * 1024);

    const CommandRun result = run(cli::appsCommand, {"--json"}, home.root());
    ASSERT_EQ(result.status, cli::exitOk) << result.err;
    const auto document = nlohmann::json::parse(result.out);
    ASSERT_EQ(document.size(), 1u);
    EXPECT_EQ(document[0]["name"], "Tool");
    EXPECT_EQ(document[0]["bundleID"], "org.example.tool");
    EXPECT_TRUE(document[0]["version"].is_null());
    EXPECT_EQ(document[0]["isProtected"], false);
    EXPECT_GE(document[0]["sizeBytes"].get<std::int64_t>(), 32 * 1024);
}

TEST(LeftoversCommand, ListsTheBundlesLeftoversInTheHomeLibrary) {
    TempTree home;
    const std::string bundle = home.makeDir("Applications/Tool.app");
    test::writePlist(bundle + "/Contents/Info.plist", {{"CFBundleIdentifier", "s:org.example.tool"}},
                     test::PlistFormat::xml);
    home.writeFileOfSize("Library/Caches/org.example.tool/blob", 64 * 1024);

    const CommandRun json = run(cli::leftoversCommand, {bundle, "--json"}, home.root());
    ASSERT_EQ(json.status, cli::exitOk) << json.err;
    const auto document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["application"]["name"], "Tool");
    ASSERT_EQ(document["leftovers"].size(), 1u);
    EXPECT_EQ(document["leftovers"][0]["path"], home.path("Library/Caches/org.example.tool"));
    EXPECT_EQ(document["leftovers"][0]["isDirectory"], true);

    const CommandRun text = run(cli::leftoversCommand, {bundle}, home.root());
    EXPECT_NE(text.out.find("Leftovers of Tool (org.example.tool):"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("1 item, "), std::string::npos) << text.out;
}

TEST(CleanCommandsArguments, BadArgumentsAreUsageErrorsAndHelpSucceeds) {
    TempTree home;
    EXPECT_EQ(run(cli::cleanCommand, {"--bogus"}, home.root()).status, cli::exitUsage);
    EXPECT_EQ(run(cli::cleanCommand, {"extra"}, home.root()).status, cli::exitUsage);
    EXPECT_EQ(run(cli::cleanCommand, {"--members"}, home.root()).status, cli::exitUsage);
    EXPECT_EQ(run(cli::cleanCommand, {"--members", "-3"}, home.root()).status, cli::exitUsage);
    EXPECT_EQ(run(cli::appsCommand, {"x"}, home.root()).status, cli::exitUsage);
    EXPECT_EQ(run(cli::leftoversCommand, {}, home.root()).status, cli::exitUsage);
    EXPECT_EQ(run(cli::leftoversCommand, {"a", "b"}, home.root()).status, cli::exitUsage);
    const CommandRun missing = run(cli::leftoversCommand, {home.path("Missing.app")}, home.root());
    EXPECT_EQ(missing.status, cli::exitUsage);
    EXPECT_NE(missing.err.find("not an application folder"), std::string::npos);
    for (const auto command : {cli::cleanCommand, cli::appsCommand, cli::leftoversCommand}) {
        const CommandRun help = run(command, {"--help"}, home.root());
        EXPECT_EQ(help.status, cli::exitOk);
        EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    }
}
