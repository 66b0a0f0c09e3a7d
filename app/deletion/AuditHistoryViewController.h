// The read-only sheet of recent trash, put-back and permanent-delete actions from the audit log.
//
// Protocol:
//  - On creation it asks a worker (BackgroundRunner) to wait for the log's pending writes and read the
//    200 most recent readable entries; they are shown newest first. Until they arrive the sheet says it
//    is loading; with none it shows "No deletions recorded yet." in place of the table.
//  - Columns: when (relative to the moment the cell is drawn), action ("deleted permanently" for a
//    purge), size (an em dash for 0 bytes), path, result (red unless "ok"; its tooltip says why an
//    action did not happen, or that an older entry recorded no reason).
//  - "Done", Return and Escape close it; the sheet is window-modal and deletes itself when closed.
#pragma once

#include "shell/ScreenStyle.h"

#include "shell/BackgroundRunner.h"
#include "safety/AuditLog.h"

#include <QDateTime>
#include <QDialog>

#include <memory>
#include <vector>

class AuditHistoryModel;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;

class AuditHistoryViewController : public QDialog {
    Q_OBJECT
public:
    static constexpr std::size_t entryLimit = 200;

    // audit: the log to show (the shared one when empty).
    explicit AuditHistoryViewController(std::shared_ptr<brisklet::AuditLog> audit = {}, QWidget* parent = nullptr);
    ~AuditHistoryViewController() override;

    bool isLoaded() const { return m_loaded; }
    const std::vector<brisklet::AuditLog::Entry>& entries() const;
    QTableView* tableView() const { return m_tableView; }
    QLabel* emptyLabel() const { return m_emptyLabel; }
    QPushButton* doneButton() const { return m_doneButton; }

    // The texts of one cell, for a column identifier ("when", "action", "size", "path", "result").
    static QString cellText(const brisklet::AuditLog::Entry& entry, const QString& column, const QDateTime& now);
    // The result column's tooltip: the reason for anything but "ok".
    static QString resultTooltip(const brisklet::AuditLog::Entry& entry);
    // "5 min. ago": the time from when to now in abbreviated units.
    static QString relativeWhen(const QDateTime& when, const QDateTime& now);

protected:
    void changeEvent(QEvent* event) override;

private:
    void show(std::vector<brisklet::AuditLog::Entry> entries);

    AuditHistoryModel* m_model = nullptr;
    QTableView* m_tableView = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_doneButton = nullptr;
    bool m_loaded = false;
    ScreenStyle::LabelTints m_tints;
    BackgroundRunner m_runner{this};
};
