#include "ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <cerrno>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brisklet::test {

unsigned unprivilegedUid() {
    const passwd* pw = getpwnam("nobody");
    return pw ? pw->pw_uid : 65534;
}

unsigned unprivilegedGid() {
    const passwd* pw = getpwnam("nobody");
    return pw ? pw->pw_gid : 65534;
}

int runUnprivileged(const std::function<int()>& body) {
    return runAsUser(unprivilegedUid(), unprivilegedGid(), body);
}

int runAsUser(unsigned uid, unsigned gid, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (geteuid() == 0) {
            const gid_t group = gid;
            if (setgroups(1, &group) != 0 || setgid(group) != 0 || setuid(uid) != 0)
                _exit(255);
        }
        _exit(body() & 0xff);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace brisklet::test

namespace brisklet::test {

CommandResult runCommand(const std::vector<std::string>& argvStrings, const std::string& input,
                         const std::string& workingFolder) {
    CommandResult result;
    int in[2], out[2], err[2];
    if (argvStrings.empty() || ::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0)
        return result;
    std::vector<char*> argv;
    for (const std::string& argument : argvStrings)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (!input.empty())
        (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);

    // Both pipes are drained together so neither can fill up and stall the child.
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace brisklet::test
