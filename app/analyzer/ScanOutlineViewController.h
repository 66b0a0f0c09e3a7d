// ScanOutlineViewController: the whole scan as an expandable outline with sizes and shares.
//
// The model is lazy: an index carries its node, rows are asked for as the view expands them, and no row
// object exists per node. The top level lists the root's children; present() and removePaths() reload
// and expand the top level by one step. A row shows an icon by kind (unreadable, folded, folder, file),
// the name (struck through when gone from disk) and the detail: size, and for rows below the root
// "  ·  " and the share of the root's size ("0%" for shares of 0.1% or less). A double click or Return
// reveals the item in the file browser; Ctrl+C copies the selected rows. selectedTrashItems() leaves out
// the root, items gone from disk and items inside a selected folder (they go with the folder), in row
// order; the selection count reported is theirs.
// With changes since an earlier scan (setChanges) a second column, "Change since 3 Dec, 14:05", shows
// each row's change and the header appears; a click on "Change" orders every folder's rows by it, on "Name" largest first.
#pragma once

#include "AnalyzerTreeNode.h"
#include "ChartPaneController.h"
#include "ScanChanges.h"

#include <QAbstractItemModel>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

class QTreeView;

class AnalyzerOutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int detailRole = Qt::UserRole + 1;
    static constexpr int symbolRole = Qt::UserRole + 2;
    static constexpr int changeRole = Qt::UserRole + 3; // the difference in bytes (0 without one)
    static constexpr int changeColumn = 1;

    using QAbstractItemModel::QAbstractItemModel;

    void setRoot(const AnalyzerNodePtr& root);
    // Reloads after the tree changed below the root.
    void reload();
    const AnalyzerNodePtr& root() const { return m_root; }
    std::int64_t rootSize() const { return m_rootSize; }
    AnalyzerTreeNode* node(const QModelIndex& index) const;
    std::pair<QString, QString> rowText(const AnalyzerTreeNode& node) const;
    void rowChanged(const QModelIndex& index) { emit dataChanged(index, index); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    void setChanges(std::shared_ptr<const ScanChanges> changes);
    const std::shared_ptr<const ScanChanges>& changes() const { return m_changes; }

private:
    // Children in the shown order: the tree's own, or by change when the Change column orders them.
    AnalyzerTreeNode* childAt(const AnalyzerTreeNode& owner, int row) const;
    int rowOf(const AnalyzerTreeNode& owner, const AnalyzerTreeNode* child) const;
    const std::vector<AnalyzerTreeNode*>* changeOrder(const AnalyzerTreeNode& owner) const;

    std::shared_ptr<const ScanChanges> m_changes;
    std::optional<Qt::SortOrder> m_byChange;
    mutable std::unordered_map<const AnalyzerTreeNode*, std::vector<AnalyzerTreeNode*>> m_changeOrder;
    AnalyzerNodePtr m_root;
    std::int64_t m_rootSize = 1;
};

class ScanOutlineViewController : public QWidget {
    Q_OBJECT
public:
    explicit ScanOutlineViewController(QWidget* parent = nullptr);

    void present(const AnalyzerNodePtr& node);
    void removePaths(const PathSet& paths);
    void removePaths(const QSet<QString>& paths) { removePaths(pathSet(paths)); }
    // The shown rows (expanded ones included) the missing-item check looks at, and showing the rows
    // whose marks it changed (the selection count is told again).
    std::vector<AnalyzerNodePtr> missingCheckItems() const;
    void showMissingChanges(const NodeSet& changed);
    // Null removes the Change column.
    void setChanges(std::shared_ptr<const ScanChanges> changes);
    QList<TrashCandidate> selectedTrashItems() const;
    // The nodes of selectedTrashItems(), in row order: what the selection count counts.
    std::vector<const AnalyzerTreeNode*> selectedTrashNodes() const;
    std::pair<QString, QString> rowText(const AnalyzerTreeNode& node) const { return m_model->rowText(node); }

    const AnalyzerNodePtr& root() const { return m_model->root(); }
    std::int64_t rootSize() const { return m_model->rootSize(); }
    QTreeView* outlineView() const { return m_outlineView; }
    AnalyzerOutlineModel* model() const { return m_model; }

    // Told the number of items selectedTrashItems() lists.
    std::function<void(int)> onSelectionChange;
    // A double click or Return on a row: the file browser by default.
    std::function<void(const QString& path)> onReveal;

private:
    void expandTopLevel();
    void reportSelection();
    // Calls visit(index, node) for the top-level rows and goes into the children of each row for which
    // it returns true; a row is visited before its children.
    template <class Visit>
    void walkRows(Visit visit) const;
    // Calls visit(index, node) for every row the outline shows, expanded rows included.
    template <class Visit>
    void forEachShownRow(Visit visit) const;

    AnalyzerOutlineModel* m_model;
    QTreeView* m_outlineView;
};
