// The red push button of every confirming action that removes something (the review sheet's confirm
// button, the trash flow's free button, the smart-clean screen's clean button).
//
// Enabled it is drawn red with a white, medium-weight title; disabled it has the plain look with the
// greyed title and regular weight. The look follows every change of the enabled state, and setTitle()
// keeps it, so callers never restyle the button themselves.
#pragma once

#include <QPushButton>

class DestructiveButton : public QPushButton {
    Q_OBJECT
public:
    explicit DestructiveButton(const QString& title = {}, QWidget* parent = nullptr);

    // Sets the title and keeps the current look.
    void setTitle(const QString& title);
    // Restyles from the enabled state; runs by itself whenever that state or the title changes.
    void applyStyle();
    // The red used for the enabled look.
    static QColor destructiveColor();
    // Room for the title in its medium weight, with the pill's padding.
    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    // Enabled, a solid red pill: the style's bevel would wash the red out into pink.
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_styling = false; // a restyle in progress: the palette and font changes it makes don't recurse
};
