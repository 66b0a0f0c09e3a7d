// Ctrl+C in a table or outline copies its selected rows as text, the one way every list of the program
// does it: one line per selected row in the order the view shows them (its model's tree order: a row
// before its children, siblings by row), the visible cells of a row
// separated by tabs. A cell gives its copy text in TextRole (a model can put a whole row's fields
// there, tab-separated, and leave the other cells without one), otherwise its display text; a cell
// with neither is left out. The view's own copy would take only the current cell, and the window's
// Edit menu holds the same key, so the key is taken before any shortcut can see it.
#pragma once

#include <Qt>

class QAbstractItemView;
class QString;

namespace RowCopy {

inline constexpr int TextRole = Qt::UserRole + 64;

// From now on the copy key in view puts selectedRowsText(view) on the clipboard (nothing when empty).
void enable(QAbstractItemView* view);
// The text the copy key puts on the clipboard.
QString selectedRowsText(const QAbstractItemView* view);

} // namespace RowCopy
