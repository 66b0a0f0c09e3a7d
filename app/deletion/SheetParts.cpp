#include "SheetParts.h"

#include "shell/RowCopy.h"
#include "shell/ScreenStyle.h"

#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>

namespace SheetParts {

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
    view->setTabKeyNavigation(false); // Tab leaves the list; the arrows move in it
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
    RowCopy::enable(view);
    return view;
}

} // namespace SheetParts
