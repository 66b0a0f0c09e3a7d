#include "ProcessControl.h"

#include "ProcFiles.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace brisklet::ProcessControl {

namespace {

std::string describe(KillError::Kind kind, std::int32_t errorNumber) {
    switch (kind) {
    case KillError::Kind::failed:
        return "The system refused the request (errno " + std::to_string(errorNumber) + ").";
    case KillError::Kind::protectedProcess:
        return "This process is protected and can't be stopped from Brisklet.";
    case KillError::Kind::notPermitted:
        return "Stopping this process needs more privileges \u2014 it belongs to another user or the system.";
    case KillError::Kind::noSuchProcess:
        return "The process already exited.";
    }
    return {};
}

} // namespace

KillError::KillError(Kind kind, std::int32_t errorNumber)
    : Error(describe(kind, errorNumber)), m_kind(kind), m_errorNumber(errorNumber) {}

bool isProtected(std::int32_t pid) { return pid < 3 || pid == std::int32_t(getpid()); }

void terminate(std::int32_t pid, std::uint64_t startTicks) {
    if (isProtected(pid))
        throw KillError::protectedProcess();
    // The pidfd holds on to whichever process has the pid now. Its start time is read only after that,
    // so a listed process that ended and left its pid to another is seen as gone, and one that ends from
    // here on makes the signal fail rather than reach a newcomer.
    const platform::UniqueFd process(int(syscall(SYS_pidfd_open, pid_t(pid), 0)));
    if (!process)
        throw errno == ESRCH ? KillError::noSuchProcess() : KillError::failed(errno);
    const auto stat = ProcStat::read(pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X' || stat->startTicks != startTicks)
        throw KillError::noSuchProcess();
    if (stat->isKernelThread())
        throw KillError::protectedProcess();
    if (syscall(SYS_pidfd_send_signal, process.get(), SIGTERM, nullptr, 0) == 0)
        return;
    switch (errno) {
    case EPERM:
        throw KillError::notPermitted();
    case ESRCH:
        throw KillError::noSuchProcess();
    default:
        throw KillError::failed(errno);
    }
}

} // namespace brisklet::ProcessControl
