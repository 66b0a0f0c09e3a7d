#include "RowTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>

#include <algorithm>

RowTableView::RowTableView(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
}

QString RowTableView::selectedRowsText() const
{
    if (!model() || !selectionModel())
        return {};
    QList<QModelIndex> rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < model()->columnCount(); ++column) {
            if (isColumnHidden(column))
                continue;
            const QModelIndex cell = model()->index(row.row(), column);
            QVariant text = cell.data(CopyTextRole);
            if (!text.isValid())
                text = cell.data(Qt::DisplayRole);
            if (!text.toString().isEmpty())
                cells << text.toString();
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void RowTableView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        const QString text = selectedRowsText();
        if (!text.isEmpty())
            QApplication::clipboard()->setText(text);
        event->accept();
        return;
    }
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    if (row >= 0 && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit rowActivated(row);
        event->accept();
        return;
    }
    if (row >= 0 && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        emit rowDeleteRequested(row);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void RowTableView::attachSearchField(QLineEdit* field, QWidget* screen)
{
    m_searchField = field;
    field->installEventFilter(this);
    auto* find = new QShortcut(QKeySequence::Find, screen);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, field, [field] {
        field->setFocus(Qt::ShortcutFocusReason);
        field->selectAll();
    });
}

bool RowTableView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_searchField && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !m_searchField->text().isEmpty()) {
            m_searchField->clear();
            return true;
        }
        if (key->key() == Qt::Key_Down && model() && model()->rowCount() > 0) {
            setFocus(Qt::TabFocusReason);
            if (!currentIndex().isValid())
                setCurrentIndex(model()->index(0, 0));
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}
