// The main window's size limits, the sidebar's width limits and the remembered divider.
#include "AppTestSupport.h"

#include "SectionScreens.h"

#include "shell/AppDelegate.h"
#include "shell/AppPreferences.h"
#include "shell/MainMenu.h"
#include "shell/MainWindowController.h"
#include "shell/SidebarViewController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QTimer>

namespace {
struct WindowHarness {
    UpdateController updates{std::make_shared<FakeFeed>()};
    MainWindowController controller{updates, SectionScreens::table(), MainMenu::install(updates)};

    WindowHarness()
    {
        controller.showWindow();
        QApplication::processEvents();
    }
};
} // namespace

TEST(MainWindow, OpensAt1200By760AndCannotShrinkBelow1000By640)
{
    clearSettings();
    WindowHarness h;
    QMainWindow* window = h.controller.window();
    EXPECT_EQ(window->windowTitle(), "Brisklet");
    EXPECT_EQ(window->centralWidget()->size(), QSize(1200, 760)) << "the content, below the menu bar";
    EXPECT_EQ(window->minimumSize(), QSize(1000, 640));
    window->resize(600, 400);
    EXPECT_EQ(window->size(), QSize(1000, 640));
}

TEST(MainWindow, SidebarStaysBetween200And280AndNeverCollapses)
{
    clearSettings();
    WindowHarness h;
    QSplitter* split = h.controller.splitView();
    SidebarViewController* sidebar = h.controller.sidebar();
    EXPECT_FALSE(split->isCollapsible(0));
    EXPECT_FALSE(split->isCollapsible(1));

    split->setSizes({0, 1200});
    EXPECT_GE(sidebar->width(), 200);
    split->setSizes({900, 300});
    EXPECT_LE(sidebar->width(), 280);
    split->setSizes({240, 960});
    EXPECT_EQ(sidebar->width(), 240);

    // Growing the window grows the content, not the sidebar.
    h.controller.window()->resize(1400, 760);
    QApplication::processEvents();
    EXPECT_EQ(sidebar->width(), 240);
}

TEST(MainWindow, DividerPositionIsWrittenAsMainSplitWhenTheDragEnds)
{
    clearSettings();
    const auto stored = [] { return QSettings("Brisklet", "Brisklet").contains("main.split"); };
    int dragged = 0;
    {
        WindowHarness h;
        QSplitterHandle* handle = h.controller.splitView()->handle(1);
        const QPoint grip = handle->mapToGlobal(QPoint(0, handle->height() / 2));
        const auto send = [handle](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
            QMouseEvent event(type, handle->mapFromGlobal(global), global, Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
        for (int step = 1; step <= 4; ++step)
            send(QEvent::MouseMove, grip + QPoint(10 * step, 0), Qt::LeftButton);
        dragged = h.controller.sidebar()->width();
        EXPECT_FALSE(stored()) << "written during the drag";
        send(QEvent::MouseButtonRelease, grip + QPoint(40, 0), Qt::NoButton);
        EXPECT_TRUE(stored());
    }
    WindowHarness again;
    EXPECT_EQ(again.controller.sidebar()->width(), dragged);
    EXPECT_NE(dragged, MainWindowController::sidebarMinimumWidth + 20) << "the drag did not move the divider";
    EXPECT_EQ(again.controller.window()->centralWidget()->size(), QSize(1200, 760)) << "the window frame is not restored";
    clearSettings();
}

TEST(MainWindow, ClosingTheMainWindowQuitsTheApplication)
{
    WindowHarness h;
    const bool previous = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
    QTimer::singleShot(0, h.controller.window(), [&] { h.controller.window()->close(); });
    QTimer liveness;
    liveness.setSingleShot(true);
    QObject::connect(&liveness, &QTimer::timeout, [] { QApplication::exit(7); });
    liveness.start(10000);
    EXPECT_EQ(QApplication::exec(), 0) << "the event loop kept running after the main window closed";
    QApplication::setQuitOnLastWindowClosed(previous);
}
