#include "SafetyTestSupport.h"
#include "TempTree.h"

#include "apps/AppCatalog.h"
#include "apps/HomeApplications.h"
#include "apps/LeftoverScanner.h"
#include "apps/OtherPrograms.h"
#include "apps/RunningApplications.h"
#include "clean/CleanCatalog.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/Subprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(HomeApplicationListing, TheDownloadFolderIsWhereUserDirsPutsItAndAProjectThereIsNoApplication) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    tree.writeFile("home/me/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9" "chargements\"\n");
    const std::string project = tree.writeFile("home/me/T\xc3\xa9l\xc3\xa9" "chargements/project/run", "elf");
    const std::string entries = tree.makeDir("home/me/.local/share/applications");
    tree.writeFile("home/me/.local/share/applications/p.desktop", "[Desktop Entry]\nExec=" + project + "\n");
    const std::string downloads = platform::parentPath(platform::parentPath(project));
    const auto roots = HomeApplications::roots(environment.home());
    EXPECT_NE(std::find(roots.begin(), roots.end(), downloads), roots.end());
    EXPECT_TRUE(HomeApplications::list({downloads, entries}).empty()) << "the user's own folder";
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

namespace {

// Path -> shared reason ("" when not shared) of the leftovers of the AppImage at path.
std::map<std::string, std::string> leftoversOf(const std::string& path, const TempTree& home, const OtherPrograms& others) {
    const auto application = HomeApplications::find(path, HomeApplications::roots(home.root()));
    std::map<std::string, std::string> found;
    for (const Leftover& leftover : LeftoverScanner::leftovers(application.value(), home.root(), AppCatalog::sizingOptions(),
                                                               {}, hostProfile(), others))
        found[leftover.path()] = leftover.shared ? leftover.sharedReason : "";
    return found;
}

} // namespace

TEST(LinuxLeftovers, SettingsFoundByNameThatAnotherInstalledProgramUsesAreMarkedShared) {
    TempTree home;
    const std::string git = home.writeFile("Applications/Git-2.44.0-x86_64.AppImage", "elf");
    const std::string nvim = home.writeFile("Applications/nvim.appimage", "elf");
    for (const char* place : {".config/git/config", ".local/share/git/a", ".cache/git/b", ".config/nvim/init.lua"})
        home.writeFileOfSize(place, 4096);
    const std::string entry = home.writeFile(".local/share/applications/nvim.desktop", "[Desktop Entry]\nExec=" + nvim + "\n");
    ASSERT_EQ(::chmod(home.writeFile("system/bin/git", "#!/bin/sh\n").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(nvim.c_str(), 0755), 0);
    home.symlink("bin/nvim", nvim); // the AppImage itself, not another program
    home.writeFile("system/applications/nvim.desktop", "[Desktop Entry]\nName=Neovim\nExec=nvim %F\n");
    const OtherPrograms others{{home.path("bin"), home.path("system/bin")}, {home.path("system/applications")}, ""};

    const std::string gitReason = "Also used by git, installed on this computer";
    EXPECT_EQ(leftoversOf(git, home, others), (std::map<std::string, std::string>{{home.path(".config/git"), gitReason},
                                                                                  {home.path(".local/share/git"), gitReason},
                                                                                  {home.path(".cache/git"), gitReason}}));
    EXPECT_EQ(leftoversOf(nvim, home, others),
              (std::map<std::string, std::string>{{home.path(".config/nvim"), "Also used by Neovim, installed on this computer"},
                                                  {entry, ""}}));
    for (const auto& [path, reason] : leftoversOf(git, home, OtherPrograms{{home.path("bin")}, {}, ""}))
        EXPECT_EQ(reason, "") << path;
}

TEST(LinuxLeftovers, AFolderNamedLikeWhatADebianPackageInstallsIsMarkedShared) {
    if (::access("/usr/bin/dpkg-query", X_OK) != 0)
        GTEST_SKIP() << "no dpkg-query on this machine";
    TempTree home;
    const std::string dpkg = home.writeFile("Applications/dpkg.AppImage", "elf");
    home.writeFileOfSize(".config/dpkg/settings", 4096);
    EXPECT_EQ(leftoversOf(dpkg, home, OtherPrograms{{}, {}, "/usr/bin/dpkg-query"}),
              (std::map<std::string, std::string>{{home.path(".config/dpkg"), "Also used by dpkg, installed on this computer"}}));
}

TEST(LinuxLeftovers, AnApplicationNamedTrashNeverOffersTheTrash) {
    TempTree home;
    home.writeFileOfSize(".local/share/Trash/files/report.txt", 4096);
    home.writeFile(".local/share/Trash/info/report.txt.trashinfo", "[Trash Info]\nPath=/r\n");
    for (const std::string name : {"Trash.AppImage", "trash-1.0.AppImage"})
        EXPECT_EQ(leftoversOf(home.writeFile("Applications/" + name, "elf"), home, {}).size(), 0u) << name;
}

TEST(XdgFolders, EachVariableSetToAnAbsolutePathMovesEveryCatalogLeftoverAndApplicationPlace) {
    TempTree home;
    const std::string previousHome = platform::homeDirectory();
    ::setenv("HOME", home.root().c_str(), 1); // the variables belong to the session's own home only
    const ApplicationEntry tool{"Tool", "org.example.Tool", home.makeDir("opt/Tool"), 0, std::nullopt, false};
    const auto everyPlace = [&] {
        std::vector<std::string> places = LeftoverScanner::candidates(tool, home.root());
        for (const std::string& root : HomeApplications::roots(home.root()))
            places.push_back(root);
        for (const CleanCategory& category : CleanCatalog::categories(home.root()))
            places.insert(places.end(), category.paths.begin(), category.paths.end());
        return places;
    };
    for (const auto& [variable, fallback] : std::vector<std::pair<std::string, std::string>>{
             {"XDG_CONFIG_HOME", ".config"}, {"XDG_CACHE_HOME", ".cache"}, {"XDG_DATA_HOME", ".local/share"},
             {"XDG_STATE_HOME", ".local/state"}}) {
        const char* previous = std::getenv(variable.c_str());
        const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
        for (const std::string& value : {home.path("moved/") + variable + "/", std::string("relative/ignored")}) {
            ::setenv(variable.c_str(), value.c_str(), 1);
            const std::string expected = value.front() == '/' ? home.path("moved/") + variable : home.path(fallback);
            const std::string other = value.front() == '/' ? home.path(fallback) : home.path("moved");
            const std::vector<std::string> places = everyPlace();
            EXPECT_TRUE(std::ranges::any_of(places, [&](const auto& p) { return p.starts_with(expected + "/"); })) << value;
            for (const std::string& place : places)
                EXPECT_FALSE(place.starts_with(other + "/")) << variable << "=" << value << ": " << place;
        }
        ::setenv(variable.c_str(), home.path(".config/Tool").c_str(), 1); // inside another: never a leftover
        for (const std::string& place : LeftoverScanner::candidates(tool, home.root()))
            EXPECT_NE(place, home.path(".config/Tool")) << variable;
        saved ? ::setenv(variable.c_str(), saved->c_str(), 1) : ::unsetenv(variable.c_str());
    }
    ::setenv("HOME", previousHome.c_str(), 1);
}

TEST(RunningApplicationNames, ExecFoundThroughPathHomeBeforeSystemNoInterpretersAndNewEntriesSeen) {
    TempTree tree;
    const std::string bin = tree.writeFile("bin/editor", "#!/bin/true\n");
    ::chmod(bin.c_str(), 0755);
    tree.symlink("bin/ed-link", bin);
    tree.writeFile("home/applications/editor.desktop",
                   "[Desktop Entry]\nType=Application\nName=Home Editor\nIcon=home-editor\nExec=ed-link %F\n");
    tree.writeFile("system/applications/editor.desktop", // same file id: hidden by the home's
                   "[Desktop Entry]\nType=Application\nName=System Editor\nExec=" + bin + "\n");
    tree.writeFile("system/applications/script.desktop",
                   "[Desktop Entry]\nType=Application\nName=Script\nExec=sh -c \"editor\"\n");
    tree.writeFile("system/applications/helper.desktop",
                   "[Desktop Entry]\nType=Application\nName=Helper\nNoDisplay=true\nExec=/bin/sh\n");
    DesktopEntryIndex index({tree.path("home"), tree.path("system")}, tree.path("bin"));
    index.refresh();
    const RunningApplication* editor = index.find(bin);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->name, "Home Editor");
    EXPECT_EQ(editor->icon, "home-editor");
    char shell[PATH_MAX];
    ASSERT_NE(::realpath("/bin/sh", shell), nullptr);
    EXPECT_EQ(index.find(shell), nullptr);
    EXPECT_EQ(index.size(), 1u);

    // A folder that changes is read again at the next refresh.
    const std::string viewer = tree.writeFile("bin/viewer", "#!/bin/true\n");
    ::chmod(viewer.c_str(), 0755);
    tree.writeFile("system/applications/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1, 0}}; // a stamp the listing cannot already have
    ::utimensat(AT_FDCWD, tree.path("system/applications").c_str(), times, 0);
    index.refresh();
    ASSERT_NE(index.find(viewer), nullptr);
    EXPECT_EQ(index.find(viewer)->name, "Viewer");

    tree.writeFile("icons/hicolor/48x48/apps/home-editor.png", "png");
    tree.writeFile("icons/hicolor/scalable/apps/home-editor.svg", "svg");
    EXPECT_EQ(iconFile("home-editor", {"Adwaita"}, 32, {tree.root()}), tree.path("icons/hicolor/48x48/apps/home-editor.png"));
    EXPECT_EQ(iconFile("home-editor", {}, 64, {tree.root()}), tree.path("icons/hicolor/scalable/apps/home-editor.svg"));
    EXPECT_EQ(iconFile("../home-editor", {}, 64, {tree.root()}), "");
}
