#include "TwoLineDelegate.h"

#include "shell/ScreenStyle.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

TwoLineDelegate::TwoLineDelegate(const QFont& titleFont, const QFont& detailFont, int iconSide, QObject* parent)
    : QStyledItemDelegate(parent), m_titleFont(titleFont), m_detailFont(detailFont), m_iconSide(iconSide)
{
}

void TwoLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    background.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    painter->save();
    // Without an icon the texts start where plain cells and the column's header put theirs.
    const int inset = m_iconSide > 0 ? 6 : style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    QRect area = option.rect.adjusted(inset, 0, -inset, 0);
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (m_iconSide > 0) {
        const QRect iconRect(area.left(), area.center().y() - m_iconSide / 2, m_iconSide, m_iconSide);
        if (decoration.canConvert<QIcon>())
            decoration.value<QIcon>().paint(painter, iconRect);
        else if (decoration.canConvert<QPixmap>()) {
            // A symbol keeps its own size, centred in the icon square.
            const QPixmap pixmap = decoration.value<QPixmap>();
            const QSize size = pixmap.deviceIndependentSize().toSize().boundedTo(iconRect.size());
            painter->drawPixmap(QRect(QPoint(0, 0), size).translated(iconRect.center() - QRect(QPoint(0, 0), size).center()), pixmap);
        }
        area.setLeft(iconRect.right() + 10);
    }

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const QColor titleColor = selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);
    QColor detailColor = titleColor;
    if (!selected)
        detailColor = ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::secondary);

    const QFontMetrics titleMetrics(m_titleFont);
    const QFontMetrics detailMetrics(m_detailFont);
    const QString detail = index.data(DetailRole).toString();
    const int textHeight = titleMetrics.height() + (detail.isEmpty() ? 0 : detailMetrics.height() + 1);
    const int top = area.center().y() - textHeight / 2 + 1;

    painter->setFont(m_titleFont);
    painter->setPen(titleColor);
    const QRect titleRect(area.left(), top, area.width(), titleMetrics.height());
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                      titleMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, area.width()));
    if (!detail.isEmpty()) {
        painter->setFont(m_detailFont);
        painter->setPen(detailColor);
        const QRect detailRect(area.left(), titleRect.bottom() + 2, area.width(), detailMetrics.height());
        painter->drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                          detailMetrics.elidedText(detail, Qt::ElideMiddle, area.width()));
    }
    painter->restore();
}

QSize TwoLineDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    const QFontMetrics titleMetrics(m_titleFont);
    const QFontMetrics detailMetrics(m_detailFont);
    const int width = titleMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + m_iconSide + 28;
    return {width, titleMetrics.height() + detailMetrics.height() + 14};
}
