#include "DestructiveButton.h"

#include <QEvent>

DestructiveButton::DestructiveButton(const QString& title, QWidget* parent) : QPushButton(title, parent)
{
    applyStyle();
}

QColor DestructiveButton::destructiveColor()
{
    return QColor(0xd7, 0x3a, 0x32);
}

void DestructiveButton::setTitle(const QString& title)
{
    setText(title);
    applyStyle();
}

void DestructiveButton::applyStyle()
{
    if (m_styling)
        return;
    m_styling = true;
    QFont font = this->font();
    if (isEnabled()) {
        QPalette red;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            red.setColor(group, QPalette::Button, destructiveColor());
            red.setColor(group, QPalette::ButtonText, Qt::white);
        }
        setPalette(red);
        font.setWeight(QFont::Medium);
    } else {
        setPalette(QPalette()); // back to the window's palette: its disabled text is the greyed one
        font.setWeight(QFont::Normal);
    }
    setFont(font);
    m_styling = false;
}

void DestructiveButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        applyStyle();
}
