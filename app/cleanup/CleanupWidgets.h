// Pieces both cleanup screens are built from: the header texts, the small put-back button, the
// message alert, and the scanner options for measuring categories and leftovers.
#pragma once

#include "scan/DiskScanner.h"
#include "shell/ScreenStyle.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStyleOptionViewItem>

class QLabel;
class QMessageBox;
class QPainter;
class QRect;
class QPushButton;
class QWidget;

namespace CleanupWidgets {

// The screen title, bold at the 26-point design size.
QLabel* title(const QString& text, QWidget* parent);
// The line under the title at 12 points in the secondary colour, wrapped.
QLabel* subtitle(const QString& text, QWidget* parent, ScreenStyle::LabelTints& tints);
// The one-line summary at 11 points in the secondary colour, also the trash flow's status line.
QLabel* summary(QWidget* parent, ScreenStyle::LabelTints& tints);
// The small "Undo" button the trash flow shows while it has a batch; hidden at first.
QPushButton* undoButton(const QString& toolTip, QWidget* parent);

// text in one line inside rect, elided in the middle when it does not fit.
void drawLine(QPainter* painter, const QRect& rect, const QFont& font, const QColor& color, const QString& text,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

struct TextLine {
    QFont font;
    QColor color;
    QString text;
};
// A title above a detail line, 2 pixels apart, the pair centred in rect's height; each drawn as drawLine.
void drawTwoLines(QPainter* painter, const QRect& rect, const TextLine& title, const TextLine& detail);

// A check box in rect: an outlined rounded square, filled with the highlight colour and a white tick
// (or dash, for a mixed state) when on; inverted on a selected row. Drawn here because the style's box
// vanishes on dark rows.
void drawCheckBox(QPainter* painter, const QRect& rect, Qt::CheckState state, bool enabled, const QPalette& palette,
                  bool onSelection);

// What a row's own painting needs after drawRowBase.
struct RowPaint {
    QRect check;                         // where the check box is (the style's item check indicator)
    QColor primary, secondary, tertiary; // text colours for the row's selection state
    qreal ratio = 1.0;                   // the device pixel ratio
};
// Draws a list row's background, selection and focus through the style, then its check box. option
// is the delegate's option after initStyleOption; the box is greyed unless checkEnabled.
RowPaint drawRowBase(QPainter* painter, QStyleOptionViewItem option, bool checkEnabled);

// An informational message with one "OK" button, as a sheet of host's window; returns at once.
QMessageBox* alert(QWidget* host, const QString& message);

// Category and leftover measuring: workers as many as processors (2 to 12), the default name sets,
// 16 MiB large-file threshold, 100 large files, 8 s per folder.
brisklet::DiskScanner::Options measuringOptions();

} // namespace CleanupWidgets
