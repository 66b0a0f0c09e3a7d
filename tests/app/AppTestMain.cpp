// Runs the app tests inside one QApplication on the offscreen platform, with a private home and
// settings folder so no user preference is read or changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <system_error>

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    // A desktop-sized screen (offscreen's own is 800 x 600, where the window shrinks to fit), unless a
    // test runs a child on a screen of its own.
    QByteArray platform = qgetenv("BRISKLET_TEST_PLATFORM");
    if (platform.isEmpty()) {
        QFile screen(home.filePath(QStringLiteral("screen.json")));
        if (!screen.open(QIODevice::WriteOnly) ||
            screen.write(R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1920, "height": 1200}]})") < 0)
            return 2;
        platform = "offscreen:configfile=" + QFile::encodeName(screen.fileName());
    }
    qputenv("QT_QPA_PLATFORM", platform);
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/.cache")).toUtf8());
    qputenv("XDG_STATE_HOME", (home.path() + QStringLiteral("/.local/state")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8()); // private (0700), as Qt expects
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");            // the user's desktop never reaches a test

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brisklet"));
    QApplication::setApplicationName(QStringLiteral("Brisklet"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Removed by its bytes: QTemporaryDir cannot spell the names that are not UTF-8 some tests trash.
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(home.path()).toStdString(), ignored);
    return result;
}
