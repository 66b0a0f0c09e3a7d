#include "RowCopy.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTableView>
#include <QTreeView>

#include <algorithm>

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
    QModelIndexList rows = selection->selectedRows();
    // Screen order: a sorted or filtered view and an outline's nesting both differ from row numbers.
    std::stable_sort(rows.begin(), rows.end(), [view](const QModelIndex& a, const QModelIndex& b) {
        return view->visualRect(a).top() < view->visualRect(b).top();
    });
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(row.parent()); ++column) {
            if (isColumnHidden(view, column))
                continue;
            const QModelIndex cell = model->index(row.row(), column, row.parent());
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
