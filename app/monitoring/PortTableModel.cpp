#include "PortTableModel.h"

#include "TwoLineDelegate.h"
#include "shell/CommandToolTip.h"
#include "shell/PathBytes.h"
#include "shell/RowCopy.h"
#include "shell/ScreenStyle.h"

#include <QTextDocument>

PortTableModel::PortTableModel(QObject* parent)
    : QAbstractTableModel(parent), m_portFont(ScreenStyle::monospacedFont(13, QFont::DemiBold)),
      m_addressFont(ScreenStyle::monospacedFont(12)), m_reachFont(ScreenStyle::font(12))
{
}

void PortTableModel::setRows(std::vector<PortRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

const PortRow* PortTableModel::row(int index) const
{
    return index >= 0 && index < rowCount() ? &m_rows[static_cast<std::size_t>(index)] : nullptr;
}

void PortTableModel::setColors(const QColor& secondary, const QColor& warning)
{
    m_secondary = secondary;
    m_warning = warning;
    if (!m_rows.empty())
        emit dataChanged(index(0, addressColumn), index(rowCount() - 1, addressColumn), {Qt::ForegroundRole});
}

bool PortTableModel::isActionEnabled(int index, Action action) const
{
    const PortRow* port = row(index);
    if (!port)
        return false;
    switch (action) {
    case copyAction: return true;
    case openAction: return PortRows::isHTTPLikely(port->port);
    case stopAction: return !port->isProtected;
    }
    return false;
}

QString PortTableModel::actionToolTip(int index, Action action) const
{
    const PortRow* port = row(index);
    if (!port)
        return {};
    switch (action) {
    case copyAction: return QStringLiteral("Copy localhost:") + QString::number(port->port);
    case openAction: return QStringLiteral("Open in browser");
    case stopAction:
        if (port->pid == 0)
            return PortRows::unreadableText(*port);
        return port->isProtected ? QStringLiteral("System-critical process") : QStringLiteral("Send SIGTERM to this process");
    }
    return {};
}

int PortTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PortTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnCount_; }

QVariant PortTableModel::data(const QModelIndex& index, int role) const
{
    const PortRow* port = index.isValid() ? row(index.row()) : nullptr;
    if (!port)
        return {};
    switch (index.column()) {
    case portColumn:
        if (role == Qt::DisplayRole)
            return QString::number(port->port);
        if (role == Qt::FontRole)
            return m_portFont;
        return {};
    case processColumn:
        switch (role) {
        case Qt::DisplayRole: return port->processName;
        case TwoLineDelegate::DetailRole: return PortRows::detailText(*port);
        // Any user picks a command line; escaped, a tool tip shows it as written rather than as markup.
        case Qt::ToolTipRole: return commandToolTip(port->command.value_or(port->processName));
        case RowCopy::TextRole: return port->processName + QStringLiteral("\tPID ") + QString::number(port->pid);
        case Qt::AccessibleTextRole: return port->processName + QStringLiteral(", ") + PortRows::detailText(*port);
        default: return {};
        }
    case addressColumn:
        switch (role) {
        case Qt::DisplayRole: return PortRows::reachText(*port);
        case Qt::ToolTipRole: return Qt::convertFromPlainText(PortRows::addressText(*port));
        case Qt::AccessibleTextRole:
            return QStringLiteral("Reach: ") + PortRows::reachText(*port) + QStringLiteral(", address ") +
                   PortRows::addressText(*port);
        // Addresses line up in fixed pitch; the two phrases read as words.
        case Qt::FontRole:
            return brisklet::reachOf(utf8String(port->addresses.value(0))) == brisklet::PortReach::oneAddress &&
                           !PortRows::isOpenToAllNetworks(*port)
                       ? m_addressFont
                       : m_reachFont;
        case Qt::ForegroundRole: return PortRows::isOpenToAllNetworks(*port) ? m_warning : m_secondary;
        default: return {};
        }
    case actionsColumn:
        // The buttons are painted, so a screen reader learns of them from the cell.
        if (role == Qt::AccessibleTextRole)
            return QStringLiteral("Copy, ") +
                   (isActionEnabled(index.row(), openAction) ? QStringLiteral("Open in browser, ") : QString()) +
                   (port->isProtected ? QStringLiteral("Stop unavailable") : QStringLiteral("Stop"));
        return {};
    default: return {};
    }
}

QVariant PortTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case portColumn: return QStringLiteral("Port");
    case processColumn: return QStringLiteral("Process");
    case addressColumn: return QStringLiteral("Reach");
    default: return {};
    }
}
