// The sheet that shows the exact list of items a screen wants to move to the Trash.
//
// Protocol:
//  - Built over (path, size, isDirectory) items, sorted by size, largest first; equal sizes keep the
//    caller's order. Every item starts ticked unless its candidate says otherwise.
//  - toggle(row) flips one row (a row outside the table changes nothing); the check box, Space on a row
//    and the model's check state all go through it. The subtitle and the confirm button follow.
//  - confirmClicked() closes the sheet and hands the ticked rows, in row order, to onConfirm;
//    cancelClicked() (also Escape and closing the window) closes it and calls onCancel. Exactly one of
//    the two callbacks runs, once.
//  - When it opens, a worker (BackgroundRunner) asks the trash service about each item, as the trash
//    step will: a refused item is unticked for good, greyed, and shows why under its name, in words of
//    its own (wrapped, never cut). Until that answer came (isReady) nothing can be confirmed: the
//    confirm button is disabled, Return and confirmClicked() do nothing, and when the answer is slow the
//    button says "Checking…". The counts ("N of M selected") leave refused rows out of M.
//    Then the worker measures what removing each item gives back; from then on sizes are what the items
//    hold on disk, and the subtitle counts only the bytes the ticked items release together: a file
//    with another hard link outside the ticked items releases nothing, and its row says so and carries
//    a link mark. Until the answers come the caller's figures stand. Nothing here touches the file
//    system on the GUI thread; answers that come after the sheet closed are dropped.
//  - A refused row takes no part in the keyboard: the current row (the focus frame, what Space ticks)
//    never rests on one; when the refusals come it moves to the nearest offered row below, else above,
//    else there is none, and a refused row leaves the selection. The arrows skip refused rows.
//  - A caller's note (why an item starts unticked) shows under its name too.
//  - The sheet is window-modal over its parent's window and deletes itself when closed.
#pragma once

#include "shell/ScreenStyle.h"

#include "DeletionItems.h"
#include "safety/TrashService.h"
#include "shell/BackgroundRunner.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class DestructiveButton;
class QLabel;
class QPushButton;
class QTableView;
class ReviewItemsModel;

class ReviewSheetViewController : public QDialog {
    Q_OBJECT
public:
    struct Item {
        QString path;
        qint64 sizeBytes = 0; // the caller's figure, handed on at confirmation
        bool isDirectory = false;
        bool checked = true;
        bool refused = false;   // the trash step would refuse it: never ticked
        QString note = {};      // shown under the name: the refusal, the caller's note, or what links keep
        qint64 shownBytes = 0;  // the size column: the caller's figure until measured, then what it holds
        qint64 releasedBytes = 0; // measured: what it gives back with the other ticked rows (0 unticked)
        qint64 keptBytes = 0;     // measured: what hard links outside the ticked rows keep of it
    };

    using ConfirmAction = std::function<void(const QList<ConfirmedItem>&)>;
    using CancelAction = std::function<void()>;

    ReviewSheetViewController(const QList<TrashCandidate>& items, ConfirmAction onConfirm, CancelAction onCancel,
                              QWidget* parent = nullptr);

    const std::vector<Item>& items() const { return m_items; }
    QList<Item> checkedItems() const;
    void toggle(int row);
    // The trash service judged the items: from now on the sheet can be confirmed.
    bool isReady() const { return m_ready; }
    // The items have been checked and measured (the figures are final).
    bool isMeasured() const { return m_measured; }

    QTableView* tableView() const { return m_tableView; }
    QLabel* subtitleLabel() const { return m_subtitleLabel; }
    DestructiveButton* confirmButton() const { return m_confirmButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

public slots:
    void confirmClicked();
    void cancelClicked();
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateSummary();
    void finish(bool confirmed);
    void check();
    void applyRefusals(const std::vector<std::optional<brisklet::PathValidator::Rejection>>& refusals);
    void applyUsage(std::vector<brisklet::platform::ItemUsage> usage);
    void updateRelease();
    void updateRowHeights();
    void keepKeyboardOffRefusedRows();

    std::vector<Item> m_items;
    ConfirmAction m_onConfirm;
    CancelAction m_onCancel;
    bool m_finished = false;
    bool m_ready = false;     // the refusals are known
    bool m_slowCheck = false; // they took long enough to say so on the button
    std::vector<QString> m_callerNotes;
    std::vector<brisklet::platform::ItemUsage> m_usage; // per row, once measured
    bool m_measured = false;
    ScreenStyle::LabelTints m_tints;
    ReviewItemsModel* m_model = nullptr;
    QTableView* m_tableView = nullptr;
    QLabel* m_subtitleLabel = nullptr;
    QLabel* m_summaryLabel = nullptr;
    DestructiveButton* m_confirmButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    BackgroundRunner m_runner{this}; // last: its destructor drops answers before the members above go
};
