#include "ProcessLister.h"

#include "ProcFiles.h"
#include "SampleWait.h"
#include "platform/TextFields.h"
#include "platform/DirectoryStream.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace brisklet::ProcessLister {

namespace {

std::optional<uid_t> effectiveUid(std::string_view status) {
    for (const std::string_view line : text::splitLines(status, '\n')) {
        if (!line.starts_with("Uid:"))
            continue;
        std::vector<std::string_view> numbers;
        for (const std::string_view piece : text::splitLines(line.substr(4), '\t'))
            if (const auto trimmed = text::trimSpacesAndTabs(piece); !trimmed.empty())
                numbers.push_back(trimmed);
        if (numbers.size() < 2)
            return std::nullopt;
        const auto uid = text::parseUInt64(numbers[1]);
        return uid ? std::optional<uid_t>(uid_t(*uid)) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::string commandLineText(std::string_view cmdline) {
    while (!cmdline.empty() && cmdline.back() == '\0')
        cmdline.remove_suffix(1);
    std::string line(cmdline);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return repairUtf8(line);
}

void readCommand(RawSample& sample, const std::string& procRoot) {
    if (sample.kernelThread)
        return;
    const std::string base = procRoot + "/" + std::to_string(sample.pid) + "/";
    char target[PATH_MAX];
    if (const ssize_t length = ::readlink((base + "exe").c_str(), target, sizeof target); length > 0)
        sample.executable.assign(target, std::size_t(length));
    if (const auto cmdline = readProcFile(base + "cmdline"))
        sample.commandLine = commandLineText(*cmdline);
}

std::vector<RawSample> rawSnapshot(const std::string& procRoot, SnapshotDepth depth) {
    std::vector<RawSample> samples;
    std::vector<std::int32_t> pids;
    {
        platform::DirectoryStream dir(procRoot);
        if (!dir)
            return samples;
        while (const char* name = dir.next())
            if (const auto pid = text::parseInt32(name); pid && *pid >= 1 && name[0] != '+')
                pids.push_back(*pid);
    }

    const long ticksPerSecond = std::max(1L, sysconf(_SC_CLK_TCK));
    const long pageSize = std::max(1L, sysconf(_SC_PAGESIZE));
    AccountNames accounts;
    for (const std::int32_t pid : pids) {
        const std::string base = procRoot + "/" + std::to_string(pid) + "/";
        const auto stat = readProcFile(base + "stat");
        const auto fields = stat ? ProcStat::parse(*stat) : std::nullopt;
        // Gone since the listing, a zombie, or a nameless entry: not a process to show.
        if (!fields || fields->state == 'Z' || fields->state == 'X' || fields->name.empty())
            continue;
        const std::uint64_t ticks = fields->userTicks + fields->systemTicks;
        const std::uint64_t cpuNanos = ticks / std::uint64_t(ticksPerSecond) * 1'000'000'000ULL +
                                       ticks % std::uint64_t(ticksPerSecond) * 1'000'000'000ULL / std::uint64_t(ticksPerSecond);
        if (depth == SnapshotDepth::counters) {
            RawSample counters;
            counters.pid = pid;
            counters.cpuNanos = cpuNanos;
            counters.startTicks = fields->startTicks;
            samples.push_back(std::move(counters));
            continue;
        }
        const auto status = readProcFile(base + "status");
        const auto uid = status ? effectiveUid(*status) : std::nullopt;
        if (!uid)
            continue;
        RawSample sample;
        sample.pid = pid;
        sample.name = repairUtf8(fields->name);
        sample.user = accounts.name(*uid);
        if (const auto statm = readProcFile(base + "statm")) {
            const auto pieces = text::splitLines(*statm, ' ');
            if (pieces.size() >= 2)
                if (const auto pages = text::parseUInt64(text::trimWhitespace(pieces[1])))
                    sample.footprintBytes = std::int64_t(*pages) * pageSize;
        }
        sample.cpuNanos = cpuNanos;
        sample.startTicks = fields->startTicks;
        sample.kernelThread = fields->isKernelThread();
        if (depth == SnapshotDepth::withCommand)
            readCommand(sample, procRoot);
        samples.push_back(std::move(sample));
    }
    return samples;
}

std::vector<ProcessEntry> combine(const std::vector<RawSample>& first, const std::vector<RawSample>& second,
                                  double elapsedSeconds) {
    std::unordered_map<std::int32_t, const RawSample*> earlier;
    for (const RawSample& sample : first)
        earlier.emplace(sample.pid, &sample);
    std::unordered_set<std::int32_t> seen;
    std::vector<ProcessEntry> entries;
    entries.reserve(second.size());
    for (const RawSample& sample : second) {
        if (!seen.insert(sample.pid).second)
            continue;
        std::uint64_t previous = sample.cpuNanos;
        if (const auto found = earlier.find(sample.pid); found != earlier.end()) {
            // A pid that now belongs to another process counts as started in between.
            if (found->second->startTicks == sample.startTicks)
                previous = found->second->cpuNanos;
            earlier.erase(found);
        }
        // A counter that went backwards cannot be measured; it counts as idle rather than as a
        // thousand busy cores.
        const std::uint64_t used = sample.cpuNanos >= previous ? sample.cpuNanos - previous : 0;
        double fraction = elapsedSeconds > 0 ? double(used) / 1e9 / elapsedSeconds : 0.0;
        fraction = std::min(fraction, 1000.0);
        entries.push_back(ProcessEntry{.pid = sample.pid,
                                       .name = sample.name,
                                       .user = sample.user,
                                       .cpuFraction = fraction,
                                       .residentBytes = sample.footprintBytes,
                                       .startTicks = sample.startTicks,
                                       .kernelThread = sample.kernelThread,
                                       .executable = sample.executable,
                                       .commandLine = sample.commandLine});
    }
    return entries;
}

std::vector<ProcessEntry> sample(double seconds, std::stop_token stop) {
    const auto start = std::chrono::steady_clock::now();
    // The first snapshot only gives each process's earlier CPU counter.
    const std::vector<RawSample> first = rawSnapshot("/proc", SnapshotDepth::counters);
    waitBetweenSamples(seconds, stop);
    const std::vector<RawSample> second = rawSnapshot("/proc", SnapshotDepth::withCommand);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return combine(first, second, elapsed);
}

ContinuousSampler::ContinuousSampler(double seconds, double maxAgeSeconds, std::string procRoot)
    : m_seconds(seconds), m_maxAge(maxAgeSeconds), m_procRoot(std::move(procRoot)) {}

std::vector<ProcessEntry> ContinuousSampler::sample(std::stop_token stop) {
    const std::lock_guard lock(m_mutex);
    using Clock = std::chrono::steady_clock;
    const auto age = [this] { return std::chrono::duration<double>(Clock::now() - m_taken).count(); };
    if (!m_hasPrevious || age() > m_maxAge) {
        m_previous = rawSnapshot(m_procRoot, SnapshotDepth::counters);
        m_taken = Clock::now();
    }
    if (const double rest = m_seconds - age(); rest > 0)
        waitBetweenSamples(rest, stop);
    std::vector<RawSample> current = rawSnapshot(m_procRoot, SnapshotDepth::standard);
    const auto taken = Clock::now();
    std::unordered_map<std::int32_t, RawSample> commands;
    for (RawSample& process : current) {
        const auto known = m_commands.find(process.pid);
        if (known != m_commands.end() && known->second.startTicks == process.startTicks &&
            known->second.name == process.name) {
            process.executable = known->second.executable;
            process.commandLine = known->second.commandLine;
        } else {
            readCommand(process, m_procRoot);
        }
        commands.emplace(process.pid, process);
    }
    m_commands = std::move(commands); // ended processes are forgotten
    std::vector<ProcessEntry> entries = combine(m_previous, current, std::chrono::duration<double>(taken - m_taken).count());
    m_previous = std::move(current);
    m_taken = taken;
    m_hasPrevious = true;
    return entries;
}

} // namespace brisklet::ProcessLister

std::size_t std::hash<brisklet::ProcessEntry>::operator()(const brisklet::ProcessEntry& entry) const noexcept {
    std::size_t seed = std::hash<std::int32_t>()(entry.pid);
    const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string>()(entry.name));
    mix(std::hash<std::string>()(entry.user));
    mix(std::hash<double>()(entry.cpuFraction));
    mix(std::hash<std::int64_t>()(entry.residentBytes));
    mix(std::hash<std::uint64_t>()(entry.startTicks));
    mix(std::hash<std::string>()(entry.executable));
    mix(std::hash<std::string>()(entry.commandLine));
    return seed;
}
