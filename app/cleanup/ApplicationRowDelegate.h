// Draws an uninstaller row: the check box (greyed for a protected application), the icon, the name
// over the detail line, the lock of a protected application, and the size or, until measured, a
// spinning arc. The host advances spinnerPhase and repaints while sizes are being measured.
#pragma once

#include <QStyledItemDelegate>

class ApplicationRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setSpinnerPhase(qreal phase) { m_phase = phase; }

private:
    qreal m_phase = 0;
};
