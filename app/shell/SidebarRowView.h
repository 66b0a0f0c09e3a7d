// One clickable sidebar row: the section's symbol and title on a rounded background that shows the
// selected look (accent background, white text and icon) or the normal look.
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

    QLabel* iconView() const { return m_iconView; }
    QLabel* label() const { return m_label; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
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
