#include "AnalyzerTrees.h"
#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

AnalyzerNodePtr sampleTree()
{
    return AnalyzerTreeNode::build(folder(
        "/r", {folder("/r/a", {folder("/r/a/b", {folder("/r/a/b/c", {file("/r/a/b/c/f", 4096), file("/r/a/b/c/g", 8192)}),
                                                 file("/r/a/b/h", 10000)}),
                               file("/r/a/x", 20000)}),
               folder("/r/big", {file("/r/big/one", 30000)}), file("/r/Beta", 7), file("/r/alpha", 7)}));
}

TEST(AnalyzerTreeNode, EqualSizesOrderByNameIgnoringCaseAndLinkParents)
{
    const AnalyzerNodePtr root = sampleTree();
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"a", "big", "alpha", "Beta"}));
    EXPECT_EQ(child(root, "a")->parent(), root.get());
}

TEST(AnalyzerTreeNode, RemovingAFileShrinksEachAncestorByItsBytesAndReorders)
{
    const AnalyzerNodePtr root = sampleTree();
    const AnalyzerNodePtr a = child(root, "a");
    const AnalyzerNodePtr b = child(a, "b");
    const AnalyzerNodePtr c = child(b, "c");
    const std::int64_t rootBefore = root->sizeBytes();
    EXPECT_EQ(root->removePaths({"/r/a/b/c/g"}), 8192);
    EXPECT_EQ(c->sizeBytes(), 4096);
    EXPECT_EQ(b->sizeBytes(), 14096);
    EXPECT_EQ(a->sizeBytes(), 34096);
    EXPECT_EQ(root->sizeBytes(), rootBefore - 8192);
    EXPECT_EQ(c->entry().sizeBytes, 12288); // the size at scan time stays
    EXPECT_EQ(childNames(root).front(), "a");
    EXPECT_EQ(root->removePaths({"/r/a/b/h"}), 10000);
    EXPECT_EQ(childNames(root).front(), "big"); // 30000 now beats 24096
}

TEST(AnalyzerTreeNode, NestedPathsCountOnceAndUnknownPathsChangeNothing)
{
    const AnalyzerNodePtr root = sampleTree();
    const AnalyzerNodePtr b = child(child(root, "a"), "b");
    const std::int64_t before = root->sizeBytes();
    EXPECT_EQ(root->removePaths({"/nowhere", "/r/a/zzz"}), 0);
    EXPECT_EQ(root->sizeBytes(), before);
    EXPECT_EQ(root->removePaths({"/r/a/b", "/r/a/b/c/f"}), 22288);
    EXPECT_EQ(root->sizeBytes(), before - 22288);
    EXPECT_EQ(b->parent(), nullptr); // the dropped folder no longer names its old parent
}

TEST(AnalyzerTreeNode, FamilyPlacementCountsVisibleFamilies)
{
    const AnalyzerNodePtr root = sampleTree();
    const AnalyzerNodePtr grandchild = child(child(root, "big"), "one");
    EXPECT_EQ(grandchild->familyPlacement(*root), (FamilyPlacement{1, 4, 1}));
    EXPECT_EQ(root->familyPlacement(*root), std::nullopt);
    EXPECT_EQ(grandchild->familyPlacement(*child(root, "a")), std::nullopt);
}

TEST(AnalyzerTreeNode, FoldedAndUnreadableFolders)
{
    brisklet::ScanNode folded = file("/r/node_modules", 500);
    folded.entry.isDirectory = true;
    brisklet::ScanNode unreadable = file("/r/locked", 0);
    unreadable.entry.isDirectory = true;
    unreadable.entry.state = brisklet::ScanState::unavailable;
    const AnalyzerNodePtr root = AnalyzerTreeNode::build(folder("/r", {std::move(folded), std::move(unreadable)}));
    EXPECT_TRUE(child(root, "node_modules")->folded());
    EXPECT_FALSE(child(root, "locked")->folded());
    EXPECT_TRUE(child(root, "locked")->unreadable());
}

} // namespace

TEST(AnalyzerTreeNode, AChainOfFoldersDeeperThanTheStackIsBuiltAndReleased)
{
    constexpr int depth = 20'000;
    const auto folder = [] { return brisklet::FileEntry{"d", "/d", 0, true, brisklet::ScanState::complete}; };
    brisklet::ScanNode scan{folder(), std::vector<brisklet::ScanNode>{}};
    for (int i = 0; i < depth; ++i) {
        brisklet::ScanNode above{folder(), std::vector<brisklet::ScanNode>{}};
        above.children->push_back(std::move(scan));
        scan = std::move(above);
    }
    int levels = 0;
    brisklet::test::onSmallStack([&] {
        AnalyzerNodePtr root = AnalyzerTreeNode::build(std::move(scan));
        for (const AnalyzerTreeNode* node = root.get(); node->hasChildren(); node = node->children().front().get())
            ++levels;
        root.reset();
    });
    EXPECT_EQ(levels, depth);
}

TEST(AnalyzerTreeNode, RemovingTheLinkThatCarriedAHardLinkedSizeHandsItToALinkLeftInTheTree)
{
    brisklet::test::TempTree tree;
    const std::string big1 = tree.writeFile("data/big1", "x");
    const std::string big3 = tree.hardlink("data/sub/big3", "data/big1");
    const std::string big4 = tree.hardlink("data/sub/big4", "data/big1");
    constexpr std::int64_t size = 3'000'000;
    const auto entry = [](std::string name, std::string path, std::int64_t bytes, std::int64_t linked) {
        return brisklet::FileEntry{std::move(name), std::move(path), bytes, false, brisklet::ScanState::complete, 3, linked};
    };
    brisklet::ScanNode sub{{"sub", tree.path("data/sub"), 0, true, brisklet::ScanState::complete},
                           std::vector<brisklet::ScanNode>{{entry("big3", big3, 0, size)}, {entry("big4", big4, 0, size)}}};
    brisklet::ScanNode data{{"data", tree.path("data"), size, true, brisklet::ScanState::complete},
                            std::vector<brisklet::ScanNode>{{entry("big1", big1, size, 0)}, std::move(sub)}};
    const AnalyzerNodePtr root = AnalyzerTreeNode::build(std::move(data));

    EXPECT_EQ(root->removePaths({big1}), 0) << "the blocks stay on disk";
    EXPECT_EQ(root->sizeBytes(), size);
    ASSERT_EQ(childNames(root), std::vector<std::string>{"sub"});
    const AnalyzerNodePtr& folder = root->children().front();
    EXPECT_EQ(folder->sizeBytes(), size);
    ASSERT_EQ(childNames(folder), (std::vector<std::string>{"big3", "big4"}));
    EXPECT_EQ(folder->children()[0]->sizeBytes(), size);
    EXPECT_EQ(folder->children()[0]->countedAt(), nullptr);
    ASSERT_NE(folder->children()[1]->countedAt(), nullptr);
    EXPECT_EQ(*folder->children()[1]->countedAt(), big3);
}
