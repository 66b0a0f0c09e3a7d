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

// A private bus daemon for the length of a test.
struct PrivateBus {
    QProcess daemon;
    QString address;

    PrivateBus()
    {
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (daemon.waitForStarted() && waitFor([&] { return daemon.canReadLine(); }))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("follow-system-test"));
        daemon.kill();
        daemon.waitForFinished();
    }
    QDBusConnection connect() const
    {
        return QDBusConnection::connectToBus(address, QStringLiteral("follow-system-test"));
    }
};

} // namespace

TEST(FollowSystem, FollowsThePortalsColourSchemeLiveAndOnlyWhileChosen)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    const QPalette desktop = (AppPreferences::applyAppearance(AppPreferences::Appearance::system), QApplication::palette());

    {
        DesktopColorScheme absent(bus.connect());
        ASSERT_TRUE(waitFor([&] { return absent.hasAnswered(); }));
        EXPECT_EQ(absent.preference(), DesktopColorScheme::Preference::unknown) << "no portal on this bus";
    }

    QProcess portal;
    portal.start(QStringLiteral(STAND_IN_PORTAL), {bus.address, QStringLiteral("1")});
    ASSERT_TRUE(waitFor([&] { return portal.canReadLine(); }));
    ASSERT_EQ(portal.readLine().trimmed(), "ready");

    DesktopColorScheme scheme(bus.connect());
    AppPreferences::useDesktopColorScheme(&scheme);
    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    EXPECT_TRUE(waitFor(looksDark)) << "the portal prefers dark";

    portal.write("2\n");
    EXPECT_TRUE(waitFor([] { return !looksDark(); })) << "a change on the desktop is followed at once";

    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    portal.write("1\n");
    ASSERT_TRUE(waitFor([&] { return scheme.preference() == DesktopColorScheme::Preference::dark; }));
    portal.write("2\n");
    ASSERT_TRUE(waitFor([&] { return scheme.preference() == DesktopColorScheme::Preference::light; }));
    EXPECT_TRUE(looksDark()) << "an explicit choice does not follow the desktop";

    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
    portal.write("0\n");
    ASSERT_TRUE(waitFor([&] { return scheme.preference() == DesktopColorScheme::Preference::none; }));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktop.color(QPalette::Window))
        << "no preference: the desktop's own palette";

    AppPreferences::useDesktopColorScheme(nullptr);
    portal.closeWriteChannel();
    portal.waitForFinished();
}
