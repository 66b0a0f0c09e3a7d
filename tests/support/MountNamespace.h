// Mount tests run in a private mount namespace, inside a user namespace, so that every developer runs
// them without root and no mount outlives its test. Also a FUSE file system that stops answering, the
// stand-in for a network share whose server went away.
#pragma once

#include <string>

namespace brisklet::test {

// Called first in a test that mounts. Outside a private namespace it runs the same test again in one
// (`unshare -Urm`, or `unshare -m` as root where user namespaces are refused), reports that run's
// outcome as this test's own and returns false; the caller returns at once. Inside it returns true and
// the test goes on, free to mount (canMount() is true there). Skips when the machine refuses both.
bool inPrivateMountNamespace();

// Mounted on folder, it answers the kernel's handshake and then nothing: every later request waits
// until the mount is broken off or destroyed.
class StallingFuseMount {
public:
    explicit StallingFuseMount(const std::string& folder);
    ~StallingFuseMount();
    StallingFuseMount(const StallingFuseMount&) = delete;
    StallingFuseMount& operator=(const StallingFuseMount&) = delete;

    bool mounted() const { return m_mounted && m_failure.empty(); }
    const std::string& failure() const { return m_failure; }
    // Ends the connection: every waiting and later request fails at once.
    void breakOff();

private:
    std::string m_path;
    int m_device = -1;
    bool m_mounted = false;
    std::string m_failure;
};

} // namespace brisklet::test
