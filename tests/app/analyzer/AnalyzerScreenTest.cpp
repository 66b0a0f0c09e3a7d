// The analyzer screen over real scans of temporary trees, the real Trash and a private audit log.
#include "../AppTestSupport.h"
#include "AnalyzerTrees.h"
#include "analyzer/AnalyzerStartView.h"
#include "analyzer/AnalyzerViewController.h"
#include "analyzer/ChartContentsList.h"
#include "analyzer/ChartText.h"
#include "analyzer/ScanOutlineViewController.h"
#include "analyzer/SunburstViewController.h"
#include "analyzer/TreemapViewController.h"
#include "deletion/DestructiveButton.h"
#include "deletion/TrashFlowController.h"
#include "safety/AuditLog.h"
#include "shell/SegmentedControl.h"
#include "shell/VoyageScanningView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <QSettings>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

using State = AnalyzerViewController::State;

// Holds the scanner's hook until opened, so a scan can be caught while it runs.
class Gate {
public:
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

class AnalyzerScreenTest : public ::testing::Test {
protected:
    QTemporaryDir work{QDir::homePath() + "/analyzer-XXXXXX"};
    std::shared_ptr<brisklet::AuditLog> log = std::make_shared<brisklet::AuditLog>(QFile::encodeName(work.path() + "/log").toStdString());
    AnalyzerViewController screen{log};
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::weak_ptr<const brisklet::DiskScanner> heldScanner; // expires when the held scan's work is over

    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        screen.resize(1000, 700);
        screen.show();
    }
    void TearDown() override { gate->open(); }

    QString tree(const QString& name, const QStringList& files)
    {
        const QString root = work.path() + "/" + name;
        for (const QString& relative : files) {
            QDir().mkpath(QFileInfo(root + "/" + relative).path());
            QFile out(root + "/" + relative);
            EXPECT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(100, 'x'));
        }
        QDir().mkpath(root);
        return root;
    }
    // The next scan waits at its first folder until the gate opens.
    void holdNextScan()
    {
        screen.makeScanner = [this, gate = gate] {
            auto scanner = std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions(),
                                                                         [gate](const std::string&, std::string_view) { gate->wait(); });
            heldScanner = scanner;
            return scanner;
        };
    }
    void scanToResult(const QString& folder)
    {
        screen.analyze(folder);
        ASSERT_TRUE(waitFor([this] { return screen.state() == State::result; }));
    }
    void selectOutlineRows(int count)
    {
        QTreeView* view = screen.outlinePane()->outlineView();
        QItemSelection selection;
        for (int row = 0; row < count; ++row)
            selection.select(view->model()->index(row, 0), view->model()->index(row, 0));
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }
    void showPane(int index)
    {
        screen.segmented()->setSelectedIndex(index);
        screen.segmentChanged(index);
    }
};

std::vector<std::string> names(const std::vector<AnalyzerNodePtr>& nodes)
{
    std::vector<std::string> result;
    for (const AnalyzerNodePtr& node : nodes)
        result.push_back(node->entry().name);
    return result;
}

TEST_F(AnalyzerScreenTest, StateTableFromPickerThroughVoyageResultAndRescan)
{
    const QString folder = tree("alpha", {"a.txt", "sub/b.txt"});
    EXPECT_EQ(screen.state(), State::picker);
    EXPECT_FALSE(screen.startView()->isHidden());
    EXPECT_TRUE(screen.newScanButton()->isHidden());

    holdNextScan();
    screen.analyze(folder);
    EXPECT_EQ(screen.state(), State::voyage);
    EXPECT_FALSE(screen.scanningView()->isHidden());
    EXPECT_TRUE(screen.toolbarRow()->isHidden() && screen.statusRow()->isHidden() && screen.startView()->isHidden());
    EXPECT_EQ(screen.scanningView()->progressLabel()->text(), "Preparing");
    gate->open();
    ASSERT_TRUE(waitFor([this] { return screen.state() == State::result; }));
    EXPECT_TRUE(screen.scanningView()->isHidden() && screen.startView()->isHidden());
    EXPECT_FALSE(screen.segmented()->isHidden() || screen.treemapPane()->isHidden() || screen.newScanButton()->isHidden());
    EXPECT_TRUE(screen.statusLabel()->text().startsWith("2 files · ")) << screen.statusLabel()->text().toStdString();
    EXPECT_TRUE(screen.statusLabel()->text().endsWith(" in alpha"));
    EXPECT_EQ(QSettings().value("analyzer.lastFolder").toString(), folder);
    EXPECT_EQ(AnalyzerViewController().lastFolder(), folder);

    gate = std::make_shared<Gate>();
    holdNextScan();
    screen.startScan();
    EXPECT_EQ(screen.state(), State::rescanning);
    EXPECT_FALSE(screen.progressRow()->isHidden() || screen.treemapPane()->isHidden() || screen.cancelButton()->isHidden());
    gate->open();
    ASSERT_TRUE(waitFor([this] { return screen.state() == State::result; }));
    EXPECT_TRUE(screen.progressRow()->isHidden() && screen.cancelButton()->isHidden());

    screen.newScanClicked();
    EXPECT_EQ(screen.state(), State::picker);
    EXPECT_TRUE(screen.segmented()->isHidden() && screen.treemapPane()->isHidden() && !screen.startView()->isHidden());
}

TEST_F(AnalyzerScreenTest, FailedOrCancelledScanReturnsWhereItStarted)
{
    const QString folder = tree("beta", {"x"});
    struct Case {
        const char* name;
        bool fromResult;
        QString root;  // empty: the scan is held and cancelled
        State expected;
        QString status;
    };
    const Case cases[] = {
        {"missing root from the picker", false, work.path() + "/gone", State::picker,
         "Scan failed: The folder \"" + work.path() + "/gone\" does not exist or is not a folder."},
        {"file root from a result", true, folder + "/x", State::result,
         "Scan failed: The folder \"" + folder + "/x\" does not exist or is not a folder."},
        {"cancel from the picker", false, {}, State::picker, "Scan cancelled."},
        {"cancel of a rescan", true, {}, State::result, "Scan cancelled."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen.makeScanner = [] { return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions()); };
        if (c.fromResult)
            scanToResult(folder);
        else
            screen.newScanClicked();
        const AnalyzerNodePtr before = screen.shownTree();
        if (c.root.isEmpty()) {
            holdNextScan();
            screen.analyze(folder);
            screen.cancelClicked();
        } else {
            screen.analyze(c.root);
            ASSERT_TRUE(waitFor([this] { return !screen.isScanning(); }));
        }
        EXPECT_EQ(screen.state(), c.expected);
        EXPECT_EQ(screen.statusLabel()->text(), c.status);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(screen.statusLabel())->text(QAccessible::Name), c.status); // read aloud
        EXPECT_EQ(screen.shownTree(), before);
        EXPECT_FALSE(screen.statusRow()->isHidden() || screen.toolbarRow()->isHidden());
    }
}

TEST_F(AnalyzerScreenTest, CancelThenImmediateRescanDropsTheFirstResult)
{
    const QString first = tree("first", {"one"});
    const QString second = tree("second", {"two", "three"});
    holdNextScan();
    screen.analyze(first);
    screen.cancelClicked();
    screen.makeScanner = [] { return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions()); };
    screen.analyze(second);
    gate->open(); // the first scan may now run to its end; its answer must not reach the screen
    ASSERT_TRUE(waitFor([this] { return screen.state() == State::result && heldScanner.expired(); }));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(screen.shownTree()->entry().name, "second");
    EXPECT_TRUE(screen.statusLabel()->text().startsWith("2 files · "));
}

TEST_F(AnalyzerScreenTest, ThreeTimedOutFoldersAreCountedInTheStatusLine)
{
    const QString folder = tree("slow", {"a/f", "b/f", "c/f", "ok/f", "top"});
    screen.makeScanner = [] {
        brisklet::DiskScanner::Options options = AnalyzerViewController::scanOptions();
        options.directoryTimeoutSeconds = 0.2;
        return std::make_shared<const brisklet::DiskScanner>(options, [](const std::string& path, std::string_view operation) {
            if (operation == "open" && (path.ends_with("/a") || path.ends_with("/b") || path.ends_with("/c")))
                std::this_thread::sleep_for(std::chrono::milliseconds(800));
        });
    };
    scanToResult(folder);
    const QString status = screen.statusLabel()->text();
    EXPECT_TRUE(status.startsWith("2 files · ")) << status.toStdString();
    EXPECT_TRUE(status.endsWith(" in slow · 3 unresponsive locations skipped")) << status.toStdString();
    const QString size = QString::fromStdString(brisklet::ByteFormat::humanReadable(4096)); // counts of one read singular
    EXPECT_EQ(AnalyzerViewController::resultStatus({1, 1, 4096}, "x", brisklet::ScanProgress{0, 0, 0, 1, 1, ""}),
              "1 file · " + size + " in x · 1 unresponsive location skipped · 1 unreadable location (Full Disk Access would improve coverage)");
    EXPECT_EQ(AnalyzerViewController::progressText({1, 0, 4096, 0, 0, "/a/b"}), "1 file · " + size + " · b");
}

TEST_F(AnalyzerScreenTest, KeyboardFocusFollowsTheScanFromThePickerToTheResultOrBack)
{
    QApplication::setActiveWindow(&screen);
    scanToResult(tree("eta", {"e"}));
    EXPECT_TRUE(screen.treemapPane()->isAncestorOf(QApplication::focusWidget()));
    holdNextScan();
    screen.newScanClicked();
    screen.startScan();
    screen.setFocus(); // away from the busy view: Escape still cancels
    QTest::keyClick(&screen, Qt::Key_Escape);
    EXPECT_EQ(screen.statusLabel()->text(), "Scan cancelled.");
    EXPECT_TRUE(screen.startView()->isAncestorOf(QApplication::focusWidget()));
}

TEST_F(AnalyzerScreenTest, TrashButtonCountsTheShownPaneAndStaysOffDuringARescan)
{
    scanToResult(tree("gamma", {"1", "2", "3", "4", "5"}));
    showPane(2);
    selectOutlineRows(1);
    EXPECT_TRUE(screen.trashButton()->isEnabled());
    EXPECT_EQ(screen.trashButton()->text(), "Move to Trash");
    selectOutlineRows(4);
    EXPECT_EQ(screen.trashButton()->text(), "Move 4 to Trash");
    showPane(0);
    EXPECT_FALSE(screen.trashButton()->isEnabled());

    holdNextScan();
    showPane(2);
    screen.startScan();
    EXPECT_FALSE(screen.trashButton()->isEnabled());
    selectOutlineRows(2);
    showPane(1);
    showPane(2);
    EXPECT_FALSE(screen.trashButton()->isEnabled());
    EXPECT_EQ(screen.trashButton()->text(), "Move 2 to Trash");
    screen.treemapPane()->onTrashRequest({{screen.shownTree()->children().front()->entry().path.c_str(), 100, false}});
    EXPECT_FALSE(screen.trashFlow()->reviewSheet()); // a pane's menu cannot trash from a tree being replaced
}

TEST_F(AnalyzerScreenTest, TrashedItemsLeaveAllPanesAndPuttingThemBackRescans)
{
    const QString folder = tree("delta", {"keep", "big/inner"});
    scanToResult(folder);
    screen.treemapPane()->contentsList()->tableView()->selectRow(0); // "big", the largest
    ASSERT_EQ(names(screen.treemapPane()->contentsList()->selectedNodes()), std::vector<std::string>{"big"});
    screen.trashClicked();
    ASSERT_TRUE(screen.trashFlow()->reviewSheet());
    screen.trashFlow()->reviewSheet()->confirmClicked();
    ASSERT_TRUE(waitFor([this] { return !screen.trashFlow()->isRunning(); }));
    EXPECT_FALSE(QFileInfo::exists(folder + "/big"));
    EXPECT_EQ(names(screen.shownTree()->children()), std::vector<std::string>{"keep"});
    EXPECT_EQ(names(screen.treemapPane()->contentsList()->items()), std::vector<std::string>{"keep"});
    EXPECT_EQ(names(screen.piePane()->contentsList()->items()), std::vector<std::string>{"keep"});
    EXPECT_EQ(screen.outlinePane()->model()->rowCount(), 1);

    const AnalyzerNodePtr before = screen.shownTree();
    screen.undoButton()->click();
    ASSERT_TRUE(waitFor([this, before] { return screen.state() == State::result && screen.shownTree() != before; }));
    EXPECT_TRUE(QFileInfo::exists(folder + "/big/inner"));
    EXPECT_EQ(names(screen.shownTree()->children()), (std::vector<std::string>{"big", "keep"}));

    // Back to the picker while the put-back runs: no scan starts behind the user's back.
    screen.trashFlow()->reviewAndTrash({{folder + "/keep", 100, false}});
    screen.trashFlow()->reviewSheet()->confirmClicked();
    ASSERT_TRUE(waitFor([this] { return !screen.trashFlow()->isRunning(); }));
    screen.undoButton()->click();
    screen.newScanClicked();
    ASSERT_TRUE(waitFor([this, folder] { return !screen.trashFlow()->isRunning() && QFileInfo::exists(folder + "/keep"); }));
    EXPECT_EQ(screen.state(), State::picker);
}

TEST_F(AnalyzerScreenTest, AFileCountedAtItsOtherHardLinkShowsItsSizeWithALinkMarkAndWhereItWasCounted)
{
    const QString folder = tree("pair", {});
    QFile out(folder + "/a.bin");
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(65536, 'x'));
    out.close();
    ASSERT_EQ(::link(QFile::encodeName(folder + "/a.bin").constData(), QFile::encodeName(folder + "/b.bin").constData()), 0);
    scanToResult(folder);
    const QAbstractItemModel* rows = screen.outlinePane()->outlineView()->model();
    ASSERT_EQ(rows->rowCount(), 2);
    const AnalyzerNodePtr& root = screen.outlinePane()->root();
    const AnalyzerTreeNode &counted = *root->children()[0], &other = *root->children()[1];
    EXPECT_EQ(countedSize(other), 0) << "totals count the file once";
    EXPECT_EQ(ChartText::size(other), formatBytes(counted.sizeBytes()) + " \u21c4");
    EXPECT_TRUE(rows->index(1, 0).data(Qt::ToolTipRole).toString().endsWith("counted at " + ChartText::path(counted)));
    EXPECT_TRUE(ChartText::tooltip(other).endsWith("counted at " + ChartText::path(counted)));
}

TEST_F(AnalyzerScreenTest, OnlyAnExistingFolderCanBeDropped)
{
    const QString folder = tree("epsilon", {"file.txt"});
    struct Case {
        const char* name;
        QList<QUrl> urls;
        bool accepted;
    };
    const Case cases[] = {
        {"a file", {QUrl::fromLocalFile(folder + "/file.txt")}, false},
        {"a missing path", {QUrl::fromLocalFile(folder + "/nothing")}, false},
        {"a remote folder", {QUrl("https://example.test/folder/")}, false},
        {"a file before a folder", {QUrl::fromLocalFile(folder + "/file.txt"), QUrl::fromLocalFile(folder)}, false},
        {"a folder", {QUrl::fromLocalFile(folder)}, true},
        {"another folder while the first one's scan runs", {QUrl::fromLocalFile(work.path())}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        data.setUrls(c.urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&screen, &enter);
        EXPECT_EQ(enter.isAccepted(), c.accepted);
        EXPECT_EQ(screen.highlight(), c.accepted);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&screen, &drop);
        EXPECT_FALSE(screen.highlight());
        EXPECT_EQ(screen.isScanning(), screen.lastFolder() == folder);
    }
    EXPECT_EQ(screen.lastFolder(), folder);
}

} // namespace
