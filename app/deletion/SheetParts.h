// Parts the deletion sheets and the host screen share: the sheet frame and the read-only table.
//
// A sheet is window-modal over its parent's window, deletes itself when closed, is 680 wide and opens
// with its title in the 15-point semibold type. A table has alternating rows of a fixed height, no grid,
// middle-elided single-line cells, several selectable rows, no vertical header, and copies its selected
// rows as text with the copy key: one line per row, the visible columns separated by tabs (the view's
// own copy would take only the current cell).
#pragma once

#include <QString>

#include <functional>

class QAbstractItemModel;
class QAbstractItemView;
class QDialog;
class QLabel;
class QTableView;
class QWidget;

namespace SheetParts {

// Frames dialog as a sheet titled title and returns its title label (not yet in a layout).
QLabel* frameSheet(QDialog* dialog, const QString& title);
// A table over model; rowHeight 0 keeps the style's row height.
QTableView* table(QWidget* parent, QAbstractItemModel* model, const QString& accessibleName, int rowHeight = 0);
// The copy key in view puts rowsText() on the clipboard (nothing when it is empty), ahead of any shortcut.
void copyRowsOnCopyKey(QAbstractItemView* view, std::function<QString()> rowsText);
// The text the copy key puts on the clipboard.
QString selectedRowsText(const QTableView* table);

} // namespace SheetParts
