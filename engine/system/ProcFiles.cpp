#include "ProcFiles.h"

#include "platform/TextFields.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace brisklet {

namespace {

std::optional<std::string> readWhole(int fd) {
    const platform::UniqueFd file(fd);
    if (!file)
        return std::nullopt;
    std::string contents;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got > 0)
            contents.append(buffer, size_t(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    return contents;
}

} // namespace

std::optional<std::string> readProcFile(const std::string& path) {
    return readWhole(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

std::optional<std::string> readProcFileAt(int folder, const char* name) {
    return readWhole(::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
}

// The name sits in parentheses and may itself hold spaces and parentheses, so the fields are counted
// from the last ')'.
std::optional<ProcStat> ProcStat::parse(std::string_view line) {
    const size_t open = line.find('(');
    const size_t close = line.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    ProcStat fields;
    fields.name = std::string(line.substr(open + 1, close - open - 1));
    std::vector<std::string_view> rest;
    for (const std::string_view piece : text::splitLines(line.substr(close + 1), ' '))
        if (!piece.empty())
            rest.push_back(text::trimWhitespace(piece));
    // state(0) ppid(1) ... flags(6) ... utime(11) stime(12) ... starttime(19)
    if (rest.size() < 20 || rest[0].empty())
        return std::nullopt;
    fields.state = rest[0].front();
    fields.parentPid = text::parseInt32(rest[1]).value_or(0);
    fields.flags = std::uint32_t(text::parseUInt64(rest[6]).value_or(0));
    fields.userTicks = text::parseUInt64(rest[11]).value_or(0);
    fields.systemTicks = text::parseUInt64(rest[12]).value_or(0);
    fields.startTicks = text::parseUInt64(rest[19]).value_or(0);
    return fields;
}

std::optional<ProcStat> ProcStat::read(std::int32_t pid, const std::string& procRoot) {
    const auto line = readProcFile(procRoot + "/" + std::to_string(pid) + "/stat");
    return line ? parse(*line) : std::nullopt;
}

const std::string& AccountNames::name(uid_t uid) {
    if (const auto found = m_names.find(uid); found != m_names.end())
        return found->second;
    std::string name = "uid " + std::to_string(uid);
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_name)
        name = result->pw_name;
    return m_names.emplace(uid, std::move(name)).first->second;
}

} // namespace brisklet
