// ElidedLabel: one line of text that is cut (at the end or in the middle) to fit, in one of the label
// colour levels of the current appearance. The whole text stays available as tooltip and accessible name.
#pragma once

#include "shell/ScreenStyle.h"

#include <QString>
#include <QWidget>

class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    // Qt::ElideNone keeps the text whole and asks for its full width.
    ElidedLabel(Qt::TextElideMode mode, ScreenStyle::LabelLevel level, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return m_text; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    Qt::TextElideMode m_mode;
    ScreenStyle::LabelLevel m_level;
};
