#include "SheetParts.h"

#include "shell/ScreenStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableView>

#include <algorithm>

namespace SheetParts {

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
// Takes the copy key before any shortcut can (the window's Edit menu holds the same key, and two
// shortcuts on one key would both stay silent), then copies the rows when the key arrives.
class RowCopyFilter : public QObject {
public:
    RowCopyFilter(QObject* parent, std::function<QString()> rowsText) : QObject(parent), m_rowsText(std::move(rowsText)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const bool isKey = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
        if (!isKey || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return false;
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            const QString text = m_rowsText();
            if (!text.isEmpty())
                QApplication::clipboard()->setText(text);
        }
        return true;
    }

private:
    std::function<QString()> m_rowsText;
};
} // namespace

void copyRowsOnCopyKey(QAbstractItemView* view, std::function<QString()> rowsText)
{
    view->installEventFilter(new RowCopyFilter(view, std::move(rowsText)));
}

QLabel* frameSheet(QDialog* dialog, const QString& title)
{
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFixedWidth(680);
    auto* label = new QLabel(title, dialog);
    label->setFont(ScreenStyle::font(15, QFont::DemiBold));
    return label;
}

QTableView* table(QWidget* parent, QAbstractItemModel* model, const QString& accessibleName, int rowHeight)
{
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setAccessibleName(accessibleName);
    view->setAlternatingRowColors(true);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideMiddle);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    if (rowHeight > 0) {
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(rowHeight);
    }
    view->horizontalHeader()->setHighlightSections(false);
    copyRowsOnCopyKey(view, [view] { return selectedRowsText(view); });
    return view;
}

} // namespace SheetParts
