#include "DeletionStyle.h"

#include "DestructiveButton.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>

#include <algorithm>

namespace DeletionStyle {

QFont font(const QFont& base, qreal designPoints, QFont::Weight weight)
{
    QFont result = base;
    const qreal basePoints = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    result.setPointSizeF(basePoints * designPoints / 13.0);
    result.setWeight(weight);
    return result;
}

QFont digitsFont(const QFont& base, qreal designPoints)
{
    // The usual sans fonts here draw tabular digits already; the fixed font is only the fallback for
    // one that would not, so it is not used.
    return font(base, designPoints);
}

QColor secondaryText(const QPalette& palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6f);
    return color;
}

QColor destructiveText()
{
    return DestructiveButton::destructiveColor();
}

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
// Takes the copy key from the view, whose own copy would take only the current cell.
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

void enableRowCopy(QTableView* table)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->installEventFilter(new RowCopyFilter(table));
}

} // namespace DeletionStyle
