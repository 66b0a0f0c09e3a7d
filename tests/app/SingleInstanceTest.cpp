// One Brisklet per session, on a private session bus: a second launch of the real program hands its
// folder (named in bytes that are not UTF-8) to the first, which comes to the front and scans it, and
// ends at once. --version and --help answer without a display.
#include "AppTestSupport.h"

#include "Launch.h"
#include "SectionScreens.h"
#include "SingleInstance.h"

#include "analyzer/AnalyzerViewController.h"
#include "shell/AppDelegate.h"
#include "shell/AppInfo.h"
#include "shell/MainWindowController.h"
#include "shell/PathBytes.h"
#include "shell/SectionContainerViewController.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

TEST(SingleInstance, ASecondLaunchWithAFolderRaisesTheFirstAndStartsItsScanThere)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForStarted() && waitFor([&] { return daemon.canReadLine(); })) << "no dbus-daemon";
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("single-instance-test"));
    ASSERT_TRUE(bus.isConnected());

    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QByteArray folder = QFile::encodeName(base.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const int note = ::open((folder + "/note.txt").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(note, 0);
    ::close(note);
    struct Removal { // by its bytes, after the program below is gone: QTemporaryDir cannot spell the name
        QByteArray folder;
        ~Removal()
        {
            ::unlink((folder + "/note.txt").constData());
            ::rmdir(folder.constData());
        }
    } removal{folder};

    UpdateController updates(std::make_shared<FakeFeed>());
    AppDelegate delegate(SectionScreens::table(), &updates);
    delegate.applicationDidFinishLaunching();
    SingleInstance first(bus);
    ASSERT_EQ(first.claim({}), SingleInstance::Claim::first);
    QObject::connect(&first, &SingleInstance::activated, &delegate,
                     [&delegate](const QByteArray& handed) { Launch::activate(delegate, handed); });
    QMainWindow* window = delegate.windowController()->window();
    window->showMinimized();
    ASSERT_TRUE(waitFor([&] { return window->isMinimized(); }));

    // The folder's name reaches the program as the very bytes the shell passes.
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(base.path());
    second.start(QStringLiteral("/bin/sh"), {"-c", "exec \"$0\" \"$(printf 'caf\\351')\"", QStringLiteral(BRISKLET_PROGRAM)});
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    auto* analyzer = dynamic_cast<AnalyzerViewController*>(
        delegate.windowController()->container()->controllers().at(Section::analyzer));
    ASSERT_TRUE(analyzer);
    EXPECT_EQ(delegate.windowController()->container()->current(), analyzer);
    ASSERT_TRUE(analyzer->lastFolder());
    EXPECT_EQ(pathBytes(*analyzer->lastFolder()), folder.toStdString());
    EXPECT_NE(analyzer->state(), AnalyzerViewController::State::picker) << "its scan started";
    EXPECT_FALSE(window->isMinimized());

    // Without a bus a launch runs by itself.
    SingleInstance alone(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_EQ(alone.claim({}), SingleInstance::Claim::alone);

    QDBusConnection::disconnectFromBus(QStringLiteral("single-instance-test"));
    daemon.kill();
    daemon.waitForFinished();
}

TEST(CommandLine, VersionAndHelpAnswerWithoutADisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    const auto run = [&](const QString& option) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(BRISKLET_PROGRAM), {option});
        program.waitForFinished(60000);
        return std::pair{program.exitCode(), QString::fromUtf8(program.readAllStandardOutput())};
    };
    EXPECT_EQ(run(QStringLiteral("--version")), std::pair(0, "Brisklet " + AppInfo::appVersion() + "\n"));
    const auto [code, help] = run(QStringLiteral("--help"));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(help.contains("[FOLDER]") && help.contains("--version")) << help.toStdString();
    EXPECT_FALSE(help.contains("screenshots")) << "options for scripts stay out of the help";
    EXPECT_EQ(Launch::folderArgument(3, std::array<char*, 3>{const_cast<char*>("brisklet"), const_cast<char*>("--"),
                                                               const_cast<char*>("/srv/-data")}.data()),
              "/srv/-data");
}
