// The smart-clean screen over a temporary home: real folders measured by the engine, the real Trash.
#include "../AppTestSupport.h"
#include "../ShownNames.h"
#include "CleanupTestHome.h"
#include "cleanup/SmartCleanModel.h"
#include "cleanup/SmartCleanViewController.h"
#include "deletion/DeletionItems.h"
#include "deletion/DestructiveButton.h"
#include "deletion/ReviewSheetViewController.h"
#include "deletion/TrashFlowController.h"
#include "shell/PlaceholderViewController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <fstream>
#include <unistd.h>
namespace {

class SmartCleanTest : public ::testing::Test {
protected:
    CleanupTestHome home;
    std::unique_ptr<SmartCleanViewController> screen;

    void SetUp() override
    {
        ASSERT_TRUE(home.dir.isValid());
        home.write(".npm/_cacache/pack", 40000);
        home.write("Library/Logs/app.log", 20000);
        for (const QString& device : {QStringLiteral("A1"), QStringLiteral("B2")}) {
            home.write("Library/Developer/CoreSimulator/Devices/" + device + "/device.plist", 0,
                       CleanupTestHome::plist({{"name", "Phone " + device}}));
            home.write("Library/Developer/CoreSimulator/Devices/" + device + "/data", device == "A1" ? 30000 : 10000);
        }
    }
    void open()
    {
        screen = std::make_unique<SmartCleanViewController>(home.dir.path(), nullptr, brisklet::originalHostProfile());
        screen->show();
        ASSERT_TRUE(waitFor([this] { return !screen->isScanning(); }));
    }
    SmartCleanModel* model() const { return screen->model(); }
    int result(const char* id) const { return model()->resultOf(model()->categoryIndex(QString::fromLatin1(id))); }
    QString summaryFor(int count, qint64 bytes) const
    {
        return QStringLiteral("%1 categor%2 selected · %3 reclaimable")
            .arg(count).arg(count == 1 ? "y" : "ies", formatBytes(bytes));
    }
};

TEST_F(SmartCleanTest, MeasuringGroupsUnderHeadingsOpensSimulatorsAndSelectsNothing)
{
    open();
    QStringList rows;
    for (int row = 0; row < model()->rowCount(); ++row)
        rows << model()->index(row, 0).data().toString();
    EXPECT_EQ(rows, (QStringList{"DEVELOPER", "iOS Simulator Devices", "npm Cache", "SYSTEM & APPS", "System & App Logs"}));
    EXPECT_TRUE(screen->treeView()->isExpanded(model()->categoryIndex("ios-simulators")));
    EXPECT_EQ(screen->summaryLabel()->text(), summaryFor(0, 0));
    EXPECT_FALSE(screen->cleanButton()->isEnabled());
    EXPECT_FALSE(screen->deselectAllButton()->isEnabled());
    EXPECT_TRUE(screen->selectAllButton()->isEnabled());
}

TEST_F(SmartCleanTest, SummaryCountsOneCategoryAndManyCategories)
{
    open();
    const int npm = result("npm-cache");
    const int logs = result("system-logs");
    const qint64 npmBytes = model()->results()[npm].sizeBytes();
    model()->setCategoryChecked(npm, true);
    EXPECT_EQ(screen->summaryLabel()->text(), summaryFor(1, npmBytes));
    EXPECT_TRUE(screen->cleanButton()->isEnabled());
    model()->setCategoryChecked(logs, true);
    EXPECT_EQ(screen->summaryLabel()->text(), summaryFor(2, npmBytes + model()->results()[logs].sizeBytes()));
    screen->selectAllButton()->click();
    EXPECT_FALSE(screen->selectAllButton()->isEnabled());
    screen->deselectAllButton()->click();
    EXPECT_EQ(screen->summaryLabel()->text(), summaryFor(0, 0));
}

TEST_F(SmartCleanTest, ChildTogglesMakeTheCategoryMixedAndBackAndEmptyPartialUnselects)
{
    open();
    const int sims = result("ios-simulators");
    const QModelIndex category = model()->categoryIndex("ios-simulators");
    const auto& devices = model()->results()[sims].children;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "Phone A1");
    model()->setData(category, Qt::Checked, Qt::CheckStateRole);
    const qint64 whole = model()->effectiveSize(sims);

    // Space on the first device unticks it: the category turns mixed and drops by that device.
    screen->treeView()->setFocus();
    screen->treeView()->setCurrentIndex(model()->index(0, 0, category));
    QTest::keyClick(screen->treeView(), Qt::Key_Space);
    EXPECT_EQ(model()->categoryState(sims), Qt::PartiallyChecked);
    EXPECT_EQ(model()->effectiveSize(sims), devices[1].sizeBytes);
    EXPECT_EQ(model()->index(0, 0, category).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    QTest::keyClick(screen->treeView(), Qt::Key_Space);
    EXPECT_EQ(model()->categoryState(sims), Qt::Checked);
    EXPECT_EQ(model()->effectiveSize(sims), whole);

    model()->setChildChecked(sims, 0, false);
    model()->setChildChecked(sims, 1, false);
    EXPECT_EQ(model()->categoryState(sims), Qt::Unchecked);
    EXPECT_EQ(screen->summaryLabel()->text(), summaryFor(0, 0));
}

TEST_F(SmartCleanTest, CleaningSendsTickedFoldersAndPartialChildrenAndDropsWhatMoved)
{
    open();
    const int sims = result("ios-simulators");
    model()->setCategoryChecked(result("npm-cache"), true);
    model()->setChildChecked(sims, 1, true);
    QStringList sent;
    for (const TrashCandidate& item : model()->itemsToClean())
        sent << item.path;
    const QString device = QString::fromStdString(model()->results()[sims].children[1].path());
    ASSERT_EQ(sent, (QStringList{device, home.path(".npm")}));

    screen->cleanButton()->click();
    ASSERT_TRUE(screen->flow()->reviewSheet());
    ASSERT_TRUE(confirmSheet(screen->flow()->reviewSheet()));
    ASSERT_TRUE(waitFor([this] { return model()->categoryIndex("npm-cache") == QModelIndex(); }));
    EXPECT_FALSE(QFileInfo::exists(home.path(".npm")));
    EXPECT_FALSE(QFileInfo::exists(device));
    ASSERT_EQ(model()->results()[result("ios-simulators")].children.size(), 1u);
    EXPECT_EQ(model()->categoryState(result("ios-simulators")), Qt::Unchecked);

    model()->selectAll();
    screen->cleanSelected();
    ASSERT_TRUE(confirmSheet(screen->flow()->reviewSheet()));
    ASSERT_TRUE(waitFor([this] { return model()->results().empty(); }));
    EXPECT_TRUE(screen->placeholder()->isVisible());
    EXPECT_EQ(screen->summaryLabel()->text().left(6), "Moved ");
}

TEST_F(SmartCleanTest, ReclaimableIsWhatTheReviewSheetFreesNotAHardLinkedFilesMeasuredSize)
{
    const std::string pack = pathBytes(home.path(".npm/_cacache/pack"));
    ASSERT_EQ(::link(pack.c_str(), pathBytes(home.path("kept-link")).c_str()), 0);
    open();
    const int npm = result("npm-cache");
    const auto reclaimable = [](const QString& line) { return line.section(" · ", 1).section(' ', 0, 1); };
    model()->setCategoryChecked(result("system-logs"), true);
    model()->setCategoryChecked(npm, true);
    ASSERT_TRUE(waitFor([this] { return screen->releasedBytes().has_value(); }));
    const qint64 freed = *screen->releasedBytes();
    const qint64 measured = model()->effectiveSize(npm) + model()->effectiveSize(result("system-logs"));
    EXPECT_LT(freed, measured - 20000) << "the linked file of 40,000 bytes freed something";
    EXPECT_EQ(screen->summaryLabel()->text(), summaryFor(2, freed));

    screen->cleanSelected();
    ReviewSheetViewController* sheet = screen->flow()->reviewSheet();
    ASSERT_TRUE(sheet && waitFor([sheet] { return sheet->isMeasured(); }));
    EXPECT_EQ(reclaimable(sheet->subtitleLabel()->text()), reclaimable(screen->summaryLabel()->text()));
}

TEST_F(SmartCleanTest, AMemberCountedAtItsOtherHardLinkShowsItsSizeWithTheLinkMark)
{
    const QString twin = home.write(".npm/twin-a", 50000);
    ASSERT_EQ(::link(pathBytes(twin).c_str(), pathBytes(home.path(".npm/twin-b")).c_str()), 0);
    open();
    const int npm = result("npm-cache");
    const QModelIndex category = model()->categoryIndex("npm-cache");
    int marked = 0;
    for (int row = 0; row < model()->rowCount(category); ++row) {
        const brisklet::FileEntry& member = model()->results()[npm].children[row];
        if (member.linkedSizeBytes <= 0)
            continue;
        ++marked;
        const QModelIndex index = model()->index(row, 0, category);
        EXPECT_EQ(index.data(SmartCleanModel::SizeTextRole).toString(), linkedSize(member.linkedSizeBytes)) << "not 0 bytes";
        const QString counted = member.name == "twin-a" ? home.path(".npm/twin-b") : twin;
        EXPECT_TRUE(index.data(Qt::ToolTipRole).toString().endsWith("\n" + countedElsewhereNote(counted)));
        EXPECT_EQ(index.data(Qt::AccessibleTextRole).toString(),
                  QStringLiteral("%1, %2, counted at another hard link").arg(index.data().toString(), formatBytes(member.linkedSizeBytes)));
    }
    EXPECT_EQ(marked, 1);
}

TEST_F(SmartCleanTest, RescanWhileMeasuringIsIgnored)
{
    screen = std::make_unique<SmartCleanViewController>(home.dir.path(), nullptr, brisklet::originalHostProfile());
    QSignalSpy resets(screen->model(), &QAbstractItemModel::modelReset);
    screen->show();
    ASSERT_TRUE(screen->isScanning());
    EXPECT_FALSE(screen->rescanButton()->isEnabled());
    screen->scan();
    ASSERT_TRUE(waitFor([this] { return !screen->isScanning(); }));
    QTest::qWait(50);
    EXPECT_EQ(resets.count(), 1);
}

TEST_F(SmartCleanTest, CopyPathPutsTheFoldersWithoutTrailingLineFeedAndHeadingsHaveNoMenu)
{
    open();
    EXPECT_EQ(screen->contextMenuFor(model()->index(0, 0)), nullptr);
    screen->copyPaths(model()->categoryIndex("npm-cache"));
    EXPECT_EQ(QApplication::clipboard()->text(), home.path(".npm"));
    QMenu* menu = screen->contextMenuFor(model()->categoryIndex("npm-cache"));
    ASSERT_TRUE(menu);
    delete menu;
}

TEST_F(SmartCleanTest, LookAlikeMembersStayTwoMarkupNamesShowAsWrittenAndOnlyTheTickedAreTrashed)
{
    const std::string npm = pathBytes(home.path(".npm"));
    const std::string ticked = npm + "/caf\xE9", other = npm + "/caf\xE8";
    std::ofstream(ticked) << std::string(5000, 'x');
    std::ofstream(other) << std::string(6000, 'x');
    home.write(".npm/<h1>big", 7000);
    open();
    const int cache = result("npm-cache");
    const auto& members = model()->results()[cache].children;
    for (int child = 0; child < int(members.size()); ++child)
        model()->setChildChecked(cache, child, members[child].path() == ticked || members[child].name == "<h1>big");
    EXPECT_EQ(model()->itemsToClean().size(), 2); // the look-alike stays unticked
    screen->cleanSelected();
    ASSERT_TRUE(screen->flow()->reviewSheet());
    ShownNames shown{{"<h1>big"}};
    shown.walk(screen.get()); // the list and the review sheet, the screen's child
    EXPECT_GE(shown.seen, 3);
    EXPECT_TRUE(shown.misread.isEmpty()) << shown.misread.join("\n").toStdString();
    ASSERT_TRUE(confirmSheet(screen->flow()->reviewSheet()));
    ASSERT_TRUE(waitFor([&] { return model()->results()[cache].children.size() == 2; }));
    EXPECT_NE(::access(ticked.c_str(), F_OK), 0);
    EXPECT_EQ(::access(other.c_str(), F_OK), 0);
}

} // namespace
