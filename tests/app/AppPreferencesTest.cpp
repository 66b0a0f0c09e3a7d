// The stored appearance: reading, writing, bad values, immediate effect on open windows, and the
// settings sheet that changes it.
#include "AppTestSupport.h"

#include "shell/AppInfo.h"
#include "shell/AppPreferences.h"
#include "shell/MainMenu.h"
#include "shell/SegmentedControl.h"
#include "shell/SettingsViewController.h"
#include "shell/SidebarViewController.h"
#include "shell/ToneLabel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QTest>

using AppPreferences::Appearance;

namespace {
void storeRaw(const QVariant& value)
{
    QSettings settings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication);
    settings.setValue("appearance", value);
}

QString storedRaw()
{
    return QSettings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication)
        .value("appearance")
        .toString();
}

struct RestoreAppearance {
    ~RestoreAppearance()
    {
        AppPreferences::applyAppearance(Appearance::system);
        clearSettings();
    }
};
} // namespace

TEST(Appearance, MissingOrUnknownStoredValuesReadAsSystem)
{
    clearSettings();
    EXPECT_EQ(AppPreferences::appearance(), Appearance::system);
    storeRaw("Dark");
    EXPECT_EQ(AppPreferences::appearance(), Appearance::system) << "raw values are matched exactly";
    storeRaw("");
    EXPECT_EQ(AppPreferences::appearance(), Appearance::system);
    storeRaw(QStringList{"dark"});
    EXPECT_EQ(AppPreferences::appearance(), Appearance::system);
    storeRaw("light");
    EXPECT_EQ(AppPreferences::appearance(), Appearance::light);
    AppPreferences::setAppearance(Appearance::dark);
    EXPECT_EQ(storedRaw(), "dark");
    EXPECT_EQ(AppPreferences::appearance(), Appearance::dark);
    clearSettings();
}

TEST(Appearance, ApplyingRestylesOpenWindowsAtOnceAndSystemRestoresTheDesktopPalette)
{
    RestoreAppearance restore;
    QWidget window;
    window.show();
    AppPreferences::applyAppearance(Appearance::system);
    const QColor desktop = window.palette().color(QPalette::Window);

    AppPreferences::applyAppearance(Appearance::dark);
    QApplication::processEvents();
    EXPECT_LT(window.palette().color(QPalette::Window).lightness(), 80);
    EXPECT_GT(window.palette().color(QPalette::WindowText).lightness(), 200);

    AppPreferences::applyAppearance(Appearance::light);
    QApplication::processEvents();
    EXPECT_GT(window.palette().color(QPalette::Window).lightness(), 200);

    AppPreferences::applyAppearance(Appearance::system);
    QApplication::processEvents();
    EXPECT_EQ(window.palette().color(QPalette::Window), desktop);
    const auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_TRUE(style);
    EXPECT_EQ(style->baseStyle()->name().toLower(), "fusion");
    const QPushButton wide(QStringLiteral("Open Software Update"));
    EXPECT_GE(wide.sizeHint().width(), wide.fontMetrics().horizontalAdvance(wide.text()) + 16) << "a long label keeps room on both sides";
}

TEST(SettingsSheet, OpensWithTheStoredAppearanceSelected)
{
    RestoreAppearance restore;
    clearSettings();
    {
        SettingsViewController sheet;
        EXPECT_EQ(sheet.appearanceControl()->selectedIndex(), 0) << "Follow System without a stored value";
        EXPECT_EQ(sheet.appearanceControl()->segment(0)->text(), "Follow System");
        EXPECT_EQ(sheet.appearanceControl()->segment(1)->text(), "Light");
        EXPECT_EQ(sheet.appearanceControl()->segment(2)->text(), "Dark");
    }
    storeRaw("Dark");
    EXPECT_EQ(SettingsViewController().appearanceControl()->selectedIndex(), 0);
    storeRaw("dark");
    EXPECT_EQ(SettingsViewController().appearanceControl()->selectedIndex(), 2);
}

TEST(SettingsSheet, ChoosingDarkStoresItAndDarkensEveryWindow)
{
    RestoreAppearance restore;
    clearSettings();
    AppPreferences::applyAppearance(Appearance::system);
    QWidget otherWindow;
    otherWindow.show();
    SettingsViewController sheet;
    sheet.show();
    QTest::mouseClick(sheet.appearanceControl()->segment(2), Qt::LeftButton);
    EXPECT_EQ(storedRaw(), "dark");
    EXPECT_EQ(AppPreferences::appliedAppearance(), Appearance::dark);
    QApplication::processEvents();
    EXPECT_LT(otherWindow.palette().color(QPalette::Window).lightness(), 80);

    QTest::mouseClick(sheet.appearanceControl()->segment(0), Qt::LeftButton);
    EXPECT_EQ(storedRaw(), "system");
    EXPECT_EQ(AppPreferences::appliedAppearance(), Appearance::system);
}

TEST(SettingsSheet, NoSelectionChangesNothing)
{
    RestoreAppearance restore;
    clearSettings();
    storeRaw("light");
    SettingsViewController sheet;
    sheet.appearanceControl()->setSelectedIndex(-1);
    sheet.appearanceChanged();
    EXPECT_EQ(storedRaw(), "light");
}

// The first build of a version shows the version alone; a later build of it adds its number.
TEST(SettingsSheet, ShowsTheVersionAndOnlyALaterBuildNumber)
{
    SettingsViewController sheet;
    auto* version = sheet.findChild<QLabel*>("versionLabel");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Version 0.1.0");
    EXPECT_EQ(MainMenu::versionText("0.1.0", "1"), "0.1.0");
    EXPECT_EQ(MainMenu::versionText("0.1.0", ""), "0.1.0");
    EXPECT_EQ(MainMenu::versionText("0.1.0", "3"), "0.1.0 (3)");
}

TEST(SettingsSheet, FeedbackOpensAMailWithTheEncodedSubject)
{
    std::vector<QUrl> opened;
    SettingsViewController::setUrlOpener([&](const QUrl& url) { opened.push_back(url); });
    SettingsViewController sheet;
    QTest::mouseClick(sheet.feedbackButton(), Qt::LeftButton);
    SettingsViewController::setUrlOpener([](const QUrl&) {});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded), "mailto:feedback@brisklet.io?subject=Brisklet%20feedback");
    EXPECT_EQ(opened[0].scheme(), "mailto");
}

TEST(SettingsSheet, OpensFromTheSidebarAsAWindowModalSheetArrowsPickAndReturnClosesFromASegment)
{
    clearSettings();
    UpdateController updates(std::make_shared<FakeFeed>());
    QWidget window;
    auto* sidebar = new SidebarViewController(updates, &window);
    window.show();
    QTest::mouseClick(sidebar->settingsButton(), Qt::LeftButton);
    QPointer<QDialog> sheet = sidebar->settingsSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), "Settings");
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));

    auto* settings = sheet->findChild<SettingsViewController*>();
    SegmentedControl* control = settings->appearanceControl();
    control->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control, Qt::Key_Right);
    EXPECT_EQ(AppPreferences::appearance(), Appearance::light);
    // The version is in the secondary tone of the sheet's text, not the placeholder colour.
    EXPECT_EQ(settings->findChild<QLabel*>("versionLabel")->palette().color(QPalette::WindowText),
              toneColor(settings->palette().color(QPalette::WindowText), TextTone::secondary));

    QTest::keyClick(control, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !sheet || !sheet->isVisible(); })) << "Return picked the segment";
    EXPECT_EQ(AppPreferences::appearance(), Appearance::light);
    AppPreferences::applyAppearance(Appearance::system);
    clearSettings();
}

TEST(SettingsSheet, DoneClosesTheSheet)
{
    UpdateController updates(std::make_shared<FakeFeed>());
    QWidget window;
    auto* sidebar = new SidebarViewController(updates, &window);
    window.show();
    sidebar->showSettings();
    QPointer<QDialog> sheet = sidebar->settingsSheet();
    ASSERT_TRUE(sheet);
    auto* controller = sheet->findChild<SettingsViewController*>();
    ASSERT_NE(controller, nullptr);
    QTest::mouseClick(controller->doneButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet || !sheet->isVisible(); }));
}
