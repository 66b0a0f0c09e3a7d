#include "PortScanner.h"

#include "platform/HostProfile.h"
#include "platform/Subprocess.h"
#include "platform/Utf8.h"
#include "system/TextFields.h"

#include <algorithm>
#include <array>
#include <set>

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

namespace PortScanner {

ScanError::ScanError(std::int32_t status, const std::string& detail)
    : Error(status < 0 ? std::string("lsof did not finish in time.")
                       : "lsof exited with status " + std::to_string(status) + (detail.empty() ? "." : ": " + detail)),
      m_status(status) {}

namespace {

// The first line lsof wrote to standard error, for the message.
std::string firstLine(const std::string& text) {
    const std::string_view trimmed = text::trimWhitespace(text);
    return std::string(trimmed.substr(0, trimmed.find('\n')));
}

} // namespace

Tools defaultTools() { return Tools{.lsofPath = hostProfile().lsofPath, .psPath = "/bin/ps"}; }

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
                        .parentChain = {}};
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

std::vector<PortEntry> listeningPorts(std::stop_token stop) { return listeningPorts(defaultTools(), stop); }

std::vector<PortEntry> listeningPorts(const Tools& tools, std::stop_token stop) {
    const auto run = platform::runCapturingOutput(tools.lsofPath, {"-nP", "-iTCP", "-sTCP:LISTEN", "-F", "pcPTn"}, {},
                                                  {.captureError = true, .timeout = tools.timeout, .stop = stop});
    if (run.stopped)
        throw Cancelled();
    if (run.timedOut)
        throw ScanError::lsofTimedOut();
    if (run.status != 0) {
        // lsof reports "nothing matched" with status 1 and no output at all: no port is listening. An
        // error it printed (a file system it could not reach, say) is no such answer.
        const std::string problem = firstLine(repairUtf8(run.error));
        if (run.status == 1 && problem.empty() && text::trimWhitespace(run.output).empty())
            return {};
        throw ScanError::lsofFailed(run.status, problem);
    }
    std::vector<PortEntry> entries = parse(repairUtf8(run.output));
    const ProcessContext context = ProcessContext::current(tools.psPath, tools.timeout, stop);
    if (stop.stop_requested())
        throw Cancelled();
    for (PortEntry& entry : entries) {
        entry.command = context.command(entry.pid);
        entry.parentChain = context.parentChain(entry.pid, 4);
    }
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
    return seed;
}
