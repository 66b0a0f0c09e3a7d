#include "MainMenu.h"

#include "EditActions.h"
#include "UpdateController.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {
QAction* addItem(QMenu* menu, const QString& title, const QKeySequence& key = {})
{
    QAction* action = menu->addAction(title);
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}
} // namespace

namespace MainMenu {

QMenuBar* install(UpdateController& updateController)
{
    auto* bar = new QMenuBar;

    QMenu* app = bar->addMenu(QStringLiteral("Brisklet"));
    QObject::connect(addItem(app, QStringLiteral("Check for Updates")), &QAction::triggered, &updateController,
                     &UpdateController::checkForUpdatesFromMenu);
    app->addSeparator();
    QObject::connect(addItem(app, QStringLiteral("Hide Brisklet"), QKeySequence(Qt::CTRL | Qt::Key_H)),
                     &QAction::triggered, [] {
                         for (QWidget* w : QApplication::topLevelWidgets()) {
                             if (w->isVisible() && w->isWindow())
                                 w->showMinimized();
                         }
                     });
    app->addSeparator();
    QAction* quit = addItem(app, QStringLiteral("Quit Brisklet"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    new EditActions(bar->addMenu(QStringLiteral("Edit")));

    QMenu* window = bar->addMenu(QStringLiteral("Window"));
    QObject::connect(addItem(window, QStringLiteral("Minimize"), QKeySequence(Qt::CTRL | Qt::Key_M)),
                     &QAction::triggered, [] {
                         if (QWidget* w = QApplication::activeWindow())
                             w->showMinimized();
                     });
    QObject::connect(addItem(window, QStringLiteral("Zoom")), &QAction::triggered, [] {
        if (QWidget* w = QApplication::activeWindow())
            w->isMaximized() ? w->showNormal() : w->showMaximized();
    });
    window->addSeparator();
    QObject::connect(addItem(window, QStringLiteral("Bring All to Front")), &QAction::triggered, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->isWindow()) {
                if (w->isMinimized())
                    w->showNormal();
                w->raise();
            }
        }
    });
    return bar;
}

} // namespace MainMenu
