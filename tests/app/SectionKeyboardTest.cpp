// Every section of the real window from the keyboard: Tab walks from the sidebar through the section's
// controls and back, never staying inside one list, and every control it reaches has a name.
#include "AppTestSupport.h"

#include "SectionScreens.h"

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
#include <QMainWindow>
#include <QTest>

TEST(SectionKeyboard, TabLeavesTheSidebarReachesNamedControlsAndComesBack)
{
    clearSettings();
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
        }
        const std::string where = Sections::rawValue(section).toStdString() + ": " + reached.join(", ").toStdString();
        EXPECT_TRUE(back) << "Tab never came back to the sidebar in " << where;
        EXPECT_GE(reached.size(), 2) << where;
        EXPECT_TRUE(unnamed.isEmpty()) << where << " unnamed: " << unnamed.join(", ").toStdString();
    }
}
