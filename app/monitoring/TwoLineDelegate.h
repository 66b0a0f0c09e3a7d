// Paints a cell as an optional icon beside two lines: the display text (tail-elided) and, under it, the
// DetailRole text in a smaller secondary colour (middle-elided). The icon is the DecorationRole's QIcon
// or QPixmap, drawn in a square of iconSide.
#pragma once

#include <QFont>
#include <QStyledItemDelegate>

class TwoLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int DetailRole = Qt::UserRole + 1;

    TwoLineDelegate(const QFont& titleFont, const QFont& detailFont, int iconSide, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QFont m_titleFont;
    QFont m_detailFont;
    int m_iconSide;
};
