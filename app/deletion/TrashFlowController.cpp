#include "TrashFlowController.h"

#include "DestructiveButton.h"
#include "ReviewSheetViewController.h"
#include "safety/AuditLog.h"
#include "safety/TrashService.h"

#include <QBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

namespace {
std::string toEngine(const QString& path)
{
    return pathBytes(path);
}
QString fromEngine(const std::string& path)
{
    return pathFromBytes(path);
}
} // namespace

TrashFlowController::TrashFlowController(QWidget* host, QPushButton* undoButton, StatusSink setStatus,
                                         std::shared_ptr<brisklet::AuditLog> audit)
    : QObject(host), m_host(host), m_undoButton(undoButton), m_setStatus(std::move(setStatus)),
      m_audit(audit ? std::move(audit) : brisklet::AuditLog::shared())
{
    m_freeButton = new DestructiveButton;
    m_freeButton->setObjectName(QStringLiteral("freeButton"));
    m_freeButton->setToolTip(QStringLiteral("Permanently delete the items just moved to the Trash"));
    m_freeButton->setAccessibleName(QStringLiteral("Free space now"));
    m_freeButton->hide();
    connect(m_freeButton, &QPushButton::clicked, this, &TrashFlowController::freeSpace);
    if (m_undoButton)
        connect(m_undoButton, &QPushButton::clicked, this, &TrashFlowController::undo);
}

TrashFlowController::~TrashFlowController()
{
    m_runner.stopAll();
    // A free button that never found a place in the host's row has no parent to delete it.
    if (m_freeButton && !m_freeButton->parentWidget())
        delete m_freeButton;
}

QString TrashFlowController::movedStatus(qint64 moved, qint64 movedBytes, qint64 failed)
{
    QString line = QStringLiteral("Moved %1 item%2 to the Trash · %3 reclaimable.")
                       .arg(moved)
                       .arg(pluralEnding(moved), formatBytes(movedBytes));
    if (failed > 0)
        line += QStringLiteral(" %1 item%2 refused or failed.").arg(failed).arg(pluralEnding(failed));
    return line;
}

QString TrashFlowController::restoredStatus(qint64 restored, qint64 restoredBytes)
{
    return QStringLiteral("Put back %1 item%2 (%3).").arg(restored).arg(pluralEnding(restored), formatBytes(restoredBytes));
}

QString TrashFlowController::purgedStatus(qint64 purged, qint64 freedBytes, qint64 sent)
{
    QString line = QStringLiteral("Permanently deleted %1 item%2 · %3 freed.")
                       .arg(purged)
                       .arg(pluralEnding(purged), formatBytes(freedBytes));
    if (purged < sent)
        line += QStringLiteral(" %1 couldn't be deleted and remain in the Trash.").arg(sent - purged);
    return line;
}

QString TrashFlowController::freeButtonTitle(qint64 bytes)
{
    return QStringLiteral("Free %1 now").arg(formatBytes(bytes));
}

void TrashFlowController::report(const QString& line)
{
    if (m_setStatus)
        m_setStatus(line);
}

qint64 TrashFlowController::batchBytes() const
{
    qint64 total = 0;
    for (const TrashedItem& item : m_lastBatch)
        total += item.releasedBytes;
    return total;
}

void TrashFlowController::setRunning(bool running)
{
    m_isRunning = running;
    emit busyChanged();
}

void TrashFlowController::reviewAndTrash(const QList<TrashCandidate>& items)
{
    if (items.isEmpty() || m_isRunning || !m_host || m_reviewSheet)
        return;
    QPointer<TrashFlowController> self(this);
    auto* sheet = new ReviewSheetViewController(
        items,
        [self](const QList<ConfirmedItem>& confirmed) {
            if (self)
                self->trash(confirmed);
        },
        [] {}, m_host);
    m_reviewSheet = sheet;
    // Queued: the pointer to it reads null only once it is gone.
    connect(sheet, &QObject::destroyed, this, &TrashFlowController::busyChanged, Qt::QueuedConnection);
    sheet->open();
    emit busyChanged();
}

void TrashFlowController::trash(const QList<ConfirmedItem>& confirmed)
{
    if (confirmed.isEmpty() || m_isRunning)
        return;
    setRunning(true);
    syncBatchButtons();

    // A path listed twice is moved once, with the size it was first listed with; the second listing
    // would only fail against the path the first one just emptied.
    std::vector<std::string> paths;
    std::map<std::string, std::int64_t> sizes;
    for (const ConfirmedItem& item : confirmed) {
        std::string path = toEngine(item.path);
        if (sizes.emplace(path, item.sizeBytes).second)
            paths.push_back(std::move(path));
    }
    const brisklet::TrashService service(m_audit);
    m_runner.run(
        [service, paths = std::move(paths), sizes = std::move(sizes)](std::stop_token) {
            return service.movePathsToTrash(paths, sizes);
        },
        [this](std::vector<brisklet::TrashOutcome> outcomes) {
            setRunning(false);
            qint64 moved = 0;
            qint64 movedBytes = 0;
            qint64 failed = 0;
            QList<TrashedItem> batch;
            QSet<QString> movedPaths;
            for (const brisklet::TrashOutcome& outcome : outcomes) {
                if (!outcome.success) {
                    ++failed;
                    continue;
                }
                ++moved;
                movedBytes += outcome.releasedBytes;
                movedPaths.insert(fromEngine(outcome.path));
                if (outcome.trashPath)
                    batch.append({fromEngine(*outcome.trashPath), fromEngine(outcome.path), outcome.sizeBytes,
                                  outcome.identity, outcome.releasedBytes});
            }
            report(movedStatus(moved, movedBytes, failed));
            m_lastBatch = batch;
            syncBatchButtons();
            if (moved > 0 && onMoved)
                onMoved(movedPaths);
        },
        [this](const QString& failure) {
            // The service reports per item and does not throw; should it all the same, say so.
            setRunning(false);
            report(QStringLiteral("Moving to the Trash failed: %1").arg(failure));
            syncBatchButtons();
        });
}

void TrashFlowController::syncBatchButtons()
{
    const bool hasBatch = !m_lastBatch.isEmpty();
    if (m_undoButton)
        m_undoButton->setVisible(hasBatch);
    if (!m_freeButton)
        return;
    if (!m_freeButton->parentWidget() && m_undoButton && m_undoButton->parentWidget()) {
        if (auto* row = qobject_cast<QBoxLayout*>(m_undoButton->parentWidget()->layout())) {
            const int at = row->indexOf(m_undoButton);
            const bool horizontal = row->direction() == QBoxLayout::LeftToRight || row->direction() == QBoxLayout::RightToLeft;
            if (at >= 0 && horizontal)
                row->insertWidget(at, m_freeButton);
        }
        // The undo button may sit in a nested row rather than its parent's own layout.
        if (!m_freeButton->parentWidget()) {
            const QList<QBoxLayout*> rows = m_undoButton->parentWidget()->findChildren<QBoxLayout*>();
            for (QBoxLayout* row : rows) {
                const int at = row->indexOf(m_undoButton);
                if (at >= 0 && (row->direction() == QBoxLayout::LeftToRight || row->direction() == QBoxLayout::RightToLeft)) {
                    row->insertWidget(at, m_freeButton);
                    break;
                }
            }
        }
    }
    m_freeButton->setTitle(freeButtonTitle(batchBytes()));
    m_freeButton->setEnabled(!m_isRunning);
    // A button outside any window would show as a window of its own.
    m_freeButton->setVisible(hasBatch && m_freeButton->parentWidget());
}

void TrashFlowController::undo()
{
    if (m_lastBatch.isEmpty() || m_isRunning)
        return;
    setRunning(true);
    if (m_undoButton)
        m_undoButton->setEnabled(false);
    std::vector<brisklet::TrashService::RestoreItem> items;
    std::map<QString, qint64> sizes;
    for (const TrashedItem& item : std::as_const(m_lastBatch)) {
        items.push_back({toEngine(item.trashPath), toEngine(item.originalPath), item.sizeBytes, item.identity});
        sizes.emplace(item.originalPath, item.sizeBytes);
    }
    m_lastBatch.clear();
    if (m_freeButton)
        m_freeButton->hide();

    const brisklet::TrashService service(m_audit);
    m_runner.run(
        [service, items = std::move(items)](std::stop_token) { return service.restoreFromTrash(items); },
        [this, sizes = std::move(sizes)](std::vector<brisklet::RestoreOutcome> outcomes) {
            setRunning(false);
            if (m_undoButton) {
                m_undoButton->hide();
                m_undoButton->setEnabled(true);
            }
            qint64 restored = 0;
            qint64 restoredBytes = 0;
            for (const brisklet::RestoreOutcome& outcome : outcomes) {
                if (!outcome.success)
                    continue;
                ++restored;
                const auto size = sizes.find(fromEngine(outcome.originalPath));
                restoredBytes += size == sizes.end() ? 0 : size->second;
            }
            if (restored == 0) {
                QString reason = QStringLiteral("unknown error");
                if (!outcomes.empty() && outcomes.front().failureDescription)
                    reason = fromEngine(*outcomes.front().failureDescription);
                report(QStringLiteral("Undo failed: %1").arg(visibleText(reason)));
            } else {
                report(restoredStatus(restored, restoredBytes));
            }
            syncBatchButtons();
            if (onRestored)
                onRestored();
        },
        [this](const QString& failure) {
            setRunning(false);
            if (m_undoButton) {
                m_undoButton->hide();
                m_undoButton->setEnabled(true);
            }
            report(QStringLiteral("Undo failed: %1").arg(visibleText(failure)));
            syncBatchButtons();
        });
}

void TrashFlowController::freeSpace()
{
    if (m_lastBatch.isEmpty() || m_isRunning || !m_host || !m_host->window() || m_freeWarning)
        return;
    const qint64 count = m_lastBatch.size();
    auto* warning = new QMessageBox(QMessageBox::Warning, QStringLiteral("Free Space"),
                                    QStringLiteral("Permanently delete %1 item%2 and free %3?")
                                        .arg(count)
                                        .arg(pluralEnding(count), formatBytes(batchBytes())),
                                    QMessageBox::NoButton, m_host->window());
    warning->setInformativeText(QStringLiteral("Only the items Brisklet just moved to the Trash are deleted; the rest "
                                               "of your Trash is untouched. This can't be undone."));
    auto* deleteButton = new DestructiveButton(QStringLiteral("Delete Permanently"));
    warning->addButton(deleteButton, QMessageBox::DestructiveRole);
    QPushButton* cancelButton = warning->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    // Cannot be undone, so Return must not do it: Cancel is the default, Delete needs a click or its key.
    warning->setDefaultButton(cancelButton);
    warning->setEscapeButton(cancelButton);
    warning->setWindowModality(Qt::WindowModal);
    warning->setAttribute(Qt::WA_DeleteOnClose);
    connect(warning, &QMessageBox::finished, this, [this, warning, deleteButton] {
        if (warning->clickedButton() == deleteButton)
            purgeBatch();
    });
    m_freeWarning = warning;
    // Queued: the pointer to it reads null only once it is gone.
    connect(warning, &QObject::destroyed, this, &TrashFlowController::busyChanged, Qt::QueuedConnection);
    warning->open();
    emit busyChanged();
}

void TrashFlowController::purgeBatch()
{
    if (m_lastBatch.isEmpty() || m_isRunning)
        return;
    setRunning(true);
    if (m_undoButton)
        m_undoButton->setEnabled(false);
    if (m_freeButton)
        m_freeButton->setEnabled(false);
    std::vector<brisklet::TrashService::PurgeItem> items;
    for (const TrashedItem& item : std::as_const(m_lastBatch))
        items.push_back({toEngine(item.trashPath), item.sizeBytes, item.identity});
    const qint64 sent = static_cast<qint64>(items.size());

    const brisklet::TrashService service(m_audit);
    m_runner.run(
        [service, items = std::move(items)](std::stop_token) { return service.purgeFromTrash(items); },
        [this, sent](std::vector<brisklet::PurgeOutcome> outcomes) {
            setRunning(false);
            if (m_undoButton)
                m_undoButton->setEnabled(true);
            qint64 purged = 0;
            qint64 freedBytes = 0;
            QSet<QString> gone;
            for (const brisklet::PurgeOutcome& outcome : outcomes) {
                if (!outcome.success)
                    continue;
                ++purged;
                freedBytes += outcome.releasedBytes;
                gone.insert(fromEngine(outcome.trashPath));
            }
            m_lastBatch.removeIf([&gone](const TrashedItem& item) { return gone.contains(item.trashPath); });
            syncBatchButtons();
            report(purgedStatus(purged, freedBytes, sent));
        },
        [this](const QString& failure) {
            setRunning(false);
            if (m_undoButton)
                m_undoButton->setEnabled(true);
            syncBatchButtons();
            report(QStringLiteral("Permanent delete failed: %1").arg(failure));
        });
}
