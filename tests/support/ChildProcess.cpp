#include "ChildProcess.h"

#include <grp.h>
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
