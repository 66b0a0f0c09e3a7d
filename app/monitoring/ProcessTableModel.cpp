#include "ProcessTableModel.h"

#include "shell/PathBytes.h"
#include "TwoLineDelegate.h"
#include "shell/RowCopy.h"
#include "shell/ScreenStyle.h"

#include "scan/ScanRecords.h"

#include <QTextDocument>

ProcessTableModel::ProcessTableModel(QObject* parent)
    : QAbstractTableModel(parent), m_digits(ScreenStyle::monospacedFont(12))
{
}

void ProcessTableModel::setRows(std::vector<ProcessRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ProcessTableModel::setGenericIcon(const QPixmap& icon)
{
    m_icon = icon;
    if (!m_rows.empty())
        emit dataChanged(index(0, nameColumn), index(rowCount() - 1, nameColumn), {Qt::DecorationRole});
}

void ProcessTableModel::setColors(const QColor& secondary, const QColor& busy)
{
    m_secondary = secondary;
    m_busy = busy;
    if (!m_rows.empty())
        emit dataChanged(index(0, cpuColumn), index(rowCount() - 1, memoryColumn), {Qt::ForegroundRole});
}

bool ProcessTableModel::canStop(int row) const
{
    return row >= 0 && row < rowCount() && !m_rows[static_cast<std::size_t>(row)].isProtected;
}

QString ProcessTableModel::stopToolTip(bool isProtected)
{
    return isProtected ? QStringLiteral("System-critical process") : QStringLiteral("Send SIGTERM to this process");
}

int ProcessTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ProcessTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnCount_; }

QVariant ProcessTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ProcessRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case nameColumn:
        switch (role) {
        case Qt::DisplayRole: return row.name;
        case TwoLineDelegate::DetailRole: return ProcessRows::detailText(row);
        case Qt::DecorationRole: return row.icon.isNull() ? m_icon : row.icon;
        // Any user picks a command line; escaped, a tool tip shows it as written rather than as markup.
        case Qt::ToolTipRole: return Qt::convertFromPlainText(ProcessRows::commandText(row));
        case RowCopy::TextRole: return row.name + QLatin1Char('\t') + row.pidText + QLatin1Char('\t') + row.user;
        case Qt::AccessibleTextRole:
            return row.name + QStringLiteral(", ") + ProcessRows::detailText(row) + QStringLiteral(", ") +
                   ProcessRows::commandText(row);
        default: return {};
        }
    case cpuColumn:
        switch (role) {
        case Qt::DisplayRole: return ProcessRows::cpuText(row.entry.cpuFraction);
        case Qt::TextAlignmentRole: return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ForegroundRole: return ProcessRows::isBusy(row.entry.cpuFraction) ? m_busy : m_secondary;
        case Qt::FontRole: return m_digits;
        default: return {};
        }
    case memoryColumn:
        switch (role) {
        case Qt::DisplayRole: return utf8Text(brisklet::ByteFormat::humanReadable(row.entry.residentBytes));
        case Qt::TextAlignmentRole: return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ForegroundRole: return m_secondary;
        case Qt::FontRole: return m_digits;
        default: return {};
        }
    case stopColumn:
        if (role == Qt::ToolTipRole)
            return stopToolTip(row.isProtected);
        if (role == Qt::AccessibleTextRole)
            return row.isProtected ? QStringLiteral("Stop unavailable") : QStringLiteral("Stop");
        return {};
    default: return {};
    }
}

QVariant ProcessTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case nameColumn: return QStringLiteral("Process");
    case cpuColumn: return QStringLiteral("CPU");
    case memoryColumn: return QStringLiteral("Memory");
    default: return {};
    }
}
