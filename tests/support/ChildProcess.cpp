#include "ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <thread>
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
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (geteuid() == 0) {
            const gid_t gid = unprivilegedGid();
            if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(unprivilegedUid()) != 0)
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

namespace {
std::string slurp(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}
} // namespace

CommandResult runCommand(const std::vector<std::string>& argv) {
    CommandResult result;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return result;
    const pid_t pid = fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        _exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    // Read stderr on a second thread so neither pipe can fill up and stall the child.
    std::thread errReader([&] { result.err = slurp(err[0]); });
    result.out = slurp(out[0]);
    errReader.join();
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0) {
    }
    if (pid > 0 && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}

} // namespace brisklet::test
