// Draws the smart-clean rows: a heading in small capitals; a category with its check box, symbol,
// title over detail and size; a member with its check box, small icon, name and size.
//
// The check box is the style's own item check indicator, so the base delegate's click and Space
// handling hit exactly the box that is drawn.
#pragma once

#include <QStyledItemDelegate>

class SmartCleanDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
