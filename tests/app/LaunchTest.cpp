// The launch sequence: language keys removed, stored appearance applied before the window exists,
// menu bar installed, window shown before the first update check, dashboard first.
#include "AppTestSupport.h"

#include "Screenshots.h"
#include "SectionScreens.h"

#include "shell/AppDelegate.h"
#include "shell/AppPreferences.h"
#include "shell/MainWindowController.h"
#include "shell/SectionContainerViewController.h"
#include "shell/SidebarViewController.h"

#include "platform/HostProfile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <memory>

TEST(Launch, RemovesLanguageKeysAppliesAppearanceThenShowsWindowBeforeChecking)
{
    clearSettings();
    {
        QSettings settings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication);
        for (const std::string& key : brisklet::hostProfile().languageOverrideKeys)
            settings.setValue(QString::fromStdString(key), QStringList{"de"});
        settings.setValue("appearance", "dark");
        settings.setValue("analyzer.lastFolder", "/srv/data");
    }

    auto feed = std::make_shared<FakeFeed>();
    feed->setManifest(manifest(1));
    UpdateController updates(feed);
    AppDelegate delegate(SectionScreens::table(), &updates);

    // Observed from the check's worker thread, so only plain facts cross over.
    std::atomic<bool> windowShownAtCheck{false};
    std::atomic<bool> darkAtCheck{false};
    feed->onFetch = [&] {
        MainWindowController* controller = delegate.windowController();
        windowShownAtCheck = controller && controller->window()->isVisible();
        darkAtCheck = AppPreferences::appliedAppearance() == AppPreferences::Appearance::dark;
    };

    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(waitFor([&] { return feed->fetchCount() == 1 && !updates.isChecking(); }));
    EXPECT_TRUE(windowShownAtCheck);
    EXPECT_TRUE(darkAtCheck);
    EXPECT_NE(updates.timer(), nullptr);

    QSettings settings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication);
    EXPECT_FALSE(settings.contains("language"));
    for (const std::string& key : brisklet::hostProfile().languageOverrideKeys)
        EXPECT_FALSE(settings.contains(QString::fromStdString(key))) << key;
    EXPECT_EQ(settings.value("appearance").toString(), "dark");
    EXPECT_EQ(settings.value("analyzer.lastFolder").toString(), "/srv/data") << "other keys are kept";

    QMainWindow* window = delegate.windowController()->window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_LT(window->palette().color(QPalette::Window).lightness(), 80) << "the window opened dark";
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    EXPECT_EQ(delegate.windowController()->sidebar()->highlightedSection(), Section::dashboard);
    auto* container = delegate.windowController()->container();
    EXPECT_EQ(container->current(), container->controllers().at(Section::dashboard));

    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    clearSettings();
}

// The pictures trash, restore and log demo files: run from a real home, they would leave folders there
// and false lines in the history. A home inside the temporary folder is kept as the throw-away one.
TEST(ScreenshotHome, PicturesOfARealHomeAreTakenInAThrowAwayOne)
{
    struct Environment { // put back whatever the test changes, also when it stops early
        const char* names[6] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "TMPDIR"};
        QByteArray values[6];
        Environment() { std::transform(names, names + 6, values, [](const char* name) { return qgetenv(name); }); }
        ~Environment()
        {
            for (int i = 0; i < 6; ++i)
                values[i].isNull() ? void(qunsetenv(names[i])) : void(qputenv(names[i], values[i]));
        }
    } saved;
    const QString home = qEnvironmentVariable("HOME");

    std::unique_ptr<QTemporaryDir> holder;
    ASSERT_TRUE(Screenshots::useThrowAwayHome(holder));
    EXPECT_FALSE(holder);
    EXPECT_EQ(qEnvironmentVariable("HOME"), home);

    // With the temporary folder elsewhere, the same home counts as the user's.
    ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("elsewhere")));
    qputenv("TMPDIR", QFile::encodeName(home + QStringLiteral("/elsewhere")));
    ASSERT_TRUE(Screenshots::useThrowAwayHome(holder));
    ASSERT_TRUE(holder);
    const QString picturesHome = qEnvironmentVariable("HOME");
    EXPECT_TRUE(picturesHome.startsWith(home + QStringLiteral("/elsewhere/"))) << picturesHome.toStdString();
    EXPECT_EQ(qEnvironmentVariable("XDG_DATA_HOME"), picturesHome + QStringLiteral("/.local/share"));
    EXPECT_EQ(qEnvironmentVariable("XDG_CONFIG_HOME"), picturesHome + QStringLiteral("/.config"));
    EXPECT_TRUE(QDir(qEnvironmentVariable("XDG_STATE_HOME")).exists());
}
