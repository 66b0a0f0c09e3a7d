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
#include <fstream>
#include <future>
#include <limits>
#include <pthread.h>
#include <sstream>
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

// Appends to an existing file. False when it cannot be opened for writing (errno tells why).
bool appendLine(const std::string& file, const std::string& line) {
    // Read access only serves the torn-line check below; a write-only file is appended to all the same.
    platform::UniqueFd fd(::open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC));
    if (!fd && (errno == EACCES || errno == EPERM))
        fd.reset(::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (!fd)
        return false;
    std::string data = line;
    // A torn last line (a crash mid-write, a foreign writer) would swallow this entry: start afresh.
    struct stat st {};
    char last = '\n';
    if (::fstat(fd.get(), &st) == 0 && st.st_size > 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) == 1 &&
        last != '\n')
        data.insert(data.begin(), '\n');
    platform::writeAll(fd.get(), data); // a failed write is not reported to anyone
    return true;
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

std::string logDirectory() {
    const std::string preferred = platform::joinPath(platform::applicationSupportDirectory(), "Brisklet");
    if (platform::createDirectories(preferred, 0700))
        return preferred;
    return platform::joinPath(platform::temporaryDirectory(), "Brisklet");
}

} // namespace

AuditLog::AuditLog(std::string directory)
    : m_directory(std::move(directory)),
      m_filePath(platform::joinPath(m_directory, "audit.jsonl")),
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
    static const std::shared_ptr<AuditLog> instance = std::make_shared<AuditLog>(logDirectory());
    return instance;
}

void AuditLog::record(std::string operation, std::string path, std::int64_t bytes, std::string result) {
    Entry entry{std::chrono::system_clock::now(), std::move(operation), std::move(path), bytes, std::move(result)};
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
    bool written = appendLine(m_filePath, line);
    if (!written && errno == ENOENT) {
        // The folder may have gone since construction (a user can trash it like any other): make it again
        // rather than lose this and every later entry.
        platform::createDirectories(m_directory, 0700);
        written = createWithLine(m_directory, m_filePath, line);
        if (!written) // someone else created it first: append like any other time
            written = appendLine(m_filePath, line);
    }
    if (!written)
        systemLogDebug("audit log " + m_filePath + " cannot be opened for writing; entry dropped");
    systemLogDebug("audit " + entry.operation + " " + entry.result + " " + entry.path);
}

std::vector<AuditLog::Entry> AuditLog::recentEntries(std::size_t limit) const {
    if (limit == 0)
        return {};
    std::ifstream in(m_filePath, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream contents;
    contents << in.rdbuf();
    const std::string text = contents.str();
    if (!isValidUtf8(text))
        return {};

    std::vector<Entry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            if (auto entry = decode(std::string_view(text).substr(start, end - start)))
                entries.push_back(std::move(*entry));
        start = end + 1;
    }
    if (entries.size() > limit)
        entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(limit));
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
    return Entry{fromSecondsSinceReferenceDate(seconds), operation->get<std::string>(), path->get<std::string>(),
                 bytes->get<std::int64_t>(), result->get<std::string>()};
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
