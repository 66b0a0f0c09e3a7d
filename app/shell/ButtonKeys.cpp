#include "ButtonKeys.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

namespace ButtonKeys {

namespace {

class ReturnPressesButtons : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        // A check box or radio button keeps Space; Return stays the dialog's there.
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!qobject_cast<QPushButton*>(watched) && !qobject_cast<QToolButton*>(watched))
            return false;
        if (!button->hasFocus() || !button->isEnabled() || !button->isVisible())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void install(QCoreApplication* application)
{
    const QString name = QStringLiteral("ButtonKeys.returnPressesButtons");
    if (!application || application->findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* filter = new ReturnPressesButtons(application);
    filter->setObjectName(name);
    application->installEventFilter(filter);
}

} // namespace ButtonKeys
