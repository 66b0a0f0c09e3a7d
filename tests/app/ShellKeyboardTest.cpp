// The shell from the keyboard: the Edit menu leaves keys to the focused widget and acts on it, and the
// sidebar moves with the arrow keys and tells assistive technology what is selected.
#include "AppTestSupport.h"

#include "shell/EditActions.h"
#include "shell/MainMenu.h"
#include "shell/RowCopy.h"
#include "shell/SidebarRowView.h"
#include "shell/SidebarViewController.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTest>
#include <QTreeView>
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
        for (QWidget* w : {static_cast<QWidget*>(line), static_cast<QWidget*>(list), static_cast<QWidget*>(button)})
            layout->addWidget(w);
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
    w.list->setFocus();
    w.list->setCurrentIndex(w.model.index(1));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(w.list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "beta") << "the menu's shortcut swallowed the list's copy";
}

TEST(RowCopy, CopiesSelectedRowsInScreenOrderWithVisibleCellsAndTheRowsOwnCopyText)
{
    EditWindow w; // its menu holds the same key
    QStandardItemModel model;
    model.setColumnCount(3);
    auto* folder = new QStandardItem(QStringLiteral("folder"));
    folder->appendRow({new QStandardItem(QStringLiteral("inner")), new QStandardItem(QStringLiteral("hidden")),
                       new QStandardItem(QStringLiteral("2 KB"))});
    model.appendRow({folder, new QStandardItem(QStringLiteral("hidden")), new QStandardItem(QStringLiteral("9 KB"))});
    auto* last = new QStandardItem(QStringLiteral("last"));
    last->setData(QStringLiteral("last\tPID 7"), RowCopy::TextRole);
    model.appendRow({last, new QStandardItem(QStringLiteral("hidden")), new QStandardItem});
    QTreeView tree(w.window.centralWidget());
    w.window.centralWidget()->layout()->addWidget(&tree);
    tree.setModel(&model);
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree.setSelectionBehavior(QAbstractItemView::SelectRows);
    tree.setColumnHidden(1, true);
    tree.expandAll();
    RowCopy::enable(&tree);
    tree.setFocus();
    // Picked bottom first: the copy still reads top to bottom, the nested row among them.
    const auto pick = [&](const QModelIndex& index) {
        tree.selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    pick(model.index(1, 0));
    pick(model.index(0, 0, folder->index()));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "inner\t2 KB\nlast\tPID 7");
}

TEST(RowCopy, OrdersRowsByTheirPlaceInTheTreeEvenInACollapsedFolder)
{
    // a, b (collapsed, holding b1), c: a row the view does not show has no place on screen, yet it is
    // copied between its folder and the next row.
    QStandardItemModel model;
    for (const char* name : {"a", "b", "c"})
        model.appendRow(new QStandardItem(QString::fromLatin1(name)));
    model.item(1)->appendRow(new QStandardItem(QStringLiteral("b1")));
    QTreeView tree;
    tree.setModel(&model);
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const QModelIndex& index : {model.index(2, 0), model.index(0, 0, model.index(1, 0)), model.index(0, 0)})
        tree.selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(RowCopy::selectedRowsText(&tree), "a\nb1\nc");
}

TEST(EditMenu, ItemsAreEnabledOnlyForWhatTheFocusedWidgetCanDoNow)
{
    EditWindow w;
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    w.line->setText(QStringLiteral("hello"));
    w.line->setFocus();
    EXPECT_FALSE(w.enabled(Kind::copy) || w.enabled(Kind::cut)) << "nothing selected";
    EXPECT_TRUE(w.enabled(Kind::paste) && w.enabled(Kind::selectAll));

    w.edit->action(Kind::selectAll)->trigger();
    EXPECT_EQ(w.line->selectedText(), "hello");
    EXPECT_TRUE(w.enabled(Kind::copy));
    w.line->setEchoMode(QLineEdit::Password);
    EXPECT_FALSE(w.enabled(Kind::copy)) << "a password must not be copied out";

    w.button->setFocus();
    EXPECT_FALSE(w.enabled(Kind::paste) || w.enabled(Kind::selectAll)) << "a plain button has nothing to edit";

    w.list->setFocus();
    EXPECT_TRUE(w.enabled(Kind::copy) && !w.enabled(Kind::paste));
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
    EXPECT_FALSE(rows.at(Section::ports)->focusPolicy() & Qt::TabFocus) << "only the selected row is a Tab stop";
    rows.at(Section::dashboard)->setFocus(Qt::TabFocusReason);

    const std::pair<Qt::Key, Section> steps[] = {{Qt::Key_Down, Section::analyzer}, {Qt::Key_Down, Section::smartClean},
                                                 {Qt::Key_End, Section::ports},      {Qt::Key_Down, Section::ports},
                                                 {Qt::Key_Up, Section::crew}};
    for (const auto& [key, expected] : steps) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(shown.back(), expected);
        EXPECT_EQ(sidebar->highlightedSection(), expected);
        EXPECT_EQ(QApplication::focusWidget(), rows.at(expected)) << "focus follows the selection";
    }
    for (const auto& [section, row] : rows) {
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(row);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->text(QAccessible::Name), Sections::title(section));
        EXPECT_TRUE(item->state().selectable);
        EXPECT_EQ(bool(item->state().selected), section == Section::crew);
    }
}
