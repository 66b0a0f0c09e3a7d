#include "RowCopy.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTableView>

#include <algorithm>

namespace RowCopy {

QString selectedRowsText(const QTableView* table)
{
    const QItemSelectionModel* selection = table->selectionModel();
    const QAbstractItemModel* model = table->model();
    if (!selection || !model)
        return {};
    QList<int> rows;
    for (const QModelIndex& index : selection->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column) {
            if (!table->isColumnHidden(column))
                cells.append(model->index(row, column).data(Qt::DisplayRole).toString());
        }
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {
class RowCopyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool isKey = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
        if (!isKey || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return false;
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            const QString text = selectedRowsText(static_cast<QTableView*>(watched));
            if (!text.isEmpty())
                QApplication::clipboard()->setText(text);
        }
        return true;
    }
};
} // namespace

void enable(QTableView* table)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->installEventFilter(new RowCopyFilter(table));
}

} // namespace RowCopy
