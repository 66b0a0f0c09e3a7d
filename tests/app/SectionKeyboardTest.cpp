// Every section of the real window from the keyboard: Tab walks from the sidebar through the section's
// controls in reading order and back, never staying inside one list, and every control it reaches has
// a name and shows that it has the focus.
#include "AppTestSupport.h"

#include "SectionScreens.h"

#include "shell/AppPreferences.h"
#include "shell/ButtonKeys.h"
#include "shell/MainMenu.h"
#include "shell/MainWindowController.h"
#include "shell/NotificationCenter.h"
#include "shell/SectionContainerViewController.h"
#include "shell/SidebarRowView.h"
#include "shell/SidebarViewController.h"
#include "shell/VoyageScanningView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QMainWindow>
#include <QTest>

TEST(SectionKeyboard, TabLeavesTheSidebarReachesNamedControlsAndComesBack)
{
    clearSettings();
    AppPreferences::applyAppearance(AppPreferences::Appearance::light); // the program's style, as at launch
    UpdateController updates{std::make_shared<FakeFeed>()};
    MainWindowController controller{updates, SectionScreens::table(), MainMenu::install(updates)};
    controller.showWindow();
    QMainWindow* window = controller.window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    for (Section section : Sections::all()) {
        NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                          {{NotificationNames::sectionKey, Sections::rawValue(section)}});
        // A screen's first reading covers its controls; the keyboard meets the screen after it.
        ASSERT_TRUE(waitFor([&] {
            for (const VoyageScanningView* busy : controller.container()->current()->findChildren<VoyageScanningView*>())
                if (busy->isVisible())
                    return false;
            return true;
        })) << Sections::rawValue(section).toStdString();
        QWidget* row = controller.sidebar()->rowViews().at(section);
        row->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        QStringList reached;
        QStringList unnamed;
        QStringList unmarked;
        QStringList outOfOrder;
        QRect previous;
        bool back = false;
        for (int press = 0; press < 40 && !back; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            ASSERT_TRUE(focus) << Sections::rawValue(section).toStdString();
            back = focus == row;
            const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(focus);
            const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
            const QString label = QString::fromLatin1(focus->metaObject()->className()) + QLatin1Char(' ') + name;
            if (!back && !reached.contains(label))
                reached << label;
            if (name.trimmed().isEmpty())
                unnamed << label;
            if (back)
                continue;
            // The focus mark: the control looks different with the focus than without it.
            const QImage focused = focus->grab().toImage();
            row->setFocus(Qt::OtherFocusReason);
            const QImage unfocused = focus->grab().toImage();
            focus->setFocus(Qt::TabFocusReason);
            if (focused == unfocused && !unmarked.contains(label))
                unmarked << label;
            // Reading order: the next stop lies lower, or on the same line further right.
            const QRect place(focus->mapTo(window, QPoint(0, 0)), focus->size());
            if (!previous.isNull() && place.top() < previous.center().y() && place.left() < previous.left())
                outOfOrder << label;
            previous = place;
        }
        // Ctrl+F reaches the section's search field from the sidebar.
        QList<QLineEdit*> searches = controller.container()->current()->findChildren<QLineEdit*>();
        searches.removeIf([](const QLineEdit* field) { return !field->isVisible(); });
        if (!searches.isEmpty()) {
            row->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(row, Qt::Key_F, Qt::ControlModifier);
            EXPECT_TRUE(searches.contains(QApplication::focusWidget())) << Sections::rawValue(section).toStdString();
        }
        const std::string where = Sections::rawValue(section).toStdString() + ": " + reached.join(", ").toStdString();
        EXPECT_TRUE(back) << "Tab never came back to the sidebar in " << where;
        EXPECT_GE(reached.size(), 2) << where;
        EXPECT_TRUE(unnamed.isEmpty()) << where << " unnamed: " << unnamed.join(", ").toStdString();
        EXPECT_TRUE(unmarked.isEmpty()) << where << " without a focus mark: " << unmarked.join(", ").toStdString();
        EXPECT_TRUE(outOfOrder.isEmpty()) << where << " out of reading order: " << outOfOrder.join(", ").toStdString();
    }
}

TEST(ButtonKeys, ReturnPressesTheFocusedButtonButLeavesCheckBoxesToSpace)
{
    ButtonKeys::install(QCoreApplication::instance());
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Clean Selected"), &window);
    auto* box = new QCheckBox(QStringLiteral("Option"), &window);
    box->move(0, 40);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy pressed(button, &QPushButton::clicked);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(pressed.count(), 2);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(box->isChecked());
}
