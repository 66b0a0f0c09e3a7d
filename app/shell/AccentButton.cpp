#include "AccentButton.h"

#include "Fonts.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPadding = 9;
constexpr int kGap = 5;
} // namespace

AccentButton::AccentButton(QWidget* parent) : QPushButton(parent)
{
    setFont(Fonts::relative(11, QFont::Medium));
    setIconSize(QSize(14, 14));
    setCursor(Qt::PointingHandCursor);
    // Never squeezed narrower than its title.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize AccentButton::sizeHint() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int iconWidth = icon().isNull() ? 0 : iconSize().width() + kGap;
    return {kPadding * 2 + iconWidth + textWidth, qMax(24, fontMetrics().height() + 8)};
}

void AccentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Active, QPalette::Highlight);
    if (!isEnabled())
        fill.setAlphaF(0.55f);
    else if (isDown())
        fill = fill.darker(115);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(path, fill);
    if (hasFocus()) {
        // A white ring inside the pill: the accent fill is the button, so the ring cannot be the accent.
        painter.setPen(QPen(QColor(255, 255, 255, 210), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 4, 4);
    }

    int x = kPadding;
    if (!icon().isNull()) {
        const QSize size = iconSize();
        icon().paint(&painter, QRect(QPoint(x, (height() - size.height()) / 2), size));
        x += size.width() + kGap;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, 0, width() - x - kPadding + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}
