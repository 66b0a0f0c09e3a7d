// Paints a row's action buttons into one cell and reports clicks, so a table needs no widget per row.
// Buttons are laid out left to right, 4 apart, vertically centred. A button with a symbol is drawn
// borderless (a disabled one at 35 % opacity); one with a title as a small push button. Whether a
// button is enabled and what its tool tip says are asked per row through the two functions.
#pragma once

#include <QStyledItemDelegate>

#include <functional>
#include <vector>

class RowButtonsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    struct Button {
        QString symbolName; // empty for a titled button
        QString title;
        int width;
    };

    explicit RowButtonsDelegate(std::vector<Button> buttons, QObject* parent = nullptr);

    std::function<bool(int row, int button)> isEnabled;
    std::function<QString(int row, int button)> toolTip;

    // The button's rectangle within a cell.
    QRect buttonRect(const QRect& cell, int button) const;
    int buttonAt(const QRect& cell, const QPoint& position) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

signals:
    void clicked(int row, int button);

private:
    bool enabled(int row, int button) const { return !isEnabled || isEnabled(row, button); }

    std::vector<Button> m_buttons;
};
