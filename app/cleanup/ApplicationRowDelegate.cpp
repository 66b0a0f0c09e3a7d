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

ApplicationRowDelegate::ApplicationRowDelegate(QObject* parent, Reader read)
    : QStyledItemDelegate(parent), m_read(std::move(read))
{
    if (!m_read)
        m_read = [themes = IconImages::desktopThemes()](const std::string& icon) {
            return IconImages::load(icon, themes, loadedSide).image;
        };
}

void ApplicationRowDelegate::clearIconCache(const QStringList& listed)
{
    ++m_generation;
    m_queue.clear();
    const QSet<QString> keep(listed.begin(), listed.end());
    for (auto it = m_icons.begin(); it != m_icons.end();) {
        if (!keep.contains(it.key())) {
            it = m_icons.erase(it);
            continue;
        }
        it->current = it->queued = false;
        it->waiting.clear();
        ++it;
    }
}

std::optional<QIcon> ApplicationRowDelegate::iconFor(const QString& name, const QStyleOptionViewItem& option,
                                                     const QModelIndex& index) const
{
    if (name.isEmpty())
        return QIcon();
    Icon& icon = m_icons[name];
    if (!icon.current) {
        if (auto* view = qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget))) {
            const std::pair<QPointer<QAbstractItemView>, QPersistentModelIndex> row{view, index};
            if (!icon.waiting.contains(row))
                icon.waiting.append(row);
        }
        // A read still running (perhaps from before the listing) answers first; it is asked again then.
        if (!icon.queued && !m_reading.contains(name)) {
            icon.queued = true;
            m_queue.push_back(name);
            startReads();
        }
    }
    if (icon.known)
        return icon.picture;
    return std::nullopt;
}

void ApplicationRowDelegate::startReads() const
{
    while (m_reading.size() < maxReads && !m_queue.empty()) {
        const QString name = m_queue.front();
        m_queue.pop_front();
        const auto it = m_icons.find(name);
        if (it == m_icons.end() || !it->queued)
            continue;
        it->queued = false;
        m_reading.insert(name);
        // No stopAll() ever drops these answers: each one frees its reader's place in the queue.
        m_runner.run([read = m_read, file = pathBytes(name)](std::stop_token) { return read(file); },
                     [this, name, generation = m_generation](const QImage& image) { iconRead(name, generation, image); },
                     [this, name, generation = m_generation](const QString&) { iconRead(name, generation, {}); });
    }
}

void ApplicationRowDelegate::iconRead(const QString& name, quint64 generation, const QImage& image) const
{
    m_reading.remove(name);
    const auto it = m_icons.find(name);
    if (it != m_icons.end()) {
        Icon& icon = *it;
        icon.picture = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
        icon.known = true;
        icon.current = generation == m_generation;
        const auto waiting = std::exchange(icon.waiting, {});
        for (const auto& [view, row] : waiting)
            if (view && row.isValid())
                view->update(row); // a stale answer's rows ask again as they repaint
    }
    startReads();
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
