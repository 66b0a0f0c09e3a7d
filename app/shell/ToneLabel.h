// The desktop's secondary text tones: the window text colour at 60 % (secondary), 40 % (tertiary) and
// 25 % (quaternary) opacity. ToneLabel is a QLabel drawn in one of them that follows palette changes,
// so the appearance can switch while it is on screen.
#pragma once

#include <QLabel>
#include <QPalette>

enum class TextTone { secondary, tertiary, quaternary };

QColor toneColor(const QColor& labelColor, TextTone tone);

class ToneLabel : public QLabel {
    Q_OBJECT
public:
    ToneLabel(const QString& text, TextTone tone, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyTone();

    TextTone m_tone;
};
