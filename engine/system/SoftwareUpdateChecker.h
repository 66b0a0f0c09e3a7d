// The operating system's update tool: runs it with a time-out, captures what it prints and reads the
// list of available updates from it. Installs nothing. On a Linux desktop the tool is apt-get in
// simulation mode (the host profile's command): no root, no download, no lock; it reports the
// upgrades the package lists known at the last refresh allow, each package with its new version.
//
// run() blocks its caller until the tool ends or the time-out passes (plus at most 4 s to stop the tool),
// so callers run it off the interface thread. Every call has its own capture file, removed on every path.
#pragma once

#include "Error.h"
#include "platform/Export.h"

#include <chrono>
#include <cstdint>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brisklet {

struct HostProfile;

struct BRISKLET_ENGINE_EXPORT AvailableSoftwareUpdate {
    std::string title;
    std::string version;
    // A package of the kernel or the base system (essential, required or important to dpkg).
    bool isBaseSystem = false;
    // Offered by a security archive (an archive name ending in "-security").
    bool isSecurity = false;

    // An update of the operating system itself rather than of an application.
    bool isMacOS() const;
    bool operator==(const AvailableSoftwareUpdate&) const = default;
};

// Either updates are available (at least one, in the printed order) or there are none.
class SoftwareUpdateStatus {
public:
    static SoftwareUpdateStatus available(std::vector<AvailableSoftwareUpdate> updates) {
        return SoftwareUpdateStatus(std::move(updates));
    }
    static SoftwareUpdateStatus noUpdates() { return SoftwareUpdateStatus({}); }

    bool hasUpdates() const { return !m_updates.empty(); }
    const std::vector<AvailableSoftwareUpdate>& updates() const { return m_updates; }
    bool operator==(const SoftwareUpdateStatus&) const = default;

private:
    explicit SoftwareUpdateStatus(std::vector<AvailableSoftwareUpdate> updates) : m_updates(std::move(updates)) {}
    std::vector<AvailableSoftwareUpdate> m_updates;
};

class BRISKLET_ENGINE_EXPORT SoftwareUpdateCheckError : public Error {
public:
    enum class Kind { commandFailed, timedOut, unrecognizedOutput };

    static SoftwareUpdateCheckError commandFailed(std::int32_t exitCode, std::string detail);
    static SoftwareUpdateCheckError timedOut();
    static SoftwareUpdateCheckError unrecognizedOutput();
    // The text of an error under a profile: the tool and the updater it names are the profile's.
    static std::string describe(Kind kind, std::int32_t exitCode, const std::string& detail,
                                const HostProfile& profile);

    Kind kind() const { return m_kind; }
    std::int32_t exitCode() const { return m_exitCode; } // commandFailed only
    const std::string& detail() const { return m_detail; } // commandFailed only
    bool operator==(const SoftwareUpdateCheckError& other) const {
        return m_kind == other.m_kind && m_exitCode == other.m_exitCode && m_detail == other.m_detail;
    }

private:
    SoftwareUpdateCheckError(Kind kind, std::int32_t exitCode, std::string detail);
    Kind m_kind;
    std::int32_t m_exitCode;
    std::string m_detail;
};

namespace SoftwareUpdateChecker {


// "NAME VERSION_ID (kernel release)", e.g. "Debian GNU/Linux 12 (6.1.0-28-amd64)".
BRISKLET_ENGINE_EXPORT const std::string& currentSystemDescription();
// The same from an os-release text and a kernel release (empty when unknown).
std::string describeSystem(std::string_view osRelease, std::string_view kernelRelease);

// What a tool prints: "softwareupdate --list" or the simulation lines of apt-get.
enum class OutputShape { softwareUpdateList, aptSimulation };

// Runs the host profile's update tool with a 120 s time-out. Throws platform::LaunchError when the
// tool is missing.
BRISKLET_ENGINE_EXPORT SoftwareUpdateStatus check(std::stop_token stop = {});

// Runs executable with arguments under LC_ALL=C and LANG=C, standard input from the null device and
// both output streams into a private capture file; parses what it printed. On time-out the tool gets
// SIGTERM, then SIGKILL, and timedOut is thrown. A stop request ends the tool the same way and throws
// Cancelled. Platform failures (capture file, start, read) are thrown as they are.
SoftwareUpdateStatus run(const std::string& executable, const std::vector<std::string>& arguments,
                         std::chrono::duration<double> timeout, std::stop_token stop = {},
                         OutputShape shape = OutputShape::softwareUpdateList);

// The dashboard's one-line outcome of a check under a profile: on a Linux desktop the number of
// upgradable packages and of security updates, naming the security updates first
// ("12 updates available, 3 of them security updates: openssl (3.0.15-1~deb12u1), …").
BRISKLET_ENGINE_EXPORT std::string statusMessage(const SoftwareUpdateStatus& status, const HostProfile& profile);
BRISKLET_ENGINE_EXPORT std::string statusMessage(const SoftwareUpdateStatus& status);

// Reads the tool's output; throws SoftwareUpdateCheckError.
SoftwareUpdateStatus parse(std::string_view output, std::int32_t exitCode);

// Reads apt-get's simulation: every "Inst NAME [OLD] (NEW ARCHIVES [ARCH])" line is an upgrade to NEW,
// a security update when one of its archives ends in "-security", in printed order (packages newly pulled in are not updates of their own). The summary line
// "N upgraded, ..." must be present; a non-zero exit or an "E:" line is a failure.
SoftwareUpdateStatus parseAptSimulation(std::string_view output, std::int32_t exitCode,
                                        const std::set<std::string>& baseSystemPackages);
// The essential, required and important packages of a dpkg status file's text.
std::set<std::string> baseSystemPackages(std::string_view dpkgStatus);

// Largest output kept from the tool; a tool that writes more is stopped.
inline constexpr std::uint64_t captureLimitBytes = 16ULL << 20;

} // namespace SoftwareUpdateChecker

} // namespace brisklet
