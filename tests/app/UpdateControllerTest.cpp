// The update controller's transition table, in-flight rules, alerts and the sidebar button, driven
// through a scriptable feed.
#include "AppTestSupport.h"

#include "shell/AppInfo.h"
#include "shell/NotificationCenter.h"
#include "shell/SidebarViewController.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

namespace {

using State = UpdateController::State;
using Kind = UpdateController::State::Kind;

struct Harness {
    std::shared_ptr<FakeFeed> feed = std::make_shared<FakeFeed>();
    std::vector<UpdateController::Alert> alerts;
    int alertAnswer = 1; // "Later" unless a test says otherwise
    std::vector<QString> opened;
    QTemporaryDir downloads;
    std::unique_ptr<UpdateController> controller;

    explicit Harness(qint64 currentBuild = 11)
    {
        UpdateController::Environment environment;
        environment.presentAlert = [this](const UpdateController::Alert& alert) {
            alerts.push_back(alert);
            return alertAnswer;
        };
        environment.openFile = [this](const QString& path) { opened.push_back(path); };
        environment.downloadsFolder = [this] { return downloads.path(); };
        environment.currentBuild = currentBuild;
        environment.displayVersion = QStringLiteral("1.3.0");
        controller = std::make_unique<UpdateController>(feed, environment);
    }

    // One check, waited for until it has reported.
    void check(bool fromMenu = false)
    {
        const int before = feed->fetchCount();
        if (fromMenu)
            controller->checkForUpdatesFromMenu();
        else if (!controller->timer())
            controller->start();
        else
            QMetaObject::invokeMethod(controller->timer(), "timeout", Qt::DirectConnection);
        ASSERT_TRUE(waitFor([&] { return feed->fetchCount() > before && !controller->isChecking(); }));
    }

    void reachState(Kind kind)
    {
        ASSERT_TRUE(waitFor([&] { return controller->state().kind == kind; }));
    }
};

// Fires the periodic timer's action without waiting two hours.
void firePeriodicCheck(Harness& h)
{
    const int before = h.feed->fetchCount();
    QMetaObject::invokeMethod(h.controller->timer(), "timeout", Qt::DirectConnection);
    ASSERT_TRUE(waitFor([&] { return h.feed->fetchCount() > before && !h.controller->isChecking(); }));
}

} // namespace

TEST(UpdateCheck, RunningBuildOnTheFeedLeavesNoneAndShowsNoAlert)
{
    Harness h(12);
    h.feed->setManifest(manifest(12));
    h.controller->start();
    ASSERT_TRUE(waitFor([&] { return h.feed->fetchCount() == 1 && !h.controller->isChecking(); }));
    EXPECT_EQ(h.controller->state().kind, Kind::none);
    EXPECT_TRUE(h.alerts.empty());
    ASSERT_NE(h.controller->timer(), nullptr);
    EXPECT_EQ(h.controller->timer()->interval(), 7200 * 1000);
    EXPECT_TRUE(h.controller->timer()->isActive());
}

TEST(UpdateCheck, SecondStartDoesNotCheckAgain)
{
    Harness h;
    h.feed->setManifest(manifest(11));
    h.controller->start();
    QTimer* timer = h.controller->timer();
    h.controller->start();
    ASSERT_TRUE(waitFor([&] { return !h.controller->isChecking(); }));
    settleBackground();
    EXPECT_EQ(h.feed->fetchCount(), 1);
    EXPECT_EQ(h.controller->timer(), timer);
}

TEST(UpdateCheck, NewerBuildBecomesAvailableAndAnEqualOneDoesNotRepost)
{
    Harness h;
    int notifications = 0;
    QObject context;
    NotificationCenter::shared().addObserver(NotificationNames::updateStateChanged, &context,
                                             [&](QObject* sender, const QVariantMap& userInfo) {
                                                 if (sender == h.controller.get()) {
                                                     ++notifications;
                                                     EXPECT_TRUE(userInfo.isEmpty());
                                                 }
                                             });
    h.feed->setManifest(manifest(12));
    h.controller->start();
    h.reachState(Kind::available);
    EXPECT_EQ(h.controller->state(), State::available(manifest(12)));
    EXPECT_EQ(notifications, 1);

    firePeriodicCheck(h);
    EXPECT_EQ(h.controller->state(), State::available(manifest(12)));
    EXPECT_EQ(notifications, 1) << "an unchanged state must not be announced again";

    h.feed->setManifest(manifest(11));
    firePeriodicCheck(h);
    EXPECT_EQ(h.controller->state().kind, Kind::none);
    EXPECT_EQ(notifications, 2);
}

TEST(UpdateCheck, MenuCheckWhileACheckRunsGetsThatChecksAnswerOnce)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.feed->holdFetch(true);
    h.controller->start(); // a periodic check, silent on its own
    ASSERT_TRUE(waitFor([&] { return h.feed->fetchCount() == 1; }));
    EXPECT_TRUE(h.controller->isChecking());
    h.controller->checkForUpdatesFromMenu();
    h.controller->checkForUpdatesFromMenu();
    h.feed->release();
    ASSERT_TRUE(waitFor([&] { return !h.controller->isChecking(); }));
    settleBackground();
    EXPECT_EQ(h.feed->fetchCount(), 1);
    ASSERT_EQ(h.alerts.size(), 1u) << "the menu got no answer, or one per press";
    EXPECT_EQ(h.alerts[0].messageText, "Brisklet 1.4.2 is available");
    firePeriodicCheck(h);
    EXPECT_EQ(h.alerts.size(), 1u) << "a later periodic check reported";
}

TEST(UpdateCheck, FailedMenuCheckAlertsAndKeepsTheState)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.check();
    h.reachState(Kind::available);

    h.feed->setManifest(std::nullopt);
    h.check(true);
    EXPECT_EQ(h.controller->state(), State::available(manifest(12)));
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(h.alerts[0].messageText, "Couldn't check for updates");
    EXPECT_EQ(h.alerts[0].informativeText,
              "Brisklet couldn't reach updates.example.test. Check your connection and try again.");
    EXPECT_TRUE(h.alerts[0].buttons.isEmpty());
}

TEST(UpdateCheck, FailedPeriodicCheckIsSilent)
{
    Harness h;
    h.feed->setManifest(std::nullopt);
    h.check();
    EXPECT_EQ(h.controller->state().kind, Kind::none);
    EXPECT_TRUE(h.alerts.empty());
}

TEST(UpdateAlerts, TextsForNewerAndUpToDateReleases)
{
    Harness h;
    h.feed->setManifest(manifest(12, "1.4.2", "Faster scans."));
    h.check(true);
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(h.alerts[0].messageText, "Brisklet 1.4.2 is available");
    EXPECT_EQ(h.alerts[0].informativeText, "You have version 1.3.0.\nFaster scans.");
    EXPECT_EQ(h.alerts[0].buttons, (QStringList{"Download", "Later"}));
    EXPECT_EQ(h.feed->downloadCount(), 0) << "Later does nothing";

    h.feed->setManifest(manifest(12, "1.4.2"));
    h.check(true);
    EXPECT_EQ(h.alerts[1].informativeText, "You have version 1.3.0.") << "no line break without notes";

    h.feed->setManifest(manifest(11, "1.3.0"));
    h.check(true);
    ASSERT_EQ(h.alerts.size(), 3u);
    EXPECT_EQ(h.alerts[2].messageText, "Brisklet is up to date");
    EXPECT_EQ(h.alerts[2].informativeText, "Version 1.3.0 is the newest version.");
}

TEST(UpdateAlerts, DownloadButtonStartsTheDownloadLikeTheSidebar)
{
    Harness h;
    h.alertAnswer = 0;
    h.feed->holdDownload(true);
    h.feed->setManifest(manifest(12));
    h.check(true);
    EXPECT_EQ(h.controller->state(), State::downloading(manifest(12), 0.0));
    ASSERT_TRUE(waitFor([&] { return h.feed->downloadCount() == 1; }));
    EXPECT_EQ(h.feed->lastDirectory(), h.downloads.path().toStdString());
    h.feed->release();
    h.reachState(Kind::downloaded);
}

TEST(UpdateDownload, ProgressThenDownloadedAndOpened)
{
    Harness h;
    const QString image = h.downloads.filePath("Brisklet-1.4.2.deb");
    h.feed->setDownloadResult(image.toStdString());
    h.feed->setProgressSteps({0.25, 0.5});
    h.feed->holdDownload(true);
    h.feed->setManifest(manifest(12));
    h.check();
    h.reachState(Kind::available);

    std::vector<State> seen;
    QObject::connect(h.controller.get(), &UpdateController::stateChanged,
                     [&] { seen.push_back(h.controller->state()); });
    h.controller->performPrimaryAction();
    ASSERT_TRUE(waitFor([&] { return h.controller->state() == State::downloading(manifest(12), 0.5); }));
    h.feed->release();
    h.reachState(Kind::downloaded);

    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], State::downloading(manifest(12), 0.0));
    EXPECT_EQ(seen[1], State::downloading(manifest(12), 0.25));
    EXPECT_EQ(seen[2], State::downloading(manifest(12), 0.5));
    EXPECT_EQ(seen[3], State::downloaded(manifest(12), image));
    EXPECT_EQ(h.opened, (std::vector<QString>{image}));
}

TEST(UpdateDownload, ProgressReachesTheGuiOncePerWholePercent)
{
    Harness h;
    std::vector<double> steps;
    for (int block = 1; block <= 5000; ++block)
        steps.push_back(block / 5000.0);
    h.feed->setProgressSteps(steps);
    h.feed->setManifest(manifest(12));
    h.check();
    int changes = 0;
    QObject::connect(h.controller.get(), &UpdateController::stateChanged, [&] { ++changes; });
    h.controller->performPrimaryAction();
    h.reachState(Kind::downloaded);
    EXPECT_LE(changes, 105) << "every block of the transfer was posted to the GUI thread";
}

TEST(UpdateDownload, LateProgressAfterCompletionIsIgnored)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.check();
    h.controller->performPrimaryAction();
    h.reachState(Kind::downloaded);
    const State finished = h.controller->state();

    h.feed->lastProgress()(0.7);
    settleBackground();
    EXPECT_EQ(h.controller->state(), finished);
}

TEST(UpdateDownload, ChecksAreSkippedWhileDownloading)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.check();
    h.feed->holdDownload(true);
    h.controller->performPrimaryAction();
    ASSERT_TRUE(waitFor([&] { return h.feed->downloadCount() == 1; }));

    h.feed->setManifest(manifest(13));
    h.controller->checkForUpdatesFromMenu();
    QMetaObject::invokeMethod(h.controller->timer(), "timeout", Qt::DirectConnection);
    QCoreApplication::processEvents(); // skipped checks start no work: isChecking stays false
    EXPECT_EQ(h.feed->fetchCount(), 1);
    EXPECT_FALSE(h.controller->isChecking());
    ASSERT_EQ(h.alerts.size(), 1u) << "the menu's check gave no word of the download";
    EXPECT_EQ(h.alerts[0].messageText, "Brisklet 1.4.2 is downloading");
    EXPECT_EQ(h.controller->state().kind, Kind::downloading);

    h.controller->performPrimaryAction(); // does nothing while downloading
    h.feed->release();
    h.reachState(Kind::downloaded);
    EXPECT_EQ(h.feed->downloadCount(), 1);
}

TEST(UpdateDownload, CheckAnsweringDuringADownloadIsIgnoredAndThePressedButtonNeverWaits)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.check();
    h.feed->holdFetch(true);
    h.feed->holdDownload(true);
    h.controller->checkForUpdatesFromMenu();
    ASSERT_TRUE(waitFor([&] { return h.feed->fetchCount() == 2; }));
    h.controller->performPrimaryAction();
    ASSERT_TRUE(waitFor([&] { return h.feed->downloadCount() == 1; }));

    h.feed->setManifest(manifest(13, "1.5.0"));
    h.feed->holdFetch(false);
    ASSERT_TRUE(waitFor([&] { return !h.controller->isChecking(); }));
    EXPECT_EQ(h.controller->state(), State::downloading(manifest(12), 0.0)) << "the check replaced the download";

    h.controller->performPrimaryAction(); // returns at once: nothing joins the running download
    h.feed->release();
    h.reachState(Kind::downloaded);
    EXPECT_EQ(h.controller->state().manifest, manifest(12));
    EXPECT_EQ(h.opened.size(), 1u) << "one image opened";
}

TEST(UpdateDownload, FailureKeepsTheDescriptionAndSurvivesACheckOfTheSameBuild)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.check();
    h.feed->setDownloadFailure("The downloaded file didn't match the published checksum, so it was deleted.");
    h.controller->performPrimaryAction();
    h.reachState(Kind::failed);
    EXPECT_EQ(h.controller->state(),
              State::failed(manifest(12), "The downloaded file didn't match the published checksum, so it was deleted."));

    firePeriodicCheck(h);
    EXPECT_EQ(h.controller->state().kind, Kind::failed) << "the retry button stays for the same release";

    h.feed->setManifest(manifest(13, "1.5.0"));
    firePeriodicCheck(h);
    EXPECT_EQ(h.controller->state(), State::available(manifest(13, "1.5.0")));
}

TEST(UpdateDownload, RetryAfterFailureDownloadsAgain)
{
    Harness h;
    h.feed->setManifest(manifest(12));
    h.check();
    h.feed->setDownloadFailure("The download failed (HTTP 404).");
    h.controller->performPrimaryAction();
    h.reachState(Kind::failed);
    h.feed->setDownloadResult(h.downloads.filePath("Brisklet-1.4.2.deb").toStdString());
    h.controller->performPrimaryAction();
    h.reachState(Kind::downloaded);
    EXPECT_EQ(h.feed->downloadCount(), 2);
}

TEST(UpdateDownload, OpensAnExistingImageAndFetchesAMissingOneAgain)
{
    Harness h;
    const QString image = h.downloads.filePath("Brisklet-1.4.2.deb");
    {
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    h.feed->setDownloadResult(image.toStdString());
    h.feed->setManifest(manifest(12));
    h.check();
    h.controller->performPrimaryAction();
    h.reachState(Kind::downloaded);
    ASSERT_EQ(h.opened.size(), 1u);

    h.controller->performPrimaryAction();
    EXPECT_EQ(h.opened.size(), 2u);
    EXPECT_EQ(h.feed->downloadCount(), 1);

    ASSERT_TRUE(QFile::remove(image));
    h.controller->performPrimaryAction();
    EXPECT_EQ(h.controller->state().kind, Kind::downloading) << "a moved or deleted image is fetched again";
    h.reachState(Kind::downloaded);
    EXPECT_EQ(h.feed->downloadCount(), 2);
}

TEST(UpdateDownload, PrimaryActionWithNothingOfferedDoesNothing)
{
    Harness h;
    h.controller->performPrimaryAction();
    settleBackground();
    EXPECT_EQ(h.controller->state().kind, Kind::none);
    EXPECT_EQ(h.feed->downloadCount(), 0);
}

TEST(UpdateBuildNumber, InvalidBundleBuildCountsAsZero)
{
    EXPECT_EQ(AppInfo::parseBuildNumber("42"), 42);
    EXPECT_EQ(AppInfo::parseBuildNumber("+42"), 42);
    EXPECT_EQ(AppInfo::parseBuildNumber("-3"), -3);
    EXPECT_EQ(AppInfo::parseBuildNumber(""), 0);
    EXPECT_EQ(AppInfo::parseBuildNumber("1.2"), 0);
    EXPECT_EQ(AppInfo::parseBuildNumber("12a"), 0);
    EXPECT_EQ(AppInfo::parseBuildNumber(" 12"), 0);
    EXPECT_EQ(AppInfo::parseBuildNumber("+"), 0);
    EXPECT_EQ(AppInfo::parseBuildNumber("99999999999999999999"), 0);

    Harness h(0);
    h.feed->setManifest(manifest(1));
    h.check();
    EXPECT_EQ(h.controller->state().kind, Kind::available) << "with build 0 any valid release is newer";
}

TEST(UpdateButton, EachStateHasItsTitleSymbolEnablementAndToolTipWithTheProgressTruncated)
{
    using Look = UpdateController::ButtonLook;
    const QString downloadTip = "Download Brisklet 1.4.2 to your Downloads folder.";
    const Look downloading{true, {}, "arrow.down.circle.dotted", false, "Downloading"};
    const auto atPercent = [&](const char* title) { Look look = downloading; look.title = title; return look; };
    const std::pair<State, Look> rows[] = {
        {State::available(manifest(12)), {true, "Update 1.4.2", "arrow.down.circle", true, downloadTip}},
        {State::available(manifest(12, "1.4.2", "Faster scans.")),
         {true, "Update 1.4.2", "arrow.down.circle", true, downloadTip + "\n\nFaster scans."}},
        {State::downloading(manifest(12), 0.0), atPercent("0%")}, // the sidebar test checks 42% only
        {State::downloading(manifest(12), 0.999), atPercent("99%")},
        {State::downloading(manifest(12), 1.0), atPercent("100%")},
        {State::downloaded(manifest(12), "/tmp/x/Brisklet-1.4.2 2.deb"),
         {true, "Open 1.4.2", "shippingbox", true, "Open Brisklet-1.4.2 2.deb to install it."}},
        {State::failed(manifest(12), "The download failed (HTTP 404)."),
         {true, "Retry 1.4.2", "exclamationmark.arrow.circlepath", true, "The download failed (HTTP 404)."}},
    };
    for (const auto& [state, expected] : rows) {
        SCOPED_TRACE(expected.title.toStdString());
        const Look look = UpdateController::buttonLook(state);
        EXPECT_TRUE(look.visible);
        EXPECT_EQ(look.title, expected.title);
        EXPECT_EQ(look.symbolName, expected.symbolName);
        EXPECT_EQ(look.enabled, expected.enabled);
        EXPECT_EQ(look.toolTip, expected.toolTip);
    }
    EXPECT_FALSE(UpdateController::buttonLook(State::none()).visible);
}

TEST(UpdateButton, SidebarButtonShowsEachStateAsItComesAndIsEnabledAgainWhenHidden)
{
    Harness h;
    SidebarViewController sidebar(*h.controller);
    QPushButton* button = sidebar.updateButton();
    EXPECT_TRUE(button->isHidden()) << "hidden until there is something to show";
    const auto showsTheState = [&] {
        const UpdateController::ButtonLook look = UpdateController::buttonLook(h.controller->state());
        return !button->isHidden() && button->text() == look.title && button->isEnabled() == look.enabled
               && button->toolTip() == look.toolTip;
    };

    h.feed->setManifest(manifest(12, "1.4.2", "Faster scans."));
    h.feed->setProgressSteps({0.42});
    h.feed->holdDownload(true);
    h.check();
    h.reachState(Kind::available);
    EXPECT_TRUE(showsTheState());

    h.controller->performPrimaryAction();
    EXPECT_TRUE(showsTheState());
    ASSERT_TRUE(waitFor([&] { return button->text() == "42%"; })) << "progress reaches the button";

    h.feed->release();
    h.reachState(Kind::downloaded);
    EXPECT_TRUE(showsTheState());

    h.feed->setManifest(manifest(11));
    h.check();
    EXPECT_TRUE(button->isHidden());
    EXPECT_TRUE(button->isEnabled());
}

TEST(UpdateState, EqualityComparesCaseAndPayload)
{
    EXPECT_EQ(State::none(), State::none());
    EXPECT_NE(State::available(manifest(12)), State::available(manifest(12, "1.4.3")));
    EXPECT_NE(State::downloading(manifest(12), 0.5), State::downloading(manifest(12), 0.51));
    EXPECT_NE(State::available(manifest(12)), State::failed(manifest(12), ""));
    EXPECT_FALSE(State::none().payloadManifest().has_value());
    EXPECT_EQ(State::failed(manifest(12), "x").payloadManifest(), manifest(12));
}
