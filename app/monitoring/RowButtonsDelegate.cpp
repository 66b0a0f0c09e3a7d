#include "RowButtonsDelegate.h"

#include "shell/SymbolIcons.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {
constexpr int spacing = 4;
constexpr int buttonHeight = 24;
} // namespace

RowButtonsDelegate::RowButtonsDelegate(std::vector<Button> buttons, QObject* parent)
    : QStyledItemDelegate(parent), m_buttons(std::move(buttons))
{
}

QRect RowButtonsDelegate::buttonRect(const QRect& cell, int button) const
{
    int left = cell.left() + spacing;
    for (int i = 0; i < button; ++i)
        left += m_buttons[static_cast<std::size_t>(i)].width + spacing;
    return {left, cell.center().y() - buttonHeight / 2 + 1, m_buttons[static_cast<std::size_t>(button)].width,
            buttonHeight};
}

int RowButtonsDelegate::buttonAt(const QRect& cell, const QPoint& position) const
{
    for (int i = 0; i < static_cast<int>(m_buttons.size()); ++i)
        if (buttonRect(cell, i).contains(position))
            return i;
    return -1;
}

void RowButtonsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    for (int i = 0; i < static_cast<int>(m_buttons.size()); ++i) {
        const Button& button = m_buttons[static_cast<std::size_t>(i)];
        const QRect rect = buttonRect(option.rect, i);
        const bool on = enabled(index.row(), i);
        if (button.symbolName.isEmpty()) {
            QStyleOptionButton push;
            push.rect = rect;
            push.text = button.title;
            push.palette = option.palette;
            if (!on)
                push.palette.setCurrentColorGroup(QPalette::Disabled);
            push.state = on ? QStyle::State_Enabled | QStyle::State_Raised : QStyle::State_Raised;
            push.fontMetrics = option.fontMetrics;
            style->drawControl(QStyle::CE_PushButton, &push, painter, widget);
            continue;
        }
        const QColor tint = selected ? option.palette.color(QPalette::HighlightedText)
                                     : option.palette.color(QPalette::Active, QPalette::Text);
        const int side = 16;
        const QRect iconRect(rect.center().x() - side / 2 + 1, rect.center().y() - side / 2 + 1, side, side);
        painter->save();
        painter->setOpacity(on ? 1.0 : 0.35);
        painter->drawPixmap(iconRect, SymbolIcons::pixmap(button.symbolName, side, tint, painter->device()->devicePixelRatioF()));
        painter->restore();
    }
}

QSize RowButtonsDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    int width = spacing;
    for (const Button& button : m_buttons)
        width += button.width + spacing;
    return {width, buttonHeight + 8};
}

bool RowButtonsDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const int button = buttonAt(option.rect, mouse->position().toPoint());
    if (button < 0 || !enabled(index.row(), button))
        return false;
    emit clicked(index.row(), button);
    return true;
}

bool RowButtonsDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    const int button = buttonAt(option.rect, event->pos());
    if (event->type() != QEvent::ToolTip || button < 0 || !toolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), toolTip(index.row(), button), view);
    return true;
}
