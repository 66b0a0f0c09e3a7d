// The processes and ports screens against the real engine: a real child process to find and stop, a real
// listening socket to list, and the busy view only before the first answer.
#include "../AppTestSupport.h"
#include "../ShownNames.h"
#include "monitoring/CrewViewController.h"
#include "monitoring/ListScreen.h"
#include "monitoring/PortsViewController.h"
#include "shell/PlaceholderViewController.h"
#include "shell/RowTableView.h"
#include "shell/SegmentedControl.h"
#include "shell/VoyageScanningView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QHeaderView>
#include <QTcpServer>
#include <QTextDocument>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <atomic>
#include <fstream>
#include <unistd.h>

namespace {
int rowOfPid(const std::vector<ProcessRow>& rows, qint64 pid)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].entry.pid == pid)
            return static_cast<int>(i);
    return -1;
}

void press(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text() == title)
            button->click();
}

// A pid no process can have (above the kernel's limit), so stopping it cannot reach anything real.
std::int32_t pidAboveMaximum()
{
    std::ifstream limit("/proc/sys/kernel/pid_max");
    std::int32_t maximum = 4194304;
    limit >> maximum;
    return maximum + 1;
}

QMessageBox* openAlert()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QStringLiteral("stopFailedAlert") && widget->isVisible())
            return static_cast<QMessageBox*>(widget);
    return nullptr;
}
} // namespace

TEST(CrewScreen, FindsAndStopsARealChildAndReportsOneThatAlreadyExited)
{
    QProcess child;
    child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("300")});
    ASSERT_TRUE(child.waitForStarted());
    QWidget window;
    auto* screen = new CrewViewController(&window);
    window.show();

    screen->sectionDidAppear();
    EXPECT_TRUE(screen->scanningView()->isVisible());
    EXPECT_FALSE(screen->refreshButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return screen->hasLoaded(); }));
    EXPECT_FALSE(screen->scanningView()->isVisible());
    EXPECT_TRUE(screen->tableView()->isVisible());

    screen->searchField()->setText(QString::number(child.processId()));
    const int row = rowOfPid(screen->visibleProcesses(), child.processId());
    ASSERT_GE(row, 0);
    EXPECT_EQ(screen->model()->rowCount(), static_cast<int>(screen->visibleProcesses().size()));

    // Ctrl+C in the table copies the selected row as text.
    screen->tableView()->selectRow(row);
    EXPECT_TRUE(screen->tableView()->selectedRowsText().startsWith(QStringLiteral("sleep\t")));

    // Protected processes offer no Stop.
    screen->searchField()->setText(QString::number(getpid()));
    const int self = rowOfPid(screen->visibleProcesses(), getpid());
    ASSERT_GE(self, 0);
    EXPECT_FALSE(screen->model()->canStop(self));
    EXPECT_EQ(screen->requestStop(self), nullptr);
    EXPECT_EQ(screen->model()->index(self, ProcessTableModel::stopColumn).data(Qt::ToolTipRole),
              QStringLiteral("System-critical process"));

    screen->searchField()->setText(QString::number(child.processId()));
    const int target = rowOfPid(screen->visibleProcesses(), child.processId());
    QMessageBox* sheet = screen->requestStop(target);
    ASSERT_NE(sheet, nullptr);
    const QString pid = QString::number(child.processId());
    EXPECT_EQ(sheet->text(), QStringLiteral("Stop “sleep” (PID ") + pid + QStringLiteral(")?"));
    press(sheet, QStringLiteral("Stop Process"));
    const QString stopped = QStringLiteral("Stopped “sleep” (PID ") + pid + QStringLiteral(").");
    EXPECT_TRUE(screen->summaryLabel()->text().startsWith(stopped));
    ASSERT_TRUE(child.waitForFinished(5000));
    // The delayed refresh drops the exited process and leaves the line of what was done.
    ASSERT_TRUE(waitFor([&] { return screen->isSampling(); }));
    ASSERT_TRUE(waitFor([&] { return !screen->isSampling(); }));
    EXPECT_TRUE(screen->summaryLabel()->text().startsWith(stopped)) << screen->summaryLabel()->text().toStdString();
    EXPECT_EQ(rowOfPid(screen->visibleProcesses(), child.processId()), -1);
}

TEST(CrewScreen, LiveListDropsAnExitedChildInOneRefreshKeepsThePlaceAndRestsWhileHiddenOrMinimised)
{
    QProcess staying, leaving;
    staying.start(QStringLiteral("/bin/sleep"), {QStringLiteral("301")});
    leaving.start(QStringLiteral("/bin/sleep"), {QStringLiteral("302")});
    ASSERT_TRUE(staying.waitForStarted() && leaving.waitForStarted());
    std::atomic<int> samples = 0;
    QWidget window;
    auto sampler = std::make_shared<brisklet::ProcessLister::ContinuousSampler>();
    auto* screen = new CrewViewController(&window, [&samples, sampler](std::stop_token stop) {
        ++samples;
        return sampler->sample(stop);
    });
    window.resize(800, 300);
    window.show();
    screen->sectionDidAppear();
    ASSERT_TRUE(waitFor([&] { return screen->hasLoaded(); }));
    screen->searchField()->setText(QStringLiteral("sleep")); // both, told apart by their command lines
    const int row = rowOfPid(screen->visibleProcesses(), staying.processId());
    ASSERT_GE(row, 0);
    EXPECT_EQ(screen->model()->index(row, 0).data(Qt::ToolTipRole).toString(), Qt::convertFromPlainText(QStringLiteral("/bin/sleep 301")));
    screen->searchField()->clear();
    const int kept = rowOfPid(screen->visibleProcesses(), staying.processId());
    screen->tableView()->selectRow(kept);
    QScrollBar* scroll = screen->tableView()->verticalScrollBar();
    scroll->setValue(scroll->maximum() / 2);
    const int position = scroll->value();

    // A live read leaves the keyboard where it is: on Refresh, which stays enabled.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    screen->refreshButton()->setFocus(Qt::TabFocusReason);
    leaving.kill();
    ASSERT_TRUE(leaving.waitForFinished());
    const int before = samples;
    ASSERT_TRUE(waitFor([&] { return samples > before && !screen->isSampling(); })); // the next tick
    EXPECT_TRUE(screen->refreshButton()->hasFocus());
    EXPECT_EQ(rowOfPid(screen->visibleProcesses(), leaving.processId()), -1);
    const int now = rowOfPid(screen->visibleProcesses(), staying.processId());
    const QModelIndexList selected = screen->tableView()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), now);
    EXPECT_EQ(screen->tableView()->currentIndex().row(), now);
    EXPECT_EQ(scroll->value(), std::min(position, scroll->maximum()));

    window.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(waitFor([&] { return !screen->isSampling(); }));
    const int minimised = samples;
    QTest::qWait(CrewViewController::liveIntervalMs + 500);
    EXPECT_EQ(samples, minimised);
    window.setWindowState(Qt::WindowNoState); // back: read at once, not a tick later
    EXPECT_TRUE(screen->isSampling() || samples > minimised);
    ASSERT_TRUE(waitFor([&] { return !screen->isSampling(); }));

    screen->sectionDidDisappear();
    const int hidden = samples;
    QTest::qWait(CrewViewController::liveIntervalMs + 500);
    EXPECT_EQ(samples, hidden);
    staying.kill();
    staying.waitForFinished();
}

TEST(CrewScreen, StoppingAProcessThatExitedMeanwhileShowsTheEnginesText)
{
    QProcess child;
    child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("300")});
    ASSERT_TRUE(child.waitForStarted());
    const std::int32_t pid = static_cast<std::int32_t>(child.processId());
    QWidget window;
    auto* screen = new CrewViewController(&window, [pid](std::stop_token) {
        return std::vector<brisklet::ProcessEntry>{{pid, "sleep", "me", 0, 0, 0}};
    });
    window.show();
    screen->refresh();
    ASSERT_TRUE(waitFor([&] { return screen->hasLoaded(); }));
    child.kill();
    child.waitForFinished();

    press(screen->requestStop(0), QStringLiteral("Stop Process"));
    QMessageBox* alert = openAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Couldn't stop “sleep”."));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("The process already exited."));
    alert->close();
}

TEST(PortsScreen, ListsARealListeningSocketAsProtectedWhenItIsOurOwn)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QWidget window;
    QList<QUrl> opened;
    auto* screen = new PortsViewController(&window, {}, [&](const QUrl& url) {
        opened << url;
        return true;
    });
    window.show();
    screen->sectionDidAppear();
    EXPECT_TRUE(screen->scanningView()->isVisible());
    ASSERT_TRUE(waitFor([&] { return screen->hasLoaded(); }));
    EXPECT_TRUE(screen->liveTimer()->isActive()); // reads again every 5 s while shown
    EXPECT_EQ(screen->liveTimer()->interval(), 5000);
    screen->sectionDidDisappear();
    EXPECT_FALSE(screen->liveTimer()->isActive());

    screen->searchField()->setText(QString::number(server.serverPort()));
    ASSERT_EQ(screen->visibleRows().size(), 1u);
    const PortRow& row = screen->visibleRows().front();
    EXPECT_EQ(row.pid, getpid());
    EXPECT_EQ(row.addresses, QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(PortRows::reachText(row), QStringLiteral("This computer only"));
    EXPECT_TRUE(PortRows::detailText(row).startsWith(QStringLiteral("PID ") + QString::number(getpid()) +
                                                     QStringLiteral(" · protected")));
    EXPECT_EQ(screen->requestStop(0), nullptr);

    screen->copyAddress(0);
    const QString address = QStringLiteral("localhost:") + QString::number(server.serverPort());
    EXPECT_EQ(QApplication::clipboard()->text(), address);
    EXPECT_TRUE(screen->summaryLabel()->text().startsWith(QStringLiteral("Copied ") + address + QStringLiteral(".")));
    screen->refresh(); // the line of what was done outlives the next read
    ASSERT_TRUE(waitFor([&] { return !screen->isScanning(); }));
    EXPECT_TRUE(screen->summaryLabel()->text().startsWith(QStringLiteral("Copied ")));
    screen->openInBrowser(0); // not a web port
    EXPECT_TRUE(opened.isEmpty());
    std::stop_source stop; // the engine's scan ends its lsof when the screen stops
    stop.request_stop();
    EXPECT_THROW(PortsViewController::engineScanner()(stop.get_token()), brisklet::Cancelled);
}

TEST(PortsScreen, FailingScanShowsTheEmptyStateAndSystemPortsWarnBeforeStopping)
{
    bool fail = true;
    QWidget window;
    QList<QUrl> opened;
    auto* screen = new PortsViewController(
        &window,
        [&fail](std::stop_token) -> std::vector<brisklet::PortEntry> {
            if (fail)
                throw brisklet::Error("lsof exited with status 1");
            brisklet::PortEntry cups;
            cups.port = 631;
            cups.pid = 999999;
            cups.processName = "cupsd";
            cups.localAddress = "*";
            brisklet::PortEntry web = cups;
            web.port = 8443;
            web.localAddress = "[::1]";
            return {cups, web};
        },
        [&](const QUrl& url) {
            opened << url;
            return true;
        });
    window.show();
    screen->refresh();
    ASSERT_TRUE(waitFor([&] { return screen->hasLoaded(); }));
    EXPECT_TRUE(screen->emptyView()->isVisible());
    EXPECT_FALSE(screen->tableView()->isVisible());
    EXPECT_EQ(screen->summaryLabel()->text(), QStringLiteral("Couldn't read the listening ports. lsof exited with status 1"));

    fail = false;
    screen->refresh();
    ASSERT_TRUE(waitFor([&] { return !screen->isScanning(); }));
    EXPECT_FALSE(screen->emptyView()->isVisible());
    EXPECT_TRUE(screen->tableView()->isVisible());
    EXPECT_EQ(screen->summaryLabel()->text(), QStringLiteral("2 listening TCP ports"));
    const QModelIndex reach = screen->model()->index(0, PortTableModel::addressColumn);
    EXPECT_EQ(reach.data().toString(), QStringLiteral("All networks"));
    EXPECT_NE(reach.data(Qt::ForegroundRole).value<QColor>(),
              screen->model()->index(1, PortTableModel::addressColumn).data(Qt::ForegroundRole).value<QColor>());

    screen->openInBrowser(1);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://localhost:8443"))});
    screen->tableView()->setCurrentIndex(screen->model()->index(1, 0)); // kept across a refresh
    screen->refresh();
    ASSERT_TRUE(waitFor([&] { return !screen->isScanning(); }));
    EXPECT_EQ(screen->tableView()->currentIndex().row(), 1);
    QMessageBox* sheet = screen->requestStop(0);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->text(), QStringLiteral("Stop port 631?"));
    EXPECT_EQ(sheet->informativeText(),
              QStringLiteral("This is a privileged system port. Stopping its process may affect system services.\n\n"
                             "“cupsd” (PID 999999) opened this TCP socket. Stopping it sends SIGTERM; unsaved work in "
                             "that process is lost."));
    press(sheet, QStringLiteral("Cancel"));
}

TEST(CrewScreen, FailedSamplesSortsAndMarkupNamesLeaveTheScreenUsable)
{
    bool fail = true;
    QWidget window;
    const std::int32_t unused = pidAboveMaximum();
    auto* screen = new CrewViewController(&window, [&fail, unused](std::stop_token) {
        if (fail)
            throw std::runtime_error("no process table");
        return std::vector<brisklet::ProcessEntry>{{unused, "<h1>evil", "me", 0.9, 1, 0}, {unused + 1, "big", "me", 0.1, 9, 0}};
    });
    window.show();
    screen->refresh();
    ASSERT_TRUE(waitFor([&] { return screen->hasLoaded(); })); // not stuck reading
    fail = false;
    screen->refresh();
    ASSERT_TRUE(waitFor([&] { return !screen->isSampling(); }));
    screen->tableView()->setCurrentIndex(screen->model()->index(1, 0));
    screen->sortControl()->segment(1)->click(); // the keyboard stays on the same process
    EXPECT_TRUE(screen->tableView()->selectedRowsText().startsWith(QStringLiteral("big\t")));
    press(screen->requestStop(1), QStringLiteral("Stop Process")); // no such pid: the alert names "<h1>evil"
    QMessageBox* alert = openAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->textFormat(), Qt::PlainText);
    EXPECT_EQ((ShownNames{{"<h1>evil"}}.walk(&window).misread), QStringList()); // the list and the alert
    alert->close();
    EXPECT_EQ(screen->summaryLabel()->textFormat(), Qt::PlainText);
}

TEST(MonitoringScreens, ColumnsFitTheSmallestWindowWithoutScrollingSideways)
{
    // The content beside the sidebar at the smallest window: 2x on a 1600 x 1000 screen, then 1x.
    for (const int width : {590, 800}) {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* ports = new PortsViewController(&window, [](std::stop_token) {
            brisklet::PortEntry web;
            web.localAddress = "*";
            web.port = 8080;
            web.pid = 7;
            return std::vector<brisklet::PortEntry>{web};
        });
        auto* crew = new CrewViewController(&window);
        layout->addWidget(ports);
        layout->addWidget(crew);
        window.resize(width, 900);
        window.show();
        ports->sectionDidAppear();
        crew->sectionDidAppear();
        ASSERT_TRUE(waitFor([&] { return ports->hasLoaded() && crew->hasLoaded(); }));
        for (RowTableView* table : {ports->tableView(), crew->tableView()}) {
            EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width()) << width;
            EXPECT_FALSE(table->horizontalScrollBar()->isVisible()) << width;
        }
        EXPECT_GE(ports->tableView()->columnWidth(PortTableModel::processColumn), 190) << width;
    }
}

TEST(EmptyState, AFailureTextNamingAMarkupFileShowsAsWritten)
{
    PlaceholderViewController placeholder(QStringLiteral("anchor"), QStringLiteral("<h1>evil"), QStringLiteral("x"));
    placeholder.setTexts(QStringLiteral("Cannot list"), QStringLiteral("cannot read <b>evil</b>"));
    EXPECT_EQ((ShownNames{{"<b>evil</b>"}}.walk(&placeholder).misread), QStringList());
    placeholder.setTexts(QStringLiteral("<h1>evil"), QStringLiteral("x"));
    EXPECT_EQ((ShownNames{{"<h1>evil"}}.walk(&placeholder).misread), QStringList());
}

TEST(ListPlace, WhenTheKeyboardsRowLeavesTheRowInItsPlaceTakesTheKeyboardUnselected)
{
    QStandardItemModel model;
    for (const char* name : {"a", "b", "c"})
        model.appendRow(new QStandardItem(QString::fromLatin1(name)));
    QTableView view;
    view.setModel(&model);
    const ListPlace::Key key = [&model](int row) { return model.item(row)->text(); };
    view.selectRow(1);
    const ListPlace place(&view, key);
    model.clear(); // read again: "b" was stopped
    for (const char* name : {"a", "c"})
        model.appendRow(new QStandardItem(QString::fromLatin1(name)));
    place.restore(&view, key);
    EXPECT_EQ(view.currentIndex().row(), 1) << "no row has the keyboard";
    EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty()) << "the next Delete would stop c";
}
