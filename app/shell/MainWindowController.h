// The one main window: content 1200 x 760 below the menu bar (window at least 1000 x 640), titled
// "Brisklet", centred on every launch; on a screen with less room (a small one, or a large scale factor)
// both sizes shrink to what the screen has, so the title bar and the whole window stay reachable. It
// holds the sidebar (200 to 280 wide, never collapsed) and the section container side by side. The divider position is kept in the preferences under "main.split",
// written when a drag of the divider ends; the window frame is not kept.
#pragma once

#include "ScreenTable.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QMenuBar;
class QScreen;
class QSplitter;
class SectionContainerViewController;
class SidebarViewController;
class UpdateController;

class MainWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 1200;
    static constexpr int defaultHeight = 760;
    static constexpr int minimumWidth = 1000;
    static constexpr int minimumHeight = 640;
    static constexpr int sidebarMinimumWidth = 200;
    static constexpr int sidebarMaximumWidth = 280;

    // screens: the section-screen table; menuBar: the installed menu bar, taken over by the window (may be
    // null), whose window-wide items (New Scan, Refresh, Preferences) the window connects.
    MainWindowController(UpdateController& updateController, SectionScreens::Table screens,
                         QMenuBar* menuBar = nullptr, QObject* parent = nullptr);
    ~MainWindowController() override;

    QMainWindow* window() const { return m_window.get(); }
    QSplitter* splitView() const { return m_split; }
    SidebarViewController* sidebar() const { return m_sidebar; }
    SectionContainerViewController* container() const { return m_container; }

    // Fits the window and its minimum into the primary screen's available area, centres it and shows it.
    void showWindow();
    // The room a window has on the screen, its frame included.
    static QSize roomOn(const QScreen& screen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveSplit();

    std::unique_ptr<QMainWindow> m_window;
    QSplitter* m_split = nullptr;
    SidebarViewController* m_sidebar = nullptr;
    SectionContainerViewController* m_container = nullptr;
    bool m_splitMoved = false; // the divider moved in the drag under way
};
