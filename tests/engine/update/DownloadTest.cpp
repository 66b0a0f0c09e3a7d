#include "ReferenceDigest.h"
#include "update/AppUpdate.h"

#include "ChildProcess.h"
#include "LocalHttpServer.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <future>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace brisklet;
using namespace std::chrono_literals;
using test::HttpConnection;
using test::HttpRequest;

namespace {

// Short enough for a stall to end the test quickly, long enough never to cut a moving transfer.
constexpr AppUpdate::TransferTimeouts shortTimeouts{5s, 1s};
constexpr AppUpdate::TransferTimeouts longTimeouts{60s, 60s};

std::string imageBytes(std::size_t size, unsigned seed = 1)
{
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// Every entry of a folder, hidden ones included; empty when the folder does not exist.
std::set<std::string> entries(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

// Collects progress reports; the callback may run on any thread.
struct ProgressLog {
    std::mutex mutex;
    std::vector<double> values;

    std::function<void(double)> callback()
    {
        return [this](double fraction) {
            std::lock_guard lock(mutex);
            values.push_back(fraction);
        };
    }
    std::vector<double> snapshot()
    {
        std::lock_guard lock(mutex);
        return values;
    }
};

class UpdateDownload : public ::testing::Test {
protected:
    UpdateManifest publish(const std::string& path, const std::string& image)
    {
        server.serve(path, 200, image);
        return manifestFor(path, image);
    }
    UpdateManifest manifestFor(const std::string& path, const std::string& image)
    {
        return UpdateManifest{"1.4.2", 12, server.url(path), referenceDigest(image), std::nullopt};
    }
    template <typename ErrorType>
    ErrorType downloadFailure(const UpdateManifest& manifest, AppUpdate::TransferTimeouts timeouts = shortTimeouts)
    {
        try {
            AppUpdate::download(manifest, folder, progress.callback(), {}, timeouts);
        } catch (const ErrorType& error) {
            return error;
        }
        throw std::runtime_error("the download did not fail with the expected error");
    }

    test::LocalHttpServer server;
    test::TempTree tree;
    std::string folder = tree.path("Downloads");
    ProgressLog progress;
};

} // namespace

TEST(UpdateManifestFetch, OnlyAnExact200WithAValidBodyGivesAManifest)
{
    test::LocalHttpServer server;
    const std::string body = R"({"version": "2.0", "build": 40, "url": "https://example.com/B.deb", "sha256": ")"
        + std::string(64, 'c') + R"(", "notes": "Hi"})";
    server.serve("/brisklet/latest.json", 200, body);
    for (int status : {204, 301, 304, 404, 500})
        server.serve("/status/" + std::to_string(status), status, status == 204 || status == 304 ? "" : body);
    server.serve("/broken.json", 200, R"({"version": "2.0", "build": 40)");

    const auto manifest = AppUpdate::fetchManifest(server.url("/brisklet/latest.json"), {}, shortTimeouts);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(*manifest, (UpdateManifest{"2.0", 40, "https://example.com/B.deb", std::string(64, 'c'), "Hi"}));
    // Asked from the origin, not from a cache on the way.
    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().method, "GET");
    EXPECT_EQ(requests.front().headers.count("cache-control") ? requests.front().headers.at("cache-control") : "",
              "no-cache");

    for (int status : {204, 301, 304, 404, 500})
        EXPECT_FALSE(AppUpdate::fetchManifest(server.url("/status/" + std::to_string(status)), {}, shortTimeouts))
            << status;
    EXPECT_FALSE(AppUpdate::fetchManifest(server.url("/broken.json"), {}, shortTimeouts));
    EXPECT_FALSE(AppUpdate::fetchManifest("not a url at all", {}, shortTimeouts));

    std::string closedPortUrl;
    {
        test::LocalHttpServer gone;
        closedPortUrl = gone.url("/brisklet/latest.json");
    }
    EXPECT_FALSE(AppUpdate::fetchManifest(closedPortUrl, {}, shortTimeouts));
}

TEST(UpdateManifestFetch, StalledOrCancelledFetchGivesNothingInsteadOfHanging)
{
    test::LocalHttpServer server;
    auto arrived = std::make_shared<std::promise<void>>();
    server.route("/stall", [](const HttpRequest&, HttpConnection& connection) {
        connection.sendHead(200, 500);
        connection.send(R"({"version": )");
        connection.stall();
    });
    server.route("/silent", [](const HttpRequest&, HttpConnection& connection) { connection.stall(); });
    server.route("/cancel", [arrived](const HttpRequest&, HttpConnection& connection) {
        arrived->set_value();
        connection.stall();
    });

    EXPECT_FALSE(AppUpdate::fetchManifest(server.url("/stall"), {}, shortTimeouts));
    EXPECT_FALSE(AppUpdate::fetchManifest(server.url("/silent"), {}, shortTimeouts)); // not even a status line

    std::stop_source stop;
    auto fetching = std::async(std::launch::async, [&] {
        return AppUpdate::fetchManifest(server.url("/cancel"), stop.get_token(), longTimeouts);
    });
    ASSERT_EQ(arrived->get_future().wait_for(60s), std::future_status::ready);
    stop.request_stop();
    ASSERT_EQ(fetching.wait_for(30s), std::future_status::ready) << "cancellation did not end the fetch";
    EXPECT_FALSE(fetching.get());
}

TEST(UpdateManifestFetch, OversizedBodyIsNotAManifest)
{
    test::LocalHttpServer server;
    const std::string padding(2 * 1048576, ' ');
    server.serve("/huge.json", 200, R"({"version": "2.0", "build": 40, "url": "https://example.com/B.deb", "sha256": ")"
                                        + std::string(64, 'c') + "\"" + padding + "}");
    EXPECT_FALSE(AppUpdate::fetchManifest(server.url("/huge.json"), {}, shortTimeouts));
}

TEST_F(UpdateDownload, KnownLengthImageLandsVerifiedWithAtMostOneReportPerPercent)
{
    const std::string image = imageBytes(8 * 1048576 + 5); // 129 write chunks, more than 100 percents
    const auto manifest = publish("/files/Brisklet.deb", image);
    const std::string nested = tree.path("Downloads/new/deeper");

    const std::string saved = AppUpdate::download(manifest, nested, progress.callback(), {}, shortTimeouts);

    EXPECT_EQ(saved, nested + "/Brisklet.deb");
    EXPECT_EQ(readFile(saved), image);
    EXPECT_EQ(entries(nested), std::set<std::string>{"Brisklet.deb"});
    const auto reports = progress.snapshot();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_LE(reports.size(), 101u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(std::adjacent_find(reports.begin(), reports.end()), reports.end()) << "a percent was reported twice";
    EXPECT_GT(reports.front(), 0.0);
    EXPECT_EQ(reports.back(), 1.0);
}

TEST_F(UpdateDownload, SmallOrUnsizedBodiesReportOnlyCompletion)
{
    const std::string tiny = imageBytes(100, 2);
    AppUpdate::download(publish("/tiny/Brisklet.deb", tiny), folder, progress.callback(), {}, shortTimeouts);
    EXPECT_EQ(progress.snapshot(), std::vector<double>{1.0});

    const std::string large = imageBytes(3 * 1048576 + 77, 3);
    server.route("/chunked/Brisklet.deb", [large](const HttpRequest&, HttpConnection& connection) {
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < large.size(); at += 50000)
            pieces.push_back(large.substr(at, 50000));
        connection.respondChunked(200, pieces);
    });
    ProgressLog chunked;
    const std::string chunkedPath = AppUpdate::download(manifestFor("/chunked/Brisklet.deb", large),
                                                        tree.path("chunked"), chunked.callback(), {}, shortTimeouts);
    EXPECT_EQ(readFile(chunkedPath), large);
    EXPECT_EQ(chunked.snapshot(), std::vector<double>{1.0});

    // Neither a length nor chunks: the body ends when the server closes.
    server.route("/closed/Brisklet.deb", [large](const HttpRequest&, HttpConnection& connection) {
        connection.respond(200, large, false);
    });
    ProgressLog closed;
    const std::string closedPath = AppUpdate::download(manifestFor("/closed/Brisklet.deb", large),
                                                       tree.path("closed"), closed.callback(), {}, shortTimeouts);
    EXPECT_EQ(readFile(closedPath), large);
    EXPECT_EQ(closed.snapshot(), std::vector<double>{1.0});

    // An empty image gets no body callback at all, yet still lands.
    ProgressLog empty;
    const std::string emptyPath = AppUpdate::download(publish("/empty/Brisklet.deb", ""), tree.path("empty"),
                                                      empty.callback(), {}, shortTimeouts);
    EXPECT_EQ(readFile(emptyPath), "");
    EXPECT_EQ(empty.snapshot(), std::vector<double>{1.0});
}

TEST_F(UpdateDownload, HttpFailuresRaiseBadStatusAndCreateNothing)
{
    for (int status : {404, 500, 301, 204}) {
        const std::string path = "/status/" + std::to_string(status) + "/Brisklet.deb";
        server.serve(path, status, status == 204 ? "" : "<html>nope</html>");
        const auto error = downloadFailure<AppUpdate::DownloadError>(manifestFor(path, "image"));
        EXPECT_EQ(error, AppUpdate::DownloadError::badStatus(status));
    }
    EXPECT_EQ(downloadFailure<AppUpdate::DownloadError>(manifestFor("/status/404/Brisklet.deb", "")).description(),
              "The download failed (HTTP 404).");

    // Something that is not HTTP at all answers on the port.
    server.route("/ssh/Brisklet.deb", [](const HttpRequest&, HttpConnection& connection) {
        connection.send("SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n");
    });
    const auto notHttp = downloadFailure<AppUpdate::DownloadError>(manifestFor("/ssh/Brisklet.deb", "image"));
    EXPECT_EQ(notHttp.description(), "The download failed (HTTP 0).");

    UpdateManifest local = manifestFor("/x", "image");
    local.url = "file://" + tree.writeFile("image.deb", "image");
    EXPECT_EQ(downloadFailure<AppUpdate::DownloadError>(local), AppUpdate::DownloadError::badStatus(0));

    EXPECT_TRUE(progress.snapshot().empty());
    EXPECT_TRUE(entries(folder).empty()) << "a failed answer left files behind";
}

TEST_F(UpdateDownload, CorruptedImageIsDeletedAndAnExistingFileIsKept)
{
    tree.writeFile("Downloads/Brisklet.deb", "an older image the user kept");
    server.serve("/Brisklet.deb", 200, imageBytes(200000, 4));
    const auto manifest = manifestFor("/Brisklet.deb", imageBytes(200000, 5)); // digest of other bytes

    const auto error = downloadFailure<AppUpdate::DownloadError>(manifest);

    EXPECT_EQ(error, AppUpdate::DownloadError::checksumMismatch());
    EXPECT_EQ(error.description(), "The downloaded file didn't match the published checksum, so it was deleted.");
    EXPECT_EQ(entries(folder), std::set<std::string>{"Brisklet.deb"});
    EXPECT_EQ(readFile(folder + "/Brisklet.deb"), "an older image the user kept");
}

TEST_F(UpdateDownload, IdenticalImageAlreadyPresentIsReturnedWithoutADuplicate)
{
    const std::string image = imageBytes(300000, 6);
    const std::string existing = tree.writeFile("Downloads/Brisklet.deb", image);
    auto manifest = publish("/Brisklet.deb", image);
    std::transform(manifest.sha256.begin(), manifest.sha256.end(), manifest.sha256.begin(), ::toupper);

    EXPECT_EQ(AppUpdate::download(manifest, folder, progress.callback(), {}, shortTimeouts), existing);
    EXPECT_EQ(entries(folder), std::set<std::string>{"Brisklet.deb"});
}

TEST_F(UpdateDownload, DifferentFilesAreNeverReplacedAndNumberedNamesAreUsed)
{
    tree.writeFile("Downloads/Brisklet-1.4.2.deb", "first");
    const std::string image = imageBytes(70000, 7);
    const auto manifest = publish("/get/download", image); // no .deb name: the version names the file

    EXPECT_EQ(AppUpdate::download(manifest, folder, progress.callback(), {}, shortTimeouts),
              folder + "/Brisklet-1.4.2 2.deb");

    const std::string other = imageBytes(70000, 8);
    EXPECT_EQ(AppUpdate::download(publish("/get/download", other), folder, progress.callback(), {}, shortTimeouts),
              folder + "/Brisklet-1.4.2 3.deb");

    EXPECT_EQ(readFile(folder + "/Brisklet-1.4.2.deb"), "first");
    EXPECT_EQ(readFile(folder + "/Brisklet-1.4.2 2.deb"), image);
    EXPECT_EQ(readFile(folder + "/Brisklet-1.4.2 3.deb"), other);
    EXPECT_EQ(entries(folder).size(), 3u);
}

TEST_F(UpdateDownload, OccupiedNamesThatAreNotFilesAreSkippedNotReplaced)
{
    // A dangling link and a folder hold the first two names; neither may be replaced or entered.
    tree.symlink("Downloads/Brisklet.deb", "/nonexistent/target");
    tree.makeDir("Downloads/Brisklet 2.deb");
    const std::string image = imageBytes(1000, 9);

    EXPECT_EQ(AppUpdate::download(publish("/Brisklet.deb", image), folder, progress.callback(), {}, shortTimeouts),
              folder + "/Brisklet 3.deb");
    struct stat info {};
    ASSERT_EQ(::lstat((folder + "/Brisklet.deb").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_TRUE(entries(folder + "/Brisklet 2.deb").empty());
}

TEST_F(UpdateDownload, LinkPlantedAtTheTemporaryNameIsNotFollowed)
{
    const std::string victim = tree.writeFile("victim.txt", "precious");
    tree.makeDir("Downloads");
    tree.symlink("Downloads/.Brisklet.deb.download", victim);
    const std::string image = imageBytes(5000, 10);

    EXPECT_EQ(AppUpdate::download(publish("/Brisklet.deb", image), folder, progress.callback(), {}, shortTimeouts),
              folder + "/Brisklet.deb");
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(entries(folder), std::set<std::string>{"Brisklet.deb"});
}

TEST_F(UpdateDownload, StalledOrCutShortBodiesFailWithoutLeavingTheTemporaryFile)
{
    const std::string image = imageBytes(1048576, 11);
    server.route("/stall/Brisklet.deb", [image](const HttpRequest&, HttpConnection& connection) {
        connection.sendHead(200, static_cast<long long>(image.size()));
        connection.send(std::string_view(image).substr(0, 200000));
        connection.stall();
    });
    server.route("/cut/Brisklet.deb", [image](const HttpRequest&, HttpConnection& connection) {
        connection.sendHead(200, static_cast<long long>(image.size()));
        connection.send(std::string_view(image).substr(0, 100000));
    });

    const auto stalled = downloadFailure<AppUpdate::TransportError>(manifestFor("/stall/Brisklet.deb", image));
    EXPECT_TRUE(stalled.isTimeout()) << stalled.description();
    EXPECT_TRUE(entries(folder).empty());

    const auto cut = downloadFailure<AppUpdate::TransportError>(manifestFor("/cut/Brisklet.deb", image));
    EXPECT_FALSE(cut.isTimeout());
    EXPECT_FALSE(cut.description().empty());
    EXPECT_TRUE(entries(folder).empty());

    std::string closedPortUrl;
    {
        test::LocalHttpServer gone;
        closedPortUrl = gone.url("/Brisklet.deb");
    }
    UpdateManifest refused = manifestFor("/Brisklet.deb", image);
    refused.url = closedPortUrl;
    EXPECT_THROW(AppUpdate::download(refused, folder, {}, {}, shortTimeouts), AppUpdate::TransportError);
    EXPECT_TRUE(entries(folder).empty());
}

TEST_F(UpdateDownload, CancellationMidStreamThrowsCancelledAndDeletesTheTemporaryFile)
{
    const std::string image = imageBytes(10 * 1048576, 12);
    server.route("/Brisklet.deb", [image](const HttpRequest&, HttpConnection& connection) {
        connection.sendHead(200, static_cast<long long>(image.size()));
        connection.send(std::string_view(image).substr(0, 300000));
        connection.stall();
    });
    auto firstReport = std::make_shared<std::promise<void>>();
    std::once_flag once;
    std::stop_source stop;
    auto downloading = std::async(std::launch::async, [&] {
        AppUpdate::download(
            manifestFor("/Brisklet.deb", image), folder,
            [&](double fraction) {
                progress.callback()(fraction);
                std::call_once(once, [&] { firstReport->set_value(); });
            },
            stop.get_token(), longTimeouts);
    });

    ASSERT_EQ(firstReport->get_future().wait_for(60s), std::future_status::ready);
    EXPECT_EQ(entries(folder), std::set<std::string>{".Brisklet.deb.download"});
    const auto reportsBeforeStop = progress.snapshot().size();
    stop.request_stop(); // the server is stalling: only the stop can end this transfer soon
    ASSERT_EQ(downloading.wait_for(30s), std::future_status::ready) << "cancellation did not end the download";
    EXPECT_THROW(downloading.get(), Cancelled);
    EXPECT_TRUE(entries(folder).empty());
    EXPECT_EQ(progress.snapshot().size(), reportsBeforeStop) << "progress was reported after the failure";

    std::stop_source already;
    already.request_stop();
    EXPECT_THROW(AppUpdate::download(publish("/small.deb", "x"), tree.path("never"), {}, already.get_token()),
                 Cancelled);
    EXPECT_NE(::access(tree.path("never").c_str(), F_OK), 0) << "a cancelled download created its folder";
}

TEST_F(UpdateDownload, UnwritableTargetFolderIsAFileErrorAndLeavesNothing)
{
    const std::string image = imageBytes(2000, 13);
    const auto manifest = publish("/Brisklet.deb", image);

    tree.writeFile("plain-file", "not a folder");
    const auto error = [&] {
        try {
            AppUpdate::download(manifest, tree.path("plain-file/Downloads"), {}, {}, shortTimeouts);
        } catch (const AppUpdate::FileError& error) {
            return error;
        }
        throw std::runtime_error("no file error");
    }();
    EXPECT_EQ(error.errorNumber(), ENOTDIR);
    EXPECT_EQ(readFile(tree.path("plain-file")), "not a folder");

    // Permission bits bind only an unprivileged user.
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    const std::string readOnly = tree.makeDir("read-only");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0555), 0);
    const int outcome = test::runUnprivileged([&] {
        try {
            AppUpdate::download(manifest, readOnly, {}, {}, shortTimeouts);
            return 3;
        } catch (const AppUpdate::FileError& error) {
            return error.errorNumber() == EACCES ? 0 : 1;
        } catch (...) {
            return 2;
        }
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(entries(readOnly).empty());
}
