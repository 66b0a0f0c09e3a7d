// The menu bar after the GNOME and KDE conventions, driven from the keyboard in the real window.
#include "AppTestSupport.h"

#include "SectionScreens.h"

#include "shell/AppDelegate.h"
#include "shell/AppInfo.h"
#include "shell/MainMenu.h"
#include "shell/MainWindowController.h"
#include "shell/SectionContainerViewController.h"
#include "shell/SidebarRowView.h"
#include "shell/SidebarViewController.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QTableWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

namespace {
QMenu* menuTitled(QMenuBar* bar, const QString& title)
{
    for (QAction* action : bar->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

QStringList itemsOf(QMenu* menu)
{
    QStringList items;
    for (QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

QAction* item(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}
} // namespace

// The GNOME and KDE conventions: File, Edit, View and Help, a mnemonic on every menu and item (none
// twice in one menu), no Hide, Zoom or Bring All to Front, Ctrl+H left free; each key reaches its item.
TEST(Launch, MenusFollowTheDesktopConventionsAndTheirKeysTriggerThem)
{
    clearSettings();
    auto feed = std::make_shared<FakeFeed>();
    UpdateController::Environment environment;
    environment.presentAlert = [](const UpdateController::Alert&) { return 0; };
    UpdateController updates(feed, environment);
    AppDelegate delegate(SectionScreens::table(), &updates);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(waitFor([&] { return !updates.isChecking(); }));
    QMainWindow* window = delegate.windowController()->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    QMenuBar* bar = window->menuBar();
    QStringList titles;
    for (QAction* action : bar->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Help"}));
    EXPECT_EQ(itemsOf(menuTitled(bar, "&File")), (QStringList{"New &Scan", "Check for &Updates", "-", "&Quit"}));
    EXPECT_EQ(itemsOf(menuTitled(bar, "&Edit")),
              (QStringList{"&Undo", "&Redo", "-", "Cu&t", "&Copy", "&Paste", "Select &All", "-", "Pr&eferences"}));
    EXPECT_EQ(itemsOf(menuTitled(bar, "&View")), (QStringList{"&Dashboard", "Disk &Analyzer", "&Smart Clean", "U&ninstaller",
                                                              "&Processes", "P&orts", "-", "&Refresh"}));
    EXPECT_EQ(itemsOf(menuTitled(bar, "&Help")), (QStringList{"&Keyboard Shortcuts", "&About Brisklet"}));
    const auto mnemonic = [](const QString& text) { return QKeySequence::mnemonic(text).toString(); };
    QStringList menuKeys;
    for (QAction* title : bar->actions()) {
        menuKeys << mnemonic(title->text());
        QStringList keys;
        for (QAction* action : title->menu()->actions()) {
            if (action->isSeparator())
                continue;
            keys << mnemonic(action->text());
            EXPECT_FALSE(keys.back().isEmpty()) << action->text().toStdString();
            EXPECT_NE(action->shortcut(), QKeySequence("Ctrl+H")) << action->text().toStdString();
        }
        EXPECT_EQ(keys.removeDuplicates(), 0) << title->text().toStdString();
    }
    EXPECT_EQ(menuKeys.removeDuplicates(), 0);
    EXPECT_EQ(item(menuTitled(bar, "&File"), "&Quit")->shortcut(), QKeySequence("Ctrl+Q"));

    SectionContainerViewController* container = delegate.windowController()->container();
    const std::map<Section, QWidget*>& screens = container->controllers();
    const auto press = [window](const QKeySequence& key) {
        QTest::keyClick(window, key[0].key(), key[0].keyboardModifiers());
        QCoreApplication::processEvents();
    };
    int number = 0;
    for (const Section section : Sections::all()) {
        press(QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(Qt::Key_1 + number++))));
        EXPECT_EQ(container->current(), screens.at(section)) << Sections::rawValue(section).toStdString();
        EXPECT_TRUE(delegate.windowController()->sidebar()->rowViews().at(section)->isHighlighted());
    }
    press(QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(container->current(), screens.at(Section::analyzer)) << "New Scan opens the analyzer's picker";
    QSignalSpy refreshed(bar->findChild<QAction*>(MainMenu::refreshItem), &QAction::triggered);
    press(QKeySequence(Qt::Key_F5));
    EXPECT_EQ(refreshed.count(), 1);
    press(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    ASSERT_TRUE(waitFor([&] { return delegate.windowController()->sidebar()->settingsSheet(); }));
    delegate.windowController()->sidebar()->settingsSheet()->close();

    // "Check for Updates" goes straight to the update controller as a user-initiated check.
    const int before = feed->fetchCount();
    item(menuTitled(bar, "&File"), "Check for &Updates")->trigger();
    ASSERT_TRUE(waitFor([&] { return feed->fetchCount() == before + 1 && !updates.isChecking(); }));

    item(menuTitled(bar, "&Help"), "&About Brisklet")->trigger();
    auto* about = window->findChild<QDialog*>("dialog.about");
    ASSERT_TRUE(about);
    EXPECT_EQ(about->findChild<QLabel*>("about.version")->text(), "Version " + AppInfo::appVersion());
    EXPECT_TRUE(about->findChild<QLabel*>("about.licence")->text().contains("GPL-3.0-or-later"));
    about->close();

    // F1 opens the shortcuts, every row shown and nothing to scroll sideways.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(item(menuTitled(bar, "&Help"), "&Keyboard Shortcuts")->shortcut(), QKeySequence(QKeySequence::HelpContents));
    press(QKeySequence(QKeySequence::HelpContents));
    auto* shortcuts = window->findChild<QDialog*>("dialog.keyboardShortcuts");
    ASSERT_TRUE(shortcuts);
    auto* table = shortcuts->findChild<QTableWidget*>();
    EXPECT_FALSE(table->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(!table->verticalScrollBar()->isVisible() || shortcuts->height() >= window->screen()->availableGeometry().height() - 96);
    EXPECT_TRUE(shortcuts->findChild<QPushButton*>()->icon().isNull()); // a stock icon stays black in dark mode
    shortcuts->close();
}
