#include "ItemActivation.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace ItemActivation {

namespace {
class ReturnKeyFilter : public QObject {
public:
    ReturnKeyFilter(QAbstractItemView* view, std::function<void(const QModelIndex&)> open)
        : QObject(view), m_view(view), m_open(std::move(open))
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool isReturn = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!isReturn || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        const QModelIndex current = m_view->currentIndex();
        if (!current.isValid())
            return false;
        m_open(current);
        return true;
    }

private:
    QAbstractItemView* m_view;
    std::function<void(const QModelIndex&)> m_open;
};
} // namespace

void onOpen(QAbstractItemView* view, std::function<void(const QModelIndex&)> open)
{
    QObject::connect(view, &QAbstractItemView::doubleClicked, view, open);
    view->installEventFilter(new ReturnKeyFilter(view, std::move(open)));
}

} // namespace ItemActivation
