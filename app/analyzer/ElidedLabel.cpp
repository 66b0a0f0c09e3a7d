#include "ElidedLabel.h"

#include "shell/PlainText.h"

#include <QPainter>

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, ScreenStyle::LabelLevel level, QWidget* parent)
    : QWidget(parent), m_mode(mode), m_level(level)
{
    setSizePolicy(mode == Qt::ElideNone ? QSizePolicy::Fixed : QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text)
{
    m_text = text;
    setToolTip(PlainText::toolTip(text));
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize ElidedLabel::sizeHint() const { return {fontMetrics().horizontalAdvance(m_text) + 2, fontMetrics().height()}; }

QSize ElidedLabel::minimumSizeHint() const
{
    return m_mode == Qt::ElideNone ? sizeHint() : QSize(0, fontMetrics().height());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(ScreenStyle::labelColor(palette(), m_level));
    const QString shown = m_mode == Qt::ElideNone ? m_text : fontMetrics().elidedText(m_text, m_mode, width());
    painter.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft, shown);
}
