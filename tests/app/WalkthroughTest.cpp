// The walkthrough: the real program (delegate, main window, the six screens, the engine) in a temporary
// home, driven through every section in turn the way a user would, on the offscreen platform.
//
// Before launch the home gets what the screens will find there: a folder tree to analyze, caches and
// logs for Smart Clean, an application with its desktop entry for the Uninstaller. A python3 child
// listens on 127.0.0.1 for the processes and ports lists, and an HTTP server on 127.0.0.1 publishes a
// newer build as the update feed. Trashed items are looked for in the home's Trash folder and with
// trash-cli. Every wait runs the event loop until the program shows the expected state; the limits are
// liveness limits for a loaded machine, never timings.
#include "SectionScreens.h"

#include "analyzer/AnalyzerViewController.h"
#include "analyzer/ChartContentsList.h"
#include "analyzer/ScanOutlineViewController.h"
#include "analyzer/SunburstView.h"
#include "analyzer/SunburstViewController.h"
#include "analyzer/TreemapView.h"
#include "analyzer/TreemapViewController.h"
#include "cleanup/ApplicationListModel.h"
#include "cleanup/SmartCleanModel.h"
#include "cleanup/SmartCleanViewController.h"
#include "cleanup/UninstallerViewController.h"
#include "deletion/AuditHistoryViewController.h"
#include "deletion/TrashFlowController.h"
#include "monitoring/CrewViewController.h"
#include "monitoring/DashboardViewController.h"
#include "monitoring/PortTableModel.h"
#include "monitoring/PortsViewController.h"
#include "monitoring/ProcessTableModel.h"
#include "scan/ScanRecords.h"
#include "shell/AppDelegate.h"
#include "shell/AppInfo.h"
#include "shell/EngineUpdateFeed.h"
#include "shell/MainWindowController.h"
#include "shell/RowTableView.h"
#include "shell/SectionContainerViewController.h"
#include "shell/SegmentedControl.h"
#include "shell/SidebarRowView.h"
#include "shell/SidebarViewController.h"
#include "shell/UpdateController.h"

#include "LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <ostream>

// Readable failure messages for the texts compared below.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

// Runs the event loop until cond holds; the limit only keeps a hung program from hanging CI.
#define EVENTUALLY(cond) ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(cond); }, 120000)) << "never: " #cond

QString home(const QString& relative = {}) { return QDir::homePath() + (relative.isEmpty() ? QString() : "/" + relative); }

void plant(const QString& relative, qint64 bytes, const QByteArray& content = {})
{
    QDir().mkpath(QFileInfo(home(relative)).path());
    QFile out(home(relative));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(content.isEmpty() ? QByteArray(bytes, 'x') : content);
}

// What the scanner counts for a path: allocated blocks of the files at or below it (folders add nothing).
QString sizeText(const QString& path)
{
    qint64 bytes = 0;
    const auto add = [&bytes](const QString& file) {
        struct stat status {};
        if (::lstat(QFile::encodeName(file).constData(), &status) == 0 && !S_ISDIR(status.st_mode))
            bytes += static_cast<qint64>(status.st_blocks) * 512;
    };
    add(path);
    for (QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
        add(it.next());
    return QString::fromStdString(brisklet::ByteFormat::humanReadable(bytes));
}

template <typename Screen>
Screen* screenOf(MainWindowController& window, Section section)
{
    return dynamic_cast<Screen*>(window.container()->controllers().at(section));
}

// On screen: the view is shown and the row lies in its visible part, not only in its model.
bool onScreen(const QAbstractItemView& view, const QModelIndex& index)
{
    return view.isVisible() && index.isValid() && view.viewport()->rect().intersects(view.visualRect(index));
}

// The chart painted the colour it reports for an item at that point.
bool paints(QWidget& chart, const QPoint& point, const QColor& fill)
{
    const QColor seen = chart.grab().toImage().pixelColor(point * chart.devicePixelRatio());
    return std::abs(seen.red() - fill.red()) + std::abs(seen.green() - fill.green()) + std::abs(seen.blue() - fill.blue()) < 12;
}

QStringList modelColumn(const QAbstractItemModel& model, int column, int role = Qt::DisplayRole)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data(role).toString();
    return texts;
}

class Walkthrough : public ::testing::Test {
protected:
    // The analyzed tree and its top-level items, largest first (see plantHome).
    const QString tree = home("Walkthrough");
    const QStringList items{"Videos", "archive.zip", "photo.jpg", "notes.txt", "old.log"};
    const QString trash = home(".local/share/Trash");

    brisklet::test::LocalHttpServer feed;
    QProcess listener;
    QString listenerPid;
    QString listenerPort;
    std::unique_ptr<UpdateController> updates;
    std::unique_ptr<AppDelegate> program;
    MainWindowController* window = nullptr;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(plantHome());
        ASSERT_NO_FATAL_FAILURE(startListener());
        feed.serve("/brisklet/latest.json", 200,
                   R"({"version": "9.9.9", "build": )" + std::to_string(AppInfo::currentBuild() + 1) + R"(, "url": ")" +
                       feed.url("/Brisklet-9.9.9.deb") + R"(", "sha256": ")" + std::string(64, '0') + R"("})");
        updates = std::make_unique<UpdateController>(std::make_shared<EngineUpdateFeed>(feed.url("/brisklet/latest.json")));
        program = std::make_unique<AppDelegate>(SectionScreens::table(), updates.get());
        program->applicationDidFinishLaunching();
        window = program->windowController();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window->window()));
    }
    void TearDown() override
    {
        program.reset(); // the window and its screens first: they ask their work to stop
        updates.reset();
        listener.closeWriteChannel(); // the child ends at the end of its input
        listener.waitForFinished(10000);
    }

    void plantHome()
    {
        ASSERT_NO_FATAL_FAILURE(plant("Walkthrough/Videos/clip.mov", 512 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant("Walkthrough/archive.zip", 256 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant("Walkthrough/photo.jpg", 128 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant("Walkthrough/notes.txt", 64 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant("Walkthrough/old.log", 32 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant(".cache/pip/http/wheel.whl", 96 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant(".cache/thumbnails/large/preview.png", 48 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant(".npm/_cacache/index", 24 * 1024));
        ASSERT_NO_FATAL_FAILURE(plant("Applications/Gadget/bin/gadget", 80 * 1024));
        ASSERT_TRUE(QFile::setPermissions(home("Applications/Gadget/bin/gadget"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        ASSERT_NO_FATAL_FAILURE(plant(".local/share/applications/org.example.Gadget.desktop", 0,
                                      "[Desktop Entry]\nType=Application\nName=Gadget Studio\nExec=" +
                                          QFile::encodeName(home("Applications/Gadget/bin/gadget")) + " %F\n"));
    }

    // python3 listening on 127.0.0.1 at a port of the system's choice; it prints the port and waits for
    // the end of its input.
    void startListener()
    {
        const QString python = QFileInfo::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3")
                                                                     : QStandardPaths::findExecutable("python3");
        listener.start(python, {"-u", "-c",
                                "import socket, sys\n"
                                "s = socket.socket()\n"
                                "s.bind(('127.0.0.1', 0))\n"
                                "s.listen()\n"
                                "print(s.getsockname()[1])\n"
                                "sys.stdin.read()\n"});
        ASSERT_TRUE(listener.waitForStarted()) << python.toStdString();
        listenerPid = QString::number(listener.processId());
    }

    void go(Section section)
    {
        QTest::mouseClick(window->sidebar()->rowViews().at(section), Qt::LeftButton);
        ASSERT_EQ(window->container()->current(), window->container()->controllers().at(section));
    }

    // The analyzer's shown pane, picked with its segment: 0 blocks, 1 pie, 2 list; its view alone shows.
    void showPane(AnalyzerViewController& analyzer, int index)
    {
        QTest::mouseClick(analyzer.segmented()->segment(index), Qt::LeftButton);
        ASSERT_EQ(analyzer.segmented()->selectedIndex(), index);
        QCoreApplication::processEvents(); // the layout places the pane before the test clicks into it
        const QWidget* views[] = {analyzer.treemapPane()->treemap(), analyzer.piePane()->sunburst(),
                                  analyzer.outlinePane()->outlineView()};
        for (int pane = 0; pane < 3; ++pane)
            ASSERT_EQ(views[pane]->isVisible(), pane == index) << "pane " << pane;
    }

    // Selection made, the trash button opens the real review sheet, confirmed from the keyboard or
    // with its button; the analyzer drops the item.
    void trashSelected(AnalyzerViewController& analyzer, const QString& name, bool fromKeyboard)
    {
        ASSERT_TRUE(analyzer.trashButton()->isEnabled());
        QTest::mouseClick(analyzer.trashButton(), Qt::LeftButton);
        ReviewSheetViewController* sheet = analyzer.trashFlow()->reviewSheet();
        ASSERT_TRUE(sheet);
        EVENTUALLY(sheet->isVisible());
        ASSERT_EQ(sheet->items().size(), 1u);
        EXPECT_EQ(sheet->items().front().path, tree + "/" + name);
        EVENTUALLY(sheet->isReady());
        if (fromKeyboard)
            QTest::keyClick(sheet->tableView(), Qt::Key_Return);
        else
            QTest::mouseClick(sheet->confirmButton(), Qt::LeftButton);
        EVENTUALLY(!analyzer.trashFlow()->isRunning() && !analyzer.trashFlow()->lastBatch().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(tree + "/" + name));
        EXPECT_TRUE(QFileInfo::exists(trash + "/files/" + name));
        QFile info(trash + "/info/" + name + ".trashinfo");
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        EXPECT_TRUE(info.readAll().contains("\nPath=" + QUrl::toPercentEncoding(tree + "/" + name, "/") + "\n"));
        EXPECT_FALSE(modelColumn(*analyzer.outlinePane()->model(), 0).contains(name));
        // The desktop's tools see it too.
        QProcess trashList;
        trashList.start(QStringLiteral("/usr/bin/trash-list"));
        EVENTUALLY(trashList.state() == QProcess::NotRunning);
        EXPECT_TRUE(QString::fromUtf8(trashList.readAllStandardOutput()).contains(" " + tree + "/" + name + "\n"));
    }
};

TEST_F(Walkthrough, EverySectionInTurnInATemporaryHome)
{
    SCOPED_TRACE("dashboard: disk, memory and processor figures appear");
    auto* dashboard = screenOf<DashboardViewController>(*window, Section::dashboard);
    ASSERT_EQ(window->container()->current(), dashboard);
    for (StatCardView* card : {dashboard->diskCard(), dashboard->memoryCard(), dashboard->cpuCard()}) {
        SCOPED_TRACE(card->titleLabel()->text().toStdString());
        EVENTUALLY(!card->valueLabel()->text().isEmpty() && card->valueLabel()->text() != QStringLiteral("—"));
        EXPECT_TRUE(card->valueLabel()->isVisible());
        EXPECT_FALSE(card->footerLabel()->text().isEmpty());
    }
    EXPECT_TRUE(dashboard->diskCard()->ofLabel()->text().startsWith("used of "));
    EXPECT_TRUE(dashboard->cpuCard()->valueLabel()->text().endsWith('%'));
    EVENTUALLY(!dashboard->systemDescriptionLabel()->text().isEmpty());
    // The sidebar offers the build the local feed publishes.
    EVENTUALLY(window->sidebar()->updateButton()->isVisible());
    EXPECT_EQ(updates->state().manifest.version, "9.9.9");

    SCOPED_TRACE("analyzer: a dropped folder shows in blocks, pie and list");
    ASSERT_NO_FATAL_FAILURE(go(Section::analyzer));
    auto* analyzer = screenOf<AnalyzerViewController>(*window, Section::analyzer);
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(tree)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(analyzer, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(analyzer, &drop);
    EVENTUALLY(analyzer->state() == AnalyzerViewController::State::result);
    EXPECT_TRUE(analyzer->statusLabel()->text().startsWith("5 files · ")) << analyzer->statusLabel()->text().toStdString();

    TreemapView* treemap = analyzer->treemapPane()->treemap();
    ASSERT_TRUE(treemap->isVisible()); // blocks first
    AnalyzerOutlineModel& outline = *analyzer->outlinePane()->model();
    EXPECT_EQ(modelColumn(outline, 0), items); // largest first
    for (int row = 0; row < outline.rowCount(); ++row)
        EXPECT_TRUE(outline.index(row, 0).data(AnalyzerOutlineModel::detailRole).toString().startsWith(sizeText(tree + "/" + items[row])))
            << items[row].toStdString();

    // Both charts hold and paint the tree's items, and a click on one selects that item (their hit-tests).
    const auto block = [treemap](const QString& name) {
        QStringList names;
        QPoint centre;
        for (const TreemapView::Entry& entry : treemap->entries()) {
            names << QString::fromStdString(entry.cell.node->entry().name);
            if (names.back() == name && !entry.cell.hidden)
                centre = entry.cell.frame.center();
        }
        return std::pair{names, centre};
    };
    EXPECT_EQ(block({}).first, items);
    const AnalyzerTreeNode* notes = nullptr;
    for (const TreemapView::Entry& entry : treemap->entries())
        if (entry.cell.node->entry().name == "notes.txt")
            notes = entry.cell.node.get();
    ASSERT_TRUE(notes && treemap->color(notes));
    EXPECT_TRUE(paints(*treemap, block("notes.txt").second, *treemap->color(notes)));
    QTest::mouseClick(treemap, Qt::LeftButton, {}, block("notes.txt").second);
    ASSERT_TRUE(treemap->selected());
    EXPECT_EQ(treemap->selected()->entry().name, "notes.txt");

    SunburstView* pie = analyzer->piePane()->sunburst();
    ASSERT_NO_FATAL_FAILURE(showPane(*analyzer, 1));
    QStringList wedges;
    QPoint photo;
    QColor photoFill;
    const SunburstView::Geometry g = pie->geometry();
    for (const SunburstView::Wedge& wedge : pie->wedges()) {
        if (wedge.level != 0)
            continue;
        wedges << QString::fromStdString(wedge.node->entry().name);
        const double middle = (wedge.startAngle + wedge.endAngle) / 2 * std::numbers::pi / 180; // counter-clockwise
        const double radius = g.hole + g.ringWidth / 2;
        if (wedges.back() == "photo.jpg") {
            photo = (g.centre + QPointF(radius * std::cos(middle), -radius * std::sin(middle))).toPoint();
            photoFill = wedge.fill;
        }
    }
    EXPECT_EQ(wedges, items);
    EXPECT_TRUE(paints(*pie, photo, photoFill));
    QTest::mouseClick(pie, Qt::LeftButton, {}, photo);
    ASSERT_TRUE(pie->selected());
    EXPECT_EQ(pie->selected()->entry().name, "photo.jpg");

    SCOPED_TRACE("two items go to the Trash through the review sheet; one comes back, the other is freed");
    ASSERT_NO_FATAL_FAILURE(showPane(*analyzer, 0));
    QTest::mouseClick(treemap, Qt::LeftButton, {}, block("notes.txt").second);
    ASSERT_EQ(treemap->selected()->entry().name, "notes.txt");
    ASSERT_NO_FATAL_FAILURE(trashSelected(*analyzer, "notes.txt", true));
    EXPECT_TRUE(analyzer->undoButton()->isVisible());
    QTest::mouseClick(analyzer->undoButton(), Qt::LeftButton);
    EVENTUALLY(!analyzer->trashFlow()->isRunning() && analyzer->state() == AnalyzerViewController::State::result &&
               modelColumn(outline, 0).contains("notes.txt"));
    EXPECT_TRUE(QFileInfo::exists(tree + "/notes.txt"));
    EXPECT_FALSE(QFileInfo::exists(trash + "/files/notes.txt") || QFileInfo::exists(trash + "/info/notes.txt.trashinfo"));

    QTreeView* list = analyzer->outlinePane()->outlineView();
    ASSERT_NO_FATAL_FAILURE(showPane(*analyzer, 2));
    for (int row = 0; row < outline.rowCount(); ++row)
        EXPECT_TRUE(onScreen(*list, outline.index(row, 0))) << outline.index(row, 0).data().toString().toStdString();
    const QModelIndex oldLog = outline.index(static_cast<int>(modelColumn(outline, 0).indexOf("old.log")), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(oldLog).center());
    ASSERT_NO_FATAL_FAILURE(trashSelected(*analyzer, "old.log", false));
    DestructiveButton* free = analyzer->trashFlow()->freeButton();
    EXPECT_TRUE(free->isVisible());
    QTest::mouseClick(free, Qt::LeftButton);
    QMessageBox* warning = analyzer->trashFlow()->freeWarning();
    ASSERT_TRUE(warning);
    EVENTUALLY(warning->isVisible());
    QTest::keyClick(warning, Qt::Key_Return); // Cancel is the default: Return deletes nothing
    EVENTUALLY(!analyzer->trashFlow()->freeWarning());
    EXPECT_EQ(analyzer->trashFlow()->lastBatch().size(), 1);
    QTest::mouseClick(free, Qt::LeftButton);
    warning = analyzer->trashFlow()->freeWarning();
    ASSERT_TRUE(warning);
    EVENTUALLY(warning->isVisible());
    for (QAbstractButton* button : warning->buttons())
        if (button->text() == "Delete Permanently")
            QTest::mouseClick(button, Qt::LeftButton);
    EVENTUALLY(!analyzer->trashFlow()->isRunning() && analyzer->trashFlow()->lastBatch().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(tree + "/old.log"));
    EXPECT_FALSE(QFileInfo::exists(trash + "/files/old.log") || QFileInfo::exists(trash + "/info/old.log.trashinfo"));
    EXPECT_TRUE(analyzer->statusLabel()->text().startsWith("Permanently deleted 1 item")) << analyzer->statusLabel()->text().toStdString();

    SCOPED_TRACE("history: the trash, put-back and permanent-delete entries, newest first");
    QTest::mouseClick(analyzer->historyButton(), Qt::LeftButton);
    auto* history = window->window()->findChild<AuditHistoryViewController*>();
    ASSERT_TRUE(history);
    EVENTUALLY(history->isLoaded());
    EXPECT_TRUE(history->isVisible());
    QStringList rows;
    for (int row = 0; row < history->tableView()->model()->rowCount(); ++row)
        rows << QStringLiteral("%1 %2 %3")
                    .arg(history->tableView()->model()->index(row, 1).data().toString(),
                         QFileInfo(history->tableView()->model()->index(row, 3).data().toString()).fileName(),
                         history->tableView()->model()->index(row, 4).data().toString());
    EXPECT_EQ(rows, (QStringList{"deleted permanently old.log ok", "trash old.log ok", "restore notes.txt ok", "trash notes.txt ok"}));
    EXPECT_TRUE(QFileInfo::exists(home(".local/state/brisklet/audit.jsonl")));
    QTest::keyClick(history, Qt::Key_Escape);
    EVENTUALLY(!window->window()->findChild<AuditHistoryViewController*>());

    SCOPED_TRACE("smart clean: the caches and logs of the temporary home, measured");
    ASSERT_NO_FATAL_FAILURE(go(Section::smartClean));
    auto* smartClean = screenOf<SmartCleanViewController>(*window, Section::smartClean);
    EVENTUALLY(!smartClean->isScanning() && smartClean->model()->rowCount() > 0);
    const struct {
        const char* id;
        const char* name;
        QString folder;
    } categories[] = {{"pip-cache", "pip Cache", home(".cache/pip")},
                      {"thumbnails", "Thumbnails", home(".cache/thumbnails")},
                      {"npm-cache", "npm Cache", home(".npm")}};
    for (const auto& category : categories) {
        SCOPED_TRACE(category.id);
        const QModelIndex row = smartClean->model()->categoryIndex(QString::fromLatin1(category.id));
        ASSERT_TRUE(row.isValid());
        EXPECT_EQ(row.data().toString(), category.name);
        EXPECT_EQ(row.data(SmartCleanModel::SizeTextRole).toString(), sizeText(category.folder));
        EXPECT_TRUE(onScreen(*smartClean->treeView(), row));
    }

    SCOPED_TRACE("uninstaller: the application of the temporary home, measured");
    ASSERT_NO_FATAL_FAILURE(go(Section::uninstaller));
    auto* uninstaller = screenOf<UninstallerViewController>(*window, Section::uninstaller);
    EVENTUALLY(!uninstaller->isWorking() && !uninstaller->isSizing());
    QTest::keyClicks(uninstaller->searchField(), "Gadget");
    ASSERT_EQ(modelColumn(*uninstaller->model(), 0), QStringList{"Gadget Studio"});
    const QModelIndex gadget = uninstaller->model()->index(0, 0);
    EXPECT_EQ(gadget.data(ApplicationListModel::PathRole).toString(), home("Applications/Gadget"));
    EXPECT_EQ(gadget.data(ApplicationListModel::SizeTextRole).toString(), sizeText(home("Applications/Gadget")));
    EXPECT_TRUE(onScreen(*uninstaller->tableView(), gadget));

    SCOPED_TRACE("processes: the python3 child, listening once it has printed its port");
    EVENTUALLY(listener.canReadLine());
    listenerPort = QString::fromUtf8(listener.readLine()).trimmed();
    ASSERT_NO_FATAL_FAILURE(go(Section::crew));
    auto* crew = screenOf<CrewViewController>(*window, Section::crew);
    EVENTUALLY(crew->hasLoaded() && !crew->isSampling());
    QTest::keyClicks(crew->searchField(), listenerPid);
    const auto& processes = crew->visibleProcesses();
    const auto child = std::find_if(processes.begin(), processes.end(), [this](const ProcessRow& row) {
        return row.pidText == listenerPid && row.name.contains("python");
    });
    ASSERT_NE(child, processes.end()) << listenerPid.toStdString();
    EXPECT_TRUE(onScreen(*crew->tableView(), crew->model()->index(static_cast<int>(child - processes.begin()), 0)));

    SCOPED_TRACE("ports: the child's listening socket");
    ASSERT_NO_FATAL_FAILURE(go(Section::ports));
    auto* ports = screenOf<PortsViewController>(*window, Section::ports);
    EVENTUALLY(ports->hasLoaded() && !ports->isScanning());
    QTest::keyClicks(ports->searchField(), listenerPort);
    const auto& sockets = ports->visibleRows();
    const auto socket = std::find_if(sockets.begin(), sockets.end(), [this](const PortRow& row) {
        return QString::number(row.port) == listenerPort && QString::number(row.pid) == listenerPid &&
               row.addresses.contains("127.0.0.1");
    });
    ASSERT_NE(socket, sockets.end()) << listenerPort.toStdString();
    EXPECT_TRUE(onScreen(*ports->tableView(), ports->model()->index(static_cast<int>(socket - sockets.begin()), 0)));
}

} // namespace
