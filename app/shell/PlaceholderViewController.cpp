#include "PlaceholderViewController.h"

#include "Fonts.h"
#include "PlainText.h"
#include "SymbolIcons.h"
#include "ToneLabel.h"

#include <QEvent>
#include <QVBoxLayout>

PlaceholderViewController::PlaceholderViewController(const QString& symbolName, const QString& title,
                                                     const QString& subtitle, QWidget* parent)
    : QWidget(parent), m_symbolName(symbolName), m_titleText(title), m_subtitleText(subtitle)
{
    m_symbol = new QLabel(this);
    m_symbol->setAlignment(Qt::AlignCenter);
    m_symbol->setAccessibleName(title);

    m_title = new QLabel(title, this);
    m_title->setFont(Fonts::relative(22, QFont::DemiBold));
    m_title->setAlignment(Qt::AlignCenter);
    PlainText::apply(m_title); // engine failure texts may name files

    m_subtitle = new QLabel(subtitle, this);
    m_subtitle->setFont(Fonts::relative(13));
    m_subtitle->setAlignment(Qt::AlignCenter);
    PlainText::apply(m_subtitle);
    m_subtitle->setWordWrap(true); // an error text can be long
    fitSubtitle();

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

void PlaceholderViewController::setTexts(const QString& title, const QString& subtitle)
{
    m_titleText = title;
    m_subtitleText = subtitle;
    m_title->setText(title);
    m_subtitle->setText(subtitle);
    m_symbol->setAccessibleName(title);
    fitSubtitle();
}

void PlaceholderViewController::fitSubtitle()
{
    // A wrapping label centred in a layout gets no width of its own: give it its text's, up to a
    // readable measure, so short texts stay on one line and long ones wrap instead of being cut.
    constexpr int readableWidth = 520;
    const int textWidth = m_subtitle->fontMetrics().horizontalAdvance(m_subtitleText) + 2;
    m_subtitle->setFixedWidth(qMin(textWidth, readableWidth));
}

void PlaceholderViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    if (event->type() == QEvent::FontChange)
        fitSubtitle();
    QWidget::changeEvent(event);
}

void PlaceholderViewController::applyColors()
{
    const QColor label = palette().color(QPalette::WindowText);
    m_symbol->setPixmap(SymbolIcons::pixmap(m_symbolName, 40, toneColor(label, TextTone::quaternary), devicePixelRatioF()));
    QPalette titlePalette = m_title->palette();
    titlePalette.setColor(QPalette::WindowText, toneColor(label, TextTone::secondary));
    m_title->setPalette(titlePalette);
    QPalette subtitlePalette = m_subtitle->palette();
    subtitlePalette.setColor(QPalette::WindowText, toneColor(label, TextTone::tertiary));
    m_subtitle->setPalette(subtitlePalette);
}
