// "Follow System" follows the desktop portal's colour scheme live, on a private session bus with a
// stand-in portal; without a portal the desktop's own palette stays.
#include "AppTestSupport.h"

#include "shell/AppPreferences.h"
#include "shell/DesktopColorScheme.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QPalette>
#include <QProcess>

namespace {
bool looksDark() { return QApplication::palette().color(QPalette::Window).lightness() < 128; }
} // namespace

TEST(FollowSystem, FollowsThePortalsColourSchemeLiveAndOnlyWhileChosen)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForStarted() && waitFor([&] { return daemon.canReadLine(); })) << "no dbus-daemon";
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    const auto bus = [&] { return QDBusConnection::connectToBus(address, QStringLiteral("follow-system-test")); };
    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    const QColor desktop = QApplication::palette().color(QPalette::Window);
    DesktopColorScheme absent(bus());
    ASSERT_TRUE(waitFor([&] { return absent.hasAnswered(); }));
    EXPECT_EQ(absent.preference(), DesktopColorScheme::Preference::unknown) << "no portal on this bus";

    QProcess portal;
    portal.start(QStringLiteral(STAND_IN_PORTAL), {address, QStringLiteral("1")});
    ASSERT_TRUE(waitFor([&] { return portal.canReadLine(); }) && portal.readLine().trimmed() == "ready");
    DesktopColorScheme scheme(bus());
    const auto reach = [&](const char* value, DesktopColorScheme::Preference preference) {
        portal.write(value);
        return waitFor([&] { return scheme.preference() == preference; });
    };
    AppPreferences::useDesktopColorScheme(&scheme);
    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    EXPECT_TRUE(waitFor(looksDark)) << "the portal prefers dark";
    ASSERT_TRUE(reach("2\n", DesktopColorScheme::Preference::light));
    EXPECT_FALSE(looksDark()) << "a change on the desktop is followed at once";

    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    ASSERT_TRUE(reach("1\n", DesktopColorScheme::Preference::dark) && reach("2\n", DesktopColorScheme::Preference::light));
    EXPECT_TRUE(looksDark()) << "an explicit choice does not follow the desktop";

    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    ASSERT_TRUE(reach("0\n", DesktopColorScheme::Preference::none));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktop) << "no preference: the desktop's own palette";

    AppPreferences::useDesktopColorScheme(nullptr);
    QDBusConnection::disconnectFromBus(QStringLiteral("follow-system-test"));
    portal.kill();
    daemon.kill();
}
