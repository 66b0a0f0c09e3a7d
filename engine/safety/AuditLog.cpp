#include "AuditLog.h"

#include "Error.h"
#include "platform/FileServices.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <limits>
#include <pthread.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet {

namespace {

// 2001-01-01 00:00:00 UTC in Unix time.
constexpr std::int64_t referenceDateUnixSeconds = 978307200;

void appendJsonString(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// Past this size the log is rotated before the next line: the current file becomes the one old file
// kept, and a fresh file starts. Both are read for history.
constexpr off_t rotationBytes = 10'000'000;
// Reading from the end gives up on a single line longer than this and skips it.
constexpr std::size_t longestLine = 1 << 20;
constexpr std::size_t readChunkBytes = 64 * 1024;

struct LockedLog {
    platform::UniqueFd fd;
    off_t size = 0;
};

// Opens file for appending and takes its lock. The lock serialises appends, rotation and migration
// between processes; a file renamed away while this waited for it is left for the one now at file.
// No descriptor when file cannot be opened for writing (errno tells why).
LockedLog openLocked(const std::string& file) {
    for (int attempt = 0;; ++attempt) {
        // Read access only serves the torn-line check; a write-only file is appended to all the same.
        platform::UniqueFd fd(::open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC));
        if (!fd && (errno == EACCES || errno == EPERM))
            fd.reset(::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        if (!fd)
            return {};
        int locked;
        do
            locked = ::flock(fd.get(), LOCK_EX);
        while (locked != 0 && errno == EINTR);
        // A file system without flock is appended to unlocked, as every writer did before.
        struct stat held {}, named {};
        if (::fstat(fd.get(), &held) != 0)
            return {};
        const bool current =
            ::stat(file.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino;
        if (current || locked != 0 || attempt >= 8)
            return {std::move(fd), held.st_size};
    }
}

// Appends line at the end of the locked file.
void appendLine(const LockedLog& log, const std::string& line) {
    std::string data = line;
    // A torn last line (a crash or a full disk mid-write, a foreign writer) would swallow this entry:
    // start afresh.
    char last = '\n';
    if (log.size > 0 && ::pread(log.fd.get(), &last, 1, log.size - 1) == 1 && last != '\n')
        data.insert(data.begin(), '\n');
    platform::writeAll(log.fd.get(), data); // a failed write is not reported to anyone
}

// Creates file holding just line, so that no reader sees it half made and nothing is replaced.
// False when file appeared meanwhile.
bool createWithLine(const std::string& directory, const std::string& file, const std::string& line) {
    std::string temporary = platform::joinPath(directory, ".audit.jsonl.XXXXXX");
    platform::UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd)
        return true; // cannot write here at all: the entry is lost
    const bool written = platform::writeAll(fd.get(), line);
    ::fchmod(fd.get(), 0600);
    const bool closed = ::close(fd.release()) == 0;
    bool placed = true;
    if (written && closed) {
        if (::link(temporary.c_str(), file.c_str()) != 0) {
            if (errno == EEXIST)
                placed = false;
            else if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) != 0)
                placed = errno != EEXIST; // file systems without hard links
        }
    }
    ::unlink(temporary.c_str());
    return placed;
}

// Hands the complete lines of fd to take, newest first, until take returns false. The file is read
// from its end in chunks, so the cost follows what is taken, not the size of the file.
void forEachLineFromEnd(int fd, const std::function<bool(std::string_view)>& take) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return;
    off_t position = st.st_size;
    std::string line; // the part of the current line after position
    bool overlong = false;
    std::vector<char> chunk(readChunkBytes);
    while (position > 0) {
        const auto size = static_cast<std::size_t>(std::min<off_t>(position, off_t(readChunkBytes)));
        position -= off_t(size);
        for (std::size_t got = 0; got < size;) {
            const ssize_t count = ::pread(fd, chunk.data() + got, size - got, position + off_t(got));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return; // unreadable from here on: what was taken stands
            got += std::size_t(count);
        }
        std::size_t end = size;
        for (std::size_t i = size; i-- > 0;) {
            if (chunk[i] != '\n')
                continue;
            if (!overlong) {
                line.insert(0, chunk.data() + i + 1, end - i - 1);
                if (!line.empty() && !take(line))
                    return;
            }
            line.clear();
            overlong = false;
            end = i;
        }
        if (!overlong) {
            line.insert(0, chunk.data(), end);
            if (line.size() > longestLine) {
                line.clear();
                overlong = true;
            }
        }
    }
    if (!overlong && !line.empty())
        take(line);
}

// Copies each source after the other into a new file in directory, each ending in a line feed.
// The new file's path, or nothing when a copy failed.
std::optional<std::string> joinedCopy(const std::string& directory, const std::vector<std::string>& sources) {
    std::string temporary = platform::joinPath(directory, ".audit.jsonl.XXXXXX");
    platform::UniqueFd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out)
        return std::nullopt;
    ::fchmod(out.get(), 0600);
    bool copied = true;
    std::vector<char> buffer(readChunkBytes);
    for (const std::string& source : sources) {
        const platform::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!in) {
            copied = false;
            break;
        }
        char last = '\n';
        for (;;) {
            const ssize_t count = ::read(in.get(), buffer.data(), buffer.size());
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0 || (count > 0 && !platform::writeAll(out.get(), {buffer.data(), std::size_t(count)})))
                copied = false;
            if (count <= 0)
                break;
            last = buffer[std::size_t(count) - 1];
        }
        if (copied && last != '\n')
            copied = platform::writeAll(out.get(), "\n");
        if (!copied)
            break;
    }
    if (::close(out.release()) != 0 || !copied) {
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return temporary;
}

std::string logDirectory() {
    return platform::joinPath(platform::stateDirectory(), "brisklet");
}

} // namespace

AuditLog::AuditLog(std::string directory)
    : m_directory(std::move(directory)),
      m_filePath(platform::joinPath(m_directory, "audit.jsonl")),
      m_previousFilePath(m_filePath + ".1"),
      m_queueLabel(std::string(engineIdentifier()) + ".auditlog") {
    platform::createDirectories(m_directory, 0700);
    m_writer = std::thread([this] { writerLoop(); });
}

AuditLog::~AuditLog() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_writer.joinable())
        m_writer.join();
}

std::shared_ptr<AuditLog> AuditLog::shared() {
    static const std::shared_ptr<AuditLog> instance = [] {
        auto log = std::make_shared<AuditLog>(logDirectory());
        log->adoptEarlierLog(
            platform::joinPath(platform::joinPath(platform::applicationSupportDirectory(), "Brisklet"), "audit.jsonl"));
        return log;
    }();
    return instance;
}

void AuditLog::adoptEarlierLog(std::string earlierFile) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.emplace_back([this, file = std::move(earlierFile)] { adopt(file); });
    }
    m_wake.notify_one();
}

void AuditLog::adopt(const std::string& earlierFile) {
    struct stat st {};
    const std::string earlierFolder = platform::parentPath(earlierFile);
    // A file that could be copied but not removed would be adopted again at every start.
    if (::lstat(earlierFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || earlierFile == m_filePath ||
        ::access(earlierFolder.c_str(), W_OK | X_OK) != 0)
        return;
    platform::createDirectories(m_directory, 0700);
    // Moves the earlier file to target unless something is there (errno EEXIST).
    const auto placed = [&](const std::string& target) {
        bool moved = ::renameat2(AT_FDCWD, earlierFile.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
        if (!moved && errno == EXDEV) { // another file system: copy, then let go of the original
            if (const auto copy = joinedCopy(m_directory, {earlierFile})) {
                moved = ::renameat2(AT_FDCWD, copy->c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
                const int error = errno;
                ::unlink(copy->c_str());
                if (moved)
                    ::unlink(earlierFile.c_str());
                errno = error;
            }
        }
        if (moved)
            ::rmdir(earlierFolder.c_str()); // only when nothing else is left in it
        return moved;
    };
    // No log here yet: the earlier one simply continues here.
    if (placed(m_filePath) || errno != EEXIST)
        return;
    // Both exist. Every earlier entry is older than those here, so they go before the rotation's old
    // file, which only ever moves under the log's lock.
    const LockedLog log = openLocked(m_filePath);
    if (!log.fd || ::lstat(earlierFile.c_str(), &st) != 0)
        return;
    if (placed(m_previousFilePath) || errno != EEXIST)
        return;
    const auto joined = joinedCopy(m_directory, {earlierFile, m_previousFilePath});
    if (!joined)
        return;
    if (::rename(joined->c_str(), m_previousFilePath.c_str()) != 0) {
        ::unlink(joined->c_str());
        return;
    }
    ::unlink(earlierFile.c_str());
    ::rmdir(earlierFolder.c_str());
}

void AuditLog::record(std::string operation, std::string path, std::int64_t bytes, std::string result,
                      std::string reason) {
    Entry entry{std::chrono::system_clock::now(), std::move(operation), std::move(path), bytes, std::move(result),
                std::move(reason)};
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.emplace_back([this, entry = std::move(entry)] { write(entry); });
    }
    m_wake.notify_one();
}

void AuditLog::flush() {
    if (std::this_thread::get_id() == m_writer.get_id())
        return; // waiting on itself would never end
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.emplace_back([&done] { done.set_value(); });
    }
    m_wake.notify_one();
    finished.wait();
}

void AuditLog::writerLoop() {
    // Bookkeeping, not interactive work: a little below the caller's priority.
    ::pthread_setname_np(::pthread_self(), "brisklet-audit");
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min(nice + 4, 19));

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty())
            return; // stopping, and everything queued is written
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

void AuditLog::write(const Entry& entry) {
    const std::string line = encode(entry) + "\n";
    bool written = false;
    for (int attempt = 0; attempt < 4 && !written; ++attempt) {
        const LockedLog log = openLocked(m_filePath);
        if (log.fd) {
            // Rotated under the lock, so two processes never both rotate: the later one finds the fresh
            // file. Where it cannot be rotated, appending goes on rather than lose the entry.
            if (log.size < rotationBytes || ::rename(m_filePath.c_str(), m_previousFilePath.c_str()) != 0) {
                appendLine(log, line);
                written = true;
                break;
            }
        } else if (errno != ENOENT) {
            break;
        }
        // Rotated, or the folder has gone since construction (a user can trash it like any other):
        // make it again rather than lose this and every later entry.
        platform::createDirectories(m_directory, 0700);
        // False when someone else created the file first: append like any other time.
        written = createWithLine(m_directory, m_filePath, line);
    }
    if (!written)
        systemLogDebug("audit log " + m_filePath + " cannot be opened for writing; entry dropped");
    systemLogDebug("audit " + entry.operation + " " + entry.result + " " + entry.path);
}

std::vector<AuditLog::Entry> AuditLog::recentEntries(std::size_t limit) const {
    std::vector<Entry> entries; // newest first until the end
    if (limit == 0)
        return entries;
    // Both are opened before either is read, and a file found under both names (rotated in between)
    // is read once.
    const platform::UniqueFd current(::open(m_filePath.c_str(), O_RDONLY | O_CLOEXEC));
    platform::UniqueFd previous(::open(m_previousFilePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat a {}, b {};
    if (current && previous && ::fstat(current.get(), &a) == 0 && ::fstat(previous.get(), &b) == 0 &&
        a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        previous.reset();
    // Each line stands alone: a torn or foreign line, or one that is not UTF-8, is skipped by itself.
    const auto take = [&](std::string_view line) {
        if (isValidUtf8(line))
            if (auto entry = decode(line))
                entries.push_back(std::move(*entry));
        return entries.size() < limit;
    };
    for (const int fd : {current.get(), previous.get()})
        if (fd >= 0 && entries.size() < limit)
            forEachLineFromEnd(fd, take);
    std::reverse(entries.begin(), entries.end());
    return entries;
}

std::string AuditLog::encode(const Entry& entry) {
    std::string out = "{\"timestamp\":";
    char number[64];
    const double seconds = secondsSinceReferenceDate(entry.timestamp);
    const auto [end, error] = std::to_chars(number, number + sizeof number, seconds, std::chars_format::fixed);
    std::string text = error == std::errc() && std::isfinite(seconds) ? std::string(number, end) : "0";
    if (text.find_first_of(".eE") == std::string::npos)
        text += ".0"; // always a fractional part
    out += text;
    out += ",\"operation\":";
    appendJsonString(out, repairUtf8(entry.operation));
    out += ",\"path\":";
    appendJsonString(out, repairUtf8(entry.path));
    out += ",\"bytes\":";
    out += std::to_string(entry.bytes);
    out += ",\"result\":";
    appendJsonString(out, repairUtf8(entry.result));
    if (!entry.reason.empty()) {
        out += ",\"reason\":";
        appendJsonString(out, repairUtf8(entry.reason));
    }
    out += '}';
    return out;
}

std::optional<AuditLog::Entry> AuditLog::decode(std::string_view line) {
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto timestamp = json.find("timestamp");
    const auto operation = json.find("operation");
    const auto path = json.find("path");
    const auto bytes = json.find("bytes");
    const auto result = json.find("result");
    if (timestamp == json.end() || !timestamp->is_number() || operation == json.end() || !operation->is_string() ||
        path == json.end() || !path->is_string() || bytes == json.end() || !bytes->is_number_integer() ||
        result == json.end() || !result->is_string())
        return std::nullopt;
    if (bytes->is_number_unsigned() &&
        bytes->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    // The clock counts nanoseconds in 64 bits (about 292 years either side of 1970); a time it cannot
    // hold, once 2001 is added, would wrap around into a wrong date.
    static const double clockRange =
        double(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::duration::max()).count()) -
        double(referenceDateUnixSeconds) - 1.0;
    const double seconds = timestamp->get<double>();
    if (!std::isfinite(seconds) || std::fabs(seconds) > clockRange)
        return std::nullopt;
    const auto reason = json.find("reason");
    return Entry{fromSecondsSinceReferenceDate(seconds), operation->get<std::string>(), path->get<std::string>(),
                 bytes->get<std::int64_t>(), result->get<std::string>(),
                 reason != json.end() && reason->is_string() ? reason->get<std::string>() : std::string()};
}

double AuditLog::secondsSinceReferenceDate(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto sinceUnix = duration_cast<nanoseconds>(time.time_since_epoch());
    const auto sinceReference = sinceUnix - seconds(referenceDateUnixSeconds);
    return duration<double>(sinceReference).count();
}

std::chrono::system_clock::time_point AuditLog::fromSecondsSinceReferenceDate(double secondsValue) {
    using namespace std::chrono;
    const auto sinceReference = duration_cast<system_clock::duration>(duration<double>(secondsValue));
    return system_clock::time_point(seconds(referenceDateUnixSeconds) + sinceReference);
}

} // namespace brisklet
