// The one way a screen removes files: review, move to the Trash, then put back or free the last batch.
//
// Protocol:
//  - A host screen keeps one controller, hands it its put-back button and a status callback, and calls
//    reviewAndTrash(items). The review sheet opens over the host's window; the confirmed items are moved
//    to the Trash on a worker (BackgroundRunner), each one judged and recorded by the trash service in
//    the audit log. The result is a line for setStatus, and lastBatch: the moved items the Trash gave a
//    location for. A new trash replaces the batch. Every figure of space (reclaimable, the free button,
//    the warning, freed) is what the engine measured the removal to give back: a file whose other hard
//    link stays counts nothing. Put-back figures are the screens' own sizes.
//  - undo() puts the whole batch back. freeSpace() asks, then permanently deletes exactly the batch's
//    Trash items; what could not be deleted stays in the batch.
//  - While a trash, restore or purge runs (isRunning), every entry point does nothing: one engine
//    operation per controller at a time.
//  - The free button is created here and placed into the host's button row just before the put-back
//    button; syncBatchButtons() shows both exactly when there is a batch.
//  - Answers that arrive after the controller is gone are dropped; the engine still finishes the work
//    and records it. Nothing here waits on the GUI thread.
#pragma once

#include "DeletionItems.h"
#include "DestructiveButton.h"
#include "ReviewSheetViewController.h"
#include "shell/BackgroundRunner.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

namespace brisklet {
class AuditLog;
}

class QPushButton;
class QWidget;

class TrashFlowController : public QObject {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const QString&)>;

    // audit: the log the trash service records into (the shared one unless a test gives its own).
    TrashFlowController(QWidget* host, QPushButton* undoButton, StatusSink setStatus,
                        std::shared_ptr<brisklet::AuditLog> audit = {});
    ~TrashFlowController() override;

    void reviewAndTrash(const QList<TrashCandidate>& items);
    void undo();
    void freeSpace();
    void syncBatchButtons();

    const QList<TrashedItem>& lastBatch() const { return m_lastBatch; }
    // Hosts clear the batch when what it refers to no longer applies, then call syncBatchButtons().
    void clearLastBatch() { m_lastBatch.clear(); }
    bool isRunning() const { return m_isRunning; }
    // Running, or waiting for an answer in its review sheet or permanent-delete warning: a new
    // operation would be refused, so hosts keep the buttons that start one disabled.
    bool isBusy() const { return m_isRunning || m_reviewSheet || m_freeWarning; }

    QPushButton* undoButton() const { return m_undoButton; }
    DestructiveButton* freeButton() const { return m_freeButton; }
    // The open review sheet or permanent-delete warning, if any.
    ReviewSheetViewController* reviewSheet() const { return m_reviewSheet; }
    QMessageBox* freeWarning() const { return m_freeWarning; }

    // Told which paths were moved away, so the host can drop them from its lists.
    std::function<void(const QSet<QString>&)> onMoved;
    // Told that items were put back, so the host can look again.
    std::function<void()> onRestored;

    // The status lines, built from the outcome counts.
    static QString movedStatus(qint64 moved, qint64 movedBytes, qint64 failed);
    static QString restoredStatus(qint64 restored, qint64 restoredBytes);
    static QString purgedStatus(qint64 purged, qint64 freedBytes, qint64 sent);
    static QString freeButtonTitle(qint64 bytes);

signals:
    // isRunning() or isBusy() may have changed.
    void busyChanged();

private:
    void setRunning(bool running);
    void trash(const QList<ConfirmedItem>& confirmed);
    void purgeBatch();
    void report(const QString& line);
    qint64 batchBytes() const;

    QPointer<QWidget> m_host;
    QPointer<QPushButton> m_undoButton;
    QPointer<DestructiveButton> m_freeButton;
    StatusSink m_setStatus;
    std::shared_ptr<brisklet::AuditLog> m_audit;
    QList<TrashedItem> m_lastBatch;
    bool m_isRunning = false;
    QPointer<ReviewSheetViewController> m_reviewSheet;
    QPointer<QMessageBox> m_freeWarning;
    BackgroundRunner m_runner{this}; // last: its destructor drops answers before the members above go
};
