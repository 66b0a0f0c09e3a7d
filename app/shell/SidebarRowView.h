// One sidebar row: the section's symbol and title on a rounded background that shows the selected look
// (accent background, white text and icon) or the normal look.
//
// Keyboard: the selected row is the sidebar's one stop in the Tab order (the others take focus only by
// click), and draws a focus ring while it has the focus. Up/Down (Home/End) ask onStep to move the
// selection; Return and Space act as a click. For assistive technology the row is a list item named
// after its section, selectable, with its selected state, whose press action clicks it.
#pragma once

#include "Section.h"

#include <QLabel>
#include <QWidget>

#include <functional>

class SidebarRowView : public QWidget {
    Q_OBJECT
public:
    SidebarRowView(Section section, std::function<void(Section)> onTap, QWidget* parent = nullptr);

    Section section() const { return m_section; }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    // Called with -1 / +1 for the previous or next row, and with INT_MIN / INT_MAX for the first or last.
    std::function<void(int)> onStep;

    QLabel* iconView() const { return m_iconView; }
    QLabel* label() const { return m_label; }
    // What a click does.
    void tap();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyLook();

    Section m_section;
    std::function<void(Section)> m_onTap;
    QLabel* m_iconView = nullptr;
    QLabel* m_label = nullptr;
    bool m_highlighted = false;
    bool m_pressed = false;
};
