#include "../AppTestSupport.h"
#include "deletion/AuditHistoryViewController.h"
#include "deletion/DestructiveButton.h"
#include "deletion/TrashFlowController.h"
#include "deletion/TrashFlowHostScreen.h"
#include "safety/TrashService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTableView>
#include <QTemporaryDir>

using brisklet::AuditLog;

namespace {

class AuditHistoryTest : public ::testing::Test {
protected:
    QTemporaryDir work{QDir::homePath() + "/history-XXXXXX"};
    std::shared_ptr<AuditLog> log = std::make_shared<AuditLog>(QFile::encodeName(work.path() + "/log").toStdString());

    // Opens the sheet over log and waits for its entries.
    QPointer<AuditHistoryViewController> open()
    {
        QPointer<AuditHistoryViewController> sheet = new AuditHistoryViewController(log);
        sheet->open();
        EXPECT_TRUE(waitFor([&] { return sheet->isLoaded(); }));
        return sheet;
    }
    QString cell(AuditHistoryViewController* sheet, int row, int column, int role = Qt::DisplayRole)
    {
        return sheet->tableView()->model()->index(row, column).data(role).toString();
    }
};

} // namespace

TEST_F(AuditHistoryTest, ShowsOnlyTheNewest200EntriesNewestFirst) {
    QFile file(QString::fromStdString(log->filePath()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 250; ++i) {
        const AuditLog::Entry entry{std::chrono::system_clock::now(), "trash", "/data/item" + std::to_string(i), i, "ok"};
        file.write(QByteArray::fromStdString(AuditLog::encode(entry) + "\n"));
    }
    file.close();
    auto sheet = open();
    ASSERT_EQ(sheet->tableView()->model()->rowCount(), 200);
    EXPECT_EQ(cell(sheet, 0, 3), "/data/item250");
    EXPECT_EQ(cell(sheet, 199, 3), "/data/item51");
    delete sheet;
}

TEST_F(AuditHistoryTest, ListsTwoTrashesAndAPutBackWithThePutBackFirst) {
    TrashFlowHostScreen host(log);
    TrashFlowController* flow = host.flow();
    for (const QString name : {"one.txt", "two.txt"}) {
        QFile file(work.path() + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("data");
        file.close();
        flow->reviewAndTrash({{file.fileName(), 4, false}});
        ASSERT_TRUE(confirmSheet(flow->reviewSheet()));
        ASSERT_TRUE(waitFor([&] { return !flow->isRunning(); }));
    }
    flow->undo();
    ASSERT_TRUE(waitFor([&] { return !flow->isRunning(); }));
    auto sheet = open();
    ASSERT_EQ(sheet->tableView()->model()->rowCount(), 3);
    EXPECT_EQ(cell(sheet, 0, 1), "restore");
    EXPECT_EQ(cell(sheet, 0, 3), work.path() + "/two.txt");
    EXPECT_EQ(cell(sheet, 1, 1), "trash");
    EXPECT_EQ(cell(sheet, 2, 3), work.path() + "/one.txt");
    EXPECT_FALSE(sheet->tableView()->isHidden());
    delete sheet;
}

TEST_F(AuditHistoryTest, NamesPurgesPlainlyMarksFailuresRedAndZeroBytesWithADash) {
    log->record("purge", "/trash/files/a", 2048, "ok");
    log->record("trash", "/home/me", 0, "rejected");
    auto sheet = open();
    EXPECT_EQ(cell(sheet, 1, 1), "deleted permanently");
    EXPECT_EQ(cell(sheet, 1, 2), formatBytes(2048));
    EXPECT_EQ(cell(sheet, 0, 2), "—");
    const QModelIndex rejected = sheet->tableView()->model()->index(0, 4);
    EXPECT_EQ(rejected.data(Qt::ForegroundRole).value<QColor>(), DestructiveButton::destructiveColor());
    EXPECT_NE(sheet->tableView()->model()->index(1, 4).data(Qt::ForegroundRole).value<QColor>(),
              DestructiveButton::destructiveColor());
    delete sheet;
}

TEST_F(AuditHistoryTest, ARefusedOrFailedEntrySaysWhyInItsTooltipAndAnOlderLineWithoutAReasonStillShows) {
    QFile file(QString::fromStdString(log->filePath()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"timestamp":786000000.5,"operation":"trash","path":"\/old","bytes":1,"result":"error"})" "\n");
    file.close();
    const brisklet::TrashService service(log);
    const QString config = QDir::homePath() + "/.config";
    service.movePathToTrash(pathBytes(config), 0);
    service.purgeFromTrash({{"/not/in/the/trash", 0}});
    auto sheet = open();
    ASSERT_EQ(sheet->tableView()->model()->rowCount(), 3);
    EXPECT_EQ(cell(sheet, 0, 4, Qt::ToolTipRole), "not in the Trash");
    EXPECT_EQ(cell(sheet, 1, 4, Qt::ToolTipRole), "refusing to delete protected location " + config);
    EXPECT_EQ(cell(sheet, 2, 3), "/old");
    EXPECT_EQ(cell(sheet, 2, 4, Qt::ToolTipRole), "error (no reason was recorded)");
    delete sheet;
}

TEST_F(AuditHistoryTest, AMissingLogShowsOnlyTheEmptyLabel) {
    auto sheet = open();
    EXPECT_TRUE(sheet->tableView()->isHidden());
    EXPECT_FALSE(sheet->emptyLabel()->isHidden());
    EXPECT_EQ(sheet->emptyLabel()->text(), "No deletions recorded yet.");
    delete sheet;
}

TEST(AuditHistoryWhen, ReadsInAbbreviatedUnitsRelativeToNow) {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000);
    const std::pair<qint64, const char*> cases[] = {
        {0, "now"}, {1, "1 sec. ago"}, {59, "59 sec. ago"}, {60, "1 min. ago"}, {7200, "2 hr. ago"},
        {86400, "1 day ago"}, {3 * 86400, "3 days ago"}, {15 * 86400, "2 wk. ago"}, {-120, "in 2 min."}};
    for (const auto& [secondsAgo, text] : cases)
        EXPECT_EQ(AuditHistoryViewController::relativeWhen(now.addSecs(-secondsAgo), now), text) << secondsAgo;
}
