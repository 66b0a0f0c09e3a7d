#include "MountNamespace.h"
#include "SafetyTestSupport.h"
#include "TempTree.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "safety/PathValidator.h"

#include <gtest/gtest.h>
#include <ostream>
#include <sys/mount.h>

using namespace brisklet;
using brisklet::PathValidator::Rejection;
using brisklet::test::TempTree;

namespace brisklet::PathValidator {
void PrintTo(const Rejection& rejection, std::ostream* out) { *out << rejection.description(); }
} // namespace brisklet::PathValidator

namespace {

std::optional<Rejection> check(const std::string& path, const std::string& home = "/home/nobody-here") {
    return PathValidator::deletionRejection(path, home);
}

std::optional<Rejection> checkOriginal(const std::string& path, const std::string& home) {
    return PathValidator::deletionRejection(path, home, originalHostProfile());
}

} // namespace

TEST(RejectionTexts, AreVerbatimWithThePayloadAppendedUnquoted) {
    EXPECT_EQ(Rejection::protectedPrefix("/usr").description(), "refusing to delete inside /usr");
    EXPECT_EQ(Rejection::protectedPath("/home/a b").description(), "refusing to delete protected location /home/a b");
    EXPECT_EQ(Rejection::notAbsolute().description(), "path is not absolute");
    EXPECT_EQ(Rejection::rootLevelPath().description(), "refusing to delete a top-level system location");
    EXPECT_EQ(Rejection::volumeRoot().description(), "refusing to delete an entire volume");
    EXPECT_EQ(Rejection::nonexistent().description(), "path does not exist");
    EXPECT_NE(Rejection::protectedPrefix("/usr"), Rejection::protectedPrefix("/bin"));
}

TEST(PathValidatorAbsoluteness, RelativeAndTildePathsAreRefusedBeforeAnyCleanUp) {
    EXPECT_EQ(check(""), Rejection::notAbsolute());
    EXPECT_EQ(check("relative/dir"), Rejection::notAbsolute());
    EXPECT_EQ(check("~/Documents"), Rejection::notAbsolute());
    EXPECT_EQ(check("./x"), Rejection::notAbsolute());
}

TEST(PathValidatorTopLevel, RootAndEverySingleComponentPathAreRefused) {
    for (const char* path : {"/", "//", "/.", "/./", "/..", "/Applications", "/opt", "/home", "/var", "/tmp",
                             "/tmp/..", "/nonexistent-top-level"})
        EXPECT_EQ(check(path), Rejection::rootLevelPath()) << path;
}

TEST(PathValidatorProtectedTrees, PathsInsideAreRefusedWithTheTreeEvenWhenMissing) {
    EXPECT_EQ(check("/System/Library/Caches/x"), Rejection::protectedPrefix("/System"));
    EXPECT_EQ(check("/usr/local/bin/tool"), Rejection::protectedPrefix("/usr"));
    EXPECT_EQ(check("/usr/bin/env"), Rejection::protectedPrefix("/usr"));
    EXPECT_EQ(check("/private/var/db"), Rejection::protectedPrefix("/private/var/db"));
    EXPECT_EQ(check("/private/etc/hosts"), Rejection::protectedPrefix("/private/etc"));
    // The host's own trees.
    EXPECT_EQ(check("/etc/brisklet-missing"), Rejection::protectedPrefix("/etc"));
    EXPECT_EQ(check("/var/lib/brisklet-missing"), Rejection::protectedPrefix("/var/lib"));
    EXPECT_EQ(check("/boot/vmlinuz-missing"), Rejection::protectedPrefix("/boot"));
    EXPECT_EQ(check("/lib/brisklet-missing"), Rejection::protectedPrefix("/lib"));
    EXPECT_EQ(check("/proc/self/status"), Rejection::protectedPrefix("/proc"));
}

TEST(PathValidatorProtectedTrees, ASiblingSharingThePrefixTextIsNotInside) {
    EXPECT_EQ(check("/usr2/tool"), Rejection::nonexistent());
    EXPECT_EQ(check("/etcetera/x"), Rejection::nonexistent());
    EXPECT_EQ(check("/var/library/x"), Rejection::nonexistent());
}

TEST(PathValidatorProtectedTrees, DotDotTricksAreJudgedWhereTheyLead) {
    TempTree tree;
    tree.makeDir("a/b");
    // Lexically and through realpath alike, this is /usr/bin/env.
    EXPECT_EQ(check(tree.path("a/b/../../../../../../../usr/bin/env")), Rejection::protectedPrefix("/usr"));
    EXPECT_EQ(check(tree.path("a/missing/../../../../../../../etc/x")), Rejection::protectedPrefix("/etc"));
    // A link in the middle, then "..": the kernel follows the link first.
    tree.symlink("a/toUsrBin", "/usr/bin");
    EXPECT_EQ(check(tree.path("a/toUsrBin/../lib")), Rejection::protectedPrefix("/usr"));
}

TEST(PathValidatorSymlinks, ALinkIntoAProtectedTreeIsRefusedAndADanglingLinkAllowed) {
    TempTree tree;
    tree.symlink("link-to-tool", "/usr/bin/env");
    tree.symlink("dangling", tree.path("nowhere"));
    tree.symlink("link-to-etc", "/etc");
    EXPECT_EQ(check(tree.path("link-to-tool")), Rejection::protectedPrefix("/usr"));
    EXPECT_EQ(check(tree.path("link-to-etc")), Rejection::rootLevelPath());
    EXPECT_EQ(check(tree.path("dangling")), std::nullopt);
}

TEST(PathValidatorSymlinks, ADanglingLinkReachedThroughALinkedFolderIsJudgedWhereItLies) {
    // Dangling links do occur inside system trees (Debian ships /etc/modules-load.d/modules.conf as one).
    // realpath fails on them, but the Trash would still move the link from where it lies.
    TempTree tree;
    HostProfile profile = hostProfile();
    const std::string guarded = *platform::resolvedPath(tree.makeDir("guarded"));
    profile.extraProtectedTrees.push_back(guarded);
    tree.symlink("guarded/dangling", tree.path("nowhere"));
    tree.makeDir("open");
    tree.symlink("open/into-guarded", guarded);
    tree.symlink("open/dangling", tree.path("nowhere"));
    const auto judge = [&](const std::string& relative) {
        return PathValidator::deletionRejection(tree.path(relative), "/home/nobody-here", profile);
    };
    EXPECT_EQ(judge("open/into-guarded/dangling"), Rejection::protectedPrefix(guarded));
    EXPECT_EQ(judge("open/into-guarded/dangling/"), Rejection::protectedPrefix(guarded));
    EXPECT_EQ(judge("open/dangling"), std::nullopt);
    EXPECT_EQ(judge("open/into-guarded/missing"), Rejection::nonexistent()) << "nothing there to move";
    EXPECT_EQ(judge("open/missing"), Rejection::nonexistent());
}

TEST(PathValidatorSymlinks, ALinkLyingInAProtectedPlaceIsRefusedWhereverItLeads) {
    // The Trash moves a link itself, so where it lies matters as much as where it leads.
    TempTree tree;
    HostProfile profile = hostProfile();
    const std::string guarded = *platform::resolvedPath(tree.makeDir("guarded"));
    profile.extraProtectedTrees.push_back(guarded);
    const std::string open = tree.writeFile("open/site.conf", "x");
    tree.symlink("guarded/sites-enabled/site", open);
    tree.symlink("open/into-guarded", guarded);
    const std::string home = *platform::resolvedPath(tree.makeDir("home/me"));
    tree.makeDir("dotfiles/config");
    tree.symlink("home/me/.config", tree.path("dotfiles/config"));
    const auto judge = [&](const std::string& path) { return PathValidator::deletionRejection(path, home, profile); };

    EXPECT_EQ(judge(tree.path("guarded/sites-enabled/site")), Rejection::protectedPrefix(guarded));
    EXPECT_EQ(judge(tree.path("open/into-guarded/sites-enabled/site")), Rejection::protectedPrefix(guarded));
    EXPECT_EQ(judge(home + "/.config"), Rejection::protectedPath(home + "/.config"));
    EXPECT_EQ(judge(home + "/.config/"), Rejection::protectedPath(home + "/.config"));
    // What the links lead to stays allowed, and so does a link to it from an open place.
    EXPECT_EQ(judge(open), std::nullopt);
    EXPECT_EQ(judge(tree.path("dotfiles/config")), std::nullopt);
    EXPECT_EQ(judge(tree.symlink("open/to-site", open)), std::nullopt);
}

TEST(PathValidatorHome, HomeAndItsKeyFoldersAreProtectedButTheirContentsAllowed) {
    TempTree tree;
    const std::string home = tree.makeDir("home/me");
    tree.makeDir("home/me/Library/Caches");
    tree.makeDir("home/me/.local/share/Trash");
    tree.makeDir("home/me/.config/app");
    tree.makeDir("home/other");
    EXPECT_EQ(check(home, home), Rejection::protectedPath(home));
    EXPECT_EQ(check(home + "/", home), Rejection::protectedPath(home));
    EXPECT_EQ(check(home + "/Library", home), Rejection::protectedPath(home + "/Library"));
    for (const char* inside : {"/.config", "/.local", "/.local/share", "/.local/share/Trash"})
        EXPECT_EQ(check(home + inside, home), Rejection::protectedPath(home + inside)) << inside;
    EXPECT_EQ(check(home + "/Library/Caches", home), std::nullopt);
    EXPECT_EQ(check(home + "/.config/app", home), std::nullopt);
    EXPECT_EQ(check(tree.path("home/other"), home), std::nullopt);
    EXPECT_EQ(check(home + "/missing", home), Rejection::nonexistent());
}

TEST(PathValidatorHome, AHomeGivenWithATrailingSlashOrThroughALinkStaysProtected) {
    TempTree tree;
    const std::string realHome = tree.makeDir("data/me");
    tree.makeDir("data/me/.config");
    const std::string linkedHome = tree.symlink("me", realHome);
    EXPECT_EQ(check(realHome, realHome + "/"), Rejection::protectedPath(realHome));
    // The candidate is resolved, so the home reached through its link must match in resolved form.
    EXPECT_EQ(check(linkedHome, linkedHome), Rejection::protectedPath(realHome));
    EXPECT_EQ(check(linkedHome + "/.config", linkedHome), Rejection::protectedPath(realHome + "/.config"));
}

TEST(PathValidatorHome, XdgFoldersAreProtectedWhereTheSettingsPutThemAndTheDefaultsStay) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    const std::string papers = tree.makeDir("papers"), photos = tree.makeDir("home/me/Bilder");
    ::setenv("XDG_CONFIG_HOME", tree.makeDir("conf").c_str(), 1); // both put back by the environment
    ::setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
    tree.writeFile("conf/user-dirs.dirs",
                   "XDG_DOCUMENTS_DIR=\"" + papers + "\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    for (const std::string& folder :
         {tree.makeDir("home/me/Documents"), papers, photos, tree.path("conf"), tree.makeDir("data/Trash"), tree.path("data")})
        EXPECT_EQ(check(folder, environment.home()), Rejection::protectedPath(folder)) << folder;
    EXPECT_EQ(check(tree.makeDir("papers/draft"), environment.home()), std::nullopt);
}

TEST(PathValidatorExistence, ProtectionIsTestedBeforeExistence) {
    TempTree tree;
    EXPECT_EQ(check(tree.path("missing/file")), Rejection::nonexistent());
    EXPECT_EQ(check("/System/missing"), Rejection::protectedPrefix("/System"));
}

TEST(PathValidatorNames, OddButValidNamesAreAllowed) {
    TempTree tree;
    for (const std::string name : {"with\nnewline", "100% sure", "caf\xc3\xa9", "bad\xff\xfe", " lead", "-rf"}) {
        const std::string path = tree.writeFile(name, "x");
        EXPECT_EQ(check(path), std::nullopt) << path;
    }
}

TEST(PathValidatorVolumes, VolumesFolderEntriesAreWholeVolumes) {
    EXPECT_EQ(check("/Volumes/Backup"), Rejection::volumeRoot());
    EXPECT_EQ(check("/Volumes/Backup/"), Rejection::volumeRoot());
    EXPECT_EQ(check("/Volumes/Backup/old"), Rejection::nonexistent());
}

TEST(PathValidatorVolumes, AMountPointIsAWholeVolumeHereButNotInTheOriginalProfile) {
    if (!test::inPrivateMountNamespace())
        return;
    TempTree tree;
    test::TmpfsMount volume(tree.path("volume"));
    if (!volume.mounted())
        GTEST_SKIP() << volume.failure();
    const std::string inside = tree.writeFile("volume/file", "x");
    EXPECT_EQ(check(volume.path()), Rejection::volumeRoot());
    EXPECT_EQ(check(volume.path() + "/"), Rejection::volumeRoot());
    EXPECT_EQ(check(inside), std::nullopt);
    // A link to the mount point is resolved to it.
    EXPECT_EQ(check(tree.symlink("to-volume", volume.path())), Rejection::volumeRoot());
    EXPECT_EQ(checkOriginal(volume.path(), "/home/nobody-here"), std::nullopt);
}

TEST(PathValidatorVolumes, AFolderHoldingAMountAnywhereBelowIsRefusedNamingTheMount) {
    if (!test::inPrivateMountNamespace())
        return;
    TempTree tree;
    const std::string root = *platform::resolvedPath(tree.root());
    tree.writeFile("elsewhere/file", "x");
    tree.writeFile("projects/keep/file", "x");
    test::TmpfsMount usb(tree.makeDir("projects/deep/usb"));
    ASSERT_TRUE(usb.mounted()) << usb.failure();
    const std::string bound = tree.makeDir("bound/deeper/bound");
    ASSERT_EQ(::mount(tree.path("elsewhere").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0);
    const struct {
        std::string item;
        std::optional<Rejection> expected;
    } cases[] = {
        {"projects", Rejection::holdsMount(root + "/projects/deep/usb")},
        {"projects/deep", Rejection::holdsMount(root + "/projects/deep/usb")},
        {"projects/deep/usb", Rejection::volumeRoot()},
        {"projects/keep", std::nullopt},
        {"bound", Rejection::holdsMount(root + "/bound/deeper/bound")}, // a folder of the same disk shown again
        {"elsewhere", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(check(tree.path(c.item)), c.expected) << c.item;
    EXPECT_EQ(Rejection::holdsMount("/m/usb").description(),
              "refusing to delete a folder that holds the mounted file system at /m/usb");
    ::umount2(bound.c_str(), MNT_DETACH);
}

TEST(PathValidatorProfiles, TheOriginalProfileKeepsOnlyTheCommonLists) {
    TempTree tree;
    const std::string home = tree.makeDir("home/me");
    tree.makeDir("home/me/.config");
    EXPECT_EQ(PathValidator::blockedPrefixes(originalHostProfile()).size(), 8u);
    EXPECT_EQ(PathValidator::blockedExact(home, originalHostProfile()).size(), 7u);
    EXPECT_EQ(checkOriginal(home + "/.config", home), std::nullopt);
    EXPECT_EQ(checkOriginal("/etc/brisklet-missing/x", home), Rejection::nonexistent());
    EXPECT_EQ(checkOriginal("/private/var", home), Rejection::protectedPath("/private/var"));
    EXPECT_EQ(checkOriginal(home + "/Library", home), Rejection::protectedPath(home + "/Library"));
    EXPECT_EQ(check("/private/var"), Rejection::protectedPath("/private/var"));
}
