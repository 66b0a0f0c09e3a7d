// Self-update: the published-release manifest and the verified download of the disk image it names.
//
// Protocol: fetchManifest(defaultFeedURL()) -> compare build with the running build (isNewer) ->
// download(manifest, Downloads folder, progress). Nothing is kept between calls; several calls may run
// at once on different threads. Both network calls block and take a std::stop_token; they use an idle
// time-out (no bytes for that long) rather than a whole-transfer time-out, so a slow but moving
// download is never cut off.
#pragma once

#include "Error.h"
#include "platform/Export.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace brisklet {

// One published release, decoded from the feed's JSON object.
struct UpdateManifest {
    std::string version;              // human-readable, e.g. "1.4.2"
    std::int64_t build = 0;           // the only value that decides whether a release is newer
    std::string url;                  // absolute URL of the disk image
    std::string sha256;               // 64 hexadecimal digits, either case
    std::optional<std::string> notes; // release notes, if any

    bool operator==(const UpdateManifest&) const = default;
};

namespace AppUpdate {

// The errors the download itself raises. Transport and file errors are raised beside them as
// TransportError and FileError; cancellation as brisklet::Cancelled.
class BRISKLET_ENGINE_EXPORT DownloadError : public Error {
public:
    enum class Kind { badStatus, checksumMismatch };

    // statusCode is 0 when the answer was not an HTTP response.
    static DownloadError badStatus(int statusCode);
    static DownloadError checksumMismatch();

    Kind kind() const { return m_kind; }
    int statusCode() const { return m_statusCode; } // 0 for checksumMismatch

    bool operator==(const DownloadError& other) const
    {
        return m_kind == other.m_kind && m_statusCode == other.m_statusCode;
    }

private:
    DownloadError(Kind kind, int statusCode, const std::string& text);
    Kind m_kind;
    int m_statusCode;
};

// The connection failed, stalled past the idle time-out or broke off mid-transfer.
class BRISKLET_ENGINE_EXPORT TransportError : public Error {
public:
    TransportError(int curlCode, const std::string& text);
    int curlCode() const { return m_curlCode; } // the libcurl result code
    bool isTimeout() const;

private:
    int m_curlCode;
};

// A file or folder of the download could not be created, written, read or moved.
class BRISKLET_ENGINE_EXPORT FileError : public Error {
public:
    FileError(const std::string& action, const std::string& path, int errorNumber);
    const std::string& path() const { return m_path; }
    int errorNumber() const { return m_errorNumber; } // errno

private:
    std::string m_path;
    int m_errorNumber;
};

// Connect and idle time-outs of one request. The idle time-out counts whole seconds without data.
struct TransferTimeouts {
    std::chrono::seconds connect;
    std::chrono::seconds idle;
};
inline constexpr TransferTimeouts manifestTimeouts{std::chrono::seconds(20), std::chrono::seconds(20)};
inline constexpr TransferTimeouts downloadTimeouts{std::chrono::seconds(60), std::chrono::seconds(60)};

// "https://" + the update host chosen at build time + "/brisklet/latest.json". Built once.
BRISKLET_ENGINE_EXPORT const std::string& defaultFeedURL();

// GET the manifest from its origin (no cached answer). Never throws: a transport failure, any status
// but 200, an undecodable or invalid body and cancellation all give nothing.
BRISKLET_ENGINE_EXPORT
std::optional<UpdateManifest> fetchManifest(const std::string& url, std::stop_token stop = {},
                                            TransferTimeouts timeouts = manifestTimeouts);

// Decodes and validates a manifest body: non-empty version, build >= 1, an allowed download URL,
// a 64-digit hexadecimal digest. Pure.
std::optional<UpdateManifest> parseManifest(std::string_view body);

// True exactly when the manifest's build is greater than currentBuild.
bool isNewer(const UpdateManifest& manifest, std::int64_t currentBuild);

// Streams the image into a hidden ".NAME.download" file inside directory (created if missing),
// verifies its digest and gives it its final name without replacing any existing file. Returns the
// path of the verified image, which may be an identical file that was already there.
// progress receives fractions 0.0 ... 1.0 on the calling thread, at most once per whole percent and
// a final 1.0; it must not block for long. May be empty.
// Throws DownloadError, TransportError, FileError, or Cancelled when stop is requested. On every
// failure the temporary file is gone (unless only the final move failed) and no existing file was
// replaced or deleted.
BRISKLET_ENGINE_EXPORT
std::string download(const UpdateManifest& manifest, const std::string& directory,
                     const std::function<void(double)>& progress, std::stop_token stop = {},
                     TransferTimeouts timeouts = downloadTimeouts);

// The steps of download, used by it and by tests; the application does not call them.

// https with any host; http only to "localhost" or "127.0.0.1"; nothing else.
bool isAllowedDownloadURL(const std::string& url);
// The URL's last path component when it is a visible name with the host's image extension (".deb"
// here), else "Brisklet-VERSION" + that extension.
std::string fileName(const UpdateManifest& manifest);
// Lower-case hexadecimal SHA-256 of a regular file, read in 1 MiB pieces. Throws FileError.
std::string sha256Hex(const std::string& path);
// Checks the temporary file's digest (deleting it and throwing checksumMismatch on a mismatch) and
// moves it to the first free of NAME, "BASE 2.deb", "BASE 3.deb" ..., or returns an existing
// identical candidate after deleting the temporary file.
std::string finalize(const std::string& temporaryPath, const UpdateManifest& manifest,
                     const std::string& directory);

} // namespace AppUpdate
} // namespace brisklet
