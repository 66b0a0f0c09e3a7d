#include "SmartCleanDelegate.h"

#include "CleanupWidgets.h"
#include "SmartCleanModel.h"
#include "shell/ScreenStyle.h"
#include "shell/SymbolIcons.h"

#include <QPainter>

using CleanupWidgets::drawLine;

namespace {
constexpr int gap = 8;
} // namespace

void SmartCleanDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto kind = static_cast<SmartCleanModel::Kind>(index.data(SmartCleanModel::KindRole).toInt());
    const QPalette& palette = option.palette;
    painter->save();
    if (kind == SmartCleanModel::Kind::header) {
        drawLine(painter, option.rect.adjusted(4, 6, -4, 0), ScreenStyle::font(11, QFont::DemiBold),
                 ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::tertiary), index.data().toString(),
                 Qt::AlignLeft | Qt::AlignBottom);
        painter->restore();
        return;
    }

    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    const CleanupWidgets::RowPaint row = CleanupWidgets::drawRowBase(painter, base, true);
    const QRect& check = row.check;
    const QColor& primary = row.primary;
    const QColor& secondary = row.secondary;
    const QColor& tertiary = row.tertiary;
    const qreal ratio = row.ratio;
    const bool isCategory = kind == SmartCleanModel::Kind::category;

    const int iconSide = isCategory ? 16 : 11;
    int x = check.right() + gap + (isCategory ? 0 : 4);
    const QString symbol = index.data(SmartCleanModel::SymbolRole).toString();
    painter->drawPixmap(QRect(x, option.rect.center().y() - iconSide / 2, iconSide, iconSide),
                        SymbolIcons::pixmap(symbol, iconSide, isCategory ? secondary : tertiary, ratio));
    x += iconSide + gap;

    const QFont sizeFont = ScreenStyle::monospacedFont(isCategory ? 12 : 11);
    const QString sizeText = index.data(SmartCleanModel::SizeTextRole).toString();
    const int sizeWidth = QFontMetrics(sizeFont).horizontalAdvance(sizeText) + 2;
    const QRect sizeRect(option.rect.right() - 12 - sizeWidth, option.rect.top(), sizeWidth, option.rect.height());
    drawLine(painter, sizeRect, sizeFont, isCategory ? primary : secondary, sizeText, Qt::AlignRight | Qt::AlignVCenter);

    const QRect textRect(x, option.rect.top(), sizeRect.left() - gap - x, option.rect.height());
    if (isCategory) {
        CleanupWidgets::drawTwoLines(
            painter, textRect, {ScreenStyle::font(13, QFont::DemiBold), primary, index.data().toString()},
            {ScreenStyle::font(11), secondary, index.data(SmartCleanModel::DetailRole).toString()});
    } else {
        drawLine(painter, textRect, ScreenStyle::font(12), primary, index.data().toString());
    }
    painter->restore();
}

QSize SmartCleanDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto kind = static_cast<SmartCleanModel::Kind>(index.data(SmartCleanModel::KindRole).toInt());
    // Row heights of the design, grown with the text when the desktop font is larger.
    const int title = QFontMetrics(ScreenStyle::font(13, QFont::DemiBold)).height();
    const int detail = QFontMetrics(ScreenStyle::font(11)).height();
    if (kind == SmartCleanModel::Kind::header)
        return {std::max(option.rect.width(), 320), std::max(28, detail + 12)};
    if (kind == SmartCleanModel::Kind::category)
        return {std::max(option.rect.width(), 320), std::max(56, title + detail + 18)};
    return {std::max(option.rect.width(), 320), std::max(32, QFontMetrics(ScreenStyle::font(12)).height() + 12)};
}
