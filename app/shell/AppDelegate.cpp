#include "AppDelegate.h"

#include "AppPreferences.h"
#include "MainMenu.h"
#include "MainWindowController.h"
#include "UpdateController.h"

#include <QApplication>
#include <QMainWindow>

AppDelegate::AppDelegate(SectionScreens::Table screens, UpdateController* updateController, QObject* parent)
    : QObject(parent), m_screens(std::move(screens)), m_updateController(updateController ? updateController : &UpdateController::shared())
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    QApplication::setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());

    AppPreferences::removeLanguageKeys();
    AppPreferences::applyAppearance(AppPreferences::appearance());
    QMenuBar* menuBar = MainMenu::install(*m_updateController);
    m_windowController = std::make_unique<MainWindowController>(*m_updateController, m_screens, menuBar);
    m_windowController->showWindow();
    m_updateController->start();

    QMainWindow* window = m_windowController->window();
    window->raise();
    window->activateWindow();
}
