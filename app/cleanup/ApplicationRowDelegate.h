// Draws an uninstaller row: the check box (greyed for a protected application), the icon (the one the application names, else its initial on a tile), the name
// over the detail line, the lock of a protected application, and the size or, until measured, a
// spinning arc. The host advances spinnerPhase and repaints while sizes are being measured.
#pragma once

#include <QHash>
#include <QIcon>
#include <QStyledItemDelegate>

class ApplicationRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setSpinnerPhase(qreal phase) { m_phase = phase; }
    // Icons are looked up once per name or file; a new listing forgets them.
    void clearIconCache() { m_icons.clear(); }

private:
    QIcon iconFor(const QString& icon) const;

    qreal m_phase = 0;
    mutable QHash<QString, QIcon> m_icons;
};
