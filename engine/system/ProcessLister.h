// Every process with its CPU use over a short interval and its resident memory, from two /proc snapshots.
// The second snapshot also reads each process's executable and command line, which tell apart
// processes of one name and identify the applications they run.
//
// sample() never fails: an unreadable process table gives an empty list, and a process whose figures
// cannot be read is listed with zeros. Processes that end between the snapshots are left out.
#pragma once

#include "platform/Export.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

namespace brisklet {

struct ProcessEntry {
    std::int32_t pid = 0;
    std::string name; // the kernel's short command name, UTF-8 repaired
    std::string user; // account name, or "uid <number>"
    double cpuFraction = 0; // CPU time over the interval; 1.0 is one core fully busy; at most 1000
    std::int64_t residentBytes = 0;
    std::uint64_t startTicks = 0; // start time after boot; stopping checks it so a reused pid is left alone
    bool kernelThread = false;    // a signal cannot stop it, so it is protected like pid 1
    std::string executable = {};  // /proc/PID/exe as bytes; empty when unreadable (another user's, a kernel thread)
    std::string commandLine = {}; // arguments joined by spaces, UTF-8 repaired; empty when unreadable

    std::int32_t id() const { return pid; }
    bool operator==(const ProcessEntry&) const = default;
};

namespace ProcessLister {

// One process in one snapshot.
struct RawSample {
    std::int32_t pid = 0;
    std::string name;
    std::string user;
    std::int64_t footprintBytes = 0; // resident size
    std::uint64_t cpuNanos = 0;      // user plus system time
    std::uint64_t startTicks = 0;    // start time since boot; tells a reused pid from the same process
    bool kernelThread = false;
    std::string executable = {};  // read only for a snapshot with details
    std::string commandLine = {}; // likewise

    bool operator==(const RawSample&) const = default;
};

// Samples twice, seconds apart (at least 0.05 s; a stop request only shortens the wait), in the order
// of the second snapshot.
BRISKLET_ENGINE_EXPORT std::vector<ProcessEntry> sample(double seconds, std::stop_token stop = {});

// How much of each process a snapshot reads: the CPU counters and start time only (enough for the first
// of two snapshots), also the user and resident size, or all that and the executable and command line.
enum class SnapshotDepth { counters, standard, withCommand };

// Every live, non-zombie process with a name, read from procRoot (normally "/proc").
std::vector<RawSample> rawSnapshot(const std::string& procRoot = "/proc", SnapshotDepth depth = SnapshotDepth::standard);

// Reads sample's executable and command line from procRoot.
void readCommand(RawSample& sample, const std::string& procRoot = "/proc");

// A command line as /proc/PID/cmdline holds it (arguments ended by NUL) on one line: arguments joined
// by single spaces, control characters as spaces, UTF-8 repaired.
std::string commandLineText(std::string_view cmdline);

// Combines two snapshots taken elapsedSeconds apart.
std::vector<ProcessEntry> combine(const std::vector<RawSample>& first, const std::vector<RawSample>& second,
                                  double elapsedSeconds);

// Samples a list that is read again and again: each reading takes one snapshot and measures CPU use
// against the previous one, over the whole time between readings, which halves the work of two
// snapshots per reading. Without a previous snapshot, or with one older than maxAgeSeconds (the list
// was not read for a while), it samples afresh like sample(seconds); a reading sooner than seconds after
// the previous one waits for the rest. A process's executable and command line are read once (per pid,
// start time and name: an exec renames the process). Calls are serialised, so overlapping readings
// are safe.
class BRISKLET_ENGINE_EXPORT ContinuousSampler {
public:
    explicit ContinuousSampler(double seconds = 0.35, double maxAgeSeconds = 5.0, std::string procRoot = "/proc");
    std::vector<ProcessEntry> sample(std::stop_token stop = {});

private:
    std::mutex m_mutex;
    double m_seconds;
    double m_maxAge;
    std::string m_procRoot;
    std::vector<RawSample> m_previous;
    std::chrono::steady_clock::time_point m_taken{};
    bool m_hasPrevious = false;
    std::unordered_map<std::int32_t, RawSample> m_commands; // pid -> start time, name, executable, command
};

} // namespace ProcessLister

} // namespace brisklet

template <>
struct std::hash<brisklet::ProcessEntry> {
    std::size_t operator()(const brisklet::ProcessEntry& entry) const noexcept;
};
