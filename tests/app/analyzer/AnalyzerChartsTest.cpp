#include "AnalyzerTrees.h"
#include "analyzer/SunburstView.h"
#include "analyzer/TreemapView.h"
#include "shell/Palette.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cmath>
#include <numbers>

namespace {

AnalyzerNodePtr filesFolder(int count, std::int64_t size = 10)
{
    std::vector<brisklet::ScanNode> files;
    for (int i = 0; i < count; ++i)
        files.push_back(file("/f/" + std::to_string(i), size));
    return AnalyzerTreeNode::build(folder("/f", std::move(files)));
}

TEST(Treemap, SixtyFortyInASquareGivesTwoFullHeightColumns)
{
    const AnalyzerNodePtr root = AnalyzerTreeNode::build(folder("/r", {file("/r/a", 40), file("/r/b", 60)}));
    const std::vector<TreemapView::Block> blocks = TreemapView::squarifiedBlocks(root->children());
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].node->entry().name, "b");
    EXPECT_EQ(blocks[0].unit, QRectF(0, 0, 0.6, 1));
    EXPECT_DOUBLE_EQ(blocks[1].unit.x(), 0.6);
    EXPECT_DOUBLE_EQ(blocks[1].unit.width(), 0.4);
    EXPECT_DOUBLE_EQ(blocks[1].unit.height(), 1);
}

TEST(Treemap, OverTwoHundredFiftyChildrenTheRestBecomeOneOtherCell)
{
    TreemapView view;
    view.resize(400, 300);
    const AnalyzerNodePtr exactly = filesFolder(250);
    view.display(exactly);
    EXPECT_EQ(view.entries().size(), 250u);
    EXPECT_FALSE(view.entries().back().cell.node->isAggregated());

    const AnalyzerNodePtr over = filesFolder(251);
    view.display(over);
    ASSERT_EQ(view.entries().size(), 251u);
    const TreemapCellView& other = view.entries().back().cell;
    EXPECT_TRUE(other.node->isAggregated());
    EXPECT_EQ(other.node->entry().name, "Other (1 item)");
    EXPECT_EQ(other.node->entry().path(), "/f/\u2026");
    EXPECT_EQ(other.fill, Palette::otherColor());
    EXPECT_EQ(over->children().size(), 251u); // the aggregated node is not added to the folder
}

TEST(Treemap, ResizeScalesTheLayoutWithoutANewOneAndHidesSubPixelCells)
{
    TreemapView view;
    view.resize(200, 200);
    view.show();
    const AnalyzerNodePtr root =
        AnalyzerTreeNode::build(folder("/r", {file("/r/big", 1'000'000), file("/r/tiny", 1), file("/r/empty", 0)}));
    view.display(root);
    const int layouts = view.layoutCount();
    ASSERT_EQ(view.entries().size(), 2u); // size 0 shows nothing
    EXPECT_TRUE(view.entries()[1].cell.hidden);
    view.resize(300, 200);
    EXPECT_EQ(view.layoutCount(), layouts);
    EXPECT_EQ(view.entries()[0].cell.frame.width(), 300);
}

// Sizes in tenths of a degree out of 3600.
AnalyzerNodePtr thresholdTree()
{
    return AnalyzerTreeNode::build(folder(
        "/r", {file("/r/rest", 3540), file("/r/half", 5), folder("/r/two", {file("/r/two/x", 20)}),
               folder("/r/threeandhalf", {file("/r/threeandhalf/y", 35)})}));
}

bool hasWedge(const SunburstView& view, const std::string& name, int level)
{
    for (const SunburstView::Wedge& wedge : view.wedges())
        if (wedge.node->entry().name == name)
            return wedge.level == level;
    return false;
}

TEST(Sunburst, SpanThresholdsDropSmallWedgesAndTheirChildren)
{
    SunburstView view;
    const AnalyzerNodePtr root = thresholdTree();
    view.display(root);
    EXPECT_FALSE(hasWedge(view, "half", 0));
    EXPECT_TRUE(hasWedge(view, "two", 0));
    EXPECT_FALSE(hasWedge(view, "x", 1));
    EXPECT_TRUE(hasWedge(view, "threeandhalf", 0));
    EXPECT_TRUE(hasWedge(view, "y", 1));
    EXPECT_DOUBLE_EQ(view.wedges().front().startAngle, 90);
}

TEST(Sunburst, FortyFiveChildrenShowFortyAndOtherFive)
{
    SunburstView view;
    const AnalyzerNodePtr root = filesFolder(45);
    view.display(root);
    ASSERT_EQ(view.wedges().size(), 41u);
    EXPECT_EQ(view.wedges().back().node->entry().name, "Other (5)");
    EXPECT_DOUBLE_EQ(view.wedges().back().endAngle, 450);
    EXPECT_EQ(view.color(view.wedges().back().node.get()), Palette::otherColor());
}

TEST(Sunburst, ClicksHitWedgesOnBothSidesOfTheTopSeamAndTheDiscGoesUp)
{
    SunburstView view;
    view.resize(200, 200);
    const AnalyzerNodePtr root = AnalyzerTreeNode::build(folder("/r", {file("/r/left", 50), file("/r/right", 50)}));
    view.display(root);
    int ups = 0;
    view.onUp = [&ups] { ++ups; };
    const auto at = [&view](double degrees) {
        const double radians = degrees * std::numbers::pi / 180;
        const double distance = view.geometry().hole + view.geometry().ringWidth / 2;
        return QPoint(int(std::lround(100 + distance * std::cos(radians))), int(std::lround(100 - distance * std::sin(radians))));
    };
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(45)); // 405 degrees: the second half
    ASSERT_TRUE(view.selected());
    EXPECT_EQ(view.selected()->entry().name, "right");
    QTest::mouseClick(&view, Qt::LeftButton, {}, at(135));
    EXPECT_EQ(view.selected()->entry().name, "left");
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(ups, 0);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(ups, 1);
}

TEST(Sunburst, LongNamesAreCutToEighteenCharacters)
{
    const QFontMetricsF metrics(QFont{});
    EXPECT_EQ(SunburstView::centreName(QStringLiteral("a-very-long-folder-name-indeed"), metrics, 20),
              QStringLiteral("a-very-long-folder\u2026"));
    EXPECT_EQ(SunburstView::centreName(QStringLiteral("x"), metrics, 20), QStringLiteral("x"));
    const QString faces = QStringLiteral("\U0001F600").repeated(25);
    EXPECT_EQ(SunburstView::centreName(faces, metrics, 20), faces.left(36) + QChar(0x2026)); // 18 whole emoji
}

} // namespace
