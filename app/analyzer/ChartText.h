// Small text helpers the disk charts, the contents list and the outline share.
#pragma once

#include "AnalyzerTreeNode.h"

#include <QColor>
#include <QPalette>
#include <QString>

namespace ChartText {

// Paths hold the file system's bytes; as text they decode without loss (pathFromBytes). name() is for
// showing: control characters in it are made visible (visibleText).
QString name(const AnalyzerTreeNode& node);
QString path(const AnalyzerTreeNode& node);
// ByteFormat.humanReadable of max(size, 0); for a file counted at another of its hard links (size 0,
// so totals count it once), its own size with a link mark.
QString size(const AnalyzerTreeNode& node);
// For a file counted at another of its links, a line saying where, starting with a line break;
// empty for every other node.
QString linkNote(const AnalyzerTreeNode& node);
// "name · size", the tooltip of a chart element, and the link note.
QString tooltip(const AnalyzerTreeNode& node);
// The text of a missing item's tooltip.
QString missingTooltip();
// The accent that marks a selected chart element.
QColor accent(const QPalette& palette);

} // namespace ChartText

namespace ChartText {
// True only when the item is gone: lstat fails with ENOENT (any other failure counts as present).
bool goneFromDisk(const AnalyzerTreeNode& node);
} // namespace ChartText
