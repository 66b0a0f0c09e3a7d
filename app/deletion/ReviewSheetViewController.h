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
//  - The sheet is window-modal over its parent's window and deletes itself when closed.
#pragma once

#include "shell/ScreenStyle.h"

#include "DeletionItems.h"

#include <QDialog>
#include <QList>

#include <functional>
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
        qint64 sizeBytes = 0;
        bool isDirectory = false;
        bool checked = true;
    };

    using ConfirmAction = std::function<void(const QList<ConfirmedItem>&)>;
    using CancelAction = std::function<void()>;

    ReviewSheetViewController(const QList<TrashCandidate>& items, ConfirmAction onConfirm, CancelAction onCancel,
                              QWidget* parent = nullptr);

    const std::vector<Item>& items() const { return m_items; }
    QList<Item> checkedItems() const;
    void toggle(int row);

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

    std::vector<Item> m_items;
    ConfirmAction m_onConfirm;
    CancelAction m_onCancel;
    bool m_finished = false;
    ScreenStyle::LabelTints m_tints;
    ReviewItemsModel* m_model = nullptr;
    QTableView* m_tableView = nullptr;
    QLabel* m_subtitleLabel = nullptr;
    QLabel* m_summaryLabel = nullptr;
    DestructiveButton* m_confirmButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
