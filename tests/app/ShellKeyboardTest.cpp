// The shell from the keyboard: the Edit menu leaves keys to the focused widget and acts on it, the
// sidebar moves with the arrow keys and tells assistive technology what is selected, and the settings
// sheet closes on Return wherever the focus is.
#include "AppTestSupport.h"

#include "shell/AppPreferences.h"
#include "shell/EditActions.h"
#include "shell/MainMenu.h"
#include "shell/SegmentedControl.h"
#include "shell/SettingsViewController.h"
#include "shell/SidebarRowView.h"
#include "shell/SidebarViewController.h"
#include "shell/ToneLabel.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>
#include <QVBoxLayout>

namespace {
using Kind = EditActions::Kind;

struct EditWindow {
    UpdateController updates{std::make_shared<FakeFeed>()};
    QMainWindow window;
    QLineEdit* line = new QLineEdit;
    QListView* list = new QListView;
    QPushButton* button = new QPushButton(QStringLiteral("Plain"));
    QStringListModel model{QStringList{"alpha", "beta", "gamma"}};
    EditActions* edit = nullptr;

    EditWindow()
    {
        window.setMenuBar(MainMenu::install(updates));
        edit = window.menuBar()->findChild<EditActions*>();
        list->setModel(&model);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        auto* content = new QWidget;
        auto* layout = new QVBoxLayout(content);
        layout->addWidget(line);
        layout->addWidget(list);
        layout->addWidget(button);
        window.setCentralWidget(content);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    bool enabled(Kind kind)
    {
        edit->refresh();
        return edit->action(kind)->isEnabled();
    }
};
} // namespace

TEST(EditMenu, CopyShortcutInAFocusedListReachesTheList)
{
    EditWindow w;
    ASSERT_NE(w.edit, nullptr);
    w.list->setFocus();
    w.list->setCurrentIndex(w.model.index(1));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(w.list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "beta") << "the menu's shortcut swallowed the list's copy";

    w.edit->action(Kind::copy)->trigger(); // the menu item does the same
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "beta");
}

TEST(EditMenu, ItemsAreEnabledOnlyForWhatTheFocusedWidgetCanDoNow)
{
    EditWindow w;
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    w.line->setText(QStringLiteral("hello"));
    w.line->setFocus();
    w.line->deselect();
    EXPECT_FALSE(w.enabled(Kind::copy)) << "nothing selected";
    EXPECT_FALSE(w.enabled(Kind::cut));
    EXPECT_TRUE(w.enabled(Kind::paste));
    EXPECT_TRUE(w.enabled(Kind::selectAll));

    w.edit->action(Kind::selectAll)->trigger();
    EXPECT_EQ(w.line->selectedText(), "hello");
    EXPECT_TRUE(w.enabled(Kind::copy));
    w.line->setReadOnly(true);
    EXPECT_FALSE(w.enabled(Kind::cut));
    EXPECT_FALSE(w.enabled(Kind::paste));
    w.line->setReadOnly(false);
    w.line->setEchoMode(QLineEdit::Password);
    EXPECT_FALSE(w.enabled(Kind::copy)) << "a password must not be copied out";

    w.button->setFocus();
    for (Kind kind : {Kind::undo, Kind::redo, Kind::cut, Kind::copy, Kind::paste, Kind::selectAll})
        EXPECT_FALSE(w.enabled(kind)) << "a plain button has nothing to edit";

    w.list->setFocus();
    w.list->setCurrentIndex(w.model.index(0));
    EXPECT_TRUE(w.enabled(Kind::copy));
    EXPECT_FALSE(w.enabled(Kind::paste));
    w.edit->action(Kind::selectAll)->trigger();
    EXPECT_EQ(w.list->selectionModel()->selectedRows().size(), 3);
}

TEST(SidebarKeyboard, ArrowsMoveTheSelectionAndSwitchSectionsAndRowsTellTheirState)
{
    UpdateController updates(std::make_shared<FakeFeed>());
    QWidget window;
    auto* sidebar = new SidebarViewController(updates, &window);
    std::vector<Section> shown;
    sidebar->onSelect = [&](Section s) { shown.push_back(s); };
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    const auto& rows = sidebar->rowViews();
    EXPECT_EQ(rows.at(Section::dashboard)->focusPolicy(), Qt::StrongFocus) << "the selected row is the Tab stop";
    EXPECT_FALSE(rows.at(Section::ports)->focusPolicy() & Qt::TabFocus);
    rows.at(Section::dashboard)->setFocus(Qt::TabFocusReason);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(shown, (std::vector<Section>{Section::analyzer, Section::smartClean}));
    EXPECT_EQ(sidebar->highlightedSection(), Section::smartClean);
    EXPECT_EQ(QApplication::focusWidget(), rows.at(Section::smartClean)) << "focus follows the selection";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    EXPECT_EQ(sidebar->highlightedSection(), Section::ports);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(shown.back(), Section::ports) << "the last row stays selected";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(sidebar->highlightedSection(), Section::crew);

    for (const auto& [section, row] : rows) {
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(row);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->text(QAccessible::Name), Sections::title(section));
        EXPECT_TRUE(item->state().selectable);
        EXPECT_EQ(bool(item->state().selected), section == Section::crew);
    }
    QAccessible::queryAccessibleInterface(rows.at(Section::uninstaller))->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_EQ(sidebar->highlightedSection(), Section::uninstaller);
}

TEST(SettingsKeyboard, ReturnOnAFocusedSegmentClosesTheSheetAndArrowsPick)
{
    clearSettings();
    UpdateController updates(std::make_shared<FakeFeed>());
    QWidget window;
    auto* sidebar = new SidebarViewController(updates, &window);
    window.show();
    sidebar->showSettings();
    QPointer<QDialog> sheet = sidebar->settingsSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    auto* settings = sheet->findChild<SettingsViewController*>();
    SegmentedControl* control = settings->appearanceControl();
    control->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(control->hasFocus());

    QTest::keyClick(control, Qt::Key_Right);
    EXPECT_EQ(control->selectedIndex(), 1);
    EXPECT_EQ(AppPreferences::appearance(), AppPreferences::Appearance::light);

    // The version is in the secondary tone of the sheet's text, not the placeholder colour.
    const QLabel* version = settings->findChild<QLabel*>(QStringLiteral("versionLabel"));
    EXPECT_EQ(version->palette().color(QPalette::WindowText),
              toneColor(settings->palette().color(QPalette::WindowText), TextTone::secondary));

    QTest::keyClick(control, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !sheet || !sheet->isVisible(); })) << "Return picked the segment";
    EXPECT_EQ(AppPreferences::appearance(), AppPreferences::Appearance::light);
    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    clearSettings();
}
