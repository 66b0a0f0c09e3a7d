#include "AnalyzerTrees.h"
#include "analyzer/ChartContentsList.h"
#include "analyzer/ElidedLabel.h"
#include "analyzer/ScanOutlineViewController.h"
#include "analyzer/SunburstView.h"
#include "analyzer/SunburstViewController.h"
#include "analyzer/TreemapView.h"
#include "analyzer/TreemapViewController.h"
#include "shell/RowCopy.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QProxyStyle>
#include <QTimer>
#include <QFile>
#include <QImage>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

AnalyzerNodePtr paneTree(const std::string& base = "/r")
{
    return AnalyzerTreeNode::build(folder(base, {folder(base + "/docs", {file(base + "/docs/a", 300), file(base + "/docs/b", 100)}),
                                                 file(base + "/c", 200), file(base + "/d", 50)}));
}

// The pane as a window of a usual size on screen, active when asked (keyboard tests).
bool showPane(QWidget* pane, bool active = false)
{
    pane->window()->resize(900, 500);
    pane->window()->show();
    if (!active)
        return true;
    pane->window()->activateWindow();
    return QTest::qWaitForWindowActive(pane->window());
}

void selectListRows(ChartContentsList* list, const std::vector<int>& rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(list->tableView()->model()->index(row, 0), list->tableView()->model()->index(row, 1));
    list->tableView()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

TEST(ChartPanes, OneListRowHighlightsTheChartTwoClearItAndCountTwo)
{
    TreemapViewController treemapPane;
    SunburstViewController sunburstPane;
    const AnalyzerNodePtr root = paneTree();
    int treemapCount = -1;
    int sunburstCount = -1;
    treemapPane.onSelectionChange = [&treemapCount](int count) { treemapCount = count; };
    sunburstPane.onSelectionChange = [&sunburstCount](int count) { sunburstCount = count; };
    treemapPane.present(root);
    sunburstPane.present(root);

    selectListRows(treemapPane.contentsList(), {0});
    selectListRows(sunburstPane.contentsList(), {0});
    EXPECT_EQ(treemapPane.treemap()->selected(), child(root, "docs"));
    EXPECT_EQ(sunburstPane.sunburst()->selected(), child(root, "docs"));
    selectListRows(treemapPane.contentsList(), {0, 1});
    selectListRows(sunburstPane.contentsList(), {0, 1});
    EXPECT_EQ(treemapPane.treemap()->selected(), nullptr);
    EXPECT_EQ(sunburstPane.sunburst()->selected(), nullptr);
    EXPECT_EQ(treemapCount, 2);
    EXPECT_EQ(sunburstCount, 2);
    EXPECT_EQ(treemapPane.selectedTrashItems().size(), 2u);
}

TEST(ChartPanes, AnOuterWedgeListsItsOwnFolderWithItSelected)
{
    SunburstViewController pane;
    const AnalyzerNodePtr root = paneTree();
    pane.present(root);
    const AnalyzerNodePtr inner = child(child(root, "docs"), "b");
    pane.showInList(inner);
    EXPECT_EQ(pane.contentsList()->folder(), child(root, "docs"));
    EXPECT_EQ(pane.contentsList()->selectedNodes(), std::vector<AnalyzerNodePtr>{inner});
}

TEST(ChartPanes, TrashingTheShownFolderReturnsToTheRoot)
{
    TreemapViewController pane;
    const AnalyzerNodePtr root = paneTree();
    pane.present(root);
    EXPECT_FALSE(pane.upButton()->isEnabled());
    pane.drill(child(root, "d")); // a file: nothing happens
    EXPECT_EQ(pane.currentRoot(), root);
    pane.drill(child(root, "docs"));
    EXPECT_TRUE(pane.upButton()->isEnabled());
    EXPECT_EQ(pane.breadcrumb(), QStringLiteral("/r/docs"));
    pane.removePaths(QSet<QString>{QStringLiteral("/r/docs")});
    EXPECT_EQ(pane.currentRoot(), root);
    EXPECT_FALSE(pane.upButton()->isEnabled());
    EXPECT_EQ(pane.contentsList()->items().size(), 2u);
    EXPECT_EQ(root->sizeBytes(), 250);
}

TEST(ChartPanes, RemovalsKeepTheShownFolderOnlyWhileItIsStillInTheTree)
{
    struct Case {
        std::string removed;
        std::string expectedShown;
    };
    for (const Case& c : {Case{"/var/log", "/home/me"},     // under the root "/": unrelated removals keep it
                          Case{"/home", "/"},               // an ancestor went to the Trash: back to the root
                          Case{"/home/me/notes", "/home/me"}}) {
        const AnalyzerNodePtr root = AnalyzerTreeNode::build(
            folder("/", {folder("/home", {folder("/home/me", {file("/home/me/notes", 5), file("/home/me/pic", 9)})}),
                         folder("/var", {file("/var/log", 3)})}));
        SunburstViewController pane;
        pane.present(root);
        pane.drill(child(root, "home"));
        pane.drill(child(child(root, "home"), "me"));
        pane.removePaths(PathSet{c.removed});
        EXPECT_EQ(pane.currentRoot()->entry().path(), c.expectedShown) << c.removed;
    }
}

TEST(ChartPanes, ItemsGoneFromDiskAreLeftOutOfTheTrashItemsAndTheirCount)
{
    const AnalyzerNodePtr root = paneTree();
    TreemapViewController pane;
    ScanOutlineViewController outline;
    int paneCount = -1;
    int outlineCount = -1;
    pane.onSelectionChange = [&paneCount](int count) { paneCount = count; };
    outline.onSelectionChange = [&outlineCount](int count) { outlineCount = count; };
    pane.present(root);
    outline.present(root);
    selectListRows(pane.contentsList(), {0, 1, 2});
    outline.outlineView()->selectAll();
    child(root, "docs")->setMissing(true); // as the screen's check found it
    pane.showMissingChanges({child(root, "docs").get()});
    outline.showMissingChanges({child(root, "docs").get()});
    EXPECT_EQ(paneCount, 2);
    EXPECT_EQ(outlineCount, 2);
    for (const QList<TrashCandidate>& items : {pane.selectedTrashItems(), outline.selectedTrashItems()}) {
        std::vector<QString> paths;
        for (const TrashCandidate& item : items)
            paths.push_back(item.path);
        EXPECT_EQ(std::count(paths.begin(), paths.end(), QStringLiteral("/r/docs")), 0);
        EXPECT_EQ(std::count(paths.begin(), paths.end(), QStringLiteral("/r/c")), 1);
    }
}

TEST(ScanOutline, AFolderSelectedWithItemsInsideItIsOfferedAloneSoNoneOfThemReadsAsFailed)
{
    ScanOutlineViewController outline;
    int count = -1;
    outline.onSelectionChange = [&count](int selected) { count = selected; };
    outline.present(paneTree());
    const auto paths = [&outline] {
        std::vector<QString> listed;
        for (const TrashCandidate& item : outline.selectedTrashItems())
            listed.push_back(item.path);
        return listed;
    };
    outline.outlineView()->selectAll(); // docs, its expanded a and b, c, d
    EXPECT_EQ(count, 3); // the trash button counts what the sheet lists
    EXPECT_EQ(paths(), (std::vector<QString>{"/r/docs", "/r/c", "/r/d"}));
    // Picked out of order and across levels, they are listed in the outline's order.
    QItemSelectionModel* selection = outline.outlineView()->selectionModel();
    const QModelIndex docs = outline.model()->index(0, 0);
    selection->clearSelection();
    for (const QModelIndex& row : {outline.model()->index(2, 0), outline.model()->index(1, 0, docs), outline.model()->index(0, 0, docs)})
        selection->select(row, QItemSelectionModel::Select);
    EXPECT_EQ(paths(), (std::vector<QString>{"/r/docs/a", "/r/docs/b", "/r/d"}));
}

TEST(ScanOutline, TinySharesReadZeroAndTheRootShowsOnlyItsSize)
{
    ScanOutlineViewController outline;
    const AnalyzerNodePtr root =
        AnalyzerTreeNode::build(folder("/r", {file("/r/huge", 10'000'000'000), file("/r/byte", 1)}));
    outline.present(root);
    EXPECT_TRUE(outline.rowText(*child(root, "byte")).second.endsWith(QStringLiteral("  \u00b7  0%")));
    EXPECT_TRUE(outline.rowText(*child(root, "huge")).second.endsWith(QStringLiteral("  \u00b7  100%")));
    EXPECT_EQ(outline.rowText(*root).second, QString::fromStdString(brisklet::ByteFormat::humanReadable(10'000'000'001)));
    EXPECT_EQ(outline.model()->rowCount(), 2);
}

} // namespace

namespace {

TEST(ChartPanes, KeyboardSelectsDrillsGoesUpAndCopiesRows)
{
    TreemapViewController pane;
    ASSERT_TRUE(showPane(&pane, true));
    const AnalyzerNodePtr root = paneTree();
    pane.present(root);
    pane.treemap()->setFocus();
    QTest::keyClick(pane.treemap(), Qt::Key_Right);
    EXPECT_EQ(pane.treemap()->selected(), child(root, "docs"));
    EXPECT_EQ(pane.contentsList()->selectedNodes(), std::vector<AnalyzerNodePtr>{child(root, "docs")});
    QTest::keyClick(pane.treemap(), Qt::Key_Return);
    EXPECT_EQ(pane.currentRoot(), child(root, "docs"));
    QTest::keyClick(pane.treemap(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(pane.currentRoot(), root);
    EXPECT_EQ(pane.treemap()->selected(), child(root, "docs")); // the folder just left, as in a file manager
    EXPECT_EQ(pane.contentsList()->selectedNodes(), std::vector<AnalyzerNodePtr>{child(root, "docs")});

    QAction editCopy; // the main window's Edit menu holds the same key
    editCopy.setShortcut(QKeySequence::Copy);
    pane.addAction(&editCopy);
    selectListRows(pane.contentsList(), {1, 2});
    pane.contentsList()->tableView()->setFocus();
    QTest::keyClick(pane.contentsList()->tableView(), Qt::Key_C, Qt::ControlModifier);
    const QString size = QString::fromStdString(brisklet::ByteFormat::humanReadable(200));
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("c\t") + size + QLatin1Char('\n')));
}

TEST(ChartPanes, TheListMarksTheKeyboardFocusLikeTheChart)
{
    TreemapViewController pane;
    ASSERT_TRUE(showPane(&pane, true));
    pane.present(paneTree());
    QTableView* list = pane.contentsList()->tableView();
    list->setCurrentIndex(list->model()->index(1, 0));
    pane.treemap()->setFocus();
    const QImage unfocused = list->grab().toImage();
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    EXPECT_NE(list->grab().toImage(), unfocused);
}

} // namespace

TEST(ChartPanes, ANameWithANewlineStaysOneRowAndOneCopiedLineYetTrashesByItsRealPath)
{
    TreemapViewController pane;
    pane.present(AnalyzerTreeNode::build(folder("/r", {file("/r/two\nlines", 300), file("/r/tab\there", 100)})));
    QTableView* table = pane.contentsList()->tableView();
    table->selectAll();
    EXPECT_EQ(RowCopy::selectedRowsText(table).count(QLatin1Char('\n')), 1);
    EXPECT_FALSE(pane.contentsList()->pathLabel()->text().contains(QLatin1Char('\t'))); // the last selected
    EXPECT_EQ(pane.selectedTrashItems().value(0).path, QStringLiteral("/r/two\nlines"));
}

TEST(ChartPanes, AnItemWhoseNameIsNotUtf8IsOfferedAndRemovedByItsOwnBytes)
{
    TreemapViewController pane;
    const AnalyzerNodePtr root = AnalyzerTreeNode::build(folder("/r", {file("/r/caf\xe9", 300), file("/r/caf\xef\xbf\xbd", 100)}));
    pane.present(root);
    selectListRows(pane.contentsList(), {0});
    const QList<TrashCandidate> items = pane.selectedTrashItems();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(pathBytes(items[0].path), "/r/caf\xe9");
    pane.removePaths(QSet<QString>{items[0].path});
    EXPECT_EQ(childNames(root), std::vector<std::string>{"caf\xef\xbf\xbd"});
}

namespace {

// A desktop set to open items with one click.
class SingleClickStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* data) const override
    {
        return hint == SH_ItemView_ActivateItemOnSingleClick ? 1 : QProxyStyle::styleHint(hint, option, widget, data);
    }
};

TEST(AnalyzerActivation, OneClickOnlySelectsEvenWhereTheDesktopOpensOnOneClick)
{
    const AnalyzerNodePtr root = paneTree();
    TreemapViewController pane;
    ScanOutlineViewController outline;
    std::vector<QString> revealed;
    outline.onReveal = [&revealed](const QString& path) { revealed.push_back(path); };
    SingleClickStyle style;
    const std::vector<QAbstractItemView*> views{pane.contentsList()->tableView(), outline.outlineView()};
    for (QAbstractItemView* view : views) {
        view->setStyle(&style);
        showPane(view);
    }
    const auto rowZero = [](QAbstractItemView* view) { return view->visualRect(view->model()->index(0, 0)).center(); };
    for (const bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "Return" : "double click");
        pane.present(root);
        outline.present(root);
        revealed.clear();
        for (QAbstractItemView* view : views) {
            const AnalyzerNodePtr shown = pane.currentRoot();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowZero(view)); // "docs", a folder
            EXPECT_EQ(pane.currentRoot(), shown);
            EXPECT_TRUE(revealed.empty());
            if (byKey)
                QTest::keyClick(view, Qt::Key_Return);
            else
                QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rowZero(view));
        }
        EXPECT_EQ(pane.currentRoot(), child(root, "docs"));
        EXPECT_EQ(revealed, std::vector<QString>{QStringLiteral("/r/docs")});
    }
}

TEST(ChartPanes, AContextMenuOpenWhenARescanReplacesTheTreeClosesRatherThanActOnTheOldOne)
{
    TreemapViewController pane;
    showPane(&pane);
    const AnalyzerNodePtr scanned = paneTree();
    const AnalyzerNodePtr rescanned = paneTree();
    pane.present(scanned);
    QTableView* table = pane.contentsList()->tableView();
    bool opened = false;
    bool stayedOpen = false;
    QTimer::singleShot(0, &pane, [&] {
        auto* menu = pane.contentsList()->findChild<QMenu*>();
        opened = menu && menu->isVisible();
        pane.present(rescanned);
        stayedOpen = menu && menu->isVisible();
        if (stayedOpen) { // what the user would pick next: Drill In, into the old tree's "docs"
            menu->actions().front()->trigger();
            menu->close();
        }
    });
    emit table->customContextMenuRequested(table->visualRect(table->model()->index(0, 0)).center());
    EXPECT_TRUE(opened);
    EXPECT_FALSE(stayedOpen);
    EXPECT_EQ(pane.currentRoot(), rescanned);
}

} // namespace
