// Small text helpers the disk charts, the contents list and the outline share.
#pragma once

#include "AnalyzerTreeNode.h"

#include <QColor>
#include <QPalette>
#include <QString>

class QHeaderView;

namespace ChartText {

// Paths hold the file system's bytes; as text they decode without loss (pathFromBytes). name() is for
// showing: control characters in it are made visible (visibleText).
QString name(const AnalyzerTreeNode& node);
QString path(const AnalyzerTreeNode& node);
// ByteFormat.humanReadable of max(size, 0); for a file counted at another of its hard links (size 0,
// so totals count it once), its own size with a link mark.
QString size(const AnalyzerTreeNode& node);
// "name · size", what a chart element says of itself.
QString label(const AnalyzerTreeNode& node);
// For a file counted at another of its links, a line saying where, starting with a line break;
// empty for every other node.
QString linkNote(const AnalyzerTreeNode& node);
// label() and the link note, as a chart element's or a list row's tooltip, shown as written.
QString tooltip(const AnalyzerTreeNode& node);
// The text of a missing item's tooltip.
QString missingTooltip();
// The accent that marks a selected chart element.
QColor accent(const QPalette& palette);
// The width a header section needs to show title (one or more lines) whole, with its sort indicator.
int headerWidth(const QHeaderView* header, const QString& title);

} // namespace ChartText

namespace ChartText {
// True only when the item at path is gone: lstat fails with ENOENT (any other failure counts as
// present). It may block on a hung mount: never called on the GUI thread.
bool goneFromDisk(const std::string& path);
} // namespace ChartText
