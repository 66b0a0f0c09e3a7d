// Mount tests run in a private mount namespace inside a user namespace, so that every developer runs
// them without root and no mount outlives its test; and a FUSE file system that stops answering, the
// stand-in for a network share whose server went away.
#pragma once

#include <string>

namespace brisklet::test {

// Called first in a test that mounts. Outside a private namespace it runs the same test again in one
// (`unshare -Urm`, as root else `unshare -m`), takes over that run's outcome and returns false: the
// caller returns. Inside it returns true and the test may mount. Skips where the machine refuses both.
bool inPrivateMountNamespace();

// Mounts at folder a FUSE file system that answers the kernel's handshake and then nothing: every later
// request waits until the returned device is closed. -1 with failure set where FUSE is not usable.
int mountStallingFuse(const std::string& folder, std::string& failure);

} // namespace brisklet::test
