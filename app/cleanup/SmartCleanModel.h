// The smart-clean list as a tree: group headings and categories at the top level, a category's largest
// members below it.
//
// The model holds the measured categories that exist and the selection. A category is ticked (its id in
// checkedIDs: the whole folder goes) or partial (an entry in partialChildren: only those members go),
// never both. Ticking a member starts from the partial set, else from every member when the category is
// ticked, else from nothing; a set that ends up empty unselects the category and one that holds every
// member ticks it. Check states come in and go out through Qt::CheckStateRole (tri-state for
// categories), so the view's own click and Space handling drive the rules. selectionChanged() follows
// every change of selection or contents. A member counted at another of its hard links names that link
// in its tooltip when the link is a member too.
#pragma once

#include "clean/CleanCategory.h"
#include "deletion/DeletionItems.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>
#include <vector>

class SmartCleanModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum class Kind { header, category, child };
    enum Role { KindRole = Qt::UserRole + 1, DetailRole, SizeTextRole, SymbolRole };

    explicit SmartCleanModel(QObject* parent = nullptr);

    // Where a member counted at another of its hard links was counted: the path of that link, by the
    // member's path, for links that are members too (found on a worker: it touches the file system).
    using CountedLinks = std::map<std::string, std::string>;
    static CountedLinks findCountedLinks(const std::vector<brisklet::CleanCategoryResult>& results);

    // New measured results (only those that exist are kept, in the order given); nothing is selected.
    void setResults(std::vector<brisklet::CleanCategoryResult> results, CountedLinks countedLinks = {});
    const std::vector<brisklet::CleanCategoryResult>& results() const { return m_results; }

    void setCategoryChecked(int result, bool on);
    void setChildChecked(int result, int child, bool on);
    void selectAll();
    void deselectAll();

    Qt::CheckState categoryState(int result) const;
    bool isChildChecked(int result, int child) const;
    // The bytes a category contributes to the selection: its selected members when partial, its whole
    // size when ticked, 0 otherwise. A category counts as selected when this is above 0.
    qint64 effectiveSize(int result) const;
    int selectedCount() const;
    bool everythingTicked() const;
    // "N categories selected · SIZE reclaimable", empty when no category exists. SIZE is reclaimable
    // when given (what the removal was measured to free), else the sum of the effective sizes.
    QString summary(std::optional<qint64> reclaimable = std::nullopt) const;
    // In result order: a partial category's selected members, a ticked category's folders.
    QList<TrashCandidate> itemsToClean() const;
    // Drops moved folders and members; categories left without a folder disappear with their selection.
    void removeMoved(const QSet<QString>& paths);

    Kind kind(const QModelIndex& index) const;
    // The index of the result a category or member row belongs to, -1 for a heading.
    int resultOf(const QModelIndex& index) const;
    // A category row's folders, or a member row's own path; nothing for a heading.
    QStringList pathsAt(const QModelIndex& index) const;
    QModelIndex categoryIndex(const QString& id) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void selectionChanged();

private:
    struct TopRow {
        Kind kind;
        int result; // -1 for a heading
        QString heading;
    };
    void rebuildRows();
    QString idOf(int result) const;
    QSet<QString> allChildPaths(int result) const;
    // Applies a member set: empty unselects, complete ticks, anything else is partial.
    void applyChildSet(int result, QSet<QString> chosen);
    void selectionDidChange(int result);

    std::vector<brisklet::CleanCategoryResult> m_results;
    CountedLinks m_countedLinks;
    std::vector<TopRow> m_rows;
    std::vector<int> m_rowOfResult;
    QSet<QString> m_checkedIDs;
    QHash<QString, QSet<QString>> m_partialChildren;
};
