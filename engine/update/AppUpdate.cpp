#include "AppUpdate.h"

#include "HttpTransfer.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/UniqueFd.h"

#include <curl/curl.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef BRISKLET_UPDATE_HOST
#define BRISKLET_UPDATE_HOST "updates.brisklet.io"
#endif

namespace brisklet::AppUpdate {

namespace {

constexpr std::size_t writeChunkBytes = 65536;
constexpr std::size_t hashReadBytes = 1048576;
// A manifest is a few hundred bytes; anything this large is not one.
constexpr std::size_t manifestBodyLimit = 1048576;
constexpr std::size_t nameMax = 255;

std::string lowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return text;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The parts of a URL that the rules look at, from libcurl's parser (any scheme accepted).
struct UrlParts {
    std::string scheme; // lower case
    std::string host;   // as written; empty when there is none
    std::string path;   // still percent-encoded
};

std::optional<UrlParts> parseUrl(const std::string& url)
{
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle || url.find('\0') != std::string::npos
        || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    auto part = [&](CURLUPart which) {
        char* text = nullptr;
        std::string value;
        if (curl_url_get(handle.get(), which, &text, 0) == CURLUE_OK && text)
            value = text;
        curl_free(text);
        return value;
    };
    return UrlParts{lowerAscii(part(CURLUPART_SCHEME)), part(CURLUPART_HOST), part(CURLUPART_PATH)};
}

std::string percentDecode(const std::string& text)
{
    int length = 0;
    char* decoded = curl_easy_unescape(nullptr, text.c_str(), int(text.size()), &length);
    if (!decoded)
        return text;
    std::string result(decoded, std::size_t(length));
    curl_free(decoded);
    return result;
}

// Unlinks a file, ignoring a failure: used on paths that are already failing.
void removeQuietly(const std::string& path)
{
    ::unlink(path.c_str());
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& path)
{
    if (!platform::writeAll(fd, std::string_view(data, size)))
        throw FileError("write", path, errno);
}

// Moves without ever replacing: fails with EEXIST when the destination is taken.
int moveNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without RENAME_NOREPLACE: a hard link also refuses an existing name.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

std::optional<std::string> digestOrNothing(const std::string& path)
{
    try {
        return sha256Hex(path);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// The streamed body: 64 KiB writes to the hidden temporary file, progress once per whole percent.
class ImageWriter {
public:
    ImageWriter(const UpdateManifest& manifest, const std::string& directory,
                const std::function<void(double)>& progress)
        : m_directory(directory)
        , m_temporaryPath(platform::joinPath(directory, "." + fileName(manifest) + ".download"))
        , m_progress(progress)
    {
    }
    ~ImageWriter() { discard(); }
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;

    const std::string& temporaryPath() const { return m_temporaryPath; }
    bool isOpen() const { return m_fd.valid(); }

    // Creates the folder and an empty temporary file, never following a link planted at its name.
    void open(std::int64_t expectedLength)
    {
        errno = 0;
        if (!platform::createDirectories(m_directory)) {
            // EEXIST here means something that is not a folder stands in the way.
            const int failure = errno == EEXIST ? ENOTDIR : errno != 0 ? errno : EIO;
            throw FileError("create the folder", m_directory, failure);
        }
        if (::unlink(m_temporaryPath.c_str()) != 0 && errno != ENOENT)
            throw FileError("replace", m_temporaryPath, errno);
        m_fd.reset(::open(m_temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!m_fd)
            throw FileError("create", m_temporaryPath, errno);
        m_created = true;
        m_expected = expectedLength;
        m_buffer.reserve(writeChunkBytes);
    }

    void append(std::string_view piece)
    {
        while (!piece.empty()) {
            const std::size_t take = std::min(piece.size(), writeChunkBytes - m_buffer.size());
            m_buffer.insert(m_buffer.end(), piece.begin(), piece.begin() + std::ptrdiff_t(take));
            piece.remove_prefix(take);
            if (m_buffer.size() == writeChunkBytes)
                flushChunk();
        }
    }

    // Writes the rest, closes the file and reports completion.
    void finish()
    {
        writeAll(m_fd.get(), m_buffer.data(), m_buffer.size(), m_temporaryPath);
        m_written += std::int64_t(m_buffer.size());
        m_buffer.clear();
        if (::close(m_fd.release()) != 0)
            throw FileError("write", m_temporaryPath, errno);
        if (m_progress)
            m_progress(1.0);
    }

    // From here on the temporary file belongs to finalize.
    void release() { m_created = false; }

    // Closes and deletes the temporary file after a failure.
    void discard()
    {
        m_fd.reset();
        if (m_created)
            removeQuietly(m_temporaryPath);
        m_created = false;
    }

private:
    void flushChunk()
    {
        writeAll(m_fd.get(), m_buffer.data(), m_buffer.size(), m_temporaryPath);
        m_written += std::int64_t(m_buffer.size());
        m_buffer.clear();
        if (m_expected < 1)
            return;
        const std::int64_t percent = m_written * 100 / m_expected;
        if (percent != m_lastPercent) {
            m_lastPercent = percent;
            if (m_progress)
                m_progress(std::min(double(m_written) / double(m_expected), 1.0));
        }
    }

    std::string m_directory;
    std::string m_temporaryPath;
    const std::function<void(double)>& m_progress;
    std::vector<char> m_buffer;
    platform::UniqueFd m_fd;
    bool m_created = false;
    std::int64_t m_expected = -1;
    std::int64_t m_written = 0;
    std::int64_t m_lastPercent = -1;
};

// libcurl's result codes for an answer that is not HTTP at all (HTTP/0.9 is refused).
bool isNonHttpAnswer(const update::HttpOutcome& outcome)
{
    return outcome.head.status == 0
        && (outcome.curlCode == CURLE_WEIRD_SERVER_REPLY || outcome.curlCode == CURLE_UNSUPPORTED_PROTOCOL);
}

} // namespace

// MARK: errors

DownloadError::DownloadError(Kind kind, int statusCode, const std::string& text)
    : Error(text)
    , m_kind(kind)
    , m_statusCode(statusCode)
{
}

DownloadError DownloadError::badStatus(int statusCode)
{
    return DownloadError(Kind::badStatus, statusCode,
                         "The download failed (HTTP " + std::to_string(statusCode) + ").");
}

DownloadError DownloadError::checksumMismatch()
{
    return DownloadError(Kind::checksumMismatch, 0,
                         "The downloaded file didn't match the published checksum, so it was deleted.");
}

TransportError::TransportError(int curlCode, const std::string& text)
    : Error(text)
    , m_curlCode(curlCode)
{
}

bool TransportError::isTimeout() const
{
    return m_curlCode == CURLE_OPERATION_TIMEDOUT;
}

FileError::FileError(const std::string& action, const std::string& path, int errorNumber)
    : Error("Couldn't " + action + " \u201c" + path + "\u201d: " + std::strerror(errorNumber) + ".")
    , m_path(path)
    , m_errorNumber(errorNumber)
{
}

// MARK: manifest

const std::string& defaultFeedURL()
{
    static const std::string url = std::string("https://") + BRISKLET_UPDATE_HOST + "/brisklet/latest.json";
    return url;
}

std::optional<UpdateManifest> fetchManifest(const std::string& url, std::stop_token stop,
                                            TransferTimeouts timeouts)
{
    try {
        std::string body;
        const auto outcome = update::httpGet(url, timeouts, stop,
                                             [&](const update::HttpResponseHead& head, std::string_view piece) {
                                                 if (head.status != 200 || body.size() + piece.size() > manifestBodyLimit)
                                                     return false;
                                                 body.append(piece);
                                                 return true;
                                             });
        if (!outcome.succeeded() || outcome.head.status != 200)
            return std::nullopt;
        return parseManifest(body);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<UpdateManifest> parseManifest(std::string_view body)
{
    const auto json = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;

    auto text = [&](const char* key) -> std::optional<std::string> {
        const auto found = json.find(key);
        if (found == json.end() || !found->is_string())
            return std::nullopt;
        return found->get<std::string>();
    };
    const auto version = text("version");
    const auto url = text("url");
    const auto sha256 = text("sha256");
    const auto build = json.find("build");
    if (!version || !url || !sha256 || build == json.end())
        return std::nullopt;
    // Only a JSON integer that fits: "12", 12.0 and 2^63 are not builds.
    if (!build->is_number_integer()
        || (build->is_number_unsigned() && build->get<std::uint64_t>() > std::uint64_t(INT64_MAX)))
        return std::nullopt;

    UpdateManifest manifest;
    manifest.version = *version;
    manifest.build = build->get<std::int64_t>();
    manifest.url = *url;
    manifest.sha256 = *sha256;
    const auto notes = json.find("notes");
    if (notes != json.end() && !notes->is_null()) {
        if (!notes->is_string())
            return std::nullopt;
        manifest.notes = notes->get<std::string>();
    }

    if (manifest.version.empty() || manifest.build < 1 || !parseUrl(manifest.url)
        || !isAllowedDownloadURL(manifest.url))
        return std::nullopt;
    if (manifest.sha256.size() != 64 || !std::all_of(manifest.sha256.begin(), manifest.sha256.end(), isHexDigit))
        return std::nullopt;
    return manifest;
}

bool isNewer(const UpdateManifest& manifest, std::int64_t currentBuild)
{
    return manifest.build > currentBuild;
}

bool isAllowedDownloadURL(const std::string& url)
{
    const auto parts = parseUrl(url);
    if (!parts)
        return false;
    // libcurl reads "https:///x" as the host "x": only a URL that spells out its authority names a host.
    const std::size_t authority = parts->scheme.size() + 3;
    if (url.size() <= authority || url.compare(parts->scheme.size(), 3, "://") != 0
        || std::string_view("/?#\\").find(url[authority]) != std::string_view::npos)
        return false;
    if (parts->scheme == "https")
        return !parts->host.empty();
    if (parts->scheme == "http") {
        const std::string host = lowerAscii(parts->host);
        return host == "localhost" || host == "127.0.0.1";
    }
    return false;
}

std::string fileName(const UpdateManifest& manifest)
{
    std::string candidate;
    if (const auto parts = parseUrl(manifest.url)) {
        const std::string path = platform::withoutTrailingSlashes(parts->path);
        const std::size_t slash = path.rfind('/');
        // The path "/" has itself as its last component, which is refused below.
        candidate = slash == std::string::npos || path == "/" ? path : path.substr(slash + 1);
        candidate = percentDecode(candidate);
    }
    // Room is kept for the temporary file's "." and ".download" around the name.
    const bool usable = !candidate.empty() && candidate.find('/') == std::string::npos
        && candidate.find('\0') == std::string::npos && candidate.front() != '.'
        && lowerAscii(candidate).ends_with(hostProfile().updateImageExtension) && candidate.size() + 10 <= nameMax;
    if (usable)
        return candidate;
    // The version comes from the feed: it must not be able to lead the name out of the folder.
    std::string version = manifest.version;
    std::replace(version.begin(), version.end(), '/', '-');
    std::replace(version.begin(), version.end(), '\0', '-');
    return "Brisklet-" + version + hostProfile().updateImageExtension;
}

// MARK: digest and final name

std::string sha256Hex(const std::string& path)
{
    // O_NONBLOCK keeps a FIFO planted at the path from hanging the open; only regular files are read.
    const platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file)
        throw FileError("read", path, errno);
    const int fd = file.get();

    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw FileError("read", path, errno);
    if (!S_ISREG(info.st_mode))
        throw FileError("read", path, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);

    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw FileError("read", path, ENOMEM);
    std::vector<unsigned char> buffer(hashReadBytes);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError("read", path, errno);
        }
        if (got == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.data(), std::size_t(got));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);

    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(std::size_t(length) * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0x0f];
    }
    return text;
}

std::string finalize(const std::string& temporaryPath, const UpdateManifest& manifest,
                     const std::string& directory)
{
    const std::string expected = lowerAscii(manifest.sha256);
    const auto digest = digestOrNothing(temporaryPath);
    if (!digest || *digest != expected) {
        removeQuietly(temporaryPath);
        throw DownloadError::checksumMismatch();
    }

    const std::string name = fileName(manifest);
    const std::string base = name.substr(0, name.rfind('.'));
    std::string candidate = platform::joinPath(directory, name);
    int counter = 2;
    bool raced = false;
    for (;;) {
        struct stat info {};
        // lstat: a dangling link at the name still occupies it and is never replaced.
        if (::lstat(candidate.c_str(), &info) != 0) {
            if (errno != ENOENT)
                throw FileError("move the download to", candidate, errno);
            const int failure = moveNoReplace(temporaryPath, candidate);
            if (failure == 0)
                return candidate;
            if (failure != EEXIST || raced)
                throw FileError("move the download to", candidate, failure);
            raced = true; // someone took the name just now: look at what is there
            continue;
        }
        raced = false;
        if (digestOrNothing(candidate) == expected) {
            removeQuietly(temporaryPath);
            return candidate;
        }
        candidate = platform::joinPath(directory, base + " " + std::to_string(counter) + hostProfile().updateImageExtension);
        ++counter;
    }
}

// MARK: download

std::string download(const UpdateManifest& manifest, const std::string& directory,
                     const std::function<void(double)>& progress, std::stop_token stop,
                     TransferTimeouts timeouts)
{
    const auto parts = parseUrl(manifest.url);
    if (!parts || (parts->scheme != "http" && parts->scheme != "https"))
        throw DownloadError::badStatus(0); // nothing that could answer in HTTP

    ImageWriter writer(manifest, directory, progress);
    std::exception_ptr failure;
    const auto outcome = update::httpGet(
        manifest.url, timeouts, stop, [&](const update::HttpResponseHead& head, std::string_view piece) {
            try {
                if (!writer.isOpen()) {
                    if (head.status != 200)
                        throw DownloadError::badStatus(int(head.status));
                    writer.open(head.contentLength);
                }
                writer.append(piece);
                return true;
            } catch (...) {
                failure = std::current_exception();
                return false;
            }
        });

    if (outcome.stopped) {
        writer.discard();
        throw Cancelled();
    }
    if (failure) {
        writer.discard();
        std::rethrow_exception(failure);
    }
    if (outcome.curlCode != CURLE_OK) {
        writer.discard();
        if (isNonHttpAnswer(outcome))
            throw DownloadError::badStatus(0);
        throw TransportError(outcome.curlCode, update::transportFailureText(outcome));
    }
    if (outcome.head.status != 200)
        throw DownloadError::badStatus(int(outcome.head.status));
    if (!writer.isOpen())
        writer.open(outcome.head.contentLength); // an empty body
    writer.finish();
    writer.release();
    return finalize(writer.temporaryPath(), manifest, directory);
}

} // namespace brisklet::AppUpdate
