#include "ReferenceDigest.h"
#include "update/AppUpdate.h"

#include "ChildProcess.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace brisklet;

namespace {

const std::string digestA(64, 'a');

std::string manifestJson(const std::string& fields)
{
    return "{" + fields + "}";
}

std::string validFields(const std::string& extra = "")
{
    return R"("version": "1.4.2", "build": 12, "url": "https://example.com/Brisklet.deb", "sha256": ")"
        + digestA + "\"" + extra;
}

std::string withSha(const std::string& sha)
{
    return manifestJson(R"("version": "1.4.2", "build": 12, "url": "https://example.com/B.deb", "sha256": ")" + sha
                        + "\"");
}

std::string withUrl(const std::string& url)
{
    return manifestJson(R"("version": "1", "build": 1, "url": ")" + url + R"(", "sha256": ")" + digestA + "\"");
}

UpdateManifest manifestFor(const std::string& url, const std::string& version = "1.4.2")
{
    return UpdateManifest{version, 12, url, digestA, std::nullopt};
}

} // namespace

TEST(UpdateManifestParsing, OptionalNotesAndUnknownKeysDoNotRejectAManifest)
{
    const auto plain = AppUpdate::parseManifest(manifestJson(validFields()));
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, (UpdateManifest{"1.4.2", 12, "https://example.com/Brisklet.deb", digestA, std::nullopt}));

    const auto nullNotes = AppUpdate::parseManifest(manifestJson(validFields(R"(, "notes": null)")));
    ASSERT_TRUE(nullNotes);
    EXPECT_FALSE(nullNotes->notes);

    const auto withNotes =
        AppUpdate::parseManifest(manifestJson(validFields(R"(, "notes": "Faster scans", "channel": "beta")")));
    ASSERT_TRUE(withNotes);
    EXPECT_EQ(withNotes->notes, "Faster scans");
}

TEST(UpdateManifestParsing, MissingOrMistypedRequiredFieldsGiveNoManifest)
{
    const std::string url = R"("url": "https://example.com/B.deb")";
    const std::string sha = R"("sha256": ")" + digestA + "\"";
    const char* const bodies[] = {
        "",
        "not json",
        "[]",
        "null",
    };
    for (const char* body : bodies)
        EXPECT_FALSE(AppUpdate::parseManifest(body)) << body;

    const std::string broken[] = {
        manifestJson(R"("build": 12, )" + url + ", " + sha),                     // no version
        manifestJson(R"("version": "1", )" + url + ", " + sha),                  // no build
        manifestJson(R"("version": "1", "build": 12, )" + sha),                  // no url
        manifestJson(R"("version": "1", "build": 12, )" + url),                  // no sha256
        manifestJson(R"("Version": "1", "build": 12, )" + url + ", " + sha),     // keys are case-sensitive
        manifestJson(R"("version": "", "build": 12, )" + url + ", " + sha),      // empty version
        manifestJson(R"("version": "1", "build": 0, )" + url + ", " + sha),      // build below 1
        manifestJson(R"("version": "1", "build": -3, )" + url + ", " + sha),
        manifestJson(R"("version": "1", "build": "12", )" + url + ", " + sha),   // build as text
        manifestJson(R"("version": "1", "build": 12.5, )" + url + ", " + sha),   // fractional build
        manifestJson(R"("version": "1", "build": 12.0, )" + url + ", " + sha),   // not a JSON integer
        manifestJson(R"("version": "1", "build": 9223372036854775808, )" + url + ", " + sha), // too large
        manifestJson(R"("version": 1, "build": 12, )" + url + ", " + sha),       // version as number
        manifestJson(validFields(R"(, "notes": 3)")),                            // notes of the wrong type
        manifestJson(R"("version": "1", "build": 12, "url": "not a url", )" + sha),
    };
    for (const auto& body : broken)
        EXPECT_FALSE(AppUpdate::parseManifest(body)) << body;
}

TEST(UpdateManifestParsing, DigestMustBeExactly64HexDigitsInEitherCase)
{
    EXPECT_FALSE(AppUpdate::parseManifest(withSha(std::string(63, 'a'))));
    EXPECT_FALSE(AppUpdate::parseManifest(withSha(std::string(65, 'a'))));
    EXPECT_FALSE(AppUpdate::parseManifest(withSha(std::string(63, 'a') + "g")));
    EXPECT_FALSE(AppUpdate::parseManifest(withSha(std::string(62, 'a') + " a")));
    EXPECT_TRUE(AppUpdate::parseManifest(withSha("0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef")));
}

// The same rule guards the manifest: one carrying a refused address is no manifest at all.
TEST(UpdateDownloadUrls, OnlyHttpsAnywhereOrPlainHttpToThisMachineIsAllowedAndNoManifestCarriesAnother)
{
    for (const char* allowed : {"https://example.com/a.deb", "HTTPS://Example.COM/a.deb", "hTTpS://cdn.example.org",
                                "http://localhost/a.deb", "http://LOCALHOST:8080/a.deb", "HTTP://127.0.0.1:9/x",
                                "http://127.0.0.1:8080/B.deb"}) {
        EXPECT_TRUE(AppUpdate::isAllowedDownloadURL(allowed)) << allowed;
        EXPECT_TRUE(AppUpdate::parseManifest(withUrl(allowed))) << allowed;
    }
    for (const char* refused : {"http://example.com/a.deb", "http://localhost.example.com/a.deb",
                                "http://127.0.0.2/a.deb", "ftp://example.com/a.deb", "file:///tmp/a.deb",
                                "example.com/a.deb", "/tmp/a.deb", "https://", "", "javascript:alert(1)",
                                "https:///x", "http:///localhost/x", "https:/example.com/x", "https:example.com"}) {
        EXPECT_FALSE(AppUpdate::isAllowedDownloadURL(refused)) << refused;
        EXPECT_FALSE(AppUpdate::parseManifest(withUrl(refused))) << refused;
    }
}

TEST(UpdateVersions, OnlyAStrictlyGreaterBuildIsNewer)
{
    const auto manifest = manifestFor("https://example.com/B.deb");
    EXPECT_FALSE(AppUpdate::isNewer(manifest, 12));
    EXPECT_FALSE(AppUpdate::isNewer(manifest, 13));
    EXPECT_TRUE(AppUpdate::isNewer(manifest, 11));
    EXPECT_TRUE(AppUpdate::isNewer(manifest, 0)); // build number unknown
}

TEST(UpdateFileNames, UsesAVisibleDebNameFromTheUrlElseTheVersionName)
{
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/releases/Brisklet.deb")), "Brisklet.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/Setup.DEB")), "Setup.DEB");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/Brisklet.deb?token=1")), "Brisklet.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/My%20App.deb")), "My App.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/download")), "Brisklet-1.4.2.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/Brisklet.dmg")), "Brisklet-1.4.2.deb")
        << "a disk image of the other platform is not kept under its name here";
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/.x.deb")), "Brisklet-1.4.2.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/")), "Brisklet-1.4.2.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com")), "Brisklet-1.4.2.deb");
}

TEST(UpdateFileNames, NamesFromTheFeedCannotLeaveTheTargetFolder)
{
    // An encoded slash or dot-dot in the URL, or a slash in the version, must not become a path.
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/..%2F..%2Fevil.deb")), "Brisklet-1.4.2.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/a/..%2Fevil.deb")), "Brisklet-1.4.2.deb");
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/x%00.deb")), "Brisklet-1.4.2.deb");
    const std::string name = AppUpdate::fileName(manifestFor("https://example.com/get", "../../../etc/cron.d/x"));
    EXPECT_EQ(name.find('/'), std::string::npos) << name;
    // A name too long for the file system falls back as well.
    EXPECT_EQ(AppUpdate::fileName(manifestFor("https://example.com/" + std::string(250, 'n') + ".deb")),
              "Brisklet-1.4.2.deb");
}

TEST(UpdateFeed, DefaultFeedIsTheLatestJsonOverHttps)
{
    const std::string& feed = AppUpdate::defaultFeedURL();
    EXPECT_TRUE(feed.starts_with("https://")) << feed;
    EXPECT_TRUE(feed.ends_with("/brisklet/latest.json")) << feed;
    EXPECT_TRUE(AppUpdate::isAllowedDownloadURL(feed));
}

// scripts/feed-manifest writes what this parser reads: the same keys, the build a JSON integer, and no
// manifest at all for a URL the parser would refuse (which every program would read as "no update").
TEST(UpdateFeed, FeedManifestScriptWritesManifestsTheParserAccepts)
{
    for (const char* tool : {"/usr/bin/dpkg-deb", "/usr/bin/python3"})
        if (access(tool, X_OK) != 0)
            GTEST_SKIP() << tool << " is not installed";
    test::TempTree tree;
    tree.writeFile("pkg/DEBIAN/control", "Package: brisklet\nVersion: 1.4.2-12\nArchitecture: all\n"
                                         "Maintainer: Test <test@example.com>\nDescription: test\n");
    const std::string deb = tree.path("brisklet_1.4.2-12_all.deb");
    const auto built = test::runCommand({"/usr/bin/dpkg-deb", "--build", tree.path("pkg"), deb});
    ASSERT_EQ(built.exitStatus, 0) << built.err;
    std::ostringstream bytes;
    bytes << std::ifstream(deb, std::ios::binary).rdbuf();
    const std::string script = BRISKLET_SOURCE_DIR "/scripts/feed-manifest";

    const struct {
        std::string url;
        std::string published; // empty: the script refuses the URL
    } cases[] = {
        {"https://updates.example.org/brisklet/", "https://updates.example.org/brisklet/brisklet_1.4.2-12_all.deb"},
        {"http://localhost:8080/b.deb", "http://localhost:8080/b.deb"},
        {"https://updates.example.org/my builds/", ""},
        {"https://updates.example.org/a\tb.deb", ""},
        {"https://updates.example.org/caf\xc3\xa9.deb", ""},
        {"http://updates.example.org/b.deb", ""},
        {"https:///brisklet/b.deb", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const auto made = test::runCommand({script, deb, c.url, "Faster \"scans\" \xe2\x80\x94 and notes"});
        if (c.published.empty()) {
            EXPECT_NE(made.exitStatus, 0);
            EXPECT_EQ(made.out, "");
            continue;
        }
        ASSERT_EQ(made.exitStatus, 0) << made.err;
        const auto manifest = AppUpdate::parseManifest(made.out);
        ASSERT_TRUE(manifest) << made.out;
        EXPECT_EQ(*manifest, (UpdateManifest{"1.4.2", 12, c.published, referenceDigest(bytes.str()),
                                             "Faster \"scans\" \xe2\x80\x94 and notes"}));
    }
    // Notes that are not UTF-8 would make the whole manifest unreadable.
    const auto badNotes = test::runCommand({script, deb, "https://updates.example.org/brisklet/", "caf\xe9"});
    EXPECT_NE(badNotes.exitStatus, 0);
    EXPECT_EQ(badNotes.out, "");
}

TEST(UpdateErrors, DescriptionsAndEqualityFollowTheCase)
{
    EXPECT_EQ(AppUpdate::DownloadError::badStatus(404).description(), "The download failed (HTTP 404).");
    EXPECT_EQ(AppUpdate::DownloadError::badStatus(0).description(), "The download failed (HTTP 0).");
    EXPECT_EQ(AppUpdate::DownloadError::checksumMismatch().description(),
              "The downloaded file didn't match the published checksum, so it was deleted.");
    EXPECT_EQ(AppUpdate::DownloadError::badStatus(500), AppUpdate::DownloadError::badStatus(500));
    EXPECT_FALSE(AppUpdate::DownloadError::badStatus(500) == AppUpdate::DownloadError::badStatus(404));
    EXPECT_FALSE(AppUpdate::DownloadError::badStatus(0) == AppUpdate::DownloadError::checksumMismatch());
}

TEST(UpdateDigest, MatchesReferenceDigestsAcrossReadBoundaries)
{
    test::TempTree tree;
    EXPECT_EQ(AppUpdate::sha256Hex(tree.writeFile("empty", "")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(AppUpdate::sha256Hex(tree.writeFile("abc", "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::string large(3 * 1048576 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = char((i * 131) ^ (i >> 9));
    EXPECT_EQ(AppUpdate::sha256Hex(tree.writeFile("large", large)), referenceDigest(large));
}

TEST(UpdateDigest, UnreadableOrNonRegularPathsThrowFileErrors)
{
    test::TempTree tree;
    try {
        AppUpdate::sha256Hex(tree.path("missing"));
        FAIL() << "no error for a missing file";
    } catch (const AppUpdate::FileError& error) {
        EXPECT_EQ(error.errorNumber(), ENOENT);
    }
    EXPECT_THROW(AppUpdate::sha256Hex(tree.makeDir("folder")), AppUpdate::FileError);
}
