#include "SymbolButton.h"

#include "SymbolIcons.h"

#include <QEvent>

SymbolButton::SymbolButton(const QString& symbolName, const QString& description, QWidget* parent)
    : QToolButton(parent), m_symbolName(symbolName)
{
    setAccessibleName(description);
    setToolTip(description);
    setAutoRaise(false);
    setFocusPolicy(Qt::StrongFocus);
    setIconSize(QSize(16, 16));
    applyIcon();
}

void SymbolButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyIcon();
    QToolButton::changeEvent(event);
}

void SymbolButton::applyIcon()
{
    setIcon(SymbolIcons::icon(m_symbolName));
}
