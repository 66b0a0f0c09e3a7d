// Asking one listed process to terminate (SIGTERM only, never escalated), with refusals in plain words.
//
// The process is named by its pid and its start time, so a pid the kernel has since given to another
// process is never signalled.
#pragma once

#include "Error.h"
#include "platform/Export.h"

#include <cstdint>

namespace brisklet::ProcessControl {

class BRISKLET_ENGINE_EXPORT KillError : public Error {
public:
    enum class Kind { failed, protectedProcess, notPermitted, noSuchProcess };

    static KillError failed(std::int32_t errorNumber) { return KillError(Kind::failed, errorNumber); }
    static KillError protectedProcess() { return KillError(Kind::protectedProcess, 0); }
    static KillError notPermitted() { return KillError(Kind::notPermitted, 0); }
    static KillError noSuchProcess() { return KillError(Kind::noSuchProcess, 0); }

    Kind kind() const { return m_kind; }
    std::int32_t errorNumber() const { return m_errorNumber; } // the payload of failed, else 0
    bool operator==(const KillError& other) const {
        return m_kind == other.m_kind && m_errorNumber == other.m_errorNumber;
    }

private:
    KillError(Kind kind, std::int32_t errorNumber);
    Kind m_kind;
    std::int32_t m_errorNumber;
};

// pid 1, the kernel's thread spawner (2), this process itself, and any pid below 1 (kill would take
// those as process groups or as every process). Other kernel threads are refused by terminate().
BRISKLET_ENGINE_EXPORT bool isProtected(std::int32_t pid);

// Sends SIGTERM to the process with this pid that started startTicks after boot (as listed) and
// returns at once. A pid that now names another process, or none, is noSuchProcess; a kernel thread is
// protectedProcess. Throws KillError when refused or impossible.
BRISKLET_ENGINE_EXPORT void terminate(std::int32_t pid, std::uint64_t startTicks);

} // namespace brisklet::ProcessControl
