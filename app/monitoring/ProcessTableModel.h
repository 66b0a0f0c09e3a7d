// The processes table: one row per visible process, columns name (with the PID and user under it, and
// the command line as its tool tip), CPU, memory and the Stop button. The rows are replaced as a whole
// after each reading, filter or sort; the screen keeps the user's place across.
#pragma once

#include "ProcessRows.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPixmap>

class ProcessTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { nameColumn, cpuColumn, memoryColumn, stopColumn, columnCount_ };

    explicit ProcessTableModel(QObject* parent = nullptr);

    void setRows(std::vector<ProcessRow> rows);
    const std::vector<ProcessRow>& rows() const { return m_rows; }
    // Drawn beside every name that has no application icon of its own.
    void setGenericIcon(const QPixmap& icon);
    void setColors(const QColor& secondary, const QColor& busy);

    // Stop is offered for every process that is not protected.
    bool canStop(int row) const;
    static QString stopToolTip(bool isProtected);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<ProcessRow> m_rows;
    QPixmap m_icon;
    QColor m_secondary;
    QColor m_busy;
    QFont m_digits;
};
