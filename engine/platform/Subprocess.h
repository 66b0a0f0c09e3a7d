// Child processes: system tools started by absolute path with a fixed argument list, never through a shell.
//
// The child gets standard input from the null device, the descriptors the caller names for standard
// output and error (the null device otherwise), default signal handling and no other descriptor of
// this process. A Subprocess that is destroyed while its child still runs kills and reaps it, so no
// child outlives its owner by accident.
#pragma once

#include "Error.h"
#include "platform/Export.h"
#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace brisklet::platform {

// The child could not be started (missing executable, no permission, no resources).
class BRISKLET_ENGINE_EXPORT LaunchError : public Error {
public:
    LaunchError(const std::string& executable, int errorNumber);
    const std::string& executable() const { return m_executable; }
    int errorNumber() const { return m_errorNumber; }

private:
    std::string m_executable;
    int m_errorNumber;
};

struct SpawnOptions {
    std::string executable;             // absolute path; also the child's argv[0]
    std::vector<std::string> arguments; // after argv[0]
    // Set on top of this process's environment (replacing variables of the same name).
    std::vector<std::pair<std::string, std::string>> environmentOverrides;
    int standardOutput = -1; // a descriptor of the caller, or -1 for the null device
    int standardError = -1;  // a descriptor of the caller, or -1 for the null device
    // The child leads a process group of its own; signals then reach everything it started.
    bool ownProcessGroup = false;
    // Largest file the child may write (RLIMIT_FSIZE); a child that writes past it is stopped.
    std::optional<std::uint64_t> fileSizeLimit;
};

class Subprocess {
public:
    // Starts the child; throws LaunchError when it cannot run (also when exec fails).
    static Subprocess spawn(const SpawnOptions& options);

    Subprocess(Subprocess&& other) noexcept;
    Subprocess& operator=(Subprocess&&) = delete;
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;
    ~Subprocess();

    pid_t pid() const { return m_pid; }

    // Waits until the child has exited, the timeout has passed (none: no limit) or stop was requested.
    // Returns the termination status once it exited: the exit code, or the signal number when a
    // signal ended it (-1 when someone else reaped it).
    std::optional<int> wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt,
                            std::stop_token stop = {});
    bool hasExited();

    // Sends a signal to the child (to its whole group when it leads one). No effect once reaped.
    void signal(int signalNumber);
    // SIGTERM, a grace period, then SIGKILL and another grace period. True when the child was reaped.
    bool terminate(std::chrono::milliseconds grace);

private:
    Subprocess(pid_t pid, int pidFd, bool ownGroup) : m_pid(pid), m_pidFd(pidFd), m_ownGroup(ownGroup) {}
    bool tryReap();
    bool terminateNow(); // SIGKILL and a short wait; true when reaped

    pid_t m_pid = -1;
    platform::UniqueFd m_pidFd; // a pidfd to poll for the child's exit, or none where the kernel has none
    bool m_ownGroup = false;
    std::optional<int> m_status;
};

struct CaptureOptions {
    bool captureError = false; // read standard error too; otherwise it goes to the null device
    // The tool (and everything it started) is killed once it has run this long, or at a stop request.
    std::optional<std::chrono::milliseconds> timeout;
    std::stop_token stop;
};

struct CapturedOutput {
    int status = 0;        // as Subprocess::wait returns it; -1 when the tool was killed
    std::string output;    // standard output, raw bytes
    std::string error;     // standard error when captured
    bool timedOut = false; // killed after the time-out
    bool stopped = false;  // killed at a stop request
};

// Runs a tool to its end, reading its standard output (and standard error when asked). Throws
// LaunchError when the tool cannot start.
BRISKLET_ENGINE_EXPORT
CapturedOutput runCapturingOutput(const std::string& executable, const std::vector<std::string>& arguments,
                                  const std::vector<std::pair<std::string, std::string>>& environmentOverrides = {},
                                  const CaptureOptions& options = {});

} // namespace brisklet::platform
