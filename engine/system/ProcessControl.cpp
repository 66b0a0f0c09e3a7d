#include "ProcessControl.h"

#include <cerrno>
#include <csignal>
#include <string>
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

bool isProtected(std::int32_t pid) { return pid < 2 || pid == std::int32_t(getpid()); }

void terminate(std::int32_t pid) {
    if (isProtected(pid))
        throw KillError::protectedProcess();
    if (::kill(pid_t(pid), SIGTERM) == 0)
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
