#include "SidebarRowView.h"

#include "SymbolIcons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

SidebarRowView::SidebarRowView(Section section, std::function<void(Section)> onTap, QWidget* parent)
    : QWidget(parent), m_section(section), m_onTap(std::move(onTap))
{
    setFixedHeight(30);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(Sections::title(section));

    m_iconView = new QLabel(this);
    m_iconView->setFixedSize(16, 16);
    m_iconView->setAlignment(Qt::AlignCenter);
    m_iconView->setAccessibleDescription(Sections::title(section));

    m_label = new QLabel(Sections::title(section), this);
    QFont font = m_label->font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    m_label->setFont(font);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(8);
    layout->addWidget(m_iconView, 0, Qt::AlignVCenter);
    layout->addWidget(m_label, 1, Qt::AlignVCenter);

    applyLook();
}

void SidebarRowView::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    applyLook();
    update();
}

void SidebarRowView::applyLook()
{
    const QColor labelColor = palette().color(QPalette::WindowText);
    QColor secondary = labelColor;
    secondary.setAlphaF(0.6f);
    const QColor text = m_highlighted ? QColor(Qt::white) : labelColor;
    const QColor tint = m_highlighted ? QColor(Qt::white) : secondary;
    QPalette labelPalette = m_label->palette();
    labelPalette.setColor(QPalette::WindowText, text);
    m_label->setPalette(labelPalette);
    m_iconView->setPixmap(SymbolIcons::pixmap(Sections::symbolName(m_section), 14, tint, devicePixelRatioF()));
}

void SidebarRowView::paintEvent(QPaintEvent*)
{
    if (!m_highlighted)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(path, palette().color(QPalette::Active, QPalette::Highlight));
}

void SidebarRowView::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void SidebarRowView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click && m_onTap)
        m_onTap(m_section);
}

void SidebarRowView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}
