#include "PlistFiles.h"
#include "TempTree.h"

#include "CliSupport.h"
#include "Commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>
#include <set>
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
    home.writeFileOfSize(".cache/thumbnails/large/a.png", 8192);
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
    EXPECT_EQ(document[1]["category"]["id"], "thumbnails");
    EXPECT_EQ(document[1]["category"]["group"], "System & Apps");
    EXPECT_EQ(document[1]["exists"], true);
}

TEST(CleanCommand, TextGroupsCategoriesUnderTheirHeadings) {
    TempTree home;
    home.writeFileOfSize(".npm/_cacache/blob", 64 * 1024);
    home.writeFileOfSize(".cache/thumbnails/large/a.png", 8192);
    const CommandRun result = run(cli::cleanCommand, {"--members", "1"}, home.root());
    ASSERT_EQ(result.status, cli::exitOk) << result.err;
    const auto developer = result.out.find("Developer\n  npm Cache");
    const auto system = result.out.find("System & Apps\n  Thumbnails");
    EXPECT_NE(developer, std::string::npos) << result.out;
    EXPECT_NE(system, std::string::npos) << result.out;
    EXPECT_LT(developer, system);
    EXPECT_NE(result.out.find("2 categories, "), std::string::npos) << result.out;

    TempTree empty;
    EXPECT_EQ(run(cli::cleanCommand, {}, empty.root()).out, "Nothing to clean.\n");
}

// A Linux home: an AppImage with its desktop entry, icon, autostart entry and data; an application
// installed into ~/opt; an AppImage without an entry; a folder no entry launches.
struct LinuxHome {
    TempTree home;
    std::string appImage = home.writeFileOfSize("Applications/Tool-1.2.3-x86_64.AppImage", 96 * 1024);
    std::string editor = home.makeDir("opt/Editor");

    LinuxHome() {
        home.writeFile(".local/share/applications/org.example.Tool.desktop",
                       "[Desktop Entry]\nType=Application\nName=Tool\nIcon=org.example.Tool\n"
                       "X-AppImage-Version=1.2.3\nExec=\"" + appImage + "\" %U\n");
        home.writeFileOfSize(".local/share/icons/hicolor/256x256/apps/org.example.Tool.png", 8192);
        home.writeFile(".config/autostart/org.example.Tool.desktop", "[Desktop Entry]\nExec=" + appImage + "\n");
        home.writeFileOfSize(".config/Tool/settings.json", 4096);
        home.writeFileOfSize(".var/app/org.example.Tool/data/db", 4096);
        home.writeFileOfSize(".var/app/org.example.Tool/cache/blob", 16384);
        home.writeFileOfSize("opt/Editor/bin/editor", 48 * 1024);
        home.writeFile(".local/share/applications/editor.desktop",
                       "[Desktop Entry]\nType=Application\nName=Editor\nExec=env A=1 " + editor + "/bin/editor %F\n");
        home.writeFileOfSize("Downloads/Other.AppImage", 8192);
        home.writeFileOfSize("opt/Unlaunched/bin/tool", 4096);
        home.writeFileOfSize(".cargo/registry/cache/index/crate.crate", 32 * 1024);
        home.writeFileOfSize(".cache/thumbnails/normal/a.png", 4096);
    }
};

TEST(AppsCommand, FindsAppImagesAndHomeInstalledApplicationsThroughTheirDesktopEntries) {
    LinuxHome linux;
    const CommandRun result = run(cli::appsCommand, {"--json"}, linux.home.root());
    ASSERT_EQ(result.status, cli::exitOk) << result.err;
    nlohmann::json removable = nlohmann::json::array();
    for (const auto& application : nlohmann::json::parse(result.out))
        if (!application["isProtected"].get<bool>())
            removable.push_back(application);
    ASSERT_EQ(removable.size(), 3u) << removable;
    EXPECT_EQ(removable[0]["name"], "Tool");
    EXPECT_EQ(removable[0]["bundleID"], "org.example.Tool");
    EXPECT_EQ(removable[0]["version"], "1.2.3");
    EXPECT_EQ(removable[0]["icon"], "org.example.Tool");
    EXPECT_EQ(removable[0]["path"], linux.appImage);
    EXPECT_GE(removable[0]["sizeBytes"].get<std::int64_t>(), 96 * 1024);
    EXPECT_EQ(removable[1]["name"], "Editor");
    EXPECT_EQ(removable[1]["path"], linux.editor);
    EXPECT_EQ(removable[2]["name"], "Other");
    EXPECT_TRUE(removable[2]["version"].is_null());
}

TEST(LeftoversCommand, AppImageTakesItsDataDesktopEntryIconAndAutostartEntry) {
    LinuxHome linux;
    const CommandRun json = run(cli::leftoversCommand, {linux.appImage, "--json"}, linux.home.root());
    ASSERT_EQ(json.status, cli::exitOk) << json.err;
    const auto document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["application"]["name"], "Tool");
    std::set<std::string> paths;
    for (const auto& leftover : document["leftovers"])
        paths.insert(leftover["path"]);
    const TempTree& home = linux.home;
    EXPECT_EQ(paths, (std::set<std::string>{home.path(".config/Tool"), home.path(".var/app/org.example.Tool"),
                                            home.path(".config/autostart/org.example.Tool.desktop"),
                                            home.path(".local/share/applications/org.example.Tool.desktop"),
                                            home.path(".local/share/icons/hicolor/256x256/apps/org.example.Tool.png")}));

    const CommandRun text = run(cli::leftoversCommand, {linux.editor}, linux.home.root());
    EXPECT_NE(text.out.find("Leftovers of Editor (editor):"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("1 item, "), std::string::npos) << text.out;
}

TEST(CleanCommand, MeasuresTheCachesOfALinuxHome) {
    LinuxHome linux;
    const CommandRun result = run(cli::cleanCommand, {"--json"}, linux.home.root());
    ASSERT_EQ(result.status, cli::exitOk) << result.err;
    std::vector<std::string> ids;
    for (const auto& category : nlohmann::json::parse(result.out))
        ids.push_back(category["category"]["id"]);
    EXPECT_EQ(ids, (std::vector<std::string>{"cargo-cache", "thumbnails", "flatpak-app-caches"}));
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
    EXPECT_NE(missing.err.find("not an application: "), std::string::npos);
    // Folders that no listing finds are no applications: their "leftovers" would be whatever shares a name.
    home.writeFileOfSize(".config/Music/settings", 4096);
    for (const std::string& folder : {std::string("/"), home.root(), home.makeDir("Music"), home.makeDir("opt/Tool")})
        EXPECT_EQ(run(cli::leftoversCommand, {folder}, home.root()).status, cli::exitUsage) << folder;
    for (const auto command : {cli::cleanCommand, cli::appsCommand, cli::leftoversCommand}) {
        const CommandRun help = run(command, {"--help"}, home.root());
        EXPECT_EQ(help.status, cli::exitOk);
        EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    }
}
