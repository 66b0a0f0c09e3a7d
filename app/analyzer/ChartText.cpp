#include "ChartText.h"

#include "deletion/DeletionItems.h"
#include "shell/PlainText.h"

#include <QHeaderView>
#include <QStyle>

namespace ChartText {

QString name(const AnalyzerTreeNode& node) { return visibleText(pathFromBytes(node.entry().name)); }
QString path(const AnalyzerTreeNode& node) { return pathFromBytes(node.entry().path()); }
namespace {
bool countedElsewhere(const AnalyzerTreeNode& node)
{
    return !node.entry().isDirectory && node.entry().linkedSizeBytes > 0 && node.sizeBytes() <= 0;
}
} // namespace

QString size(const AnalyzerTreeNode& node)
{
    return countedElsewhere(node) ? linkedSize(node.entry().linkedSizeBytes) : formatBytes(countedSize(node));
}
QString linkNote(const AnalyzerTreeNode& node)
{
    if (!countedElsewhere(node))
        return {};
    const std::string* at = node.countedAt();
    return QLatin1Char('\n') + countedElsewhereNote(at ? visibleText(pathFromBytes(*at)) : QString());
}
QString label(const AnalyzerTreeNode& node) { return name(node) + QStringLiteral(" \u00b7 ") + size(node); }
QString tooltip(const AnalyzerTreeNode& node) { return PlainText::toolTip(label(node) + linkNote(node)); }
QString missingTooltip() { return QStringLiteral("No longer on disk. Rescan to update sizes."); }
QColor accent(const QPalette& palette) { return palette.color(QPalette::Highlight); }

} // namespace ChartText

#include <sys/stat.h>

#include <algorithm>

#include <cerrno>

bool ChartText::goneFromDisk(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) != 0 && errno == ENOENT;
}

int ChartText::headerWidth(const QHeaderView* header, const QString& title)
{
    const QFontMetrics metrics = header->fontMetrics();
    int widest = 0;
    for (const QString& line : title.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QStyle* style = header->style();
    const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return widest + 4 * margin + style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
}
