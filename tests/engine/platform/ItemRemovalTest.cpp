#include "MountNamespace.h"
#include "ProcessCounts.h"
#include "TempTree.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/mount.h>
#include <unistd.h>

using namespace brisklet::platform;
using brisklet::test::TempTree;

TEST(ItemRemoval, FolderSwappedForALinkMidWalkIsRemovedAsTheLinkNeverFollowed) {
    // Another process renames a subfolder away and puts a link to a folder outside in its place just
    // after the walk found it to be a folder.
    TempTree tree;
    for (const char* name : {"item/a/f", "item/b/f", "item/b/deep/f", "item/c/f", "outside/victim"})
        tree.writeFile(name, "x");
    int swaps = 0;
    const auto swap = [&](const std::string& path) {
        if (path == tree.path("item/b") &&
            std::rename(path.c_str(), tree.path("moved").c_str()) == 0 &&
            ::symlink(tree.path("outside").c_str(), path.c_str()) == 0)
            ++swaps;
    };
    EXPECT_EQ(removeItem(tree.path("item"), swap), std::nullopt);
    EXPECT_EQ(swaps, 1);
    EXPECT_FALSE(exists(tree.path("item")));
    EXPECT_TRUE(exists(tree.path("outside/victim")));
    EXPECT_TRUE(exists(tree.path("moved/deep/f")));
}

TEST(ItemRemoval, DeepTreeKeepsFewDescriptorsOpenAndAMovedAncestorEndsTheWalk) {
    TempTree tree;
    std::string deep = "item";
    for (int i = 0; i < 120; ++i)
        deep += "/d";
    tree.writeFile(deep + "/f", "x");
    const int baseline = brisklet::test::openDescriptorCount();
    int most = 0;
    EXPECT_EQ(removeItem(tree.path("item"), [&](const std::string&) {
                  most = std::max(most, brisklet::test::openDescriptorCount());
              }),
              std::nullopt);
    EXPECT_FALSE(exists(tree.path("item")));
    EXPECT_LE(most - baseline, 40);

    // Once its descriptor was given up, a folder renamed away is not found again through "..".
    tree.writeFile(deep + "/f", "x");
    const std::string ancestor = tree.path("item/d/d");
    bool moved = false;
    const auto problem = removeItem(tree.path("item"), [&](const std::string& path) {
        if (!moved && path.size() > tree.path(deep).size() - 4)
            moved = std::rename(ancestor.c_str(), tree.path("away").c_str()) == 0;
    });
    EXPECT_TRUE(moved);
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find("moved"), std::string::npos) << *problem;
    EXPECT_TRUE(exists(tree.path("item")));
}

TEST(ItemRemoval, BindMountInsideIsLeftInPlaceAndReported) {
    if (!brisklet::test::inPrivateMountNamespace())
        return;
    TempTree tree;
    tree.writeFile("outside/victim", "x");
    tree.writeFile("item/f", "x");
    const std::string mountPoint = tree.makeDir("item/mnt");
    ASSERT_EQ(::mount(tree.path("outside").c_str(), mountPoint.c_str(), nullptr, MS_BIND, nullptr), 0);
    const auto problem = removeItem(tree.path("item"));
    ::umount2(mountPoint.c_str(), MNT_DETACH);
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find("\"mnt\""), std::string::npos) << *problem;
    EXPECT_TRUE(exists(tree.path("outside/victim")));
    EXPECT_FALSE(exists(tree.path("item/f")));
}
