#include "SafetyTestSupport.h"
#include "TempTree.h"
#include "platform/FileServices.h"
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

namespace {

struct Recorded {
    std::string operation, path;
    std::int64_t bytes;
    std::string result;
    bool operator==(const Recorded&) const = default;
};

void PrintTo(const Recorded& r, std::ostream* out) {
    *out << r.operation << " " << r.result << " " << r.bytes << " " << r.path;
}

// Each test has its own home, home Trash and audit log.
class TrashServiceTest : public ::testing::Test {
protected:
    TempTree tree;
    test::ScopedSafetyEnvironment environment{tree};
    std::shared_ptr<AuditLog> log = std::make_shared<AuditLog>(tree.path("log"));
    TrashService service{log};

    std::vector<Recorded> recorded() {
        log->flush();
        std::vector<Recorded> list;
        for (const auto& e : log->recentEntries(1000))
            list.push_back({e.operation, e.path, e.bytes, e.result});
        return list;
    }
    std::string filesFolder() const { return environment.homeTrash() + "/files"; }
    std::string infoFile(const std::string& name) const {
        return environment.homeTrash() + "/info/" + name + ".trashinfo";
    }
};

} // namespace

TEST_F(TrashServiceTest, AnEmptyBatchDoesNothingAndRecordsNothing) {
    EXPECT_TRUE(service.movePathsToTrash({}, {}).empty());
    EXPECT_TRUE(service.restoreFromTrash({}).empty());
    EXPECT_TRUE(service.purgeFromTrash({}).empty());
    EXPECT_TRUE(recorded().empty());
}

TEST_F(TrashServiceTest, EachPathGetsItsOwnOutcomeAndAuditEntryInInputOrder) {
    const std::string a = tree.writeFile("work/a.txt", "aaaa");
    const std::string b = tree.writeFile("work/b.txt", "bb");
    const std::string missing = tree.path("work/missing");
    const auto outcomes =
        service.movePathsToTrash({a, environment.home(), missing, b, a}, {{a, 4}, {environment.home(), 9}});
    ASSERT_EQ(outcomes.size(), 5u);

    EXPECT_TRUE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].path, a);
    EXPECT_EQ(outcomes[0].sizeBytes, 4);
    EXPECT_EQ(outcomes[0].trashPath, filesFolder() + "/a.txt");
    EXPECT_EQ(outcomes[0].failureDescription, std::nullopt);

    EXPECT_FALSE(outcomes[1].success);
    EXPECT_EQ(outcomes[1].failureDescription, "refusing to delete protected location " + environment.home());
    EXPECT_EQ(outcomes[1].trashPath, std::nullopt);
    EXPECT_TRUE(somethingAt(environment.home()));

    EXPECT_EQ(outcomes[2].failureDescription, "path does not exist");
    EXPECT_TRUE(outcomes[3].success);
    EXPECT_EQ(outcomes[3].sizeBytes, 0) << "a path missing from the size map counts 0 bytes";
    EXPECT_EQ(outcomes[4].failureDescription, "path does not exist") << "the same path twice";

    EXPECT_EQ(recorded(), (std::vector<Recorded>{{"trash", a, 4, "ok"},
                                                 {"trash", environment.home(), 9, "rejected"},
                                                 {"trash", missing, 0, "rejected"},
                                                 {"trash", b, 0, "ok"},
                                                 {"trash", a, 4, "rejected"}}));
    EXPECT_FALSE(somethingAt(a));
    EXPECT_EQ(readFile(filesFolder() + "/a.txt"), "aaaa");
}

TEST_F(TrashServiceTest, TheInfoFileRecordsTheOriginalPathPercentEncodedAndTheDeletionDate) {
    const std::string item = tree.writeFile("work/50% off\nr\xc3\xa9sum\xc3\xa9 \xff.txt", "x");
    const auto outcome = service.movePathToTrash(item, 1);
    ASSERT_TRUE(outcome.success) << outcome.failureDescription.value_or("");
    const std::string name = "50% off\nr\xc3\xa9sum\xc3\xa9 \xff.txt";
    EXPECT_EQ(outcome.trashPath, filesFolder() + "/" + name);
    const std::string info = readFile(infoFile(name)).value_or("");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + platform::Trash::encodePath(item) + "\nDeletionDate=", 0), 0u)
        << info;
    EXPECT_NE(info.find("%25%20off%0Ar%C3%A9sum%C3%A9%20%FF.txt\n"), std::string::npos) << info;
    struct stat st {};
    ASSERT_EQ(::stat(infoFile(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(TrashServiceTest, CollidingNamesGetNumberedSuffixesBeforeTheExtension) {
    const std::string first = tree.writeFile("one/report.pdf", "1");
    const std::string second = tree.writeFile("two/report.pdf", "2");
    const std::string third = tree.writeFile("three/report.pdf", "3");
    const std::string folder = tree.makeDir("four/Build");
    tree.makeDir("five/Build");
    const auto outcomes = service.movePathsToTrash({first, second, third, folder, tree.path("five/Build")}, {});
    EXPECT_EQ(outcomes[0].trashPath, filesFolder() + "/report.pdf");
    EXPECT_EQ(outcomes[1].trashPath, filesFolder() + "/report.2.pdf");
    EXPECT_EQ(outcomes[2].trashPath, filesFolder() + "/report.3.pdf");
    EXPECT_EQ(outcomes[4].trashPath, filesFolder() + "/Build.2");
    EXPECT_EQ(readFile(filesFolder() + "/report.2.pdf"), "2");
    // Each keeps its own record: a later item never takes over an earlier one's info file.
    const std::pair<std::string, std::string> records[] = {
        {"report.pdf", first}, {"report.2.pdf", second}, {"report.3.pdf", third}};
    for (const auto& [name, original] : records) {
        const std::string info = readFile(infoFile(name)).value_or("");
        EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + platform::Trash::encodePath(original) + "\nDeletionDate=", 0), 0u)
            << name << ": " << info;
    }
}

TEST_F(TrashServiceTest, ASymbolicLinkIsTrashedItselfAndItsTargetStays) {
    const std::string target = tree.writeFile("work/target.txt", "keep");
    const std::string link = tree.symlink("work/link", target);
    const auto outcome = service.movePathToTrash(link, 0);
    ASSERT_TRUE(outcome.success);
    EXPECT_EQ(readFile(target), "keep");
    char buffer[4096];
    const ssize_t n = ::readlink(outcome.trashPath->c_str(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), target);
}

TEST_F(TrashServiceTest, AProtectedLocationThatIsALinkStaysWhereItIs) {
    // Dotfile managers link ~/.config to a repository; the link is the protected location itself.
    const std::string repository = tree.makeDir("dotfiles/config");
    const std::string config = tree.symlink("home/me/.config", repository);
    const auto outcome = service.movePathToTrash(config, 0);
    EXPECT_EQ(outcome.failureDescription, "refusing to delete protected location " + config);
    EXPECT_TRUE(somethingAt(config));
    EXPECT_TRUE(folderNames(environment.homeTrash()).empty() || folderNames(filesFolder()).empty());
}

TEST_F(TrashServiceTest, TheTrashItselfAndItemsInsideItAreNeverTrashedAgain) {
    const std::string item = tree.writeFile("work/a", "x");
    const auto trashed = service.movePathToTrash(item, 0);
    ASSERT_TRUE(trashed.success);
    const auto again = service.movePathToTrash(*trashed.trashPath, 0);
    EXPECT_FALSE(again.success);
    EXPECT_NE(again.failureDescription->find("already in the Trash"), std::string::npos);
    EXPECT_FALSE(service.movePathToTrash(filesFolder(), 0).success);
    EXPECT_FALSE(service.movePathToTrash(environment.homeTrash() + "/info", 0).success);
    EXPECT_TRUE(somethingAt(*trashed.trashPath));
    EXPECT_TRUE(somethingAt(infoFile("a")));
}

TEST_F(TrashServiceTest, AFolderHoldingTheTrashIsRefused) {
    ::setenv("XDG_DATA_HOME", tree.path("work/data").c_str(), 1);
    tree.writeFile("work/file", "x");
    tree.makeDir("work/data/Trash/files");
    const auto outcome = service.movePathToTrash(tree.path("work"), 0);
    EXPECT_FALSE(outcome.success);
    EXPECT_NE(outcome.failureDescription->find("holds the Trash folder"), std::string::npos);
    EXPECT_TRUE(somethingAt(tree.path("work/file")));
}

TEST_F(TrashServiceTest, TrashedFoldersGetADirectorySizesLineThatLeavesWithThem) {
    tree.writeFileOfSize("work/folder/big", 64 * 1024);
    tree.writeFile("work/folder/sub/small", "x");
    const auto outcome = service.movePathToTrash(tree.path("work/folder"), 0);
    ASSERT_TRUE(outcome.success);
    const std::string sizes = readFile(environment.homeTrash() + "/directorysizes").value_or("");
    struct stat info {};
    ASSERT_EQ(::stat(infoFile("folder").c_str(), &info), 0);
    const std::string suffix = " " + std::to_string(info.st_mtime) + " folder\n";
    ASSERT_GT(sizes.size(), suffix.size());
    EXPECT_EQ(sizes.substr(sizes.size() - suffix.size()), suffix);
    EXPECT_GE(std::stoll(sizes), 64 * 1024);

    const auto restored = service.restoreFromTrash({{*outcome.trashPath, tree.path("work/folder"), 0}});
    ASSERT_TRUE(restored[0].success);
    EXPECT_EQ(readFile(environment.homeTrash() + "/directorysizes"), "");
    EXPECT_FALSE(somethingAt(infoFile("folder")));
}

TEST_F(TrashServiceTest, RestorePutsTheItemBackAndItsTrashRecordLeaves) {
    const std::string item = tree.writeFile("work/notes.txt", "n");
    const auto trashed = service.movePathToTrash(item, 1);
    const auto restored = service.restoreFromTrash({{*trashed.trashPath, item, 1}});
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0], (RestoreOutcome{item, item, true, std::nullopt}));
    EXPECT_EQ(readFile(item), "n");
    EXPECT_TRUE(folderNames(environment.homeTrash() + "/info").empty());
    EXPECT_TRUE(folderNames(filesFolder()).empty());
    EXPECT_EQ(recorded().back(), (Recorded{"restore", item, 1, "ok"}));
}

TEST_F(TrashServiceTest, RestoreIntoAnOccupiedPlaceTakesOneRecoveredVariantAndNeverOverwrites) {
    const std::string item = tree.writeFile("work/report.pdf", "old");
    const std::string folder = tree.makeDir("work/Build");
    const auto trashed = service.movePathsToTrash({item, folder}, {});
    tree.writeFile("work/report.pdf", "new");
    tree.writeFile("work/Build", "new file where the folder was");
    const auto restored = service.restoreFromTrash(
        {{*trashed[0].trashPath, item, 5}, {*trashed[1].trashPath, folder, 6}});
    EXPECT_EQ(restored[0].restoredPath, tree.path("work/report (recovered).pdf"));
    EXPECT_EQ(restored[1].restoredPath, tree.path("work/Build (recovered)"));
    EXPECT_EQ(readFile(item), "new");
    EXPECT_EQ(readFile(tree.path("work/report (recovered).pdf")), "old");

    // Both places taken: the move fails, the item stays in the Trash with its record.
    const auto second = service.movePathToTrash(tree.path("work/report (recovered).pdf"), 0);
    ASSERT_TRUE(second.success);
    tree.writeFile("work/report (recovered).pdf", "occupied");
    const auto failed = service.restoreFromTrash({{*second.trashPath, item, 7}});
    EXPECT_FALSE(failed[0].success);
    EXPECT_EQ(failed[0].restoredPath, item);
    EXPECT_NE(failed[0].failureDescription->find("already exists"), std::string::npos);
    EXPECT_TRUE(somethingAt(*second.trashPath));
    EXPECT_EQ(readFile(tree.path("work/report (recovered).pdf")), "occupied");
    EXPECT_TRUE(somethingAt(infoFile(platform::lastPathComponent(*second.trashPath))));
    EXPECT_EQ(recorded().back(), (Recorded{"restore", item, 7, "error"}));
}

TEST_F(TrashServiceTest, RestoreRecreatesAFolderChainDeletedMeanwhile) {
    const std::string item = tree.writeFile("gone/deeper/still/file", "f");
    const auto trashed = service.movePathToTrash(item, 0);
    test::removeTree(tree.path("gone"));
    const auto restored = service.restoreFromTrash({{*trashed.trashPath, item, 0}});
    EXPECT_TRUE(restored[0].success);
    EXPECT_EQ(readFile(item), "f");
}

TEST_F(TrashServiceTest, RestoringWhatIsNoLongerInTheTrashFailsAndRecordsMissing) {
    const std::string item = tree.writeFile("work/f", "f");
    const auto trashed = service.movePathToTrash(item, 2);
    ASSERT_EQ(::unlink(trashed.trashPath->c_str()), 0);
    const auto restored = service.restoreFromTrash({{*trashed.trashPath, item, 2}});
    EXPECT_EQ(restored[0], (RestoreOutcome{item, item, false, "no longer in the Trash"}));
    EXPECT_EQ(recorded().back(), (Recorded{"restore", item, 2, "missing"}));
}

TEST_F(TrashServiceTest, ATrashedLinkWhoseTargetIsGoneStillRestores) {
    const std::string target = tree.writeFile("work/target", "t");
    const std::string link = tree.symlink("work/link", target);
    const auto trashed = service.movePathToTrash(link, 0);
    ASSERT_EQ(::unlink(target.c_str()), 0);
    const auto restored = service.restoreFromTrash({{*trashed.trashPath, link, 0}});
    EXPECT_TRUE(restored[0].success);
    EXPECT_TRUE(somethingAt(link));
    EXPECT_FALSE(somethingAt(infoFile("link")));
}

TEST_F(TrashServiceTest, ARestoreRemovesTheRecordsOfTheTrashItCheckedEvenWhenThatIsNamedAnotherWayNow) {
    tree.writeFile("a/folder/f", "f");
    const auto trashed = service.movePathToTrash(tree.path("a/folder"), 1);
    ASSERT_TRUE(trashed.success);
    const std::string oldTrash = environment.homeTrash();
    ::setenv("XDG_DATA_HOME", tree.makeDir("moved-data").c_str(), 1); // put back by the environment
    ASSERT_TRUE(service.restoreFromTrash({{*trashed.trashPath, tree.path("a/folder"), 1, trashed.identity}})[0].success);
    EXPECT_TRUE(folderNames(oldTrash + "/info").empty()) << "no record left for an item that is gone";
    EXPECT_EQ(readFile(oldTrash + "/directorysizes"), "");
}

TEST_F(TrashServiceTest, PurgeRefusesAnythingOutsideTheTrashAndTouchesNothing) {
    const std::string item = tree.writeFile("work/keep", "k");
    const auto trashed = service.movePathToTrash(item, 3);
    tree.writeFile("work/keep", "a new file at the old place");
    const std::string infoPath = infoFile("keep");
    const auto outcomes = service.purgeFromTrash(
        {{item, 3}, {infoPath, 1}, {filesFolder(), 1}, {environment.homeTrash(), 1}, {filesFolder() + "/..", 1}});
    for (const auto& outcome : outcomes) {
        EXPECT_FALSE(outcome.success) << outcome.trashPath;
        EXPECT_EQ(outcome.failureDescription, "not in the Trash") << outcome.trashPath;
    }
    EXPECT_EQ(readFile(item), "a new file at the old place");
    EXPECT_TRUE(somethingAt(infoPath));
    EXPECT_TRUE(somethingAt(*trashed.trashPath));
    EXPECT_EQ(recorded()[1], (Recorded{"purge", item, 3, "rejected"}));
}

TEST_F(TrashServiceTest, PurgeRemovesAFolderWithAllItsContentsAndItsTrashRecord) {
    tree.writeFile("work/project/src/main.cpp", "int main() {}");
    tree.writeFile("work/project/.git/HEAD", "ref");
    tree.symlink("work/project/outside", tree.writeFile("outside-target", "safe"));
    const auto trashed = service.movePathToTrash(tree.path("work/project"), 4096);
    ASSERT_TRUE(trashed.success);
    const auto purged = service.purgeFromTrash({{*trashed.trashPath, 4096}});
    EXPECT_EQ(purged[0], (PurgeOutcome{*trashed.trashPath, 4096, true, std::nullopt, purged[0].releasedBytes}));
    EXPECT_FALSE(somethingAt(*trashed.trashPath));
    EXPECT_FALSE(somethingAt(infoFile("project")));
    EXPECT_EQ(readFile(environment.homeTrash() + "/directorysizes"), "");
    EXPECT_EQ(readFile(tree.path("outside-target")), "safe") << "links are removed, never followed";
    EXPECT_EQ(recorded().back(), (Recorded{"purge", *trashed.trashPath, 4096, "ok"}));
}

TEST_F(TrashServiceTest, PurgingWhatIsGoneFailsButADanglingLinkInTheTrashIsRemoved) {
    const std::string item = tree.writeFile("work/f", "f");
    const auto trashed = service.movePathToTrash(item, 0);
    ASSERT_EQ(::unlink(trashed.trashPath->c_str()), 0);
    const std::string link = tree.symlink("work/dangling", tree.path("nowhere"));
    const auto trashedLink = service.movePathToTrash(link, 0);
    ASSERT_TRUE(trashedLink.success);
    const auto outcomes = service.purgeFromTrash({{*trashed.trashPath, 1}, {*trashedLink.trashPath, 2}});
    EXPECT_EQ(outcomes[0].failureDescription, "no longer in the Trash");
    EXPECT_TRUE(outcomes[1].success);
    EXPECT_FALSE(somethingAt(*trashedLink.trashPath));
    const auto entries = recorded();
    EXPECT_EQ(entries[entries.size() - 2], (Recorded{"purge", *trashed.trashPath, 1, "missing"}));
}

TEST_F(TrashServiceTest, PurgingSomethingInsideATrashedFolderDropsTheStaleFolderSize) {
    tree.writeFile("work/folder/a", "a");
    tree.writeFile("work/folder/b", "b");
    const auto trashed = service.movePathToTrash(tree.path("work/folder"), 0);
    ASSERT_NE(readFile(environment.homeTrash() + "/directorysizes").value_or(""), "");
    const auto purged = service.purgeFromTrash({{*trashed.trashPath + "/a", 1}});
    EXPECT_TRUE(purged[0].success);
    EXPECT_EQ(readFile(environment.homeTrash() + "/directorysizes"), "");
    EXPECT_TRUE(somethingAt(infoFile("folder"))) << "the folder itself is still in the Trash";
}

TEST_F(TrashServiceTest, AHardLinkedFileIsReleasedOnlyWhenItsLastLinkGoesInTheBatch) {
    auto allocated = [](const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? std::int64_t(st.st_blocks) * 512 : -1;
    };
    const std::int64_t file = allocated(tree.writeFileOfSize("one/both", 256 * 1024));
    tree.hardlink("two/both", "one/both");
    tree.writeFileOfSize("one/kept-elsewhere", 256 * 1024);
    tree.hardlink("keep/kept-elsewhere", "one/kept-elsewhere");
    tree.writeFileOfSize("folder/inner", 256 * 1024);
    tree.hardlink("folder/inner-again", "folder/inner");
    tree.hardlink("folder/outer", "keep/kept-elsewhere");
    const std::int64_t folder = allocated(tree.path("folder"));

    const auto trashed = service.movePathsToTrash(
        {tree.path("one/both"), tree.path("two/both"), tree.path("one/kept-elsewhere"), tree.path("folder")},
        {{tree.path("one/both"), 7}});
    ASSERT_TRUE(trashed[0].success && trashed[1].success && trashed[2].success && trashed[3].success);
    EXPECT_EQ(trashed[0].sizeBytes, 7) << "the caller's size is kept";
    EXPECT_EQ(trashed[0].releasedBytes + trashed[1].releasedBytes, file) << "both links in the batch: once";
    EXPECT_EQ(trashed[2].releasedBytes, 0) << "another link stays outside the Trash";
    EXPECT_EQ(trashed[3].releasedBytes, folder + file) << "inside a folder: its own pair, not the outer link";

    // In the Trash now: a link purged without the other frees nothing; the last one frees the file.
    const auto first = service.purgeFromTrash({{*trashed[0].trashPath, 7}, {*trashed[2].trashPath, 0}});
    const auto last = service.purgeFromTrash({{*trashed[1].trashPath, 0}, {*trashed[3].trashPath, 0}});
    ASSERT_TRUE(first[0].success && first[1].success && last[0].success && last[1].success);
    EXPECT_EQ(first[0].sizeBytes, 7);
    EXPECT_EQ(first[0].releasedBytes, 0);
    EXPECT_EQ(first[1].releasedBytes, 0);
    EXPECT_EQ(last[0].releasedBytes, file);
    EXPECT_EQ(last[1].releasedBytes, folder + file);
}

TEST_F(TrashServiceTest, APurgeOfSeveralLinksOfOneFileCountsItOnceAndOnlyWhenNoneStaysOutside) {
    // Measuring each item only as it goes would see the link count fall and count the file again.
    struct stat st {};
    ASSERT_EQ(::lstat(tree.writeFileOfSize("a/three", 256 * 1024).c_str(), &st), 0);
    const std::int64_t file = std::int64_t(st.st_blocks) * 512;
    tree.hardlink("b/three", "a/three");
    tree.hardlink("c/three", "a/three");
    const auto trashed = service.movePathsToTrash({tree.path("a/three"), tree.path("b/three")}, {});
    ASSERT_TRUE(trashed[0].success && trashed[1].success);
    const auto two = service.purgeFromTrash({{*trashed[0].trashPath, 0}, {*trashed[1].trashPath, 0}});
    ASSERT_TRUE(two[0].success && two[1].success);
    EXPECT_EQ(two[0].releasedBytes + two[1].releasedBytes, 0) << "c/three still holds the file";

    tree.hardlink("d/three", "c/three");
    tree.hardlink("e/three", "c/three");
    const auto all = service.movePathsToTrash({tree.path("c/three"), tree.path("d/three"), tree.path("e/three")}, {});
    const auto purged = service.purgeFromTrash(
        {{*all[0].trashPath, 0}, {*all[1].trashPath, 0}, {*all[2].trashPath, 0}});
    ASSERT_TRUE(purged[0].success && purged[1].success && purged[2].success);
    EXPECT_EQ(purged[0].releasedBytes + purged[1].releasedBytes + purged[2].releasedBytes, file);
}

TEST_F(TrashServiceTest, APathHoldingANulByteNamesNothingAndTouchesNothing) {
    // The system reads a path only up to a NUL: "files/\0" would be the whole files folder.
    const std::string nul(1, '\0');
    const std::string kept = tree.writeFile("work/kept", "k");
    const auto trashed = service.movePathToTrash(kept, 1);
    ASSERT_TRUE(trashed.success);
    EXPECT_FALSE(TrashService::isInsideTrash(filesFolder() + "/" + nul));
    const auto purged = service.purgeFromTrash({{filesFolder() + "/" + nul, 1}, {*trashed.trashPath + nul + "x", 1}});
    EXPECT_EQ(purged[0].failureDescription, "not in the Trash");
    EXPECT_EQ(purged[1].failureDescription, "not in the Trash");
    const auto restored = service.restoreFromTrash({{*trashed.trashPath + nul + "x", tree.path("work/back"), 1}});
    EXPECT_EQ(restored[0].failureDescription, "no longer in the Trash");
    EXPECT_EQ(readFile(*trashed.trashPath), "k");
    const std::string folder = tree.makeDir("work/folder");
    tree.writeFile("work/folder/inside", "i");
    const auto outcome = service.movePathToTrash(folder + "/" + nul + "/x", 0);
    EXPECT_EQ(outcome.failureDescription, "path does not exist");
    EXPECT_EQ(readFile(folder + "/inside"), "i");
}

TEST_F(TrashServiceTest, InsideTheTrashMeansStrictlyBelowItsFilesFolderJudgedByWhereALinkLies) {
    const std::string item = tree.writeFile("work/x", "x");
    const auto trashed = service.movePathToTrash(item, 0);
    EXPECT_TRUE(TrashService::isInsideTrash(*trashed.trashPath));
    EXPECT_TRUE(TrashService::isInsideTrash(filesFolder() + "/./x"));
    EXPECT_TRUE(TrashService::isInsideTrash(filesFolder() + "/never-existed"));
    EXPECT_FALSE(TrashService::isInsideTrash(filesFolder()));
    EXPECT_FALSE(TrashService::isInsideTrash(environment.homeTrash()));
    EXPECT_FALSE(TrashService::isInsideTrash(item));
    EXPECT_FALSE(TrashService::isInsideTrash(filesFolder() + "/../info/x.trashinfo"));
    EXPECT_FALSE(TrashService::isInsideTrash(""));
    // A link outside pointing into the Trash is outside; the Trash reached through a linked folder is inside.
    EXPECT_FALSE(TrashService::isInsideTrash(tree.symlink("work/pointer", *trashed.trashPath)));
    EXPECT_TRUE(TrashService::isInsideTrash(tree.symlink("work/trash-files", filesFolder()) + "/x"));
}

TEST(RecoveredVariants, TheSuffixGoesBeforeTheLastExtensionAndNeverAfterALeadingDot) {
    EXPECT_EQ(TrashService::recoveredVariant("/a/report.pdf"), "/a/report (recovered).pdf");
    EXPECT_EQ(TrashService::recoveredVariant("/a/Build"), "/a/Build (recovered)");
    EXPECT_EQ(TrashService::recoveredVariant("/a/.bashrc"), "/a/.bashrc (recovered)");
    EXPECT_EQ(TrashService::recoveredVariant("/a/archive.tar.gz"), "/a/archive.tar (recovered).gz");
    EXPECT_EQ(TrashService::recoveredVariant("/a/.config.bak"), "/a/.config (recovered).bak");
    EXPECT_EQ(TrashService::recoveredVariant("/a/Build/"), "/a/Build (recovered)");
}

TEST_F(TrashServiceTest, AFolderFarDeeperThanTheOpenDescriptorsIsReleasedWhole) {
    // 300 levels, each with a file: past the folders a walk keeps open at once (and past the depth at
    // which the measuring once stopped counting).
    std::int64_t expected = 0;
    std::string path = tree.path("deep");
    for (int level = 0; level < 300; ++level, path += "/d") {
        tree.writeFile(path.substr(tree.root().size() + 1) + "/f", "x");
        for (const std::string& item : {path, path + "/f"}) {
            struct stat st {};
            ::lstat(item.c_str(), &st);
            expected += std::int64_t(st.st_blocks) * 512;
        }
    }
    const auto trashed = service.movePathsToTrash({tree.path("deep")}, {});
    ASSERT_TRUE(trashed[0].success);
    EXPECT_EQ(trashed[0].releasedBytes, expected);
    const auto purged = service.purgeFromTrash({{*trashed[0].trashPath, 0}});
    EXPECT_TRUE(purged[0].success);
    EXPECT_EQ(purged[0].releasedBytes, expected);
}
