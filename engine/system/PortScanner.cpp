#include "PortScanner.h"

#include "ProcFiles.h"
#include "platform/Subprocess.h"
#include "platform/TextFields.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace brisklet {

std::string_view toRawString(PortEntry::Transport transport) {
    return transport == PortEntry::Transport::tcp ? "TCP" : "UDP";
}

std::string PortEntry::id() const {
    return std::string(toRawString(transport)) + "-" + localAddress + "-" + std::to_string(port) + "-" +
           std::to_string(pid);
}

bool PortEntry::isHTTPLikely() const {
    static constexpr std::array<std::uint16_t, 14> ports{80,   443,  3000, 3001, 4200, 5000, 5173,
                                                         5174, 8000, 8080, 8443, 8888, 9000, 9090};
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

PortReach reachOf(std::string_view localAddress) {
    if (localAddress == "*")
        return PortReach::allNetworks;
    if (localAddress.size() >= 2 && localAddress.front() == '[' && localAddress.back() == ']')
        localAddress = localAddress.substr(1, localAddress.size() - 2);
    const std::string text(localAddress.substr(0, localAddress.find('%'))); // no zone index
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        const std::uint32_t host = ntohl(v4.s_addr);
        return host == 0 ? PortReach::allNetworks : (host >> 24) == 127 ? PortReach::thisComputer : PortReach::oneAddress;
    }
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_UNSPECIFIED(&v6))
            return PortReach::allNetworks;
        if (IN6_IS_ADDR_LOOPBACK(&v6))
            return PortReach::thisComputer;
        if (IN6_IS_ADDR_V4MAPPED(&v6)) {
            const std::uint8_t first = v6.s6_addr[12];
            const bool any = first == 0 && v6.s6_addr[13] == 0 && v6.s6_addr[14] == 0 && v6.s6_addr[15] == 0;
            return any ? PortReach::allNetworks : first == 127 ? PortReach::thisComputer : PortReach::oneAddress;
        }
        return PortReach::oneAddress;
    }
    return text == "localhost" ? PortReach::thisComputer : PortReach::oneAddress;
}

namespace PortScanner {

namespace {

std::string describe(ScanError::Kind kind, std::int32_t status, const std::string& detail) {
    if (kind == ScanError::Kind::socketsUnreadable)
        return "The listening sockets could not be read: " + detail + ".";
    return "lsof exited with status " + std::to_string(status) + (detail.empty() ? "." : ": " + detail);
}

} // namespace

ScanError::ScanError(Kind kind, std::int32_t status, const std::string& detail)
    : Error(describe(kind, status, detail)), m_kind(kind), m_status(status) {}

std::optional<std::pair<std::string, std::uint16_t>> splitAddressPort(std::string_view name) {
    std::string_view address, port;
    if (!name.empty() && name.front() == '[' && name.find(']') != std::string_view::npos) {
        const size_t close = name.find(']');
        address = name.substr(0, close + 1);
        const std::string_view rest = name.substr(close + 1);
        if (rest.empty() || rest.front() != ':')
            return std::nullopt;
        port = rest.substr(1);
    } else {
        const size_t colon = name.rfind(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        address = name.substr(0, colon);
        port = name.substr(colon + 1);
    }
    const auto number = text::parseUInt16(port);
    if (!number)
        return std::nullopt;
    return std::pair{std::string(address), *number};
}

std::vector<PortEntry> parse(std::string_view lsofOutput) {
    std::optional<std::int32_t> pid;
    std::optional<std::string> commandName;
    std::optional<std::string> protocol, state, name;
    std::set<std::string> emitted;
    std::vector<PortEntry> result;

    const auto clearFile = [&] {
        protocol.reset();
        state.reset();
        name.reset();
    };
    const auto emitPending = [&] {
        if (!pid || !protocol || !name || *protocol != "TCP" || name->find("->") != std::string::npos)
            return;
        if (!state || text::upperAscii(*state) != "LISTEN")
            return;
        auto split = splitAddressPort(*name);
        if (!split)
            return;
        PortEntry entry{.transport = PortEntry::Transport::tcp,
                        .localAddress = std::move(split->first),
                        .port = split->second,
                        .pid = *pid,
                        .processName = commandName ? *commandName : "PID " + std::to_string(*pid),
                        .command = std::nullopt,
                        .parentChain = {},
                        .user = {},
                        .startTicks = 0,
                        .uid = std::nullopt,
                        .inode = 0};
        if (emitted.insert(entry.id()).second)
            result.push_back(std::move(entry));
    };

    for (const std::string_view line : text::splitLines(lsofOutput, '\n')) {
        if (line.empty())
            continue;
        const char tag = line.front();
        const std::string_view value = line.substr(1);
        switch (tag) {
        case 'p':
            emitPending();
            pid = text::parseInt32(value);
            commandName.reset();
            clearFile();
            break;
        case 'c':
            commandName = std::string(value);
            break;
        case 'f':
            emitPending();
            clearFile();
            break;
        case 'P':
            // Without the descriptor field lsof starts each further file of a process with its protocol,
            // so a protocol on a file that already has one begins the next file.
            if (protocol || name) {
                emitPending();
                clearFile();
            }
            protocol = std::string(value);
            break;
        case 'T':
            if (value.starts_with("ST="))
                state = std::string(value.substr(3));
            break;
        case 'n':
            name = std::string(value);
            break;
        default:
            break;
        }
    }
    emitPending();

    std::stable_sort(result.begin(), result.end(), [](const PortEntry& a, const PortEntry& b) {
        if (a.transport != b.transport)
            return a.transport == PortEntry::Transport::tcp;
        if (a.port != b.port)
            return a.port < b.port;
        return a.pid < b.pid;
    });
    return result;
}

namespace {

constexpr size_t psNameColumnWidth = 15; // procps pads comm= to 15 cells, the width of the kernel's name

struct PsLine {
    std::int32_t pid = 0;
    std::int32_t parentPid = 0;
    std::string_view afterParent; // the rest of the line after the space that ended the parent pid
    bool hasRest = false;
};

// Splits off one space-separated piece, skipping empty pieces; pos ends just after its closing space.
std::optional<std::string_view> nextPiece(std::string_view line, size_t& pos, bool& endedBySpace) {
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    if (pos >= line.size())
        return std::nullopt;
    const size_t end = std::min(line.find(' ', pos), line.size());
    const std::string_view piece = line.substr(pos, end - pos);
    endedBySpace = end < line.size();
    pos = endedBySpace ? end + 1 : end;
    return piece;
}

std::optional<PsLine> splitPidColumns(std::string_view line) {
    size_t pos = 0;
    bool endedBySpace = false;
    const auto first = nextPiece(line, pos, endedBySpace);
    const auto second = first ? nextPiece(line, pos, endedBySpace) : std::nullopt;
    if (!second)
        return std::nullopt;
    const auto pid = text::parseInt32(*first);
    const auto parentPid = text::parseInt32(*second);
    if (!pid || !parentPid)
        return std::nullopt;
    return PsLine{*pid, *parentPid, line.substr(pos), endedBySpace};
}

// procps pads the name column to a fixed width; a name may then hold spaces. The layout is taken as
// fixed only when every line has a space right after that column, so other ps formats keep the
// space-separated reading.
bool hasFixedNameColumn(const std::vector<PsLine>& lines) {
    if (lines.empty())
        return false;
    return std::all_of(lines.begin(), lines.end(), [](const PsLine& line) {
        const size_t cut = text::byteOffsetOfCells(line.afterParent, psNameColumnWidth);
        return line.hasRest && cut < line.afterParent.size() && line.afterParent[cut] == ' ';
    });
}

} // namespace

ProcessContext ProcessContext::fromPsOutput(std::string_view psOutput) {
    std::vector<PsLine> lines;
    for (std::string_view line : text::splitLines(psOutput, '\n')) {
        line = text::trimSpacesAndTabs(line);
        if (line.empty())
            continue;
        if (auto split = splitPidColumns(line))
            lines.push_back(*split);
    }

    ProcessContext context;
    const bool fixedColumns = hasFixedNameColumn(lines);
    for (const PsLine& line : lines) {
        std::string name;
        std::optional<std::string_view> command;
        if (fixedColumns) {
            const size_t cut = text::byteOffsetOfCells(line.afterParent, psNameColumnWidth);
            name = std::string(text::trimTrailing(line.afterParent.substr(0, cut), " "));
            command = line.afterParent.substr(cut + 1);
        } else {
            size_t pos = 0;
            bool endedBySpace = false;
            const auto executable = line.hasRest ? nextPiece(line.afterParent, pos, endedBySpace) : std::nullopt;
            if (!executable)
                continue;
            const size_t slash = executable->rfind('/');
            name = std::string(slash == std::string_view::npos ? *executable : executable->substr(slash + 1));
            if (endedBySpace) {
                // A ps that pads its columns leaves spaces in front of the command line.
                const std::string_view rest = line.afterParent.substr(pos);
                command = rest.substr(std::min(rest.find_first_not_of(' '), rest.size()));
            }
        }
        context.m_parents[line.pid] = {line.parentPid, std::move(name)};
        if (command && !command->empty())
            context.m_commands[line.pid] = std::string(*command);
    }
    return context;
}

ProcessContext ProcessContext::current(const std::string& psPath, std::chrono::milliseconds timeout,
                                       std::stop_token stop) {
    try {
        // procps cuts its lines at a numeric $COLUMNS; an empty one leaves them whole.
        const auto run = platform::runCapturingOutput(psPath, {"-eo", "pid=,ppid=,comm=,command="}, {{"COLUMNS", ""}},
                                                      {.timeout = timeout, .stop = stop});
        if (run.timedOut || run.stopped)
            return ProcessContext{};
        return fromPsOutput(repairUtf8(run.output));
    } catch (const platform::LaunchError&) {
        return ProcessContext{};
    }
}

std::optional<std::string> ProcessContext::command(std::int32_t pid) const {
    const auto found = m_commands.find(pid);
    return found == m_commands.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::optional<std::pair<std::int32_t, std::string>> ProcessContext::parent(std::int32_t pid) const {
    const auto found = m_parents.find(pid);
    return found == m_parents.end() ? std::nullopt : std::optional(found->second);
}

void ProcessContext::add(std::int32_t pid, std::int32_t parentPid, std::string name, std::optional<std::string> command) {
    m_parents[pid] = {parentPid, std::move(name)};
    if (command && !command->empty())
        m_commands[pid] = std::move(*command);
}

std::vector<std::string> ProcessContext::parentChain(std::int32_t pid, std::size_t maxDepth) const {
    std::vector<std::string> chain;
    std::int32_t current = pid;
    for (std::size_t step = 0; step < maxDepth; ++step) {
        const auto found = m_parents.find(current);
        if (found == m_parents.end())
            break;
        const auto& [parentPid, name] = found->second;
        // The kernel (0) and init (1) end every chain.
        if (parentPid < 2)
            break;
        chain.push_back(name);
        current = parentPid;
    }
    return chain;
}

namespace {

constexpr std::uint8_t tcpListenState = 10; // TCP_LISTEN in the kernel's numbering

// "*" for the any-address of either family, as lsof prints it.
std::string formatAddress(int family, const void* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (family == AF_INET) {
        in_addr v4;
        std::memcpy(&v4, address, sizeof v4);
        if (v4.s_addr == htonl(INADDR_ANY))
            return "*";
        return inet_ntop(AF_INET, &v4, text, sizeof text) ? text : "";
    }
    in6_addr v6;
    std::memcpy(&v6, address, sizeof v6);
    if (IN6_IS_ADDR_UNSPECIFIED(&v6))
        return "*";
    return inet_ntop(AF_INET6, &v6, text, sizeof text) ? "[" + std::string(text) + "]" : "";
}

// One dump request per family on one netlink socket; false when the kernel refuses it.
bool dumpListeners(int netlink, std::uint8_t family, std::uint32_t sequence, std::vector<KernelSocket>& sockets) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = sequence;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = 1U << tcpListenState;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(netlink, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return false;

    std::vector<std::uint32_t> buffer(16 * 1024); // 64 KiB, aligned for the message headers
    for (;;) {
        const ssize_t got = recv(netlink, buffer.data(), buffer.size() * sizeof buffer[0], 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        std::uint32_t left = std::uint32_t(got);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_seq != sequence)
                continue;
            if (header->nlmsg_type == NLMSG_DONE)
                return true;
            if (header->nlmsg_type == NLMSG_ERROR || header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                return false;
            const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (socket->idiag_state != tcpListenState)
                continue;
            sockets.push_back(KernelSocket{.localAddress = formatAddress(socket->idiag_family, socket->id.idiag_src),
                                           .port = ntohs(socket->id.idiag_sport),
                                           .uid = socket->idiag_uid,
                                           .inode = socket->idiag_inode});
        }
    }
}

std::optional<std::uint64_t> parseHex(std::string_view text) {
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | std::uint64_t(digit);
    }
    return value;
}

// One line of /proc/net/tcp{,6}: "sl local rem st queues timer retransmits uid timeout inode ...". The
// address is printed as 32-bit words of the kernel's memory, so each word goes back into memory as read.
std::optional<KernelSocket> parseProcNetLine(std::string_view line, int family) {
    std::vector<std::string_view> fields;
    for (const std::string_view piece : text::splitLines(line, ' '))
        if (!piece.empty())
            fields.push_back(piece);
    if (fields.size() < 10 || parseHex(fields[3]) != tcpListenState)
        return std::nullopt;
    const std::string_view local = fields[1];
    const size_t colon = local.find(':');
    const size_t words = family == AF_INET ? 1 : 4;
    if (colon != words * 8)
        return std::nullopt;
    std::array<std::uint32_t, 4> address{};
    for (size_t i = 0; i < words; ++i) {
        const auto word = parseHex(local.substr(i * 8, 8));
        if (!word)
            return std::nullopt;
        address[i] = std::uint32_t(*word);
    }
    const auto port = parseHex(local.substr(colon + 1));
    const auto uid = text::parseUInt64(fields[7]);
    const auto inode = text::parseUInt64(fields[9]);
    if (!port || *port > 65535 || !uid || !inode)
        return std::nullopt;
    return KernelSocket{.localAddress = formatAddress(family, address.data()),
                        .port = std::uint16_t(*port),
                        .uid = std::uint32_t(*uid),
                        .inode = *inode};
}

// The short name, start time and parent of a process, read through its /proc folder so that all of it
// belongs to the process whose descriptors were read.
struct Holder {
    std::int32_t pid = 0;
    std::optional<ProcStat> stat;
    std::optional<std::string> command;
};

std::optional<std::string> commandLine(int processFolder) {
    auto bytes = readProcFileAt(processFolder, "cmdline");
    if (!bytes)
        return std::nullopt;
    while (!bytes->empty() && bytes->back() == '\0')
        bytes->pop_back();
    if (bytes->empty())
        return std::nullopt;
    // Arguments are separated by NULs; any other control byte (a newline, an escape sequence) is a
    // space too, so a command line stays one line wherever it is printed.
    for (char& c : *bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return repairUtf8(*bytes);
}

// Calls visit with each entry name of an open folder, read straight from the descriptor: a /proc walk
// opens hundreds of folders, and a DIR stream would cost a duplicate descriptor and more calls each.
template <typename Visit>
void forEachName(int folder, Visit visit) {
    alignas(dirent64) char buffer[8192];
    for (;;) {
        const ssize_t got = getdents64(folder, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] != '.')
                visit(entry->d_name);
        }
    }
}

// Which processes hold each wanted socket inode, from the links in /proc/PID/fd (readable for the
// caller's own processes, or all of them for root).
std::unordered_map<std::uint64_t, std::vector<Holder>> socketHolders(const std::unordered_set<std::uint64_t>& inodes,
                                                                     const std::string& procRoot,
                                                                     const std::stop_token& stop) {
    std::unordered_map<std::uint64_t, std::vector<Holder>> holders;
    const platform::UniqueFd proc(open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc)
        return holders;
    std::vector<std::string> pids;
    forEachName(proc.get(), [&pids](const char* name) {
        if (const auto pid = text::parseInt32(name); pid && *pid >= 1 && name[0] != '+')
            pids.emplace_back(name);
    });
    constexpr std::string_view prefix = "socket:[";
    for (const std::string& name : pids) {
        if (stop.stop_requested())
            throw Cancelled();
        // The process's own folder stays bound to it even if the pid is reused while it is read.
        const platform::UniqueFd process(openat(proc.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        const platform::UniqueFd links(process ? openat(process.get(), "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
        if (!links)
            continue;
        std::set<std::uint64_t> held;
        forEachName(links.get(), [&](const char* descriptor) {
            char target[64];
            const ssize_t length = readlinkat(links.get(), descriptor, target, sizeof target);
            if (length <= ssize_t(prefix.size()) || std::string_view(target, prefix.size()) != prefix)
                return;
            const std::string_view number(target + prefix.size(), size_t(length) - prefix.size() - 1);
            if (const auto inode = text::parseUInt64(number); inode && inodes.contains(*inode))
                held.insert(*inode);
        });
        if (held.empty())
            continue;
        Holder holder{.pid = *text::parseInt32(name), .stat = std::nullopt, .command = commandLine(process.get())};
        if (const auto line = readProcFileAt(process.get(), "stat"))
            holder.stat = ProcStat::parse(*line);
        for (const std::uint64_t inode : held)
            holders[inode].push_back(holder);
    }
    return holders;
}

} // namespace

std::optional<std::vector<KernelSocket>> netlinkListeningSockets() {
    const platform::UniqueFd netlink(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (!netlink)
        return std::nullopt;
    // The kernel answers at once; a bound on the wait keeps a broken interface from hanging the list.
    const timeval limit{.tv_sec = 5, .tv_usec = 0};
    setsockopt(netlink.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::vector<KernelSocket> sockets;
    if (!dumpListeners(netlink.get(), AF_INET, 1, sockets) || !dumpListeners(netlink.get(), AF_INET6, 2, sockets))
        return std::nullopt;
    return sockets;
}

std::optional<std::vector<KernelSocket>> procNetListeningSockets(const std::string& procRoot) {
    std::vector<KernelSocket> sockets;
    bool readAny = false;
    for (const auto& [file, family] : {std::pair{"/net/tcp", AF_INET}, std::pair{"/net/tcp6", AF_INET6}}) {
        const auto table = readProcFile(procRoot + file);
        if (!table)
            continue; // no IPv6 in this kernel
        readAny = true;
        for (const std::string_view line : text::splitLines(*table, '\n'))
            if (auto socket = parseProcNetLine(line, family))
                sockets.push_back(std::move(*socket));
    }
    return readAny ? std::optional(std::move(sockets)) : std::nullopt;
}

std::vector<PortEntry> listeningPorts(std::stop_token stop) {
    if (stop.stop_requested())
        throw Cancelled();
    auto sockets = netlinkListeningSockets();
    if (!sockets)
        sockets = procNetListeningSockets();
    if (!sockets)
        throw ScanError::socketsUnreadable(std::strerror(errno));

    std::unordered_set<std::uint64_t> inodes;
    for (const KernelSocket& socket : *sockets)
        inodes.insert(socket.inode);
    const auto holders = socketHolders(inodes, "/proc", stop);

    // Names and parents of the holders, then of their ancestors (their stat files are public).
    ProcessContext context;
    for (const auto& [inode, list] : holders)
        for (const Holder& holder : list)
            if (holder.stat)
                context.add(holder.pid, holder.stat->parentPid, repairUtf8(holder.stat->name), holder.command);
    constexpr std::size_t chainDepth = 4;
    for (const auto& [inode, list] : holders)
        for (const Holder& holder : list) {
            std::int32_t current = holder.stat ? holder.stat->parentPid : 0;
            for (std::size_t step = 1; step < chainDepth && current >= 2; ++step) {
                if (const auto known = context.parent(current)) {
                    current = known->first;
                    continue;
                }
                const auto stat = ProcStat::read(current);
                if (!stat)
                    break;
                context.add(current, stat->parentPid, repairUtf8(stat->name));
                current = stat->parentPid;
            }
        }

    AccountNames accounts;
    std::vector<PortEntry> entries;
    std::set<std::string> emitted;
    // Sockets bound with SO_REUSEPORT share an address and port; without a readable process only the
    // inode tells them apart.
    const auto emit = [&](PortEntry entry) {
        if (emitted.insert(entry.id() + "-" + std::to_string(entry.inode)).second)
            entries.push_back(std::move(entry));
    };
    for (KernelSocket& socket : *sockets) {
        PortEntry entry{.transport = PortEntry::Transport::tcp,
                        .localAddress = std::move(socket.localAddress),
                        .port = socket.port,
                        .pid = 0,
                        .processName = {},
                        .command = std::nullopt,
                        .parentChain = {},
                        .user = accounts.name(uid_t(socket.uid)),
                        .startTicks = 0,
                        .uid = socket.uid,
                        .inode = socket.inode};
        const auto found = holders.find(socket.inode);
        if (found == holders.end()) {
            emit(std::move(entry));
            continue;
        }
        for (const Holder& holder : found->second) {
            PortEntry held = entry;
            held.pid = holder.pid;
            held.processName = holder.stat ? repairUtf8(holder.stat->name) : "PID " + std::to_string(holder.pid);
            held.startTicks = holder.stat ? holder.stat->startTicks : 0;
            held.command = context.command(holder.pid);
            held.parentChain = context.parentChain(holder.pid, chainDepth);
            emit(std::move(held));
        }
    }
    if (stop.stop_requested())
        throw Cancelled();
    std::sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
        return std::tie(a.port, a.pid, a.localAddress) < std::tie(b.port, b.pid, b.localAddress);
    });
    return entries;
}

} // namespace PortScanner

} // namespace brisklet

std::size_t std::hash<brisklet::PortEntry>::operator()(const brisklet::PortEntry& entry) const noexcept {
    std::size_t seed = 0;
    const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string_view>()(brisklet::toRawString(entry.transport)));
    mix(std::hash<std::string>()(entry.localAddress));
    mix(entry.port);
    mix(std::hash<std::int32_t>()(entry.pid));
    mix(std::hash<std::string>()(entry.processName));
    mix(entry.command ? std::hash<std::string>()(*entry.command) : 0x51ed270b);
    for (const std::string& name : entry.parentChain)
        mix(std::hash<std::string>()(name));
    mix(entry.parentChain.size());
    mix(std::hash<std::string>()(entry.user));
    mix(std::hash<std::uint64_t>()(entry.startTicks));
    mix(entry.uid ? std::hash<std::uint32_t>()(*entry.uid) : 0x2f1b9c3d);
    mix(std::hash<std::uint64_t>()(entry.inode));
    return seed;
}
