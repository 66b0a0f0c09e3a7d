// Launch, in order: drop the per-application language overrides, apply the stored appearance, install
// the menu bar, create and show the main window, start the update controller, bring the window to the
// front. Closing the main window quits the application.
#pragma once

#include "ScreenTable.h"

#include <QObject>

#include <memory>

class MainWindowController;
class UpdateController;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // screens: the section-screen table of the window; updateController: the controller to start (the
    // shared one unless a test gives another).
    explicit AppDelegate(SectionScreens::Table screens, UpdateController* updateController = nullptr,
                         QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

    MainWindowController* windowController() const { return m_windowController.get(); }
    UpdateController& updateController() const { return *m_updateController; }

private:
    SectionScreens::Table m_screens;
    UpdateController* m_updateController;
    std::unique_ptr<MainWindowController> m_windowController;
};
