// Private mount namespaces for mount tests, and a FUSE file system that stops answering.
#include "MountNamespace.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <linux/fuse.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet::test {

bool inPrivateMountNamespace() {
    constexpr const char* insideMarker = "BRISKLET_TEST_IN_MOUNT_NAMESPACE=1";
    if (const char* inside = std::getenv("BRISKLET_TEST_IN_MOUNT_NAMESPACE"); inside && *inside)
        return true;
    [] {
        char self[PATH_MAX] = {};
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
            FAIL() << "cannot find this test program: " << std::strerror(errno);
        std::string refusals;
        for (const char* option : {"-Urm", "-m"}) {
            if (option == std::string("-m") && ::geteuid() != 0)
                break;
            const CommandResult run = runCommand({"/usr/bin/unshare", option, "/usr/bin/env", insideMarker, self,
                                                  std::string("--gtest_filter=") + test->test_suite_name() + "." +
                                                      test->name()});
            if (run.err.starts_with("unshare:")) { // refused: the test never ran
                refusals += " " + run.err;
                continue;
            }
            std::cout << run.out << std::flush;
            std::cerr << run.err << std::flush;
            if (run.exitStatus != 0)
                FAIL() << "the run in a private mount namespace failed (its output is above)";
            if (run.out.find("[  SKIPPED ]") != std::string::npos)
                GTEST_SKIP() << "skipped in the private mount namespace (the reason is above)";
            if (run.out.find("[  PASSED  ] 1 test") == std::string::npos)
                FAIL() << "the run in a private mount namespace ran no test";
            return;
        }
        GTEST_SKIP() << "this machine refuses private mount namespaces, so this mount test is not run:" << refusals;
    }();
    return false;
}

int mountStallingFuse(const std::string& folder, std::string& failure) {
    ::mkdir(folder.c_str(), 0755);
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    const std::string options = "fd=" + std::to_string(device) + ",rootmode=40000,user_id=" +
                                std::to_string(::getuid()) + ",group_id=" + std::to_string(::getgid());
    if (device < 0 ||
        ::mount("stalling", folder.c_str(), "fuse.stalling", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        failure = std::string("FUSE is not usable here (") + std::strerror(errno) + ")";
        ::close(device);
        return -1;
    }
    // The handshake the kernel sent while mounting; nothing after it is ever read or answered.
    alignas(fuse_in_header) static thread_local char request[FUSE_MIN_READ_BUFFER * 16];
    const auto* head = reinterpret_cast<const fuse_in_header*>(request);
    const auto* init = reinterpret_cast<const fuse_init_in*>(head + 1);
    struct {
        fuse_out_header head;
        fuse_init_out init;
    } answer{};
    if (::read(device, request, sizeof request) >= ssize_t(sizeof *head + sizeof *init) && head->opcode == FUSE_INIT) {
        answer.head = {sizeof answer, 0, head->unique};
        answer.init.major = FUSE_KERNEL_VERSION;
        answer.init.minor = std::min<std::uint32_t>(init->minor, FUSE_KERNEL_MINOR_VERSION);
        answer.init.max_readahead = init->max_readahead;
        answer.init.max_write = 4096;
        if (::write(device, &answer, sizeof answer) == ssize_t(sizeof answer))
            return device;
    }
    failure = "the FUSE handshake failed";
    ::close(device);
    return -1;
}

} // namespace brisklet::test
