#include "SafetyTestSupport.h"

#include "platform/FileServices.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brisklet::test {

namespace {

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void restoreVariable(const char* name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

} // namespace

ScopedSafetyEnvironment::ScopedSafetyEnvironment(TempTree& tree)
    : m_oldHome(environmentValue("HOME")), m_oldConfigHome(environmentValue("XDG_CONFIG_HOME")),
      m_oldDataHome(environmentValue("XDG_DATA_HOME")),
      m_oldStateHome(environmentValue("XDG_STATE_HOME")), m_home(tree.makeDir("home/me")),
      m_dataHome(tree.makeDir("home/me/.local/share")), m_stateHome(tree.path("home/me/.local/state")) {
    ::setenv("HOME", m_home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", m_dataHome.c_str(), 1);
    ::setenv("XDG_STATE_HOME", m_stateHome.c_str(), 1);
}

ScopedSafetyEnvironment::~ScopedSafetyEnvironment() {
    restoreVariable("HOME", m_oldHome);
    restoreVariable("XDG_CONFIG_HOME", m_oldConfigHome);
    restoreVariable("XDG_DATA_HOME", m_oldDataHome);
    restoreVariable("XDG_STATE_HOME", m_oldStateHome);
}

TmpfsMount::TmpfsMount(const std::string& folder, const std::string& options) : m_path(folder) {
    ::mkdir(folder.c_str(), 0755);
    if (!canMount()) {
        m_failure = "this test needs to mount a tmpfs, which only root may do";
        return;
    }
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        m_failure = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount() {
    if (m_mounted)
        ::umount2(m_path.c_str(), MNT_DETACH);
}

bool TmpfsMount::makeReadOnly() {
    return m_mounted && ::mount("tmpfs", m_path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

bool somethingAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::optional<std::string> readFile(const std::string& path) { return platform::readFileContents(path); }

std::string uidText() { return std::to_string(::getuid()); }

bool haveTrashCli() { return ::access(trashList, X_OK) == 0 && ::access(trashPut, X_OK) == 0; }

std::vector<std::string> folderNames(const std::string& path) { return platform::sortedEntryNames(path); }

} // namespace brisklet::test
