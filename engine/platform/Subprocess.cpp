#include "Subprocess.h"

#include "UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace brisklet::platform {

namespace {

std::string launchText(const std::string& executable, int errorNumber) {
    return "Could not start " + executable + ": " + std::strerror(errorNumber) + ".";
}

// A descriptor at 3 or above with close-on-exec set, so the child's dup2 onto 0..2 never clobbers a
// source and nothing leaks through exec. Returns -1 on failure.
int highDescriptor(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, 3); }

std::vector<std::string> childEnvironment(const SpawnOptions& options) {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view item(*entry);
        const auto name = item.substr(0, item.find('='));
        const bool overridden = std::any_of(options.environmentOverrides.begin(), options.environmentOverrides.end(),
                                            [&](const auto& pair) { return pair.first == name; });
        if (!overridden)
            result.emplace_back(item);
    }
    for (const auto& [name, value] : options.environmentOverrides)
        result.push_back(name + "=" + value);
    return result;
}

// Only async-signal-safe calls from here to exec: the parent may have other threads.
[[noreturn]] void runChild(const SpawnOptions& options, char* const* argv, char* const* envp, int in, int out,
                           int err, int reportFd) {
    if (options.ownProcessGroup)
        setpgid(0, 0);
    if (dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) {
        const int error = errno;
        [[maybe_unused]] auto ignored = write(reportFd, &error, sizeof error);
        _exit(127);
    }
    // Whatever else this process had open stays here, even descriptors opened without O_CLOEXEC.
    if (syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        rlimit files{};
        const long last = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
                              ? std::min<long>(long(files.rlim_cur), 1L << 20)
                              : 65536;
        for (long fd = 3; fd < last; ++fd)
            fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    }
    if (options.fileSizeLimit) {
        const rlimit size{*options.fileSizeLimit, *options.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &size);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
    }
    // Handlers and ignored signals of this process must not carry over to the tool.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
        if (signalNumber != SIGKILL && signalNumber != SIGSTOP)
            sigaction(signalNumber, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    execve(options.executable.c_str(), argv, envp);
    const int error = errno;
    [[maybe_unused]] auto ignored = write(reportFd, &error, sizeof error);
    _exit(127);
}

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return WTERMSIG(status);
    return -1;
}

} // namespace

LaunchError::LaunchError(const std::string& executable, int errorNumber)
    : Error(launchText(executable, errorNumber)), m_executable(executable), m_errorNumber(errorNumber) {}

Subprocess Subprocess::spawn(const SpawnOptions& options) {
    const std::string& path = options.executable;
    if (path.empty() || path.front() != '/')
        throw LaunchError(path, ENOENT);

    std::vector<std::string> arguments{path};
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    const std::vector<std::string> environment = childEnvironment(options);
    std::vector<char*> argv, envp;
    for (const std::string& item : arguments)
        argv.push_back(const_cast<char*>(item.c_str()));
    argv.push_back(nullptr);
    for (const std::string& item : environment)
        envp.push_back(const_cast<char*>(item.c_str()));
    envp.push_back(nullptr);

    const auto check = [&](int fd) {
        if (fd < 0)
            throw LaunchError(path, errno);
        return fd;
    };
    const UniqueFd nullOpened(check(open("/dev/null", O_RDWR | O_CLOEXEC)));
    const UniqueFd nullDevice(check(highDescriptor(nullOpened.get())));
    const UniqueFd out(check(highDescriptor(options.standardOutput >= 0 ? options.standardOutput : nullDevice.get())));
    const UniqueFd err(check(highDescriptor(options.standardError >= 0 ? options.standardError : nullDevice.get())));
    int report[2];
    check(pipe2(report, O_CLOEXEC));
    UniqueFd reportRead(report[0]), reportWrite(report[1]);

    // Signals stay blocked across fork so no handler of this process runs in the child.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = fork();
    if (pid == 0)
        runChild(options, argv.data(), envp.data(), nullDevice.get(), out.get(), err.get(), reportWrite.get());
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0)
        throw LaunchError(path, forkError);
    if (options.ownProcessGroup)
        setpgid(pid, pid); // also here, so the group exists before anyone signals it
    reportWrite.reset();

    int childError = 0;
    ssize_t got;
    do
        got = read(reportRead.get(), &childError, sizeof childError);
    while (got < 0 && errno == EINTR);
    if (got == ssize_t(sizeof childError)) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        throw LaunchError(path, childError);
    }
    const int pidFd = int(syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0)
        fcntl(pidFd, F_SETFD, FD_CLOEXEC);
    return Subprocess(pid, pidFd, options.ownProcessGroup);
}

Subprocess::Subprocess(Subprocess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidFd(std::move(other.m_pidFd)),
      m_ownGroup(other.m_ownGroup), m_status(std::exchange(other.m_status, std::nullopt)) {}

Subprocess::~Subprocess() {
    if (m_pid > 0 && !m_status && !terminateNow()) {
        // A child stuck in the kernel cannot be reaped yet; a detached waiter keeps it from lingering
        // as a zombie.
        std::thread([pid = m_pid] {
            int status;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
}

bool Subprocess::terminateNow() {
    signal(SIGKILL);
    return wait(std::chrono::milliseconds(2000)).has_value();
}

bool Subprocess::tryReap() {
    if (m_status)
        return true;
    if (m_pid <= 0)
        return false;
    int status = 0;
    pid_t got;
    do
        got = waitpid(m_pid, &status, WNOHANG);
    while (got < 0 && errno == EINTR);
    if (got == m_pid)
        m_status = decodeStatus(status);
    else if (got < 0 && errno == ECHILD)
        m_status = -1;
    return m_status.has_value();
}

bool Subprocess::hasExited() { return tryReap(); }

std::optional<int> Subprocess::wait(std::optional<std::chrono::milliseconds> timeout, std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
    for (;;) {
        if (tryReap())
            return m_status;
        if (stop.stop_requested())
            return std::nullopt;
        long sliceMs = -1;
        if (timeout) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return std::nullopt;
            sliceMs = long(left);
        }
        // Stop requests are noticed within a short slice; without a pidfd the exit is polled.
        if (stop.stop_possible() && (sliceMs < 0 || sliceMs > 50))
            sliceMs = 50;
        if (m_pidFd) {
            pollfd item{m_pidFd.get(), POLLIN, 0};
            poll(&item, 1, int(std::min<long>(sliceMs, 1L << 30)));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs < 0 ? 10 : std::min<long>(sliceMs, 10)));
        }
    }
}

void Subprocess::signal(int signalNumber) {
    if (m_pid <= 0 || m_status)
        return;
    if (m_ownGroup && ::kill(-m_pid, signalNumber) == 0)
        return;
    ::kill(m_pid, signalNumber);
}

bool Subprocess::terminate(std::chrono::milliseconds grace) {
    const bool wasRunning = !tryReap();
    signal(SIGTERM);
    if (!wait(grace)) {
        signal(SIGKILL);
        wait(grace);
    }
    // The leader may have gone on SIGTERM while a member of its group ignores it. The group id stays
    // taken while any member lives, so this reaches only what the child started.
    if (wasRunning && m_ownGroup && m_pid > 0)
        ::kill(-m_pid, SIGKILL);
    return m_status.has_value();
}

CapturedOutput runCapturingOutput(const std::string& executable, const std::vector<std::string>& arguments,
                                  const std::vector<std::pair<std::string, std::string>>& environmentOverrides,
                                  const CaptureOptions& options) {
    int outPipe[2], errPipe[2] = {-1, -1};
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        throw LaunchError(executable, errno);
    UniqueFd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (options.captureError && pipe2(errPipe, O_CLOEXEC) != 0)
        throw LaunchError(executable, errno);
    UniqueFd errRead(errPipe[0]), errWrite(errPipe[1]);
    // With a limit the tool leads a group of its own, so a kill reaches whatever it started too.
    const bool limited = options.timeout.has_value() || options.stop.stop_possible();
    Subprocess child = Subprocess::spawn({.executable = executable,
                                          .arguments = arguments,
                                          .environmentOverrides = environmentOverrides,
                                          .standardOutput = outWrite.get(),
                                          .standardError = errWrite.get(),
                                          .ownProcessGroup = limited,
                                          .fileSizeLimit = std::nullopt});
    // The child holds the only write ends now, so end-of-file means it is done.
    outWrite.reset();
    errWrite.reset();

    using Clock = std::chrono::steady_clock;
    const auto deadline = options.timeout ? Clock::now() + *options.timeout : Clock::time_point::max();
    const auto timeLeft = [&]() -> std::optional<std::chrono::milliseconds> {
        if (!options.timeout)
            return std::nullopt;
        return std::max(std::chrono::milliseconds(0),
                        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
    };
    CapturedOutput result;
    char buffer[65536];
    for (;;) {
        pollfd items[2];
        std::string* sinks[2];
        nfds_t count = 0;
        for (auto [fd, sink] : {std::pair{&outRead, &result.output}, std::pair{&errRead, &result.error}}) {
            if (fd->get() >= 0) {
                items[count] = {fd->get(), POLLIN, 0};
                sinks[count++] = sink;
            }
        }
        if (count == 0)
            break;
        if (options.stop.stop_requested()) {
            result.stopped = true;
            break;
        }
        const auto left = timeLeft();
        if (left && left->count() == 0) {
            result.timedOut = true;
            break;
        }
        // Stop requests are noticed within a short slice.
        long sliceMs = left ? long(left->count()) : -1;
        if (options.stop.stop_possible() && (sliceMs < 0 || sliceMs > 50))
            sliceMs = 50;
        if (poll(items, count, int(std::min<long>(sliceMs, 1L << 30))) < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; i < count; ++i) {
            if (!items[i].revents)
                continue;
            const ssize_t got = read(items[i].fd, buffer, sizeof buffer);
            if (got > 0)
                sinks[i]->append(buffer, size_t(got));
            else if (got == 0 || errno != EINTR)
                (items[i].fd == outRead.get() ? outRead : errRead).reset();
        }
    }
    if (!result.stopped && !result.timedOut) {
        if (const auto status = child.wait(timeLeft(), options.stop)) {
            result.status = *status;
            return result;
        }
        result.stopped = options.stop.stop_requested();
        result.timedOut = !result.stopped;
    }
    child.signal(SIGKILL); // reaped when child goes out of scope
    result.status = -1;
    return result;
}

} // namespace brisklet::platform
