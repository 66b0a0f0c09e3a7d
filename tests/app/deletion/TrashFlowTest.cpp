// The trash flow end to end: real files in the test home, the real home Trash, a real audit log.
#include "../AppTestSupport.h"
#include "ChildProcess.h"
#include "deletion/TrashFlowController.h"
#include "deletion/TrashFlowHostScreen.h"
#include "safety/AuditLog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QCoreApplication>
#include <QThread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using brisklet::test::runCommand;

namespace {

// Makes removing folder/inner fail: immutable as root, a read-only folder otherwise.
bool setUndeletable(const QString& folder, bool on)
{
    if (::geteuid() != 0)
        return ::chmod(QFile::encodeName(folder).constData(), on ? 0555 : 0755) == 0;
    const int fd = ::open(QFile::encodeName(folder + "/inner").constData(), O_RDONLY | O_NOFOLLOW);
    int flags = 0;
    const bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
        && (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

class TrashFlowTest : public ::testing::Test {
protected:
    QTemporaryDir work{QDir::homePath() + "/flow-XXXXXX"};
    std::shared_ptr<brisklet::AuditLog> log = std::make_shared<brisklet::AuditLog>(QFile::encodeName(work.path() + "/log").toStdString());
    std::unique_ptr<TrashFlowHostScreen> host = std::make_unique<TrashFlowHostScreen>(log);
    TrashFlowController* flow = host->flow();
    QList<QSet<QString>> moved;

    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        flow->onMoved = [this](const QSet<QString>& paths) { moved.append(paths); };
        host->show();
    }

    QString file(const QString& name, qint64 bytes = 100)
    {
        const QString path = work.path() + "/" + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(bytes, 'x'));
        return path;
    }
    // Reviews items, confirms them all and waits for the trash step.
    void trash(const QList<TrashCandidate>& items)
    {
        flow->reviewAndTrash(items);
        ASSERT_TRUE(flow->reviewSheet());
        ASSERT_TRUE(confirmSheet(flow->reviewSheet()));
        ASSERT_TRUE(waitFor([this] { return !flow->isRunning(); }));
    }
    void freeAndConfirm()
    {
        flow->freeButton()->click();
        ASSERT_TRUE(flow->freeWarning());
        for (QAbstractButton* button : flow->freeWarning()->buttons()) {
            if (button->text() == "Delete Permanently")
                button->click();
        }
        ASSERT_TRUE(waitFor([this] { return !flow->isRunning(); }));
    }
    bool settled() { return waitFor([this] { return !flow->isRunning(); }); }
    static qint64 allocated(const QString& path)
    {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? qint64(info.st_blocks) * 512 : -1;
    }
    QString status() const { return host->statusLabel()->text(); }
    QStringList recorded()
    {
        log->flush();
        QStringList lines;
        for (const auto& entry : log->recentEntries(100))
            lines.append(QString::fromStdString(entry.operation + " " + entry.result + " " + entry.path));
        return lines;
    }
};

} // namespace

TEST_F(TrashFlowTest, AProtectedItemNeverReachesTheTrashStepWhileTheOthersMoveAndFormTheBatch) {
    const QString a = file("a.bin", 3000), b = file("b.bin", 2000);
    const qint64 freed = allocated(a) + allocated(b);
    trash({{a, 3000, false}, {b, 2000, false}, {QDir::homePath(), 1, true}});
    EXPECT_EQ(status(), QStringLiteral("Moved 2 items to the Trash · %1 reclaimable.").arg(formatBytes(freed)));
    ASSERT_EQ(flow->lastBatch().size(), 2);
    EXPECT_EQ(flow->lastBatch()[0].originalPath, a);
    EXPECT_EQ(moved, (QList<QSet<QString>>{{a, b}}));
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo::exists(flow->lastBatch()[1].trashPath));
    EXPECT_TRUE(host->undoButton()->isVisible());
    EXPECT_TRUE(flow->freeButton()->isVisible());
    EXPECT_EQ(flow->freeButton()->text(), QStringLiteral("Free %1 now").arg(formatBytes(freed)));
    EXPECT_EQ(recorded(), (QStringList{"trash ok " + a, "trash ok " + b})); // the sheet left it out
    EXPECT_TRUE(host->shownItems().isEmpty()); // the host dropped what moved
}

// The sheet judged the items when it opened; one that vanishes before the confirmation is still refused
// by the trash step, which says so and records why.
TEST_F(TrashFlowTest, AnItemGoneAfterTheSheetCheckedItIsRefusedByTheTrashStepWithItsReason) {
    const QString kept = file("kept.bin", 3000), gone = file("gone.bin", 2000);
    const qint64 freed = allocated(kept);
    flow->reviewAndTrash({{kept, 3000, false}, {gone, 2000, false}});
    ASSERT_TRUE(sheetReady(flow->reviewSheet()) && QFile::remove(gone));
    flow->reviewSheet()->confirmClicked();
    ASSERT_TRUE(settled());
    EXPECT_EQ(status(), QStringLiteral("Moved 1 item to the Trash · %1 reclaimable. 1 item refused or failed.").arg(formatBytes(freed)));
    EXPECT_EQ(recorded(), (QStringList{"trash ok " + kept, "trash rejected " + gone}));
    EXPECT_NE(log->recentEntries(1).at(0).reason.find("exist"), std::string::npos) << "no reason recorded";
}

TEST_F(TrashFlowTest, ABatchOfOneReadsInTheSingularThroughFreeAndPurgesOnlyThatItem) {
    const QString a = file("one.bin", 1500);
    const QString size = formatBytes(allocated(a));
    trash({{a, 1500, false}});
    EXPECT_EQ(status(), QStringLiteral("Moved 1 item to the Trash · %1 reclaimable.").arg(size));
    EXPECT_EQ(flow->freeButton()->text(), QStringLiteral("Free %1 now").arg(size));
    const QString trashed = flow->lastBatch().value(0).trashPath;
    flow->freeButton()->click();
    ASSERT_TRUE(flow->freeWarning());
    EXPECT_EQ(flow->freeWarning()->text(), QStringLiteral("Permanently delete 1 item and free %1?").arg(size));
    freeAndConfirm();
    EXPECT_EQ(status(), QStringLiteral("Permanently deleted 1 item · %1 freed.").arg(size));
    EXPECT_FALSE(QFileInfo::exists(trashed));
    EXPECT_TRUE(flow->lastBatch().isEmpty());
    EXPECT_FALSE(host->undoButton()->isVisible());
    EXPECT_FALSE(flow->freeButton()->isVisible());
}

TEST_F(TrashFlowTest, UndoAfterTheTrashWasEmptiedElsewhereSaysTheItemsAreGone) {
    trash({{file("x.txt"), 100, false}, {file("y.txt"), 100, false}});
    ASSERT_EQ(runCommand({"/usr/bin/trash-empty"}).exitStatus, 0);
    host->undoButton()->click();
    ASSERT_TRUE(settled());
    EXPECT_EQ(status(), "Undo failed: no longer in the Trash");
    EXPECT_FALSE(host->undoButton()->isVisible());
    EXPECT_TRUE(host->undoButton()->isEnabled());
}

TEST_F(TrashFlowTest, AnItemThatCannotBeDeletedStaysInTheBatchForAnotherUndo) {
    const QString folder = work.path() + "/locked";
    file("locked/inner", 400);
    const QString plain = file("plain.bin", 600);
    const qint64 lockedBytes = allocated(folder) + allocated(folder + "/inner"), plainBytes = allocated(plain);
    trash({{folder, 400, true}, {plain, 600, false}});
    ASSERT_EQ(flow->lastBatch().size(), 2);
    const TrashedItem locked = flow->lastBatch()[1]; // the larger plain file comes first
    ASSERT_EQ(locked.originalPath, folder);
    ASSERT_TRUE(setUndeletable(locked.trashPath, true));
    freeAndConfirm();
    setUndeletable(locked.trashPath, false);
    EXPECT_EQ(status(), QStringLiteral("Permanently deleted 1 item · %1 freed. 1 couldn't be deleted and remain in the Trash.")
                            .arg(formatBytes(plainBytes)));
    EXPECT_EQ(flow->lastBatch(), QList<TrashedItem>{locked});
    EXPECT_TRUE(host->undoButton()->isVisible() && host->undoButton()->isEnabled());
    EXPECT_TRUE(flow->freeButton()->isVisible() && flow->freeButton()->isEnabled());
    EXPECT_EQ(flow->freeButton()->text(), QStringLiteral("Free %1 now").arg(formatBytes(lockedBytes)));

    host->undoButton()->click();
    ASSERT_TRUE(settled());
    EXPECT_EQ(status(), QStringLiteral("Put back 1 item (%1).").arg(formatBytes(400)));
    EXPECT_TRUE(QFileInfo::exists(folder + "/inner"));
}

TEST_F(TrashFlowTest, EveryEntryPointIsRefusedWhileAnOperationRuns) {
    const QString a = file("a.bin"), b = file("b.bin");
    trash({{a, 100, false}});
    host->undoButton()->click();
    host->undoButton()->click(); // a second press while the first restore runs
    flow->undo();
    flow->reviewAndTrash({{b, 100, false}});
    EXPECT_FALSE(flow->reviewSheet());
    ASSERT_TRUE(settled());
    EXPECT_EQ(recorded().filter("restore").size(), 1);
    EXPECT_EQ(status(), QStringLiteral("Put back 1 item (%1).").arg(formatBytes(100)));
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo::exists(b));
}

TEST_F(TrashFlowTest, ANewTrashReplacesTheBatchSoUndoPutsBackOnlyTheLatest) {
    const QString a = file("a.bin"), b = file("b.bin");
    trash({{a, 100, false}});
    trash({{b, 100, false}});
    ASSERT_EQ(flow->lastBatch().size(), 1);
    EXPECT_EQ(flow->lastBatch()[0].originalPath, b);
    host->undoButton()->click();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(QFileInfo::exists(b));
    EXPECT_FALSE(QFileInfo::exists(a));
}

TEST_F(TrashFlowTest, APathListedTwiceIsMovedOnceAndNotReportedAsFailed) {
    const QString a = file("twice.bin", 700);
    const qint64 freed = allocated(a);
    trash({{a, 700, false}, {a, 700, false}});
    EXPECT_EQ(status(), QStringLiteral("Moved 1 item to the Trash · %1 reclaimable.").arg(formatBytes(freed)));
    EXPECT_EQ(recorded(), QStringList{"trash ok " + a});
}

TEST_F(TrashFlowTest, AnItemTheFlowTrashedRestoresWithTrashCli) {
    const QString a = file("shared name.txt");
    trash({{a, 100, false}});
    const auto restored = runCommand({"/usr/bin/trash-restore", QFile::encodeName(work.path()).toStdString()}, "0\n",
                                     QFile::encodeName(work.path()).toStdString());
    EXPECT_EQ(restored.exitStatus, 0) << restored.out << restored.err;
    EXPECT_TRUE(QFileInfo::exists(a));
}

TEST_F(TrashFlowTest, FreeAndUndoLeaveAloneAnotherFileThatTookTheTrashNameMeanwhile) {
    const QString mine = file("a/report.txt");
    trash({{mine, 100, false}});
    const std::string folder = QFile::encodeName(work.path() + "/a").toStdString();
    ASSERT_EQ(runCommand({"/usr/bin/trash-restore", folder}, "0\n", folder).exitStatus, 0);
    const std::string theirs = QFile::encodeName(file("b/report.txt", 9)).toStdString();
    ASSERT_EQ(runCommand({"/usr/bin/trash-put", theirs}).exitStatus, 0);
    const QString name = flow->lastBatch().value(0).trashPath;
    freeAndConfirm();
    EXPECT_EQ(status(), QStringLiteral("Permanently deleted 0 items · %1 freed. 1 couldn't be deleted and remain in "
                                       "the Trash.").arg(formatBytes(0)));
    host->undoButton()->click();
    ASSERT_TRUE(settled());
    EXPECT_EQ(status(), "Undo failed: changed in the Trash since it was moved there");
    EXPECT_EQ(QFileInfo(name).size(), 9) << "the other file stays in the Trash";
    EXPECT_EQ(QDir(work.path() + "/a").entryList(QDir::Files), QStringList{"report.txt"});
}

TEST_F(TrashFlowTest, AnAnswerArrivingAfterTheHostIsGoneIsDropped) {
    const QString a = file("late.bin");
    bool told = false;
    flow->onMoved = [&told](const QSet<QString>&) { told = true; };
    flow->reviewAndTrash({{a, 100, false}});
    ASSERT_TRUE(flow->reviewSheet());
    ASSERT_TRUE(confirmSheet(flow->reviewSheet()));
    // The worker finishes while the GUI thread handles no events, so its answer is still queued.
    for (int i = 0; i < 1000 && !recorded().contains("trash ok " + a); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(recorded().contains("trash ok " + a));
    host.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(told);
}

TEST_F(TrashFlowTest, ANameThatIsNotUtf8IsTrashedItselfNotItsReplacementMarkLookalike) {
    const std::string folder = QFile::encodeName(work.path()).toStdString();
    const std::string odd = folder + "/caf\xe9.txt", lookalike = folder + "/caf\xef\xbf\xbd.txt";
    for (const std::string& path : {odd, lookalike})
        ASSERT_EQ(::close(::creat(path.c_str(), 0644)), 0);
    const QString shown = pathFromBytes(odd);
    trash({{shown, 0, false}});
    struct stat info {};
    EXPECT_NE(::lstat(odd.c_str(), &info), 0);
    EXPECT_EQ(::lstat(lookalike.c_str(), &info), 0);
    EXPECT_EQ(moved, (QList<QSet<QString>>{{shown}}));
    EXPECT_EQ(pathBytes(flow->lastBatch().value(0).originalPath), odd);
}

TEST_F(TrashFlowTest, AHardLinkedFileCountsAsFreedOnlyWhenItsLastLinkGoes) {
    const QString a = file("pair/a.bin", 65536), b = work.path() + "/pair/b.bin", c = file("plain.bin", 32768);
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    const qint64 linked = allocated(a), plain = allocated(c);
    // As a scan lists them: the file's size at one link, 0 at the other. Rows: a, c, b.
    flow->reviewAndTrash({{a, linked, false}, {b, 0, false}, {c, plain, false}});
    ReviewSheetViewController* sheet = flow->reviewSheet();
    ASSERT_TRUE(sheet);
    const QAbstractItemModel* rows = sheet->tableView()->model();
    sheet->toggle(2);
    const QString note = "also linked elsewhere: frees no space until every link is removed";
    ASSERT_TRUE(waitFor([&] { return rows->index(0, 0).data(Qt::AccessibleDescriptionRole).toString() == note; }));
    EXPECT_EQ(sheet->subtitleLabel()->text(), QStringLiteral("2 of 3 selected · %1").arg(formatBytes(plain)));
    EXPECT_TRUE(rows->index(2, 1).data().toString().startsWith(formatBytes(linked))) << "its own size, not 0";
    sheet->toggle(2);
    for (int row : {0, 2}) // both links go: neither row keeps anything
        EXPECT_EQ(rows->index(row, 0).data(Qt::AccessibleDescriptionRole).toString(), "");
    EXPECT_EQ(sheet->subtitleLabel()->text(), QStringLiteral("3 items · %1").arg(formatBytes(linked + plain)));
    sheet->cancelClicked();
    ASSERT_TRUE(waitFor([this] { return !flow->reviewSheet(); }));

    trash({{a, linked, false}});
    EXPECT_EQ(status(), QStringLiteral("Moved 1 item to the Trash · %1 reclaimable.").arg(formatBytes(0)));
    EXPECT_EQ(flow->freeButton()->text(), QStringLiteral("Free %1 now").arg(formatBytes(0)));
    freeAndConfirm();
    EXPECT_EQ(status(), QStringLiteral("Permanently deleted 1 item · %1 freed.").arg(formatBytes(0)));
    EXPECT_EQ(QFileInfo(b).size(), 65536);
    trash({{b, 0, false}});
    EXPECT_EQ(flow->freeButton()->text(), QStringLiteral("Free %1 now").arg(formatBytes(linked)));
    freeAndConfirm();
    EXPECT_EQ(status(), QStringLiteral("Permanently deleted 1 item · %1 freed.").arg(formatBytes(linked)));
}
