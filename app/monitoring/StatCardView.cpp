#include "StatCardView.h"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr int barSteps = 1000;
} // namespace

StatCardView::StatCardView(const QString& title, QWidget* parent) : QWidget(parent)
{
    setAccessibleName(title);
    m_titleLabel = new QLabel(title, this);
    m_titleLabel->setFont(ScreenStyle::font(10, QFont::DemiBold));
    m_valueLabel = new QLabel(this);
    m_valueLabel->setFont(ScreenStyle::font(24, QFont::Bold));
    m_valueLabel->setAccessibleName(title + QStringLiteral(" value"));
    m_ofLabel = new QLabel(this);
    m_ofLabel->setFont(ScreenStyle::font(12));
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, barSteps);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    m_bar->setAccessibleName(title + QStringLiteral(" usage"));
    m_footerLabel = new QLabel(this);
    m_footerLabel->setFont(ScreenStyle::font(11));
    for (QLabel* label : {m_titleLabel, m_valueLabel, m_ofLabel, m_footerLabel})
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(0);
    layout->addWidget(m_titleLabel);
    layout->addSpacing(8);
    layout->addWidget(m_valueLabel);
    layout->addSpacing(2);
    layout->addWidget(m_ofLabel);
    layout->addStretch(1);
    layout->addWidget(m_bar);
    layout->addSpacing(6);
    layout->addWidget(m_footerLabel);

    m_tints.add(m_titleLabel, ScreenStyle::LabelLevel::tertiary);
    m_tints.add(m_ofLabel, ScreenStyle::LabelLevel::secondary);
    m_tints.add(m_footerLabel, ScreenStyle::LabelLevel::secondary);
}

void StatCardView::show(const QString& value, const QString& of, double fraction, const QString& footer)
{
    m_valueLabel->setText(value);
    m_ofLabel->setText(of);
    const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    m_bar->setValue(static_cast<int>(std::lround(clamped * barSteps)));
    m_footerLabel->setText(footer);
}

double StatCardView::fraction() const { return static_cast<double>(m_bar->value()) / barSteps; }

void StatCardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ScreenStyle::paintCard(painter, rect(), palette());
}

void StatCardView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        m_tints.apply();
    QWidget::changeEvent(event);
}
