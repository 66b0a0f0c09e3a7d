#include "TempTree.h"
#include "platform/FileServices.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace brisklet::platform;
using brisklet::test::TempTree;

TEST(PathComponents, HandleRootTrailingSlashesAndBareNames) {
    EXPECT_EQ(lastPathComponent("/"), "");
    EXPECT_EQ(lastPathComponent("/a/b"), "b");
    EXPECT_EQ(lastPathComponent("/a/b/"), "b");
    EXPECT_EQ(lastPathComponent("name"), "name");
    EXPECT_EQ(parentPath("/a"), "/");
    EXPECT_EQ(parentPath("/a/b/"), "/a");
    EXPECT_EQ(parentPath("name"), "");
    EXPECT_EQ(joinPath("/", "x"), "/x");
    EXPECT_EQ(joinPath("/a", "x"), "/a/x");
}

TEST(FolderTests, FollowSymlinksAndTreatDanglingLinksAsAbsent) {
    TempTree tree;
    tree.makeDir("dir");
    tree.writeFile("file", "x");
    tree.symlink("toDir", tree.path("dir"));
    tree.symlink("dangling", tree.path("nowhere"));
    EXPECT_TRUE(existsAndIsFolder(tree.path("dir")));
    EXPECT_TRUE(existsAndIsFolder(tree.path("toDir")));
    EXPECT_FALSE(existsAndIsFolder(tree.path("file")));
    EXPECT_TRUE(exists(tree.path("file")));
    EXPECT_FALSE(exists(tree.path("dangling")));
    EXPECT_TRUE(createDirectories(tree.path("dir")));
    EXPECT_TRUE(createDirectories(tree.path("new/deep/folder")));
    EXPECT_FALSE(createDirectories(tree.path("file/below")));
}

TEST(MountPoints, RootIsOneAndAnOrdinaryFolderIsNot) {
    TempTree tree;
    EXPECT_TRUE(isMountPoint("/"));
    EXPECT_FALSE(isMountPoint(tree.makeDir("plain")));
    EXPECT_FALSE(isMountPoint(tree.path("missing")));
}

TEST(WellKnownFolders, DownloadsFollowsTheUserDirsFile) {
    TempTree tree;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", tree.root().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(downloadsDirectory(), tree.path("Downloads"));
    tree.writeFile(".config/user-dirs.dirs", "# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
    EXPECT_EQ(downloadsDirectory(), tree.path("Fetched"));
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(applicationSupportDirectory(), tree.path(".local/share"));
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", oldHome.c_str(), 1);
}

TEST(WellKnownFolders, UserDirsAreReadAsXdgUserDirsDoesQuotedHomeRelativeAndByteForByte) {
    TempTree tree; // not this session's home: its own .config is read, whatever the environment says
    const std::string home = tree.makeDir("home");
    tree.writeFile("home/.config/user-dirs.dirs",
                   "# xdg-user-dirs\n"
                   "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
                   "  XDG_DOCUMENTS_DIR = \"$HOME/My \\\"Docs\\\\\"\n"
                   "XDG_DOWNLOAD_DIR=\"/data//T\xe9l\xe9" "chargements/\"\n" // Latin-1, not UTF-8
                   "XDG_MUSIC_DIR=\"Music\"\nXDG_PICTURES_DIR=\"/..\"\nXDG_VIDEOS_DIR=\"$HOME/torn\n"
                   "XDG_TEMPLATES_DIR=\"$HOMEWORK/x\"\nXDG_PUBLICSHARE_DIR=\"$HOME/\"\nxdg_lower_dir=\"/x\"\n");
    using Folders = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(userDirectories(home), (Folders{{"DESKTOP", home + "/Bureau"},
                                              {"DOCUMENTS", home + "/My \"Docs\\"},
                                              {"DOWNLOAD", "/data/T\xe9l\xe9" "chargements"},
                                              {"PUBLICSHARE", home}}));
    EXPECT_EQ(userDirectory(home, "PUBLICSHARE", "Public"), home + "/Public") << "turned off";
    EXPECT_EQ(userDirectory(home, "MUSIC", "Music"), home + "/Music");
}

TEST(RegularFiles, AFileOfExactlyTheLimitIsReadAndOneByteMoreIsRefused) {
    TempTree tree;
    const std::string contents(100'000, 'x'); // longer than one read, so the running count is checked too
    EXPECT_EQ(readRegularFile(tree.writeFile("at", contents), contents.size()), contents);
    EXPECT_EQ(readRegularFile(tree.writeFile("over", contents + "y"), contents.size()), std::nullopt);
    EXPECT_EQ(readRegularFile(tree.writeFile("empty", ""), 0), "");
}
