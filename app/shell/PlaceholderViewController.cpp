#include "PlaceholderViewController.h"

#include "SymbolIcons.h"

#include <QEvent>
#include <QVBoxLayout>

namespace {
QColor faded(const QColor& color, qreal alpha)
{
    QColor result = color;
    result.setAlphaF(static_cast<float>(alpha));
    return result;
}
} // namespace

PlaceholderViewController::PlaceholderViewController(const QString& symbolName, const QString& title,
                                                     const QString& subtitle, QWidget* parent)
    : QWidget(parent), m_symbolName(symbolName), m_titleText(title), m_subtitleText(subtitle)
{
    m_symbol = new QLabel(this);
    m_symbol->setAlignment(Qt::AlignCenter);
    m_symbol->setAccessibleName(title);

    m_title = new QLabel(title, this);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(22);
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    m_title->setAlignment(Qt::AlignCenter);

    m_subtitle = new QLabel(subtitle, this);
    QFont subtitleFont = m_subtitle->font();
    subtitleFont.setPixelSize(13);
    m_subtitle->setFont(subtitleFont);
    m_subtitle->setAlignment(Qt::AlignCenter);

    auto* stack = new QVBoxLayout;
    stack->setSpacing(10);
    stack->addWidget(m_symbol, 0, Qt::AlignHCenter);
    stack->addWidget(m_title, 0, Qt::AlignHCenter);
    stack->addWidget(m_subtitle, 0, Qt::AlignHCenter);

    auto* outer = new QVBoxLayout(this);
    outer->addStretch(1);
    outer->addLayout(stack);
    outer->addStretch(1);

    applyColors();
}

void PlaceholderViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}

void PlaceholderViewController::applyColors()
{
    const QColor label = palette().color(QPalette::WindowText);
    // Quaternary, secondary and tertiary label colours as fractions of the label colour.
    m_symbol->setPixmap(SymbolIcons::pixmap(m_symbolName, 40, faded(label, 0.25), devicePixelRatioF()));
    QPalette titlePalette = m_title->palette();
    titlePalette.setColor(QPalette::WindowText, faded(label, 0.6));
    m_title->setPalette(titlePalette);
    QPalette subtitlePalette = m_subtitle->palette();
    subtitlePalette.setColor(QPalette::WindowText, faded(label, 0.4));
    m_subtitle->setPalette(subtitlePalette);
}
