#include "RowCopy.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>
#include <QTreeView>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace RowCopy {

namespace {
bool isColumnHidden(const QAbstractItemView* view, int column)
{
    if (const auto* table = qobject_cast<const QTableView*>(view))
        return table->isColumnHidden(column);
    if (const auto* tree = qobject_cast<const QTreeView*>(view))
        return tree->isColumnHidden(column);
    return false;
}

class CopyKeyFilter : public QObject {
public:
    explicit CopyKeyFilter(QAbstractItemView* view) : QObject(view), m_view(view) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const bool isKey = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
        if (!isKey || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return false;
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            const QString text = selectedRowsText(m_view);
            if (!text.isEmpty())
                QApplication::clipboard()->setText(text);
        }
        return true;
    }

private:
    QAbstractItemView* m_view;
};
} // namespace

void enable(QAbstractItemView* view)
{
    view->installEventFilter(new CopyKeyFilter(view));
}

QString selectedRowsText(const QAbstractItemView* view)
{
    const QItemSelectionModel* selection = view->selectionModel();
    const QAbstractItemModel* model = view->model();
    if (!selection || !model)
        return {};
    // Tree order (a row before its children, siblings by row), which is the screen's order: a sorted or
    // filtered view sorts its own model. Taken from the selection's ranges and each parent's row numbers
    // up to the top, once per parent: asking the view where each row is, or the selection about each
    // row, searches every row or range each time and takes seconds for a large selection.
    struct ModelIndexHash {
        std::size_t operator()(const QModelIndex& index) const { return qHash(index); }
    };
    std::unordered_map<QModelIndex, std::vector<int>, ModelIndexHash> parentKeys; // the parent's rows, top first
    const auto keyOf = [&parentKeys](const QModelIndex& parent) -> const std::vector<int>* {
        const auto [entry, added] = parentKeys.try_emplace(parent);
        if (added) {
            for (QModelIndex up = parent; up.isValid(); up = up.parent())
                entry->second.push_back(up.row());
            std::reverse(entry->second.begin(), entry->second.end());
        }
        return &entry->second;
    };
    struct Row {
        const std::vector<int>* parentKey;
        int row;
        QModelIndex parent;
    };
    std::vector<Row> rows;
    for (const QItemSelectionRange& range : selection->selection()) {
        if (!range.isValid())
            continue;
        const QModelIndex parent = range.parent();
        const std::vector<int>* key = keyOf(parent);
        const bool wholeRows = range.left() == 0 && range.right() == model->columnCount(parent) - 1;
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const Qt::ItemFlags flags = model->index(row, 0, parent).flags();
            const bool selectable = (flags & Qt::ItemIsSelectable) && (flags & Qt::ItemIsEnabled);
            if (selectable && (wholeRows || selection->isRowSelected(row, parent)))
                rows.push_back({key, row, parent});
        }
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.parentKey == b.parentKey)
            return a.row < b.row;
        const std::vector<int>& x = *a.parentKey;
        const std::vector<int>& y = *b.parentKey;
        const std::size_t common = std::min(x.size(), y.size());
        for (std::size_t i = 0; i < common; ++i)
            if (x[i] != y[i])
                return x[i] < y[i];
        if (x.size() == y.size()) // one place, two parent indexes (another column): by row
            return a.row < b.row;
        if (x.size() < y.size())
            return a.row <= y[common]; // equal: a is b's ancestor, shown before it
        return x[common] < b.row;
    });
    // Overlapping ranges name a row twice.
    rows.erase(std::unique(rows.begin(), rows.end(),
                           [](const Row& a, const Row& b) { return a.parentKey == b.parentKey && a.row == b.row; }),
               rows.end());
    QStringList lines;
    for (const Row& row : rows) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(row.parent); ++column) {
            if (isColumnHidden(view, column))
                continue;
            const QModelIndex cell = model->index(row.row, column, row.parent);
            QVariant text = cell.data(TextRole);
            if (!text.isValid())
                text = cell.data(Qt::DisplayRole);
            if (text.isValid())
                cells << text.toString();
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace RowCopy
