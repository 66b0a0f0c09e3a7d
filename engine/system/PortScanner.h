// Listening TCP ports with their owning processes, from lsof's field output and a ps listing.
//
// Each call runs lsof once, then ps once for command lines and ancestry; nothing is kept between calls.
// listeningPorts() blocks until both tools have finished, so callers run it off the interface thread.
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
    std::int32_t pid = 0;
    std::string processName;            // lsof's command name, or "PID <pid>"
    std::optional<std::string> command; // full command line from ps, absent when ps did not list the pid
    std::vector<std::string> parentChain; // own name first, then ancestors; at most four

    // "TCP-127.0.0.1-5173-4242": equal ids mean the same listening socket.
    std::string id() const;
    bool isSystemPort() const { return port < 1024; }
    bool isHTTPLikely() const;
    std::string localURLText() const { return "localhost:" + std::to_string(port); }

    bool operator==(const PortEntry&) const = default;
};

// "TCP" or "UDP".
BRISKLET_ENGINE_EXPORT std::string_view toRawString(PortEntry::Transport transport);

namespace PortScanner {

class BRISKLET_ENGINE_EXPORT ScanError : public Error {
public:
    enum class Kind { lsofFailed };
    // The message carries the first line lsof wrote to standard error, when there is one.
    static ScanError lsofFailed(std::int32_t status, const std::string& detail = {}) { return ScanError(status, detail); }
    // lsof ran past the time-out (a dead network mount can hang it): status -1.
    static ScanError lsofTimedOut() { return ScanError(-1, {}); }
    Kind kind() const { return Kind::lsofFailed; }
    std::int32_t status() const { return m_status; }
    bool operator==(const ScanError& other) const { return m_status == other.m_status; }

private:
    ScanError(std::int32_t status, const std::string& detail);
    std::int32_t m_status;
};

// The tools a scan runs; tests substitute their own.
struct Tools {
    std::string lsofPath; // the host profile's lsof
    std::string psPath = "/bin/ps";
    // Each tool is killed after this long; lsof then fails with lsofTimedOut, ps gives no context.
    std::chrono::milliseconds timeout{15000};
};
Tools defaultTools();

// Runs lsof and ps. Throws platform::LaunchError when lsof cannot start, ScanError when it fails or
// does not finish in time, and Cancelled at a stop request (the tools are killed then).
BRISKLET_ENGINE_EXPORT std::vector<PortEntry> listeningPorts(std::stop_token stop = {});
std::vector<PortEntry> listeningPorts(const Tools& tools, std::stop_token stop = {});

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
