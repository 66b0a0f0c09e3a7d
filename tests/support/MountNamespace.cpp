// Private mount namespaces for mount tests, and a FUSE file system that stops answering.
#include "MountNamespace.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iostream>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fuse.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brisklet::test {

namespace {

constexpr const char* insideMarker = "BRISKLET_TEST_IN_MOUNT_NAMESPACE";
constexpr const char* unshareProgram = "/usr/bin/unshare";

// How this machine lets a test have its own mount namespace: the unshare options, or nothing (with why).
const std::vector<std::string>& namespaceOptions(std::string& refusal) {
    static std::string why;
    static const std::vector<std::string> options = [] {
        std::vector<std::vector<std::string>> tries{{"-Urm"}};
        if (::geteuid() == 0)
            tries.push_back({"-m"});
        for (const auto& option : tries) {
            std::vector<std::string> argv{unshareProgram};
            argv.insert(argv.end(), option.begin(), option.end());
            argv.push_back("/bin/true");
            const CommandResult probe = runCommand(argv);
            if (probe.exitStatus == 0)
                return option;
            why += (why.empty() ? "" : "; ") + std::string("unshare ") + option.front() + ": " +
                   (probe.err.empty() ? "could not run" : probe.err);
        }
        return std::vector<std::string>{};
    }();
    refusal = why;
    return options;
}

// Runs the current test again in a private mount namespace and takes over its outcome.
void runAgainInPrivateNamespace() {
    std::string refusal;
    const std::vector<std::string>& options = namespaceOptions(refusal);
    if (options.empty()) {
        GTEST_SKIP() << "this machine refuses private mount namespaces, so this mount test is not run ("
                     << refusal << ")";
    }
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        ADD_FAILURE() << "cannot find this test program: " << std::strerror(errno);
        return;
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::vector<std::string> argv{unshareProgram};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"/usr/bin/env", std::string(insideMarker) + "=1", std::string(self, std::size_t(length)),
                             std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()});
    const CommandResult run = runCommand(argv);
    std::cout << run.out << std::flush;
    std::cerr << run.err << std::flush;
    if (run.exitStatus != 0)
        ADD_FAILURE() << "the run in a private mount namespace failed (its output is above)";
    else if (run.out.find("[  SKIPPED ]") != std::string::npos)
        GTEST_SKIP() << "skipped in the private mount namespace (the reason is above)";
    else if (run.out.find("[  PASSED  ] 1 test") == std::string::npos)
        ADD_FAILURE() << "the run in a private mount namespace ran no test";
}

} // namespace

bool inPrivateMountNamespace() {
    if (const char* inside = std::getenv(insideMarker); inside && *inside)
        return true;
    runAgainInPrivateNamespace();
    return false;
}

StallingFuseMount::StallingFuseMount(const std::string& folder) : m_path(folder) {
    ::mkdir(folder.c_str(), 0755);
    m_device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (m_device < 0) {
        m_failure = std::string("FUSE is not usable here (/dev/fuse: ") + std::strerror(errno) + ")";
        return;
    }
    const std::string options = "fd=" + std::to_string(m_device) + ",rootmode=40000,user_id=" +
                                std::to_string(::getuid()) + ",group_id=" + std::to_string(::getgid());
    if (::mount("stalling", folder.c_str(), "fuse.stalling", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        m_failure = std::string("FUSE is not usable here (mount: ") + std::strerror(errno) + ")";
        breakOff();
        return;
    }
    m_mounted = true;
    // The handshake the kernel sent while mounting; nothing after it is ever read or answered.
    alignas(fuse_in_header) static thread_local char request[FUSE_MIN_READ_BUFFER * 16];
    const ssize_t got = ::read(m_device, request, sizeof request);
    const auto* head = reinterpret_cast<const fuse_in_header*>(request);
    if (got < ssize_t(sizeof(fuse_in_header) + sizeof(fuse_init_in)) || head->opcode != FUSE_INIT) {
        m_failure = "the FUSE handshake did not come";
        return;
    }
    const auto* init = reinterpret_cast<const fuse_init_in*>(head + 1);
    struct {
        fuse_out_header head;
        fuse_init_out init;
    } answer{};
    answer.head.len = sizeof answer;
    answer.head.unique = head->unique;
    answer.init.major = FUSE_KERNEL_VERSION;
    answer.init.minor = std::min<std::uint32_t>(init->minor, FUSE_KERNEL_MINOR_VERSION);
    answer.init.max_readahead = init->max_readahead;
    answer.init.max_write = 4096;
    answer.init.max_background = 16;
    answer.init.congestion_threshold = 12;
    if (::write(m_device, &answer, sizeof answer) != ssize_t(sizeof answer))
        m_failure = std::string("the FUSE handshake failed: ") + std::strerror(errno);
}

StallingFuseMount::~StallingFuseMount() {
    breakOff();
    if (m_mounted)
        ::umount2(m_path.c_str(), MNT_DETACH);
}

void StallingFuseMount::breakOff() {
    if (m_device >= 0)
        ::close(m_device); // the last holder of the device: the kernel aborts the connection
    m_device = -1;
}

} // namespace brisklet::test
