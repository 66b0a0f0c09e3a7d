// Parts the deletion sheets and the host screen share: the sheet frame and the read-only table.
//
// A sheet is window-modal over its parent's window, deletes itself when closed, is 680 wide and opens
// with its title in the 15-point semibold type. A table has alternating rows of a fixed height, no grid,
// middle-elided single-line cells, several selectable rows, no vertical header, and copies its selected
// rows as text with the copy key (RowCopy).
#pragma once

#include <QString>

class QAbstractItemModel;
class QDialog;
class QLabel;
class QTableView;
class QWidget;

namespace SheetParts {

// Frames dialog as a sheet titled title and returns its title label (not yet in a layout).
QLabel* frameSheet(QDialog* dialog, const QString& title);
// A table over model; rowHeight 0 keeps the style's row height.
QTableView* table(QWidget* parent, QAbstractItemModel* model, const QString& accessibleName, int rowHeight = 0);

} // namespace SheetParts
