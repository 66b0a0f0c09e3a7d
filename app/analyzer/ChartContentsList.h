// ChartContentsList: the list beside a chart naming the shown folder's items, largest first.
//
// showFolder(folder, selected) lists every child (no size filter, no aggregated row) and selects one row
// without reporting it; select() likewise. A selection the user makes is reported through onSelect with
// the selected nodes; isSyncing keeps the list's own changes from being reported back. A double click or
// Return on a folder asks to drill (onDrill); the context menu, rebuilt on each opening, offers
// "Drill In", "Show in File Manager" and "Move to Trash" (not for an item gone from disk) for the clicked
// row, or the selected one. The menu closes when the list shows another folder or tree, whose nodes its
// actions would not belong to.
// Rows whose item is gone from disk (the screen's missing-item check) are struck through, with a tooltip.
// Ctrl+C copies the selected rows as "name<TAB>size" lines.
// With changes since an earlier scan (setChanges) a third column, "Change since" over "3 Dec, 14:05",
// shows each row's change, and the header appears: a click on "Change" orders the rows by it, on "Name" or "Size" largest first.
#pragma once

#include "AnalyzerTreeNode.h"
#include "ScanChanges.h"

#include <QColor>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class ContentsListModel;
class ElidedLabel;
class QMenu;
class QTableView;

class ChartContentsList : public QWidget {
    Q_OBJECT
public:
    explicit ChartContentsList(QWidget* parent = nullptr);

    void showFolder(const AnalyzerNodePtr& folder, const AnalyzerNodePtr& selected);
    void select(const AnalyzerTreeNode* node);
    // Selects the listed ones of nodes, without reporting them.
    void selectNodes(const std::vector<AnalyzerNodePtr>& nodes);
    std::vector<AnalyzerNodePtr> selectedNodes() const;
    // The rows whose items the missing-item check looks at (not the aggregated ones), and the rows to
    // show again once it changed the marks of changed; true when one of them is listed here.
    std::vector<AnalyzerNodePtr> missingCheckItems() const;
    bool showMissingChanges(const NodeSet& changed);
    // Null removes the Change column.
    void setChanges(std::shared_ptr<const ScanChanges> changes);
    AnalyzerNodePtr clickedNode() const;
    // The context menu for the clicked row (empty without one); the caller owns it.
    QMenu* buildContextMenu(QWidget* parent);

    const AnalyzerNodePtr& folder() const { return m_folder; }
    const std::vector<AnalyzerNodePtr>& items() const;
    bool isSyncing() const { return m_isSyncing; }

    ElidedLabel* titleLabel() const { return m_titleLabel; }
    ElidedLabel* totalLabel() const { return m_totalLabel; }
    QTableView* tableView() const { return m_tableView; }
    ElidedLabel* pathLabel() const { return m_pathLabel; }

    std::function<void(const std::vector<AnalyzerNodePtr>&)> onSelect;
    std::function<void(const AnalyzerNodePtr&)> onDrill;
    std::function<void(const AnalyzerNodePtr&)> onReveal;
    std::function<void(const AnalyzerNodePtr&)> onTrash;
    std::function<std::optional<QColor>(const AnalyzerTreeNode*)> colorProvider;

private:
    void userSelectionChanged();
    void showPath(const AnalyzerTreeNode* node);

    AnalyzerNodePtr m_folder;
    ContentsListModel* m_model = nullptr;
    ElidedLabel* m_titleLabel = nullptr;
    ElidedLabel* m_totalLabel = nullptr;
    QTableView* m_tableView = nullptr;
    ElidedLabel* m_pathLabel = nullptr;
    int m_clickedRow = -1;
    bool m_isSyncing = false;
    QPointer<QMenu> m_contextMenu; // open while its exec() runs
};
