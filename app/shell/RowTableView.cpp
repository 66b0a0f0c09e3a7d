#include "RowTableView.h"

#include "RowCopy.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>

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
    RowCopy::enable(this);
}

QString RowTableView::selectedRowsText() const
{
    return RowCopy::selectedRowsText(this);
}

void RowTableView::keyPressEvent(QKeyEvent* event)
{
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
    // From anywhere in the window (the sidebar too); a hidden screen's shortcut does not answer.
    find->setContext(Qt::WindowShortcut);
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
