// The analyzer screen over real scans of temporary trees, the real Trash and a private audit log.
#include "../AppTestSupport.h"
#include "../ShownNames.h"
#include "AnalyzerTrees.h"
#include "analyzer/AnalyzerHistory.h"
#include "analyzer/AnalyzerStartView.h"
#include "analyzer/AnalyzerViewController.h"
#include "analyzer/ChartContentsList.h"
#include "analyzer/ChartText.h"
#include "analyzer/RecentScansView.h"
#include "analyzer/ChartPaneController.h"
#include "analyzer/SunburstView.h"
#include "analyzer/TreemapView.h"
#include "analyzer/ScanOutlineViewController.h"
#include "analyzer/SunburstView.h"
#include "analyzer/SunburstViewController.h"
#include "analyzer/TreemapView.h"
#include "analyzer/TreemapViewController.h"
#include "deletion/DestructiveButton.h"
#include "deletion/TrashFlowController.h"
#include "safety/AuditLog.h"
#include "shell/PathBytes.h"
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
#include <QToolButton>
#include <QThread>
#include <QTreeView>
#include <QUrl>

#include <QSettings>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>

#include <unistd.h>

namespace {

using State = AnalyzerViewController::State;

// Holds the scanner's hook until opened, so a scan can be caught while it runs.
class Gate {
public:
    std::atomic<int> waiting{0};
    void wait()
    {
        ++waiting;
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
    // The next scan waits at its first folder (past the root: at opening its "sub") until the gate opens.
    void holdNextScan(bool pastRoot = false)
    {
        screen.makeScanner = [this, gate = gate, pastRoot] {
            auto scanner = std::make_shared<const brisklet::DiskScanner>(
                AnalyzerViewController::scanOptions(), [gate, pastRoot](const std::string& path, std::string_view call) {
                    if (!pastRoot || (call == "open" && path.ends_with("/sub")))
                        gate->wait();
                });
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
    const QString first = tree("first", {"one", "sub/two"});
    const QString second = tree("second", {"two", "three"});
    holdNextScan(true);
    screen.analyze(first);
    ASSERT_TRUE(waitFor([this] { return gate->waiting > 0; })); // past the root: it has something to keep
    screen.cancelClicked();
    screen.makeScanner = [] { return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions()); };
    screen.analyze(second);
    gate->open(); // the first scan may now run to its end; its answer must not reach the screen
    ASSERT_TRUE(waitFor([this] { return screen.state() == State::result && heldScanner.expired(); }));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(screen.shownTree()->entry().name, "second");
    EXPECT_TRUE(screen.statusLabel()->text().startsWith("2 files · "));
    const std::string firstRoot = brisklet::ScanHistory::rootKey(QFile::encodeName(first).toStdString()); // walked, kept, no baseline
    const std::vector<brisklet::StoredScan> stored = AnalyzerHistory::store()->scans(firstRoot);
    EXPECT_TRUE(stored.size() == 1 && stored[0].cancelled && !AnalyzerHistory::store()->newestSnapshot(firstRoot));
    RecentScansView* recent = screen.startView()->recentScans(); // a cancelled scan is no folder's last result
    recent->showScans(AnalyzerHistory::store()->scans());
    for (QPushButton* row : recent->rows())
        EXPECT_FALSE(row->text().startsWith("first")) << row->text().toStdString();
}

TEST_F(AnalyzerScreenTest, AStopBeforeTheRootIsReadStoresNothing)
{
    const QString unread = tree("unread", {"one"});
    holdNextScan(); // held while the root is checked
    screen.analyze(unread);
    ASSERT_TRUE(waitFor([this] { return gate->waiting > 0; }));
    screen.cancelClicked();
    gate->open();
    ASSERT_TRUE(waitFor([this] { return heldScanner.expired(); }));
    EXPECT_TRUE(AnalyzerHistory::store()->scans(brisklet::ScanHistory::rootKey(QFile::encodeName(unread).toStdString())).empty());
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
    // The folder read last, as a path below the scanned root, not a bare last name.
    const struct {
        const char* root;
        const char* current;
        const char* shown;
    } progressCases[] = {{"/a", "/a/b/c", "b/c"}, {"/a/", "/a/b", "b"}, {"/", "/a/b", "a/b"}, {"/a", "/a", "a"}};
    for (const auto& c : progressCases)
        EXPECT_EQ(AnalyzerViewController::progressText({1, 0, 4096, 0, 0, c.current}, QString::fromUtf8(c.root)),
                  "1 file · " + size + " · " + c.shown);
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

TEST_F(AnalyzerScreenTest, ChartKeysWalkSiblingsGoIntoAndOutOfFoldersExtendAndTabReachesTheList)
{
    QApplication::setActiveWindow(&screen);
    scanToResult(tree("keys", {"a/x", "a/y", "a/z", "b/v", "b/w", "c"})); // a, b, c largest first
    for (const int pane : {0, 1}) {
        showPane(pane);
        ChartPaneController* controller = pane == 0 ? static_cast<ChartPaneController*>(screen.treemapPane())
                                                    : static_cast<ChartPaneController*>(screen.piePane());
        QWidget* chart = pane == 0 ? static_cast<QWidget*>(screen.treemapPane()->treemap()) : screen.piePane()->sunburst();
        const auto selected = [&] {
            const AnalyzerNodePtr node = pane == 0 ? screen.treemapPane()->treemap()->selected() : screen.piePane()->sunburst()->selected();
            return node ? QString::fromStdString(node->entry().name) : QString();
        };
        const auto parentName = [&] {
            const AnalyzerNodePtr node = pane == 0 ? screen.treemapPane()->treemap()->selected() : screen.piePane()->sunburst()->selected();
            return node && node->parent() ? QString::fromStdString(node->parent()->entry().name) : QString();
        };
        chart->setFocus(Qt::TabFocusReason);
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            QString name;
            std::size_t listed; // selected rows in the contents list
        } steps[] = {
            {Qt::Key_Right, Qt::NoModifier, "a", 1}, {Qt::Key_Right, Qt::NoModifier, "b", 1},
            {Qt::Key_Left, Qt::NoModifier, "a", 1},  {Qt::Key_Right, Qt::ShiftModifier, "b", 2},
            {Qt::Key_Left, Qt::NoModifier, "a", 1},
        };
        for (const auto& step : steps) {
            QTest::keyClick(chart, step.key, step.modifiers);
            EXPECT_EQ(selected(), step.name) << pane;
            EXPECT_EQ(controller->contentsList()->selectedNodes().size(), step.listed) << pane << " " << step.name.toStdString();
        }
        QTest::keyClick(chart, Qt::Key_Down); // the selected folder's first child
        EXPECT_EQ(parentName(), "a") << pane;
        QTest::keyClick(chart, Qt::Key_Up); // back to the folder, shown among its siblings
        EXPECT_EQ(selected(), "a") << pane;
        EXPECT_EQ(controller->currentRoot(), controller->rootNode()) << pane;
        QTest::keyClick(chart, Qt::Key_Tab);
        EXPECT_TRUE(controller->contentsList()->isAncestorOf(QApplication::focusWidget()))
            << pane << " " << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none")
            << " " << (QApplication::focusWidget() ? QApplication::focusWidget()->accessibleName().toStdString() : "");
    }

    // Tab from New Scan reads the toolbar left to right (the view switch before history and trash), then the pane.
    screen.newScanButton()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> reached;
    while (reached.size() < 10 && !screen.piePane()->isAncestorOf(QApplication::focusWidget())) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.push_back(QApplication::focusWidget());
    }
    ASSERT_GE(reached.size(), 4u);
    EXPECT_TRUE(screen.segmented()->isAncestorOf(reached.front()));
    EXPECT_EQ(reached[reached.size() - 3], static_cast<QWidget*>(screen.historyButton()));
    EXPECT_EQ(reached[reached.size() - 2], static_cast<QWidget*>(screen.trashButton()));
    EXPECT_TRUE(screen.piePane()->isAncestorOf(reached.back()));
}

TEST_F(AnalyzerScreenTest, TrashButtonCountsTheShownPaneAndStaysOffDuringARescan)
{
    scanToResult(tree("gamma", {"1", "2", "3", "4", "5"}));
    showPane(2);
    selectOutlineRows(1);
    EXPECT_TRUE(screen.trashButton()->isEnabled());
    EXPECT_EQ(screen.trashButton()->text(), "Move to Trash");
    screen.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen));
    screen.outlinePane()->outlineView()->setFocus();
    QTest::keyClick(screen.outlinePane()->outlineView(), Qt::Key_Delete); // the key does what the button does
    ASSERT_TRUE(screen.trashFlow()->reviewSheet());
    screen.trashFlow()->reviewSheet()->cancelClicked();
    ASSERT_TRUE(waitFor([this] { return !screen.trashFlow()->reviewSheet(); }));
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
    screen.treemapPane()->onTrashRequest({{screen.shownTree()->children().front()->entry().path().c_str(), 100, false}});
    EXPECT_FALSE(screen.trashFlow()->reviewSheet()); // a pane's menu cannot trash from a tree being replaced
}

TEST_F(AnalyzerScreenTest, TrashAndNewScanFollowTheFlowsBusyStateAndCountWhatTheSheetLists)
{
    scanToResult(tree("theta", {"big/a", "big/b", "c"}));
    showPane(2);
    screen.outlinePane()->outlineView()->selectAll(); // big, its own a and b, c
    EXPECT_EQ(screen.trashButton()->text(), "Move 2 to Trash");
    screen.trashClicked();
    ASSERT_TRUE(screen.trashFlow()->reviewSheet());
    EXPECT_EQ(screen.trashFlow()->reviewSheet()->items().size(), 2u);
    EXPECT_FALSE(screen.trashButton()->isEnabled()); // the sheet waits for an answer
    ASSERT_TRUE(confirmSheet(screen.trashFlow()->reviewSheet()));
    ASSERT_TRUE(screen.trashFlow()->isRunning());
    EXPECT_FALSE(screen.trashButton()->isEnabled() || screen.newScanButton()->isEnabled());
    ASSERT_TRUE(waitFor([this] { return !screen.trashFlow()->isRunning(); }));
    EXPECT_TRUE(screen.newScanButton()->isEnabled());
}

TEST_F(AnalyzerScreenTest, DiskChecksRunOnWorkersAndTheirAnswersArriveLater)
{
    const QString folder = tree("iota", {"gone", "kept"});
    scanToResult(folder);
    AnalyzerViewController launched; // the last folder is looked at on a worker too
    EXPECT_FALSE(launched.lastFolder());
    ASSERT_TRUE(waitFor([&launched, folder] { return launched.lastFolder() == folder; }));

    auto onGuiThread = std::make_shared<std::atomic<int>>(0);
    screen.isGoneFromDisk = [onGuiThread](const std::string& path) {
        *onGuiThread += QThread::currentThread() == QCoreApplication::instance()->thread();
        return ChartText::goneFromDisk(path);
    };
    QFile::remove(folder + "/gone");
    screen.appBecameActive();
    const AnalyzerNodePtr gone = child(screen.shownTree(), "gone");
    EXPECT_FALSE(gone->isMissing());
    ASSERT_TRUE(waitFor([gone] { return gone->isMissing(); }));
    EXPECT_EQ(*onGuiThread, 0);
    EXPECT_FALSE(child(screen.shownTree(), "kept")->isMissing());
}

TEST_F(AnalyzerScreenTest, TrashedItemsLeaveAllPanesAndPuttingThemBackRescans)
{
    const QString folder = tree("delta", {"keep", "big/inner"});
    scanToResult(folder);
    screen.treemapPane()->contentsList()->tableView()->selectRow(0); // "big", the largest
    ASSERT_EQ(names(screen.treemapPane()->contentsList()->selectedNodes()), std::vector<std::string>{"big"});
    screen.trashClicked();
    ASSERT_TRUE(screen.trashFlow()->reviewSheet());
    ASSERT_TRUE(confirmSheet(screen.trashFlow()->reviewSheet()));
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
    holdNextScan(); // the folder's scan runs on through the last case
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        data.setUrls(c.urls);
        const auto moveTaken = [&] {
            QDragMoveEvent move(QPoint(12, 12), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&screen, &move);
            return move.isAccepted();
        };
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&screen, &enter);
        EXPECT_FALSE(screen.highlight()) << "judged on the GUI thread";
        ASSERT_TRUE(waitFor([&] { return screen.highlight() || !moveTaken(); })); // the worker's answer
        EXPECT_EQ(moveTaken(), c.accepted);
        EXPECT_EQ(screen.highlight(), c.accepted);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&screen, &drop);
        EXPECT_FALSE(screen.highlight());
        EXPECT_EQ(drop.isAccepted(), c.accepted);
        if (c.accepted) {
            ASSERT_TRUE(waitFor([this] { return screen.isScanning(); }));
        }
    }
    EXPECT_EQ(screen.lastFolder(), folder);
}

TEST_F(AnalyzerScreenTest, ADropIsCheckedOffTheGuiThreadAndOnlyTheLastOfTwoQuickDropsIsScanned)
{
    holdNextScan();
    for (const QString& folder : {tree("first", {"a"}), tree("second", {"b"})}) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(folder)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&screen, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&screen, &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_FALSE(screen.isScanning());
    }
    ASSERT_TRUE(waitFor([this] { return screen.isScanning(); }));
    QTest::qWait(50);
    EXPECT_EQ(screen.lastFolder(), work.path() + "/second");
}

TEST_F(AnalyzerScreenTest, MarkupNamesShowAsWrittenInTheLinesTheBusyViewAndEveryTooltip)
{
    ShownNames shown{{"<h1>big", "<img src=x>", "<b>bold"}};
    const QString folder = tree("<h1>big", {"<img src=x>/a", "<img src=x>/b", "<b>bold"});
    // The busy view, then a rescan's progress line: each scan reads the root and waits, naming it.
    for (QLabel* progress : {screen.scanningView()->progressLabel(), screen.progressLabel()}) {
        gate = std::make_shared<Gate>();
        screen.makeScanner = [gate = gate] {
            return std::make_shared<const brisklet::DiskScanner>(
                AnalyzerViewController::scanOptions(), [gate](const std::string& path, std::string_view operation) {
                    if (operation == "open" && path.ends_with("x>"))
                        gate->wait();
                });
        };
        screen.analyze(folder);
        ASSERT_TRUE(waitFor([progress] { return progress->text().endsWith("<h1>big"); }));
        shown.walk(&screen);
        gate->open();
        ASSERT_TRUE(waitFor([this] { return screen.state() == State::result; }));
    }
    shown.walk(&screen).hover(screen.treemapPane()->treemap(), screen.treemapPane()->treemap()->rect().center());
    showPane(1);
    shown.hover(screen.piePane()->sunburst(), screen.piePane()->sunburst()->rect().center());
    EXPECT_GE(shown.seen, 12);
    EXPECT_TRUE(shown.misread.isEmpty()) << shown.misread.join("\n").toStdString();
}

TEST_F(AnalyzerScreenTest, ADroppedFolderWhoseNameIsNotUtf8IsScannedByItsOwnBytes)
{
    const QString folder = pathFromBytes(pathBytes(work.path()) + "/caf\xE9");
    ASSERT_EQ(::mkdir(pathBytes(folder).c_str(), 0700), 0);
    QMimeData data;
    data.setUrls({QUrl::fromEncoded(QUrl::fromLocalFile(work.path()).toEncoded() + "/caf%E9")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&screen, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&screen, &drop);
    EXPECT_TRUE(waitFor([this] { return screen.state() == State::result; })); // not "does not exist"
    EXPECT_EQ(screen.lastFolder(), folder);
}

// The URL the file manager is asked to reveal, and the picker opens at, carries the name's own bytes.
TEST(PathUrls, ANameThatIsNotUtf8KeepsItsBytesInItsFileUrl)
{
    const QString folder = pathFromBytes(std::string_view("/tmp/caf\xE9/inner\xFF"));
    EXPECT_EQ(urlFromPath(folder).toEncoded(), "file:///tmp/caf%E9/inner%FF");
    EXPECT_EQ(pathFromUrl(urlFromPath(folder)), folder);
}

TEST_F(AnalyzerScreenTest, AFolderPickedByItsShownNameIsFoundByItsBytesUnlessTwoLookAlike)
{
    const std::string root = pathBytes(work.path());
    for (const std::string folder : {"/caf\xE9", "/caf\xE9/inner\xFF\xFE", "/two\xE8", "/two\xE9"})
        ASSERT_EQ(::mkdir((root + folder).c_str(), 0700), 0);
    const QString lost(QChar::ReplacementCharacter);
    const struct {
        QString picked;
        std::optional<std::string> found;
    } cases[] = {
        {work.path() + "/caf" + lost, root + "/caf\xE9"},
        {work.path() + "/caf" + lost + "/inner" + lost, root + "/caf\xE9/inner\xFF\xFE"},
        {work.path() + "/two" + lost, std::nullopt}, // which of the two is not known
        {work.path() + "/gone" + lost, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<QString> found = AnalyzerViewController::folderOnDisk(c.picked);
        EXPECT_EQ(found ? std::optional(pathBytes(*found)) : std::nullopt, c.found) << c.picked.toStdString();
    }
}

} // namespace
