// Ctrl+C (the platform's copy key) in a table copies its selected rows as text: one line per row, the
// visible columns' texts separated by tabs. The view's own copy would take only the current cell.
#pragma once

#include <QString>

class QTableView;

namespace RowCopy {

void enable(QTableView* table);
// The text enable() puts on the clipboard.
QString selectedRowsText(const QTableView* table);

} // namespace RowCopy
