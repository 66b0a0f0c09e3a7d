// ChartPaneController: what the treemap and sunburst panes share.
//
// A pane shows one folder of the presented tree at a time: a navigation row (up button and the folder's
// path) over the chart, and the contents list at the right. Drilling (chart or list) shows a folder with
// children; going up (button, Alt+Up or Backspace, or the chart's own gesture) shows the parent. The pane
// reports how many items are selected (onSelectionChange) and asks the screen to trash one item from the
// list's context menu (onTrashRequest); selectedTrashItems() lists the selection for the screen's trash
// button, leaving out items gone from disk and the charts' aggregated "Other" items (they name nothing on
// disk). removePaths() drops trashed items and returns to the root when the shown folder went with them.
//
// The panes and the outline share one tree: after a move to the Trash the screen calls removePaths() on
// every pane in the same turn of the event loop (the first call changes the tree, the others only reload).
#pragma once

#include "AnalyzerTreeNode.h"
#include "deletion/DeletionItems.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class ChartContentsList;
class ElidedLabel;
class QToolButton;

// What the trash flow reviews for node: its path, size (at least 0) and whether it is a folder.
TrashCandidate trashCandidate(const AnalyzerTreeNode& node);
// Paths as the trash flow reports them, as the tree spells them.
PathSet pathSet(const QSet<QString>& paths);

class ChartPaneController : public QWidget {
    Q_OBJECT
public:
    void present(const AnalyzerNodePtr& node);
    void removePaths(const PathSet& paths);
    void removePaths(const QSet<QString>& paths) { removePaths(pathSet(paths)); }
    QList<TrashCandidate> selectedTrashItems() const;
    void drill(const AnalyzerNodePtr& node);
    void upClicked();
    void syncNavigation();
    // The listed items the missing-item check looks at; once it changed the marks of changed, the list
    // shows them and the selection count is told again (items gone from disk are not trashed).
    std::vector<AnalyzerNodePtr> missingCheckItems() const;
    void showMissingChanges(const NodeSet& changed);

    const AnalyzerNodePtr& rootNode() const { return m_rootNode; }
    const AnalyzerNodePtr& currentRoot() const { return m_currentRoot; }
    ChartContentsList* contentsList() const { return m_contentsList; }
    QToolButton* upButton() const { return m_upButton; }
    QString breadcrumb() const;

    std::function<void(int)> onSelectionChange;
    std::function<void(const QList<TrashCandidate>&)> onTrashRequest;

protected:
    ChartPaneController(QWidget* chart, QWidget* parent);
    // The chart shows folder (and forgets its selection, reporting none).
    virtual void showChart(const AnalyzerNodePtr& folder) = 0;
    virtual AnalyzerNodePtr chartSelection() const = 0;
    virtual std::optional<QColor> chartColor(const AnalyzerTreeNode* node) const = 0;
    QWidget* chart() const { return m_chart; }
    void reportSelection(int count);
    void changeEvent(QEvent* event) override;
    // Selected nodes count as items to trash unless they are aggregated or gone from disk.
    static int trashableCount(const std::vector<AnalyzerNodePtr>& nodes);

private:
    void showFolder(const AnalyzerNodePtr& folder);

    QWidget* m_chart = nullptr;
    AnalyzerNodePtr m_rootNode;
    AnalyzerNodePtr m_currentRoot;
    ChartContentsList* m_contentsList = nullptr;
    QToolButton* m_upButton = nullptr;
    ElidedLabel* m_breadcrumb = nullptr;
};
