// Helpers for tests that need another process: run a function with dropped privileges in a child.
#pragma once

#include <functional>

namespace brisklet::test {

// Runs body in a forked child as an unprivileged user (nobody) when the test runs as root, so that
// permission bits apply; as a normal user it runs unchanged. Returns body's result, or -1 when the child
// could not be started or died. The child must not touch GoogleTest state.
int runUnprivileged(const std::function<int()>& body);
// The same as the given user and group when the test runs as root.
int runAsUser(unsigned uid, unsigned gid, const std::function<int()>& body);

// The uid/gid runUnprivileged switches to when running as root.
unsigned unprivilegedUid();
unsigned unprivilegedGid();

} // namespace brisklet::test

#include <string>
#include <vector>

namespace brisklet::test {

struct CommandResult {
    int exitStatus = -1; // -1 when the program could not be started or died from a signal
    std::string out;
    std::string err;
};

// Runs a program (absolute path in argv[0]) without a shell, feeding input to its stdin, in
// workingFolder (unchanged when empty), and collects its output. Inherits the environment.
CommandResult runCommand(const std::vector<std::string>& argv, const std::string& input = {},
                         const std::string& workingFolder = {});

} // namespace brisklet::test
