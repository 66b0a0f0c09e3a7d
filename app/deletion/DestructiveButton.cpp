#include "DestructiveButton.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

DestructiveButton::DestructiveButton(const QString& title, QWidget* parent) : QPushButton(title, parent)
{
    applyStyle();
}

QColor DestructiveButton::destructiveColor()
{
    return QColor(0xd7, 0x3a, 0x32);
}

QSize DestructiveButton::sizeHint() const
{
    QSize hint = QPushButton::sizeHint();
    QFont medium = font();
    medium.setWeight(QFont::Medium);
    const int wanted = QFontMetrics(medium).horizontalAdvance(text()) + 2 * QFontMetrics(medium).height();
    hint.setWidth(qMax(hint.width(), wanted));
    return hint;
}

void DestructiveButton::setTitle(const QString& title)
{
    setText(title);
    applyStyle();
}

void DestructiveButton::applyStyle()
{
    if (m_styling)
        return;
    m_styling = true;
    QFont font = this->font();
    if (isEnabled()) {
        QPalette red;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            red.setColor(group, QPalette::Button, destructiveColor());
            red.setColor(group, QPalette::ButtonText, Qt::white);
        }
        setPalette(red);
        font.setWeight(QFont::Medium);
    } else {
        setPalette(QPalette()); // back to the window's palette: its disabled text is the greyed one
        font.setWeight(QFont::Normal);
    }
    setFont(font);
    updateGeometry();
    m_styling = false;
}

void DestructiveButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        applyStyle();
}

void DestructiveButton::paintEvent(QPaintEvent* event)
{
    if (!isEnabled()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    QPainterPath path;
    path.addRoundedRect(box, 5, 5);
    painter.fillPath(path, isDown() ? destructiveColor().darker(120) : destructiveColor());
    if (hasFocus()) {
        QColor ring = palette().color(QPalette::Highlight);
        ring.setAlphaF(0.8f);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(box.adjusted(-0.5, -0.5, 0.5, 0.5), 5.5, 5.5);
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}
