// Asking one process to terminate (SIGTERM only, never escalated), with refusals in plain words.
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

// pid 0, pid 1 and this process itself.
BRISKLET_ENGINE_EXPORT bool isProtected(std::int32_t pid);

// Sends SIGTERM and returns at once; throws KillError when refused or impossible.
BRISKLET_ENGINE_EXPORT void terminate(std::int32_t pid);

} // namespace brisklet::ProcessControl
