#include "TempTree.h"

#include "apps/HomeApplications.h"
#include "apps/LeftoverScanner.h"
#include "platform/FileServices.h"
#include "platform/Subprocess.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace brisklet;
using brisklet::test::TempTree;

TEST(DesktopEntryParsing, ProgramVersionAndOnlyTheMainGroup) {
    struct Case {
        std::string body;
        std::string program;
        std::string version;
    };
    const std::vector<Case> cases{
        {"Exec=\"/opt/My App/run\" --flag %U", "/opt/My App/run", ""},
        {"Exec=env FOO=1 BAR=\"a b\" /home/a/x.AppImage %f", "/home/a/x.AppImage", ""},
        {"Exec=\"/home/a\\\\\"b/tool\"\nVersion=1.5", "/home/a\"b/tool", ""},
        {"Exec=sh -c \"/bin/true\"\nTryExec=/opt/t/bin/t\nVersion=2.3.1", "/opt/t/bin/t", "2.3.1"},
        {"Exec=tool\nVersion=2.0.0\nX-AppImage-Version=3.1", "", "3.1"},
        {"Name=A\n[Desktop Action new]\nExec=/other/program", "", ""},
    };
    for (const Case& c : cases) {
        const auto entry = DesktopEntries::parse("# comment\n[Desktop Entry]\n" + c.body + "\n", "/x/id.desktop");
        ASSERT_TRUE(entry) << c.body;
        EXPECT_EQ(entry->program, c.program) << c.body;
        EXPECT_EQ(entry->version, c.version) << c.body;
        EXPECT_EQ(entry->fileId, "id");
    }
    EXPECT_FALSE(DesktopEntries::parse("Exec=/bin/x\n", "/x/y.desktop"));
}

TEST(HomeApplicationNames, NameAndVersionFromTheFileName) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"Name-1.2.3-x86_64", "Name", "1.2.3"},   {"balenaEtcher-1.18.11-x64", "balenaEtcher", "1.18.11"},
        {"idea-IC-233.11799.241", "idea-IC", "233.11799.241"}, {"Cura_5.6.0", "Cura", "5.6.0"},
        {"tool-v2.0-aarch64", "tool", "2.0"},   {"nvim", "nvim", ""},
        {"App-x86_64", "App", ""},              {"3D-Viewer", "3D-Viewer", ""},
    };
    for (const auto& [stem, name, version] : cases)
        EXPECT_EQ(HomeApplications::nameAndVersion(stem), std::make_pair(name, version)) << stem;
}

TEST(HomeApplicationListing, LaunchedFoldersOutsideDownloadsAndRealAppImagesOnceAndPackagedEntriesProtected) {
    TempTree tree;
    const std::string apps = tree.makeDir("apps"), users = tree.makeDir("home/applications");
    const std::string flatpak = tree.makeDir("flatpak/exports/share/applications");
    tree.writeFile("apps/Tool-2.1.appimage", "elf");
    tree.symlink("apps/Linked.AppImage", tree.writeFile("elsewhere/Linked.AppImage", "elf"));
    tree.writeFile("apps/Folder/bin/run", "elf");
    tree.writeFile("apps/Unlaunched/bin/run", "elf");
    tree.writeFile("far/Far.AppImage", "elf");
    tree.writeFile("Downloads/project/bin/run", "elf"); // the user's own folder, though an entry launches it
    tree.writeFile("home/applications/d.desktop", "[Desktop Entry]\nExec=" + tree.path("Downloads/project/bin/run") + "\n");
    tree.writeFile("home/applications/a.desktop", "[Desktop Entry]\nName=Folder App\nExec=" + apps + "/Folder/bin/run\n");
    tree.writeFile("home/applications/b.desktop", "[Desktop Entry]\nExec=" + tree.path("far/Far.AppImage") + "\n");
    tree.writeFile("home/applications/c.desktop", "[Desktop Entry]\nName=Tool\nExec=" + apps + "/Tool-2.1.appimage\n");
    tree.writeFile("home/applications/gone.desktop", "[Desktop Entry]\nHidden=true\nExec=" + apps + "/Unlaunched/bin/run\n");
    tree.writeFile("flatpak/exports/share/applications/org.x.Viewer.desktop",
                   "[Desktop Entry]\nType=Application\nName=Viewer\nIcon=org.x.Viewer\n");
    tree.writeFile("flatpak/exports/share/applications/helper.desktop", "[Desktop Entry]\nType=Application\nNoDisplay=true\n");

    std::vector<std::string> found;
    for (const ApplicationEntry& application : HomeApplications::list({apps, tree.path("Downloads"), users, flatpak, apps}))
        found.push_back(application.name + "|" + application.bundleID.value_or("-") + "|" +
                        application.version.value_or("-") + "|" + (application.isProtected ? "system" : "user") +
                        "|" + application.path);
    EXPECT_EQ(found, (std::vector<std::string>{"Folder App|a|-|user|" + apps + "/Folder",
                                               "Tool|c|2.1|user|" + apps + "/Tool-2.1.appimage",
                                               "Far|b|-|user|" + tree.path("far/Far.AppImage"),
                                               "Viewer|org.x.Viewer|-|system|" + flatpak + "/org.x.Viewer.desktop"}));
}

TEST(LinuxLeftovers, XdgPlacesInOrderWithoutSharedFoldersOrTheFolderHoldingTheBundle) {
    TempTree home;
    const std::string bundle = home.makeDir(".local/share/Tool/app"); // holds the bundle: never a leftover
    home.writeFile(".local/share/applications/tool.desktop", "[Desktop Entry]\nIcon=tool\nExec=" + bundle + "/run\n");
    home.writeFile(".local/share/applications/other.desktop", "[Desktop Entry]\nIcon=shared\nExec=/usr/bin/x\n");
    home.writeFile(".local/share/applications/tool2.desktop", "[Desktop Entry]\nIcon=shared\nExec=" + bundle + "/b\n");
    home.writeFile(".local/share/icons/hicolor/48x48/apps/tool.png", "png");
    home.writeFile(".local/share/icons/hicolor/48x48/apps/shared.png", "png"); // still shown by other.desktop
    const ApplicationEntry tool{"Tool", "org.example.Tool", bundle, 0, std::nullopt, false};
    const auto at = [&home](const std::string& relative) { return home.path(relative); };
    std::vector<std::string> expected;
    for (const char* base : {".config/", ".local/share/", ".local/state/", ".cache/"})
        for (const char* name : {"org.example.Tool", "Tool", "tool"})
            if (std::string(base) + name != ".local/share/Tool")
                expected.push_back(at(std::string(base) + name));
    for (const char* relative : {".var/app/org.example.Tool", ".config/autostart/org.example.Tool.desktop",
                                 ".local/share/applications/tool.desktop", ".local/share/applications/tool2.desktop",
                                 ".local/share/icons/hicolor/48x48/apps/tool.png"})
        expected.push_back(at(relative));
    EXPECT_EQ(LeftoverScanner::candidates(tool, home.root()), expected);

    const ApplicationEntry shared{"applications", "autostart", bundle, 0, std::nullopt, false};
    for (const std::string& path : LeftoverScanner::candidates(shared, home.root()))
        EXPECT_TRUE(path != at(".config/autostart") && path != at(".local/share/applications")) << path;
}

TEST(LinuxLeftovers, AnIconKeyNeverNamesAFolderOrAFileOutsideTheIconFolder) {
    TempTree home;
    const std::string bundle = home.makeDir("opt/Tool"), icons = home.path(".local/share/icons");
    home.symlink(".local/share/icons/elsewhere", platform::parentPath(home.writeFile("Documents/thesis.png", "work")));
    const std::string own = home.writeFile(".local/share/icons/hicolor/apps/tool.png", "png");
    const ApplicationEntry tool{"Tool", "tool", bundle, 0, std::nullopt, false};
    for (const std::string icon : {"/../../../Documents", "/hicolor/../../../../Documents/thesis.png", "/hicolor", "",
                                   "/elsewhere/thesis.png", "/hicolor/./apps/tool.png"}) {
        const std::string entry = home.writeFile(".local/share/applications/tool.desktop",
                                                 "[Desktop Entry]\nIcon=" + icons + icon + "\nExec=" + bundle + "/run\n");
        EXPECT_EQ(LeftoverScanner::candidates(tool, home.root()).back(), icon.ends_with("tool.png") ? own : entry) << icon;
    }
}

TEST(RunningApplications, AProcessWhoseExecutableLiesInTheBundleMarksItRunning) {
    TempTree home;
    const std::string program = home.path("opt/Runner/bin/runner");
    home.makeDir("opt/Runner/bin");
    std::filesystem::copy_file("/bin/sleep", program);
    const std::vector<ApplicationEntry> applications{{"Runner", "runner", home.path("opt/Runner"), 0, {}, false},
                                                     {"Idle", "idle", home.makeDir("opt/Idle"), 0, {}, false}};
    platform::SpawnOptions sleeper;
    sleeper.executable = program;
    sleeper.arguments = {"60"};
    auto child = platform::Subprocess::spawn(sleeper);
    EXPECT_EQ(HomeApplications::runningBundleIDs(applications), (std::set<std::string>{"runner"}));
    child.terminate(std::chrono::seconds(2));
    EXPECT_TRUE(HomeApplications::runningBundleIDs(applications).empty());
}
