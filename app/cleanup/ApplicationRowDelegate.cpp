#include "ApplicationRowDelegate.h"

#include "ApplicationListModel.h"
#include "CleanupWidgets.h"
#include "shell/IconImages.h"
#include "shell/Palette.h"
#include "shell/PathBytes.h"
#include "shell/ScreenStyle.h"
#include "shell/SymbolIcons.h"

#include <QAbstractItemView>
#include <QPainter>

#include <utility>

using CleanupWidgets::drawLine;

namespace {
constexpr int gap = 10;
constexpr int iconSide = 32;
constexpr int loadedSide = 2 * iconSide; // sharp on a doubled display too

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

ApplicationRowDelegate::ApplicationRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent), m_themes(IconImages::desktopThemes())
{
}

void ApplicationRowDelegate::clearIconCache()
{
    m_runner.stopAll();
    for (Icon& icon : m_icons) {
        icon.current = false;
        icon.loading = false;
        icon.waiting.clear();
    }
}

std::optional<QIcon> ApplicationRowDelegate::iconFor(const QString& name, const QStyleOptionViewItem& option,
                                                     const QModelIndex& index) const
{
    if (name.isEmpty())
        return QIcon();
    Icon& icon = m_icons[name];
    if (!icon.current) {
        if (!icon.loading) {
            icon.loading = true;
            m_runner.run([file = pathBytes(name), themes = m_themes](std::stop_token) {
                return IconImages::load(file, themes, loadedSide).image;
            },
                         [this, name](const QImage& image) { iconRead(name, image); });
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget))) {
            const std::pair<QPointer<QAbstractItemView>, QPersistentModelIndex> row{view, index};
            if (!icon.waiting.contains(row))
                icon.waiting.append(row);
        }
    }
    if (icon.known)
        return icon.picture;
    return std::nullopt;
}

void ApplicationRowDelegate::iconRead(const QString& name, const QImage& image) const
{
    Icon& icon = m_icons[name];
    icon.picture = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
    icon.known = icon.current = true;
    icon.loading = false;
    const auto waiting = std::exchange(icon.waiting, {});
    for (const auto& [view, row] : waiting)
        if (view && row.isValid())
            view->update(row);
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
    const std::optional<QIcon> icon = iconFor(index.data(ApplicationListModel::IconRole).toString(), option, index);
    if (!icon) {
        // Still being read: a blank tile of the same shape, so the row does not jump when it comes.
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.palette.color(QPalette::Mid));
        painter->setOpacity(0.35);
        painter->drawRoundedRect(QRectF(iconRect).adjusted(1, 1, -1, -1), 8, 8);
        painter->restore();
    } else if (!icon->isNull()) {
        icon->paint(painter, iconRect);
    } else {
        painter->drawPixmap(iconRect, tile(index.data().toString(), ratio));
    }
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
