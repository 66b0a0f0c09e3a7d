#include "SystemTestSupport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace brisklet::test {

std::string writeScript(TempTree& tree, const std::string& name, const std::string& body) {
    const std::string path = tree.writeFile(name, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

bool hasNoChildren() {
    int status;
    return waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

namespace {
char stateOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '\0';
}
} // namespace

bool processEnds(pid_t pid, double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    do {
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        if (stateOf(pid) == 'Z')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::string processName(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

namespace {
pid_t forkWaitingForReady(void (*body)(const char*), const std::string& name) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        if (!name.empty())
            prctl(PR_SET_NAME, name.c_str());
        [[maybe_unused]] auto ignored = write(ready[1], "x", 1);
        close(ready[1]);
        body(name.c_str());
        _exit(0);
    }
    close(ready[1]);
    char byte;
    [[maybe_unused]] auto ignored = read(ready[0], &byte, 1);
    close(ready[0]);
    return pid;
}
} // namespace

pid_t startSleepingChild(const std::string& name) {
    return forkWaitingForReady(
        [](const char*) {
            for (;;)
                pause();
        },
        name);
}

pid_t startBusyChild() {
    return forkWaitingForReady(
        [](const char*) {
            volatile unsigned long counter = 0;
            for (;;)
                counter = counter + 1;
        },
        "");
}

void stopChild(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGKILL);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace brisklet::test
