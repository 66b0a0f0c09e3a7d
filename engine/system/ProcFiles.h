// Reading the process table: the fields of /proc/PID/stat the system code needs, small /proc files
// read whole, and account names of user ids.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace brisklet {

struct ProcStat {
    std::string name; // the kernel's short command name, as bytes
    char state = '?';
    std::int32_t parentPid = 0;
    std::uint32_t flags = 0;
    std::uint64_t userTicks = 0;
    std::uint64_t systemTicks = 0;
    std::uint64_t startTicks = 0; // start time after boot: tells a reused pid from the process it held

    // PF_KTHREAD: a kernel thread, which a signal cannot stop.
    bool isKernelThread() const { return (flags & 0x00200000U) != 0; }

    // One stat line; nothing when it is cut short or malformed.
    static std::optional<ProcStat> parse(std::string_view line);
    // procRoot/PID/stat; nothing when the process is gone.
    static std::optional<ProcStat> read(std::int32_t pid, const std::string& procRoot = "/proc");
};

// A small /proc file read whole; nothing when it cannot be opened (the process may be gone).
std::optional<std::string> readProcFile(const std::string& path);
// The same relative to an open folder, never following a link in name.
std::optional<std::string> readProcFileAt(int folder, const char* name);

// The account name of a uid, or "uid <number>" when there is no account; each uid is looked up once.
class AccountNames {
public:
    const std::string& name(uid_t uid);

private:
    std::map<uid_t, std::string> m_names;
};

} // namespace brisklet
