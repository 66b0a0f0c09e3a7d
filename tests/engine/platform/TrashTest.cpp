// The Trash folders themselves: names, encoding, leftovers, permissions, and what trash-cli makes of them.
#include "ChildProcess.h"
#include "MountNamespace.h"
#include "SafetyTestSupport.h"
#include "TempTree.h"
#include "platform/Trash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;
using brisklet::test::folderNames;
using brisklet::test::readFile;
using brisklet::test::somethingAt;
using brisklet::test::runCommand;

TEST(TrashPathEncoding, EveryByteButTheUnreservedIsEscapedAndDecodesBack) {
    const std::string raw = "/a b/100%/caf\xc3\xa9\n\xff~_-.x";
    EXPECT_EQ(platform::Trash::encodePath(raw), "/a%20b/100%25/caf%C3%A9%0A%FF~_-.x");
    EXPECT_EQ(platform::Trash::decodePath(platform::Trash::encodePath(raw)), raw);
    EXPECT_EQ(platform::Trash::decodePath("%zz"), std::nullopt);
    EXPECT_EQ(platform::Trash::decodePath("ends%4"), std::nullopt);
}

TEST(TrashNames, CountersGoBeforeTheExtensionAndLongNamesAreShortenedToFit) {
    using platform::Trash::trashName;
    EXPECT_EQ(trashName("a.txt", 1), "a.txt");
    EXPECT_EQ(trashName("a.txt", 2), "a.2.txt");
    EXPECT_EQ(trashName(".bashrc", 3), ".bashrc.3");
    EXPECT_EQ(trashName("Build", 2), "Build.2");
    const std::string longName = std::string(250, 'n') + ".txt";
    for (unsigned attempt : {1u, 2u, 1234u}) {
        const std::string name = trashName(longName, attempt);
        EXPECT_LE(name.size() + std::string(".trashinfo").size(), 255u);
        EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    }
    // Never cut inside a UTF-8 sequence.
    const std::string accented = std::string(243, 'e') + "\xc3\xa9\xc3\xa9";
    EXPECT_EQ(trashName(accented, 1), std::string(243, 'e') + "\xc3\xa9");
}

TEST(TrashNames, AShortenedNameThatIsNotUtf8KeepsAVisibleStartAndNeverBecomesHidden) {
    using platform::Trash::trashName;
    for (const std::string& name : {std::string(255, '\xff'), std::string(255, '\x80'),
                                    std::string(251, '\xbf') + ".txt", "\xe2\x82" + std::string(253, '\xac')}) {
        for (unsigned attempt : {1u, 2u, 77u}) {
            const std::string shortened = trashName(name, attempt);
            EXPECT_LE(shortened.size() + std::string(".trashinfo").size(), 255u);
            EXPECT_GT(shortened.find('.'), 100u) << "cut down to its counter: " << shortened;
            EXPECT_EQ(shortened.substr(0, 100), name.substr(0, 100));
        }
    }
}

// Two programs trashing folders at once each rewrite directorysizes; neither may drop the other's lines.
TEST(TrashMoves, TwoProcessesTrashingFoldersTogetherKeepEveryDirectorySizesLine) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    constexpr int perProcess = 150;
    for (int i = 0; i < 2 * perProcess; ++i)
        tree.makeDir("work/" + std::to_string(i));
    tree.makeDir("home/me/.local/share/Trash/files");
    tree.makeDir("home/me/.local/share/Trash/info");
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p)
        if (children.emplace_back(::fork()) == 0) {
            int failed = 0;
            for (int i = p * perProcess; i < (p + 1) * perProcess; ++i)
                failed += !platform::Trash::moveToTrash(tree.path("work/" + std::to_string(i))).success;
            ::_exit(failed);
        }
    for (const pid_t child : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(status, 0);
    }
    const std::string sizes = readFile(environment.homeTrash() + "/directorysizes").value_or("");
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), '\n'), 2 * perProcess);
}

TEST(TrashMoves, AVeryLongNameStillFitsItsInfoFile) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    const std::string item = tree.writeFile("work/" + std::string(250, 'L') + ".log", "x");
    const auto moved = platform::Trash::moveToTrash(item);
    ASSERT_TRUE(moved.success) << moved.failureDescription;
    EXPECT_FALSE(somethingAt(item));
    EXPECT_EQ(folderNames(environment.homeTrash() + "/info").size(), 1u);
}

TEST(TrashMoves, AnItemRemovedBeforeTheMoveFailsAndLeavesNoInfoFileBehind) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    tree.makeDir("home/me/.local/share/Trash/info");
    const auto moved = platform::Trash::moveToTrash(tree.path("work/vanished"));
    EXPECT_FALSE(moved.success);
    EXPECT_NE(moved.failureDescription.find("No such file or directory"), std::string::npos)
        << moved.failureDescription;
    EXPECT_TRUE(folderNames(environment.homeTrash() + "/info").empty());
}

TEST(TrashMoves, ALeftoverFileWithoutItsInfoKeepsItsNameTaken) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    tree.writeFile("home/me/.local/share/Trash/files/a.txt", "orphan");
    const auto moved = platform::Trash::moveToTrash(tree.writeFile("work/a.txt", "new"));
    ASSERT_TRUE(moved.success);
    EXPECT_EQ(moved.trashedPath, environment.homeTrash() + "/files/a.2.txt");
    EXPECT_EQ(readFile(environment.homeTrash() + "/files/a.txt"), "orphan");
    EXPECT_FALSE(somethingAt(environment.homeTrash() + "/info/a.txt.trashinfo"));
}

TEST(TrashMoves, ThePathIsRecordedAsWrittenWhenItNamesTheSamePlace) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    const std::string item = tree.writeFile("work/sub/file", "x");
    tree.symlink("work/link-to-sub", tree.path("work/sub"));
    const auto moved = platform::Trash::moveToTrash(tree.path("work/sub/../sub//file"));
    ASSERT_TRUE(moved.success);
    EXPECT_NE(readFile(environment.homeTrash() + "/info/file.trashinfo")->find("Path=" + item + "\n"),
              std::string::npos);
    // Through a linked folder the path as written still names the same place.
    tree.writeFile("work/sub/other", "y");
    ASSERT_TRUE(platform::Trash::moveToTrash(tree.path("work/link-to-sub/other")).success);
    EXPECT_NE(readFile(environment.homeTrash() + "/info/other.trashinfo")->find("Path=" + tree.path("work/link-to-sub/other") + "\n"),
              std::string::npos);
    // ".." after a link leads where the kernel goes, not where the text suggests: the real place is recorded.
    const std::string real = tree.writeFile("elsewhere/y", "y");
    tree.makeDir("elsewhere/deep");
    tree.symlink("work/far", tree.path("elsewhere/deep"));
    ASSERT_TRUE(platform::Trash::moveToTrash(tree.path("work/far/../y")).success);
    EXPECT_NE(readFile(environment.homeTrash() + "/info/y.trashinfo")->find("Path=" + real + "\n"), std::string::npos);
}

TEST(TrashInterop, ItemsWeTrashListInTrashCliWithTheirPathsAndRestoreWithIt) {
    if (!test::haveTrashCli())
        GTEST_SKIP() << "trash-cli is not installed";
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    const std::string folder = tree.makeDir("work/My Files");
    const std::string item = tree.writeFile("work/My Files/50% caf\xc3\xa9 d\xc3\xa9j\xc3\xa0 vu.txt", "content");
    const auto moved = platform::Trash::moveToTrash(item);
    ASSERT_TRUE(moved.success) << moved.failureDescription;

    const auto listed = runCommand({test::trashList});
    EXPECT_EQ(listed.exitStatus, 0) << listed.err;
    EXPECT_NE(listed.out.find(" " + item + "\n"), std::string::npos) << listed.out;

    const auto restored = runCommand({test::trashRestore, folder}, "0\n", folder);
    EXPECT_EQ(restored.exitStatus, 0) << restored.out << restored.err;
    EXPECT_EQ(readFile(item), "content");
    EXPECT_TRUE(folderNames(environment.homeTrash() + "/info").empty());
}

TEST(TrashInterop, ItemsOnAnotherVolumeListInTrashCliToo) {
    if (!test::inPrivateMountNamespace())
        return;
    if (!test::haveTrashCli())
        GTEST_SKIP() << "trash-cli is not installed";
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    test::TmpfsMount volume(tree.path("volume"));
    if (!volume.mounted())
        GTEST_SKIP() << volume.failure();
    const std::string item = tree.writeFile("volume/deep/a file.bin", "x");
    ASSERT_TRUE(platform::Trash::moveToTrash(item).success);
    const auto listed = runCommand({test::trashList});
    EXPECT_NE(listed.out.find(" " + item + "\n"), std::string::npos) << listed.out << listed.err;
}

TEST(TrashPermissions, AnItemTheUserMayNotMoveFailsAndLeavesNoInfoFileBehind) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to set up a folder another user cannot write";
    TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    const std::string item = tree.writeFile("locked/file", "f"); // root's folder, 0755
    const std::string data = tree.makeDir("their-data");
    ASSERT_EQ(::chown(data.c_str(), test::unprivilegedUid(), test::unprivilegedGid()), 0);
    const int status = test::runUnprivileged([&] {
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        const auto moved = platform::Trash::moveToTrash(item);
        if (moved.success)
            return 1;
        if (moved.failureDescription.find("Permission denied") == std::string::npos)
            return 2;
        return folderNames(data + "/Trash/info").empty() ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(item), "f");
}

TEST(TrashPermissions, AVolumeWhoseTopTakesNoTrashFolderRefusesAndKeepsTheItem) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a volume another user cannot write at the top";
    TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    test::TmpfsMount volume(tree.path("volume"), "size=4m,mode=0755");
    if (!volume.mounted())
        GTEST_SKIP() << volume.failure();
    const std::string folder = tree.makeDir("volume/theirs");
    const std::string item = tree.writeFile("volume/theirs/file", "f");
    const std::string data = tree.makeDir("their-data");
    for (const std::string& path : {folder, item, data})
        ASSERT_EQ(::chown(path.c_str(), test::unprivilegedUid(), test::unprivilegedGid()), 0);
    const int status = test::runUnprivileged([&] {
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        const auto moved = platform::Trash::moveToTrash(item);
        if (moved.success)
            return 1;
        return moved.failureDescription.find("has no usable Trash folder (Permission denied)") == std::string::npos
                   ? 2
                   : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(item), "f");
    EXPECT_EQ(folderNames(volume.path()), std::vector<std::string>{"theirs"}) << "nothing copied, nothing created";
    EXPECT_TRUE(folderNames(data).empty()) << "never the home Trash of another file system";
}
