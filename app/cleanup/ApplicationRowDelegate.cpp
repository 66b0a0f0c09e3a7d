#include "ApplicationRowDelegate.h"

#include "ApplicationListModel.h"
#include "CleanupWidgets.h"
#include "shell/FileImage.h"
#include "shell/Palette.h"
#include "shell/PathBytes.h"
#include "shell/ScreenStyle.h"
#include "shell/SymbolIcons.h"

#include <QPainter>

using CleanupWidgets::drawLine;

namespace {
constexpr int gap = 10;
constexpr int iconSide = 32;

// A stand-in for an application without an icon of its own: its initial on a rounded square in a
// colour of the chart palette chosen by the name, so neighbouring rows tell apart at a glance.
QPixmap tile(const QString& name, qreal ratio)
{
    QPixmap pixmap(QSize(iconSide, iconSide) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const DistinctColor color = Palette::distinct(static_cast<int>(qHash(name) % 12), 0, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color.fill);
    painter.drawRoundedRect(QRectF(1, 1, iconSide - 2, iconSide - 2), 8, 8);
    painter.setPen(color.text);
    painter.setFont(ScreenStyle::font(16, QFont::DemiBold));
    painter.drawText(QRect(0, 0, iconSide, iconSide), Qt::AlignCenter, name.left(1).toUpper());
    return pixmap;
}
} // namespace

QIcon ApplicationRowDelegate::iconFor(const QString& icon) const
{
    if (icon.isEmpty())
        return {};
    const auto found = m_icons.constFind(icon);
    if (found != m_icons.constEnd())
        return *found;
    QIcon resolved;
    if (!icon.startsWith(QLatin1Char('/')))
        resolved = QIcon::fromTheme(icon);
    else if (const QImage picture = readImage(pathBytes(icon), 2 * iconSide); !picture.isNull())
        resolved.addPixmap(QPixmap::fromImage(picture)); // read by the path's own bytes
    // A name the icon theme lacks gives an icon that draws nothing: the desktop's generic application
    // icon stands in, else the initial's tile (as for a file that is missing or no picture).
    if (!resolved.isNull() && resolved.pixmap(QSize(iconSide, iconSide)).isNull()) {
        resolved = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        if (resolved.pixmap(QSize(iconSide, iconSide)).isNull())
            resolved = QIcon();
    }
    m_icons.insert(icon, resolved);
    return resolved;
}

void ApplicationRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    const bool isProtected = index.data(ApplicationListModel::ProtectedRole).toBool();
    const CleanupWidgets::RowPaint row = CleanupWidgets::drawRowBase(painter, base, !isProtected);
    const QRect& check = row.check;
    const QColor& primary = row.primary;
    const QColor& secondary = row.secondary;
    const QColor& tertiary = row.tertiary;
    const qreal ratio = row.ratio;

    int x = check.right() + gap;
    const QRect iconRect(x, option.rect.center().y() - iconSide / 2, iconSide, iconSide);
    if (const QIcon icon = iconFor(index.data(ApplicationListModel::IconRole).toString()); !icon.isNull())
        icon.paint(painter, iconRect);
    else
        painter->drawPixmap(iconRect, tile(index.data().toString(), ratio));
    x += iconSide + gap;

    // Trailing edge: the size or the spinner, then the lock to its left.
    int right = option.rect.right() - 12;
    if (index.data(ApplicationListModel::MeasuredRole).toBool()) {
        const QFont font = ScreenStyle::monospacedFont(12);
        const QString size = index.data(ApplicationListModel::SizeTextRole).toString();
        const int width = QFontMetrics(font).horizontalAdvance(size) + 2;
        drawLine(painter, QRect(right - width, option.rect.top(), width, option.rect.height()), font, primary, size,
                 Qt::AlignRight | Qt::AlignVCenter);
        right -= width;
    } else {
        const QRectF arc(right - 14, option.rect.center().y() - 7, 14, 14);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(secondary, 2, Qt::SolidLine, Qt::RoundCap));
        painter->drawArc(arc, -qRound(m_phase * 360 * 16), 270 * 16);
        right -= 14;
    }
    if (isProtected) {
        right -= gap + 14;
        painter->drawPixmap(QRect(right, option.rect.center().y() - 7, 14, 14),
                            SymbolIcons::pixmap(QStringLiteral("lock.fill"), 14, tertiary, ratio));
    }

    const QRect textRect(x, option.rect.top(), right - gap - x, option.rect.height());
    CleanupWidgets::drawTwoLines(
        painter, textRect, {ScreenStyle::font(13, QFont::DemiBold), primary, index.data().toString()},
        {ScreenStyle::font(10), tertiary, index.data(ApplicationListModel::DetailRole).toString()});
    painter->restore();
}

QSize ApplicationRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int text = QFontMetrics(ScreenStyle::font(13, QFont::DemiBold)).height()
        + QFontMetrics(ScreenStyle::font(10)).height() + 14;
    return {std::max(option.rect.width(), 320), std::max(52, text)};
}
