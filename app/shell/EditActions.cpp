#include "EditActions.h"

#include "PathBytes.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
using Kind = EditActions::Kind;

struct Item {
    Kind kind;
    const char* title;
    QKeyCombination key;
    const char* slot;
};

constexpr std::array<Item, 6> items = {{
    {Kind::undo, "&Undo", Qt::CTRL | Qt::Key_Z, "undo"},
    {Kind::redo, "&Redo", Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "redo"},
    {Kind::cut, "Cu&t", Qt::CTRL | Qt::Key_X, "cut"},
    {Kind::copy, "&Copy", Qt::CTRL | Qt::Key_C, "copy"},
    {Kind::paste, "&Paste", Qt::CTRL | Qt::Key_V, "paste"},
    {Kind::selectAll, "Select &All", Qt::CTRL | Qt::Key_A, "selectAll"},
}};

const Item& itemFor(Kind kind) { return items[static_cast<std::size_t>(kind)]; }

bool clipboardHasText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && !clipboard->text().isEmpty();
}

// The line edit that does the editing: the widget itself, or the one inside a spin box or combo box.
QLineEdit* lineEditOf(QWidget* target)
{
    if (auto* line = qobject_cast<QLineEdit*>(target))
        return line;
    if (auto* combo = qobject_cast<QComboBox*>(target))
        return combo->lineEdit();
    if (qobject_cast<QAbstractSpinBox*>(target))
        return target->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
    return nullptr;
}

bool lineEditCan(const QLineEdit* line, Kind kind)
{
    const bool shown = line->echoMode() == QLineEdit::Normal; // never copy a password out
    switch (kind) {
    case Kind::undo: return line->isUndoAvailable();
    case Kind::redo: return line->isRedoAvailable();
    case Kind::cut: return shown && !line->isReadOnly() && line->hasSelectedText();
    case Kind::copy: return shown && line->hasSelectedText();
    case Kind::paste: return !line->isReadOnly() && clipboardHasText();
    case Kind::selectAll: return !line->text().isEmpty();
    }
    return false;
}

template <class Editor>
bool textEditorCan(const Editor* editor, Kind kind)
{
    const bool selection = editor->textCursor().hasSelection();
    switch (kind) {
    case Kind::undo: return !editor->isReadOnly() && editor->document()->isUndoAvailable();
    case Kind::redo: return !editor->isReadOnly() && editor->document()->isRedoAvailable();
    case Kind::cut: return !editor->isReadOnly() && selection;
    case Kind::copy: return selection;
    case Kind::paste: return editor->canPaste();
    case Kind::selectAll: return !editor->document()->isEmpty();
    }
    return false;
}

bool itemViewCan(const QAbstractItemView* view, Kind kind)
{
    const QItemSelectionModel* selection = view->selectionModel();
    switch (kind) {
    case Kind::copy: return selection && (selection->hasSelection() || selection->currentIndex().isValid());
    case Kind::selectAll:
        return view->model() && view->model()->rowCount(view->rootIndex()) > 0
               && (view->selectionMode() == QAbstractItemView::ExtendedSelection
                   || view->selectionMode() == QAbstractItemView::MultiSelection);
    default: return false;
    }
}

// Set while a key is handed to an item view: the key must reach the view, not come back here.
bool forwarding = false;

bool hasSlot(const QWidget* target, const char* slot)
{
    return target->metaObject()->indexOfMethod((QByteArray(slot) + "()").constData()) >= 0;
}
} // namespace

EditActions::EditActions(QMenu* menu) : QObject(menu)
{
    for (const Item& item : items) {
        QAction* action = menu->addAction(utf8Text(item.title));
        action->setShortcut(QKeySequence(item.key));
        const Kind kind = item.kind;
        connect(action, &QAction::triggered, this, [kind] { perform(QApplication::focusWidget(), kind); });
        m_actions[static_cast<std::size_t>(kind)] = action;
        if (kind == Kind::redo)
            menu->addSeparator();
    }
    connect(menu, &QMenu::aboutToShow, this, &EditActions::refresh);
    connect(qApp, &QApplication::focusChanged, this, &EditActions::refresh);
    qApp->installEventFilter(this);
    refresh();
}

EditActions::~EditActions()
{
    qApp->removeEventFilter(this);
}

bool EditActions::canPerform(QWidget* target, Kind kind)
{
    if (!target || !target->isEnabled())
        return false;
    if (const QLineEdit* line = lineEditOf(target))
        return lineEditCan(line, kind);
    if (const auto* edit = qobject_cast<QTextEdit*>(target))
        return textEditorCan(edit, kind);
    if (const auto* edit = qobject_cast<QPlainTextEdit*>(target))
        return textEditorCan(edit, kind);
    if (const auto* view = qobject_cast<QAbstractItemView*>(target))
        return itemViewCan(view, kind);
    return hasSlot(target, itemFor(kind).slot);
}

void EditActions::perform(QWidget* target, Kind kind)
{
    if (!canPerform(target, kind))
        return;
    const Item& item = itemFor(kind);
    if (QLineEdit* line = lineEditOf(target)) {
        QMetaObject::invokeMethod(line, item.slot);
        return;
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(target)) {
        if (kind == Kind::selectAll) {
            view->selectAll();
            return;
        }
        // The view's own copy key, so a screen's table copies its rows the one way it knows.
        QKeyEvent press(QEvent::KeyPress, item.key.key(), item.key.keyboardModifiers());
        forwarding = true;
        QApplication::sendEvent(view, &press);
        forwarding = false;
        return;
    }
    QMetaObject::invokeMethod(target, item.slot);
}

void EditActions::refresh()
{
    QWidget* target = QApplication::focusWidget();
    for (const Item& item : items)
        action(item.kind)->setEnabled(canPerform(target, item.kind));
}

bool EditActions::eventFilter(QObject* watched, QEvent* event)
{
    // Sent to the focused widget before the shortcut map looks for a match. While a key is being
    // handed on, accepting it here keeps every shortcut out of the way.
    if (event->type() == QEvent::ShortcutOverride) {
        if (forwarding) {
            event->accept();
            return true;
        }
        refresh();
    }
    return QObject::eventFilter(watched, event);
}
