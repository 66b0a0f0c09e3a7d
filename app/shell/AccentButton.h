// A small push button drawn as an accent-coloured pill with white symbol and title (the sidebar's
// update button). Follows the palette, so it changes with the appearance; a white inner ring shows the
// keyboard focus (it is in the Tab order like any push button).
#pragma once

#include <QPushButton>

class AccentButton : public QPushButton {
    Q_OBJECT
public:
    explicit AccentButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
