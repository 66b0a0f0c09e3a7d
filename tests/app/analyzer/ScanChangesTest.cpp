// The analyzer after a scan of a root scanned before: the Change column, the changes bar and the
// Changes colouring, over real scans of a temporary tree and a private store.
#include "../AppTestSupport.h"
#include "analyzer/AnalyzerHistory.h"
#include "analyzer/AnalyzerViewController.h"
#include "analyzer/AnalyzerStartView.h"
#include "analyzer/ChartContentsList.h"
#include "analyzer/RecentScansView.h"
#include "analyzer/ScanChangesBar.h"
#include "analyzer/ScanOutlineViewController.h"
#include "analyzer/TreemapView.h"
#include "analyzer/TreemapViewController.h"
#include "safety/AuditLog.h"
#include "shell/AppPreferences.h"
#include "shell/SettingsViewController.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

namespace {

constexpr qint64 MiB = 1024 * 1024;

void writeFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(QByteArray(size, 'x'));
}

const AnalyzerTreeNode* child(const AnalyzerTreeNode& node, const std::string& name)
{
    for (const AnalyzerNodePtr& c : node.children())
        if (c->entry().name == name)
            return c.get();
    return nullptr;
}

} // namespace

TEST(ScanChangesScreen, ASecondScanOfARootShowsChangesInColumnsAndColoursAndNoneWhenScansAreNotRemembered)
{
    clearSettings();
    QTemporaryDir work{QDir::homePath() + "/changes-XXXXXX"};
    const QString root = work.path() + "/tree";
    writeFile(root + "/grown/data.bin", 1 * MiB);
    writeFile(root + "/shrunk/data.bin", 3 * MiB);
    writeFile(root + "/same/data.bin", 2 * MiB);
    writeFile(root + "/shrunk/old.bin", 2 * MiB);
    AnalyzerViewController screen{std::make_shared<brisklet::AuditLog>(QFile::encodeName(work.path() + "/log").toStdString())};
    screen.resize(1000, 700);
    screen.show();
    AnalyzerHistory* history = screen.history();
    const auto scanned = [&] {
        const AnalyzerNodePtr before = screen.shownTree();
        screen.analyze(root);
        ASSERT_TRUE(waitFor([&] { return !screen.isScanning() && screen.shownTree() != before; }));
    };

    scanned();
    ASSERT_TRUE(waitFor([&] { return history->shownScanId().has_value(); }));
    EXPECT_FALSE(history->changes()); // nothing earlier to compare with
    EXPECT_TRUE(screen.changesBar()->isHidden());
    EXPECT_EQ(screen.outlinePane()->model()->columnCount(), 1);

    writeFile(root + "/grown/data.bin", 5 * MiB);
    writeFile(root + "/shrunk/data.bin", 1 * MiB + 4096);
    writeFile(root + "/fresh/data.bin", 2 * MiB);
    QFile::remove(root + "/shrunk/old.bin");
    scanned();
    ASSERT_TRUE(waitFor([&] { return history->changes() != nullptr; }));
    EXPECT_FALSE(screen.changesBar()->isHidden());
    const QString since = screen.changesBar()->sinceButton()->text().mid(QString("Changes ").size());
    EXPECT_TRUE(since.startsWith("since ")) << since.toStdString();
    EXPECT_EQ(screen.changesBar()->sinceButton()->menu()->actions().size(), 1);

    // The outline: a Change column, ordered by it on request, the open rows kept.
    AnalyzerOutlineModel* outline = screen.outlinePane()->model();
    ASSERT_EQ(outline->columnCount(), 2);
    EXPECT_EQ(outline->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Change " + since); // what it compares with
    EXPECT_FALSE(screen.outlinePane()->outlineView()->isHeaderHidden());
    const auto rowText = [&](int row) {
        return std::pair(outline->index(row, 0).data().toString(), outline->index(row, 1).data().toString());
    };
    outline->sort(AnalyzerOutlineModel::changeColumn, Qt::DescendingOrder);
    const int rows = outline->rowCount();
    ASSERT_EQ(rows, 4);
    EXPECT_EQ(rowText(0).first, "grown");
    EXPECT_TRUE(rowText(0).second.startsWith("+")) << rowText(0).second.toStdString();
    EXPECT_EQ(rowText(1), std::pair(QString("fresh"), QString("new")));
    EXPECT_EQ(rowText(2), std::pair(QString("same"), QString()));
    EXPECT_EQ(rowText(3).first, "shrunk");
    EXPECT_TRUE(rowText(3).second.startsWith("-"));
    // The gone file has no row: the bar counts it, and its folder's Change cell names it.
    EXPECT_TRUE(screen.changesBar()->goneLabel()->text().startsWith("1 item gone (2")) << screen.changesBar()->goneLabel()->text().toStdString();
    EXPECT_TRUE(screen.changesBar()->goneLabel()->toolTip().contains("shrunk/old.bin"));
    EXPECT_TRUE(outline->index(3, 1).data(Qt::ToolTipRole).toString().contains("old.bin ("));
    EXPECT_TRUE(outline->index(0, 1).data(Qt::ToolTipRole).toString().isEmpty());
    EXPECT_TRUE(screen.outlinePane()->outlineView()->isExpanded(outline->index(0, 0)));
    EXPECT_EQ(outline->index(0, 0, outline->index(0, 0)).data().toString(), "data.bin");

    // The contents list beside the charts.
    QTableView* list = screen.treemapPane()->contentsList()->tableView();
    ASSERT_EQ(list->model()->columnCount(), 3);
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString(), "Change since\n" + since.mid(6));
    list->model()->sort(2, Qt::AscendingOrder);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "shrunk");
    EXPECT_TRUE(list->model()->index(0, 2).data().toString().startsWith("-"));

    // The Changes colouring: the largest growth deepest warm, a shrinkage cool, no change neutral.
    const AnalyzerTreeNode& shown = *screen.shownTree();
    TreemapView* treemap = screen.treemapPane()->treemap();
    const QColor before = *treemap->color(child(shown, "grown"));
    screen.changesBar()->setColouring(true);
    EXPECT_FALSE(screen.changesBar()->legend()->isHidden());
    // The scale's ends stand for the largest change, here the grown folder's.
    EXPECT_EQ(screen.changesBar()->grownEnd()->text(), rowText(0).second);
    EXPECT_EQ(screen.changesBar()->shrunkEnd()->text(), "-" + rowText(0).second.mid(1));
    EXPECT_EQ(*treemap->color(child(shown, "grown")), ScanChanges::grownColor(1));
    EXPECT_NEAR(treemap->color(child(shown, "shrunk"))->hueF(), ScanChanges::shrunkColor(0.5).hueF(), 0.01);
    EXPECT_EQ(*treemap->color(child(shown, "same")), ScanChanges::unchangedColor());
    screen.changesBar()->setColouring(false);
    EXPECT_EQ(*treemap->color(child(shown, "grown")), before);

    // Not remembered: nothing stored, nothing compared.
    AppPreferences::setRememberScans(false);
    const std::size_t stored = AnalyzerHistory::store()->scans(QFile::encodeName(root).toStdString()).size();
    scanned();
    settleBackground();
    EXPECT_FALSE(history->changes());
    EXPECT_TRUE(screen.changesBar()->isHidden());
    EXPECT_EQ(screen.outlinePane()->model()->columnCount(), 1);
    EXPECT_EQ(AnalyzerHistory::store()->scans(QFile::encodeName(root).toStdString()).size(), stored);
    clearSettings();
}

TEST(ScanChangesScreen, AnIncompleteEarlierScanIsNamedAndWhatItCouldNotReadOrKeepIsNotCalledNew)
{
    QTemporaryDir work{QDir::homePath() + "/changes-XXXXXX"};
    const QString root = work.path() + "/tree";
    writeFile(root + "/refused/data.bin", 2 * MiB);
    writeFile(root + "/open/data.bin", 500 * 1024);
    AnalyzerViewController screen{std::make_shared<brisklet::AuditLog>(QFile::encodeName(work.path() + "/log").toStdString())};
    const std::string bytes = QFile::encodeName(root).toStdString();
    screen.makeScanner = [bytes] { // the first scan cannot open "refused"
        return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions(), [bytes](const std::string& path, std::string_view call) {
            if (path == bytes + "/refused" && call == "open") throw std::runtime_error("refused"); });
    };
    screen.analyze(root);
    ASSERT_TRUE(waitFor([&] { return screen.history()->shownScanId().has_value(); }));
    screen.makeScanner = [] { return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions()); };
    writeFile(root + "/open/data.bin", 3 * MiB);
    screen.analyze(root);
    ASSERT_TRUE(waitFor([&] { return screen.history()->changes() != nullptr; }));
    EXPECT_TRUE(screen.changesBar()->sinceButton()->text().endsWith(" (incomplete)"));
    EXPECT_TRUE(screen.history()->changes()->columnTitle().endsWith(" (incomplete)"));
    EXPECT_EQ(ScanChanges::text(*screen.history()->changes()->find(bytes + "/refused/data.bin")), "not compared");
    EXPECT_EQ(ScanChanges::text(*screen.history()->changes()->find(bytes + "/open/data.bin")), "+2.1 MB or more");
}

TEST(ScanChanges, MenuLabelsOfScansInTheSameMinuteAreToldApartAndOnlyThose)
{
    const auto at = [](int minute, int second, int ms) {
        return QDateTime(QDate(2026, 12, 3), QTime(14, minute, second, ms)).toMSecsSinceEpoch();
    };
    const std::pair<std::int64_t, QString> cases[] = {
        {at(5, 10, 0), "3 Dec 2026, 14:05:10"},     {at(5, 40, 0), "3 Dec 2026, 14:05:40"},
        {at(6, 0, 0), "3 Dec 2026, 14:06"},         {at(7, 5, 100), "3 Dec 2026, 14:07:05.100"},
        {at(7, 5, 900), "3 Dec 2026, 14:07:05.900"}, {at(8, 1, 0), "3 Dec 2026, 14:08"}};
    std::vector<brisklet::StoredScan> scans(std::size(cases) + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        scans[i].finishedAtMs = cases[i].first;
    scans.back().finishedAtMs = at(8, 2, 0);
    scans.back().cancelled = true; // told apart by its state
    const QStringList labels = ScanChanges::scanLabels(scans);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(labels[qsizetype(i)].section(QString::fromUtf8(" \u00b7 "), 0, 0), cases[i].second) << i;
    EXPECT_TRUE(labels.back().startsWith("3 Dec 2026, 14:08 \u00b7 ")) << labels.back().toStdString();
}

TEST(ScanChangesScreen, ForgettingAllScansClearsWhatTheScreenShowedFromThemAndKeepsNoScanBegunBefore)
{
    clearSettings();
    QTemporaryDir work{QDir::homePath() + "/forget-XXXXXX"};
    const QString root = work.path() + "/tree";
    writeFile(root + "/grown/data.bin", 1 * MiB);
    AnalyzerViewController screen{std::make_shared<brisklet::AuditLog>(QFile::encodeName(work.path() + "/log").toStdString())};
    screen.show();
    AnalyzerHistory* history = screen.history();
    for (qint64 size : {1 * MiB, 3 * MiB}) {
        writeFile(root + "/grown/data.bin", size);
        const AnalyzerNodePtr before = screen.shownTree();
        screen.analyze(root);
        ASSERT_TRUE(waitFor([&] { return !screen.isScanning() && screen.shownTree() != before; }));
    }
    ASSERT_TRUE(waitFor([&] { return history->changes() && history->shownScanId(); }));
    screen.changesBar()->setColouring(true);
    RecentScansView* recent = screen.startView()->recentScans();
    recent->refresh();
    ASSERT_TRUE(waitFor([&] { return !recent->rows().empty(); }));
    const std::shared_ptr<const ScanChanges> shown = history->changes();
    const std::uint64_t begun = AnalyzerHistory::store()->generation(); // a scan under way as the user forgets

    SettingsViewController settings;
    settings.forgetScansClicked();
    for (QAbstractButton* button : settings.forgetQuestion()->buttons())
        if (button->text() == "Forget All Scans")
            button->click();
    ASSERT_TRUE(waitFor([&] { return !history->changes(); }));
    EXPECT_TRUE(screen.changesBar()->isHidden());
    EXPECT_EQ(screen.outlinePane()->model()->columnCount(), 1);
    EXPECT_NE(screen.treemapPane()->treemap()->color(child(*screen.shownTree(), "grown")), ScanChanges::grownColor(1));
    EXPECT_TRUE(recent->rows().empty() && recent->isHidden());

    // That scan ends after the forget: it is neither compared with what was forgotten nor stored.
    auto summary = std::make_shared<brisklet::ScanSummary>();
    summary->root = QFile::encodeName(root).toStdString();
    summary->items.push_back({-1, true, brisklet::ScanState::complete, summary->root, 3 * MiB, 1});
    history->scanShown(summary, shown, begun);
    EXPECT_FALSE(history->changes());
    settleBackground();
    EXPECT_FALSE(history->changes());
    EXPECT_TRUE(AnalyzerHistory::store()->scans().empty());
    clearSettings();
}
