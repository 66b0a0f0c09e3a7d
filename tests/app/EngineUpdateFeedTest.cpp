// The update controller over the engine's real feed and download, against an HTTP server on 127.0.0.1.
#include "AppTestSupport.h"
#include "LocalHttpServer.h"

#include "shell/EngineUpdateFeed.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

namespace {
using Kind = UpdateController::State::Kind;

std::string sha256Of(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

struct Live {
    brisklet::test::LocalHttpServer server;
    QTemporaryDir downloads;
    std::vector<QString> opened;
    std::vector<UpdateController::Alert> alerts;
    std::string image = std::string(200000, 'x') + "end";
    std::unique_ptr<UpdateController> controller;

    void publish(const std::string& digest)
    {
        server.serve("/Brisklet-1.4.2.deb", 200, image);
        server.serve("/brisklet/latest.json", 200,
                     R"({"version": "1.4.2", "build": 12, "url": ")" + server.url("/Brisklet-1.4.2.deb")
                         + R"(", "sha256": ")" + digest + R"("})");
    }

    Live()
    {
        UpdateController::Environment environment;
        environment.presentAlert = [this](const UpdateController::Alert& alert) {
            alerts.push_back(alert);
            return 1;
        };
        environment.openFile = [this](const QString& path) { opened.push_back(path); };
        environment.downloadsFolder = [this] { return downloads.filePath("Downloads"); };
        environment.currentBuild = 11;
        controller = std::make_unique<UpdateController>(
            std::make_shared<EngineUpdateFeed>(server.url("/brisklet/latest.json")), environment);
    }
};
} // namespace

TEST(LiveUpdate, FindsDownloadsVerifiesAndOpensTheImage)
{
    Live live;
    live.publish(sha256Of(live.image));
    live.controller->start();
    ASSERT_TRUE(waitFor([&] { return live.controller->state().kind == Kind::available; }));
    EXPECT_EQ(live.controller->state().manifest.version, "1.4.2");

    live.controller->performPrimaryAction();
    ASSERT_TRUE(waitFor([&] { return live.controller->state().kind == Kind::downloaded; }));
    const QString expected = live.downloads.filePath("Downloads/Brisklet-1.4.2.deb");
    EXPECT_EQ(live.controller->state().file, expected);
    EXPECT_EQ(live.opened, (std::vector<QString>{expected}));
    QFile file(expected);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), live.image);
}

TEST(LiveUpdate, ChecksumMismatchFailsWithTheEngineText)
{
    Live live;
    live.publish(std::string(64, 'b'));
    live.controller->start();
    ASSERT_TRUE(waitFor([&] { return live.controller->state().kind == Kind::available; }));
    live.controller->performPrimaryAction();
    ASSERT_TRUE(waitFor([&] { return live.controller->state().kind == Kind::failed; }));
    EXPECT_EQ(live.controller->state().message,
              "The downloaded file didn't match the published checksum, so it was deleted.");
    EXPECT_TRUE(live.opened.empty());
    EXPECT_FALSE(QFile::exists(live.downloads.filePath("Downloads/Brisklet-1.4.2.deb")));
}

TEST(LiveUpdate, UnreachableFeedNamesTheHostInTheAlert)
{
    Live live; // nothing published: the feed answers 404
    live.controller->checkForUpdatesFromMenu();
    ASSERT_TRUE(waitFor([&] { return !live.alerts.empty(); }));
    EXPECT_EQ(live.alerts[0].messageText, "Couldn't check for updates");
    EXPECT_EQ(live.alerts[0].informativeText,
              "Brisklet couldn't reach 127.0.0.1. Check your connection and try again.");
    EXPECT_EQ(live.controller->state().kind, Kind::none);
}
