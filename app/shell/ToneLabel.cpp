#include "ToneLabel.h"

#include <QApplication>
#include <QEvent>

QColor toneColor(const QColor& labelColor, TextTone tone)
{
    QColor color = labelColor;
    switch (tone) {
    case TextTone::secondary: color.setAlphaF(0.6f); break;
    case TextTone::tertiary: color.setAlphaF(0.4f); break;
    case TextTone::quaternary: color.setAlphaF(0.25f); break;
    }
    return color;
}

ToneLabel::ToneLabel(const QString& text, TextTone tone, QWidget* parent) : QLabel(text, parent), m_tone(tone)
{
    applyTone();
}

void ToneLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        applyTone();
    QLabel::changeEvent(event);
}

void ToneLabel::applyTone()
{
    // The base is the surroundings' text colour: this label's own is already toned.
    const QPalette around = parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
    QPalette own; // only the text colour is set: every other role keeps following the application
    own.setColor(QPalette::WindowText, toneColor(around.color(QPalette::WindowText), m_tone));
    setPalette(own); // unchanged palettes send no further change event
}
