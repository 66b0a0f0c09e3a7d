// Fonts, colours and table behaviour shared by the deletion sheets.
//
// Sizes are given in the 13-point scale of the original design and scaled to the application font, so
// the sheets follow the user's font size. Secondary text is the window text at reduced opacity, so it
// follows the appearance.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QTableView;
class QWidget;

namespace DeletionStyle {

// base scaled from 13 to designPoints, with weight.
QFont font(const QFont& base, qreal designPoints, QFont::Weight weight = QFont::Normal);
// Digits of equal width for size columns, at designPoints.
QFont digitsFont(const QFont& base, qreal designPoints);
QColor secondaryText(const QPalette& palette);
QColor destructiveText();
// Ctrl+C (the platform's copy key) copies the selected rows as tab-separated text, one line per row.
void enableRowCopy(QTableView* table);
// The text enableRowCopy puts on the clipboard.
QString selectedRowsText(const QTableView* table);

} // namespace DeletionStyle
