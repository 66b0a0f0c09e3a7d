// Listening TCP ports with their owning users and processes.
//
// The sockets come from the kernel (sock_diag netlink, else /proc/net/tcp and tcp6), so every user's
// listeners are seen, also by an ordinary user. Processes are found through the socket inodes in
// /proc/PID/fd, which only the owner (or root) can read: another user's socket is listed with its user
// and without a process. Nothing is kept between calls. lsof's field output can still be parsed.
#pragma once

#include "Error.h"
#include "platform/Export.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisklet {

struct BRISKLET_ENGINE_EXPORT PortEntry {
    enum class Transport { tcp, udp };

    Transport transport = Transport::tcp;
    std::string localAddress; // "*", a dotted IPv4 address or a bracketed IPv6 address; no port
    std::uint16_t port = 0;
    std::int32_t pid = 0;               // 0 when the process holding the socket cannot be read
    std::string processName;            // the kernel's short name, or "PID <pid>"; empty without a process
    std::optional<std::string> command; // full command line, absent when it could not be read
    std::vector<std::string> parentChain; // own name first, then ancestors; at most four
    std::string user;                   // the socket's owner: account name or "uid <number>"; empty from lsof
    std::uint64_t startTicks = 0;       // the process's start time after boot, for stopping it safely
    std::optional<std::uint32_t> uid;   // the socket's owner; absent from lsof
    std::uint64_t inode = 0;            // the socket's inode; 0 from lsof

    // "TCP-127.0.0.1-5173-4242": equal ids mean the same listening socket.
    std::string id() const;
    bool isSystemPort() const { return port < 1024; }
    bool isHTTPLikely() const;
    std::string localURLText() const { return "localhost:" + std::to_string(port); }
    bool hasProcess() const { return pid > 0; }

    bool operator==(const PortEntry&) const = default;
};

// "TCP" or "UDP".
BRISKLET_ENGINE_EXPORT std::string_view toRawString(PortEntry::Transport transport);

// Who can connect to a socket listening on a local address: this computer only (a loopback address,
// 127.0.0.0/8 or ::1, also IPv4-mapped), every network the computer is on (a wildcard: "*", 0.0.0.0,
// ::), or the network of that one address (anything else, a name included).
enum class PortReach { thisComputer, allNetworks, oneAddress };
BRISKLET_ENGINE_EXPORT PortReach reachOf(std::string_view localAddress);

namespace PortScanner {

class BRISKLET_ENGINE_EXPORT ScanError : public Error {
public:
    enum class Kind { lsofFailed, socketsUnreadable };
    // The message carries the first line lsof wrote to standard error, when there is one.
    static ScanError lsofFailed(std::int32_t status, const std::string& detail = {}) {
        return ScanError(Kind::lsofFailed, status, detail);
    }
    // Neither the kernel's socket listing nor /proc/net could be read; reason is the system's text.
    static ScanError socketsUnreadable(const std::string& reason) { return ScanError(Kind::socketsUnreadable, 0, reason); }
    Kind kind() const { return m_kind; }
    std::int32_t status() const { return m_status; }
    bool operator==(const ScanError& other) const { return m_kind == other.m_kind && m_status == other.m_status; }

private:
    ScanError(Kind kind, std::int32_t status, const std::string& detail);
    Kind m_kind;
    std::int32_t m_status;
};

// Every listening TCP socket (IPv4 and IPv6), each with the processes that hold it. A socket held by
// several processes gives one entry per process; one whose process cannot be read gives one entry with
// pid 0. Sorted by port, then pid, then address. Throws ScanError when no socket source can be read and
// Cancelled at a stop request.
BRISKLET_ENGINE_EXPORT std::vector<PortEntry> listeningPorts(std::stop_token stop = {});

// One listening socket as the kernel reports it.
struct KernelSocket {
    std::string localAddress; // as lsof prints it: "*", dotted IPv4 or bracketed IPv6
    std::uint16_t port = 0;
    std::uint32_t uid = 0;
    std::uint64_t inode = 0;
    bool operator==(const KernelSocket&) const = default;
};

// The listening TCP sockets from sock_diag netlink; nothing when that interface cannot be used.
std::optional<std::vector<KernelSocket>> netlinkListeningSockets();
// The same from procRoot/net/tcp and tcp6; nothing when neither can be read.
std::optional<std::vector<KernelSocket>> procNetListeningSockets(const std::string& procRoot = "/proc");

// Listening TCP sockets in lsof field output (tags p, c, f, P, T, n), sorted by transport, port and pid,
// each socket once; command absent and parentChain empty.
std::vector<PortEntry> parse(std::string_view lsofOutput);

// "*:8080" -> ("*", 8080), "[::1]:3000" -> ("[::1]", 3000); nothing without a valid port.
std::optional<std::pair<std::string, std::uint16_t>> splitAddressPort(std::string_view name);

// Command lines and ancestry from one "ps -eo pid=,ppid=,comm=,command=" listing.
class ProcessContext {
public:
    static ProcessContext fromPsOutput(std::string_view psOutput);
    // Runs ps; an empty context when it cannot start.
    static ProcessContext current(const std::string& psPath = "/bin/ps",
                                  std::chrono::milliseconds timeout = std::chrono::milliseconds(15000),
                                  std::stop_token stop = {});

    std::optional<std::string> command(std::int32_t pid) const;
    std::optional<std::pair<std::int32_t, std::string>> parent(std::int32_t pid) const;
    void add(std::int32_t pid, std::int32_t parentPid, std::string name, std::optional<std::string> command = {});
    // Names from pid upward, stopping below pid 2 and after maxDepth names.
    std::vector<std::string> parentChain(std::int32_t pid, std::size_t maxDepth) const;

private:
    std::map<std::int32_t, std::string> m_commands;
    std::map<std::int32_t, std::pair<std::int32_t, std::string>> m_parents;
};

} // namespace PortScanner

} // namespace brisklet

template <>
struct std::hash<brisklet::PortEntry> {
    std::size_t operator()(const brisklet::PortEntry& entry) const noexcept;
};
