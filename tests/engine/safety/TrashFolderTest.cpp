// The service over the Trash folders: other volumes and items trash-cli trashed.
#include "ChildProcess.h"
#include "MountNamespace.h"
#include "SafetyTestSupport.h"
#include "TempTree.h"
#include "platform/Trash.h"
#include "safety/TrashService.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;
using brisklet::test::folderNames;
using brisklet::test::readFile;
using brisklet::test::somethingAt;
using brisklet::test::runCommand;

TEST(TrashVolumes, AnItemOnAnotherFileSystemGoesToThatVolumesOwnTrash) {
    if (!test::inPrivateMountNamespace())
        return;
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    test::TmpfsMount volume(tree.path("volume"));
    if (!volume.mounted())
        GTEST_SKIP() << volume.failure();
    const std::string item = tree.writeFile("volume/docs/plan.txt", "p");
    auto log = std::make_shared<AuditLog>(tree.path("log"));
    TrashService service(log);
    const auto outcome = service.movePathToTrash(item, 1);
    ASSERT_TRUE(outcome.success) << outcome.failureDescription.value_or("");
    const std::string trash = volume.path() + "/.Trash-" + test::uidText();
    EXPECT_EQ(outcome.trashPath, trash + "/files/plan.txt");
    const std::string info = readFile(trash + "/info/plan.txt.trashinfo").value_or("");
    EXPECT_NE(info.find("\nPath=docs/plan.txt\n"), std::string::npos) << "relative to the volume's top: " << info;
    struct stat st {};
    ASSERT_EQ(::lstat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(somethingAt(environment.homeTrash() + "/files/plan.txt"));

    EXPECT_TRUE(TrashService::isInsideTrash(*outcome.trashPath));
    const auto restored = service.restoreFromTrash({{*outcome.trashPath, item, 1}});
    EXPECT_TRUE(restored[0].success);
    EXPECT_FALSE(somethingAt(trash + "/info/plan.txt.trashinfo"));
    const auto again = service.movePathToTrash(item, 1);
    const auto purged = service.purgeFromTrash({{*again.trashPath, 1}});
    EXPECT_TRUE(purged[0].success) << purged[0].failureDescription.value_or("");
    EXPECT_TRUE(folderNames(trash + "/files").empty());
    EXPECT_TRUE(folderNames(trash + "/info").empty());
}

TEST(TrashVolumes, ASharedStickyTrashFolderIsUsedAndAnUnstickyOneIsNot) {
    if (!test::inPrivateMountNamespace())
        return;
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    test::TmpfsMount sticky(tree.path("sticky"));
    test::TmpfsMount plain(tree.path("plain"));
    if (!sticky.mounted() || !plain.mounted())
        GTEST_SKIP() << sticky.failure() << plain.failure();
    ASSERT_EQ(::mkdir((sticky.path() + "/.Trash").c_str(), 01777), 0);
    ASSERT_EQ(::chmod((sticky.path() + "/.Trash").c_str(), 01777), 0);
    ASSERT_EQ(::mkdir((plain.path() + "/.Trash").c_str(), 0777), 0);
    const auto inSticky = platform::Trash::moveToTrash(tree.writeFile("sticky/a", "a"));
    const auto inPlain = platform::Trash::moveToTrash(tree.writeFile("plain/b", "b"));
    EXPECT_EQ(inSticky.trashedPath, sticky.path() + "/.Trash/" + test::uidText() + "/files/a");
    EXPECT_EQ(inPlain.trashedPath, plain.path() + "/.Trash-" + test::uidText() + "/files/b");
    EXPECT_TRUE(TrashService::isInsideTrash(*inSticky.trashedPath));
    EXPECT_TRUE(TrashService::isInsideTrash(*inPlain.trashedPath));
    EXPECT_FALSE(TrashService::isInsideTrash(plain.path() + "/.Trash/x")) << "not a valid shared trash";
}

TEST(TrashVolumes, AVolumeWithoutAUsableTrashKeepsTheItemAndSaysWhy) {
    if (!test::inPrivateMountNamespace())
        return;
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    test::TmpfsMount volume(tree.path("volume"));
    if (!volume.mounted())
        GTEST_SKIP() << volume.failure();
    const std::string item = tree.writeFile("volume/keep.txt", "k");
    if (!volume.makeReadOnly())
        GTEST_SKIP() << "cannot remount the tmpfs read-only";
    auto log = std::make_shared<AuditLog>(tree.path("log"));
    const auto outcome = TrashService(log).movePathToTrash(item, 1);
    EXPECT_FALSE(outcome.success);
    EXPECT_NE(outcome.failureDescription->find("has no usable Trash folder"), std::string::npos)
        << *outcome.failureDescription;
    EXPECT_EQ(readFile(item), "k");
    EXPECT_TRUE(folderNames(environment.homeTrash()).empty() || folderNames(environment.homeTrash() + "/files").empty())
        << "never copied to the home Trash";
    log->flush();
    EXPECT_EQ(log->recentEntries(1).at(0).result, "error");
}

TEST(TrashInterop, ItemsTrashCliTrashedAreRecognisedAndPurgedWithTheirRecords) {
    if (!test::haveTrashCli())
        GTEST_SKIP() << "trash-cli is not installed";
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    const std::string item = tree.writeFile("work/their file.txt", "t");
    tree.writeFile("work/their folder/inner", "i");
    const auto put = runCommand({test::trashPut, item, tree.path("work/their folder")});
    ASSERT_EQ(put.exitStatus, 0) << put.err;
    const std::string trashed = environment.homeTrash() + "/files/their file.txt";
    const std::string trashedFolder = environment.homeTrash() + "/files/their folder";
    ASSERT_TRUE(somethingAt(trashed));
    EXPECT_TRUE(TrashService::isInsideTrash(trashed));

    auto log = std::make_shared<AuditLog>(tree.path("log"));
    const auto purged = TrashService(log).purgeFromTrash({{trashed, 1}, {trashedFolder, 2}});
    EXPECT_TRUE(purged[0].success);
    EXPECT_TRUE(purged[1].success);
    EXPECT_TRUE(folderNames(environment.homeTrash() + "/files").empty());
    EXPECT_TRUE(folderNames(environment.homeTrash() + "/info").empty());
    const auto listed = runCommand({test::trashList});
    EXPECT_EQ(listed.out.find("their"), std::string::npos) << listed.out;
}

TEST(TrashInterop, ATrashNameTakenOverAfterAPutBackIsNeitherDeletedNorRestored) {
    if (!test::haveTrashCli() || ::access(test::trashRestore, X_OK) != 0)
        GTEST_SKIP() << "trash-cli is not installed";
    // After trash-restore frees the name, trash-put fills it with another file, or with the same file
    // trashed again from another folder (same inode, another Path in its info file).
    for (const bool sameFile : {false, true}) {
        TempTree tree;
        test::ScopedSafetyEnvironment environment(tree);
        auto log = std::make_shared<AuditLog>(tree.path("log"));
        const TrashService service(log);
        const std::string mine = tree.writeFile("a/report.txt", "a");
        const auto trashed = service.movePathsToTrash({mine, tree.writeFile("c/notes.txt", "c")}, {});
        ASSERT_TRUE(trashed[0].success && trashed[1].success);
        const std::string name = *trashed[0].trashPath;
        const auto putBack = runCommand({test::trashRestore, tree.path("a")}, "0\n");
        ASSERT_EQ(readFile(mine), "a") << putBack.out << putBack.err;
        const std::string theirs = sameFile ? tree.path("b/report.txt") : tree.writeFile("b/report.txt", "b");
        if (sameFile) {
            ASSERT_EQ(::rename(mine.c_str(), (tree.makeDir("b") + "/report.txt").c_str()), 0);
        }
        ASSERT_EQ(runCommand({test::trashPut, theirs}).exitStatus, 0);
        ASSERT_TRUE(somethingAt(name)) << "the name was taken again";

        const auto restored = service.restoreFromTrash({{name, mine, 1, trashed[0].identity}});
        const auto purged =
            service.purgeFromTrash({{name, 1, trashed[0].identity}, {*trashed[1].trashPath, 1, trashed[1].identity}});
        EXPECT_EQ(restored[0].failureDescription, "changed in the Trash since it was moved there") << sameFile;
        EXPECT_EQ(purged[0].failureDescription, "changed in the Trash since it was moved there") << sameFile;
        EXPECT_TRUE(purged[1].success) << "the batch goes on";
        log->flush();
        const auto entries = log->recentEntries(3);
        for (std::size_t i : {0, 1}) { // refused, not "missing": something is there, only not ours
            EXPECT_EQ(entries.at(i).result, "rejected") << entries.at(i).operation;
            EXPECT_EQ(entries.at(i).reason, "changed in the Trash since it was moved there");
        }
        EXPECT_EQ(readFile(name), sameFile ? "a" : "b");
        EXPECT_TRUE(somethingAt(environment.homeTrash() + "/info/report.txt.trashinfo"));
        using Names = std::vector<std::string>;
        const Names left = sameFile ? Names{} : Names{"report.txt"};
        EXPECT_EQ(folderNames(tree.path("a")), left) << "nothing put back into a/";
    }
}
