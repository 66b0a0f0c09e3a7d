// The Edit menu's items, acting on the widget with keyboard focus the way Qt's standard edit actions
// do. Each item is enabled only while that widget can do it now; the states are brought up to date
// when the focus moves, when the menu opens and just before a shortcut is matched, so a disabled item's
// shortcut leaves the key to the focused widget.
//
// Text fields and text editors get their own undo, redo, cut, copy, paste and select-all. Item views
// get Copy as their standard copy key (a table's Ctrl+C copies its selected rows as text) and Select All
// when they allow several selected rows. Any other widget takes part by offering slots of those names.
#pragma once

#include <QObject>

#include <array>

class QAction;
class QMenu;
class QWidget;

class EditActions : public QObject {
    Q_OBJECT
public:
    enum class Kind { undo, redo, cut, copy, paste, selectAll };

    // Adds the items to menu, which owns them and this object.
    explicit EditActions(QMenu* menu);
    ~EditActions() override;

    QAction* action(Kind kind) const { return m_actions[static_cast<std::size_t>(kind)]; }

    static bool canPerform(QWidget* target, Kind kind);
    static void perform(QWidget* target, Kind kind);

    // Enables the items for the widget that has the focus now.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QAction*, 6> m_actions{};
};
