// A small screen that removes files through the trash flow: a list of items, "Move to Trash…", the
// status line with the put-back and free buttons, and the deletion history. It stands in for the
// removing screens until they exist, and drives the flow end to end in tests and screenshots.
//
// Items the flow moved leave the list; after a put-back the items that exist again come back.
#pragma once

#include "DeletionItems.h"

#include <QList>
#include <QWidget>

#include <memory>

namespace brisklet {
class AuditLog;
}

class CandidateListModel;
class QLabel;
class QPushButton;
class QTableView;
class TrashFlowController;

class TrashFlowHostScreen : public QWidget {
    Q_OBJECT
public:
    // audit: the log used by the flow and the history (the shared one when empty).
    explicit TrashFlowHostScreen(std::shared_ptr<brisklet::AuditLog> audit = {}, QWidget* parent = nullptr);
    ~TrashFlowHostScreen() override;

    void setItems(const QList<TrashCandidate>& items);
    QList<TrashCandidate> shownItems() const;

    TrashFlowController* flow() const { return m_flow; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QPushButton* undoButton() const { return m_undoButton; }
    QPushButton* trashButton() const { return m_trashButton; }
    QTableView* tableView() const { return m_tableView; }

public slots:
    // Reviews the selected items, or all of them when none is selected.
    void trashSelection();
    void showHistory();

private:
    std::shared_ptr<brisklet::AuditLog> m_audit;
    QList<TrashCandidate> m_allItems;
    CandidateListModel* m_model = nullptr;
    QTableView* m_tableView = nullptr;
    QLabel* m_statusLabel = nullptr;
    QPushButton* m_undoButton = nullptr;
    QPushButton* m_trashButton = nullptr;
    QPushButton* m_historyButton = nullptr;
    TrashFlowController* m_flow = nullptr;
};
