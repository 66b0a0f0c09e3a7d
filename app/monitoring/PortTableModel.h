// The ports table: Port, Process (name with PID, protection, system-port and ancestry under it),
// Reach (who can connect, in the warning colour when every network can; the addresses as its tool
// tip), and the copy / open / stop buttons. Rows are replaced as a whole after each reading or filter.
#pragma once

#include "PortRows.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>

class PortTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { portColumn, processColumn, addressColumn, actionsColumn, columnCount_ };
    enum Action { copyAction, openAction, stopAction };

    explicit PortTableModel(QObject* parent = nullptr);

    void setRows(std::vector<PortRow> rows);
    const std::vector<PortRow>& rows() const { return m_rows; }
    const PortRow* row(int index) const;
    void setColors(const QColor& secondary, const QColor& warning);

    bool isActionEnabled(int row, Action action) const;
    QString actionToolTip(int row, Action action) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<PortRow> m_rows;
    QColor m_secondary;
    QColor m_warning;
    QFont m_portFont;
    QFont m_addressFont;
    QFont m_reachFont;
};
