#include "SoftwareUpdateChecker.h"

#include "platform/TextFields.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/Subprocess.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace brisklet {

bool AvailableSoftwareUpdate::isMacOS() const {
    const std::string lower = text::lowerAscii(title);
    return isBaseSystem || lower.starts_with("macos ") || lower == "macos" || lower.starts_with("os x ") ||
           lower.starts_with("security update ");
}

std::string SoftwareUpdateCheckError::describe(Kind kind, std::int32_t exitCode, const std::string& detail,
                                               const HostProfile& profile) {
    switch (kind) {
    case Kind::commandFailed:
        return profile.updateToolName + " could not complete the check (" + std::to_string(exitCode) + "). " + detail;
    case Kind::timedOut:
        return "The update check timed out. Try again or open " + profile.updaterName + ".";
    case Kind::unrecognizedOutput:
        return "Could not determine available updates. Open " + profile.updaterName + " to check.";
    }
    return {};
}

SoftwareUpdateCheckError::SoftwareUpdateCheckError(Kind kind, std::int32_t exitCode, std::string detail)
    : Error(describe(kind, exitCode, detail, hostProfile())), m_kind(kind), m_exitCode(exitCode),
      m_detail(std::move(detail)) {}

SoftwareUpdateCheckError SoftwareUpdateCheckError::commandFailed(std::int32_t exitCode, std::string detail) {
    return SoftwareUpdateCheckError(Kind::commandFailed, exitCode, std::move(detail));
}
SoftwareUpdateCheckError SoftwareUpdateCheckError::timedOut() { return SoftwareUpdateCheckError(Kind::timedOut, 0, {}); }
SoftwareUpdateCheckError SoftwareUpdateCheckError::unrecognizedOutput() {
    return SoftwareUpdateCheckError(Kind::unrecognizedOutput, 0, {});
}

namespace SoftwareUpdateChecker {

namespace {

std::string osReleaseValue(std::string_view raw) {
    raw = text::trimWhitespace(raw);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
        const bool doubleQuoted = raw.front() == '"';
        raw = raw.substr(1, raw.size() - 2);
        std::string value;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (doubleQuoted && raw[i] == '\\' && i + 1 < raw.size())
                ++i;
            value.push_back(raw[i]);
        }
        return value;
    }
    return std::string(raw);
}

std::string newUuid() {
    unsigned char bytes[16];
    size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (got > 0)
            filled += size_t(got);
        else if (errno != EINTR)
            break;
    }
    if (filled < sizeof bytes) { // no entropy source: still unique enough for a private file name
        const auto seed = std::uint64_t(getpid()) * 0x9e3779b97f4a7c15ULL ^
                          std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        for (size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(seed >> ((i % 8) * 8)) ^ static_cast<unsigned char>(i * 37);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    char textForm[37];
    std::snprintf(textForm, sizeof textForm, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9],
                  bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return textForm;
}

// The capture file lives exactly as long as one run.
class CaptureFile {
public:
    CaptureFile() : m_path(platform::joinPath(platform::temporaryDirectory(), newUuid())) {
        m_fd.reset(open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!m_fd)
            throw Error("Could not create the file " + m_path + ": " + std::strerror(errno) + ".");
        fchmod(m_fd.get(), 0600);
    }
    ~CaptureFile() {
        m_fd.reset();
        unlink(m_path.c_str());
    }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    int fd() const { return m_fd.get(); }

    std::string readAll(std::uint64_t limit) const {
        std::string contents;
        char buffer[65536];
        off_t offset = 0;
        while (contents.size() < limit) {
            const ssize_t got = pread(m_fd.get(), buffer, sizeof buffer, offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw Error("Could not read the file " + m_path + ": " + std::strerror(errno) + ".");
            if (got == 0)
                break;
            contents.append(buffer, size_t(got));
            offset += got;
        }
        if (contents.size() > limit)
            contents.resize(limit);
        return contents;
    }

private:
    std::string m_path;
    platform::UniqueFd m_fd;
};

} // namespace

std::string describeSystem(std::string_view osRelease, std::string_view kernelRelease) {
    std::string name, version;
    for (const std::string_view line : text::splitLines(osRelease, '\n')) {
        if (line.starts_with("NAME="))
            name = osReleaseValue(line.substr(5));
        else if (line.starts_with("VERSION_ID="))
            version = osReleaseValue(line.substr(11));
    }
    std::string description = name.empty() ? "Linux" : name;
    if (!version.empty())
        description += " " + version;
    if (!kernelRelease.empty())
        description += " (" + std::string(kernelRelease) + ")";
    return repairUtf8(description);
}

const std::string& currentSystemDescription() {
    static const std::string description = [] {
        auto osRelease = platform::readFileContents("/etc/os-release");
        if (!osRelease)
            osRelease = platform::readFileContents("/usr/lib/os-release");
        utsname names{};
        const std::string kernel = uname(&names) == 0 ? names.release : "";
        return describeSystem(osRelease.value_or(""), kernel);
    }();
    return description;
}

SoftwareUpdateStatus parse(std::string_view output, std::int32_t exitCode) {
    if (exitCode != 0)
        throw SoftwareUpdateCheckError::commandFailed(
            exitCode, std::string(text::lastCodePoints(text::trimWhitespace(output), 500)));
    const std::string lower = text::lowerAscii(output);
    if (lower.find("error") != std::string::npos || lower.find("failed") != std::string::npos ||
        lower.find("timed out") != std::string::npos)
        throw SoftwareUpdateCheckError::commandFailed(0, std::string(text::lastCodePoints(output, 500)));

    static const std::regex titleLine(R"(^Title:\s*(.+?),\s*Version:\s*(.+?),\s*Size:)");
    // No line of the tool's is this long; skipping longer ones keeps the matcher's recursion shallow.
    constexpr size_t longestTitleLine = 4096;
    size_t labels = 0;
    bool noNewSoftware = false;
    std::vector<AvailableSoftwareUpdate> updates;
    for (const std::string_view rawLine : text::splitAtLineBreaks(output)) {
        const std::string_view line = text::trimSpacesAndTabs(rawLine);
        if (line.starts_with("* Label:") || line.starts_with("- Label:"))
            ++labels;
        if (line == "No new software available.")
            noNewSoftware = true;
        if (!line.starts_with("Title:") || line.size() > longestTitleLine)
            continue;
        std::match_results<std::string_view::const_iterator> match;
        if (std::regex_search(line.begin(), line.end(), match, titleLine) && match[1].matched && match[2].matched)
            updates.push_back({match[1].str(), match[2].str()});
    }
    if (!updates.empty()) {
        if (updates.size() == labels)
            return SoftwareUpdateStatus::available(std::move(updates));
        throw SoftwareUpdateCheckError::unrecognizedOutput();
    }
    if (labels == 0 && noNewSoftware)
        return SoftwareUpdateStatus::noUpdates();
    throw SoftwareUpdateCheckError::unrecognizedOutput();
}

SoftwareUpdateStatus parseAptSimulation(std::string_view output, std::int32_t exitCode,
                                        const std::set<std::string>& baseSystemPackages) {
    const auto failure = [&output](std::int32_t code) {
        return SoftwareUpdateCheckError::commandFailed(
            code, std::string(text::lastCodePoints(text::trimWhitespace(output), 500)));
    };
    if (exitCode != 0)
        throw failure(exitCode);
    bool summary = false;
    std::vector<AvailableSoftwareUpdate> updates;
    for (const std::string_view rawLine : text::splitAtLineBreaks(output)) {
        const std::string_view line = text::trimSpacesAndTabs(rawLine);
        if (line.starts_with("E: "))
            throw failure(0);
        const std::size_t upgraded = line.find(" upgraded, ");
        if (upgraded != std::string_view::npos && text::parseUInt64(line.substr(0, upgraded)) &&
            line.find(" newly installed, ") != std::string_view::npos)
            summary = true;
        // Inst NAME [OLD] (NEW RELEASE [ARCH]): only a line with the installed version is an upgrade.
        if (!line.starts_with("Inst "))
            continue;
        const std::string_view rest = line.substr(5);
        const std::size_t nameEnd = rest.find(' ');
        if (nameEnd == std::string_view::npos || rest.substr(nameEnd + 1, 1) != "[")
            continue;
        const std::size_t oldEnd = rest.find("] (", nameEnd);
        if (oldEnd == std::string_view::npos)
            continue;
        const std::string_view newer = rest.substr(oldEnd + 3);
        const std::string_view version = newer.substr(0, newer.find_first_of(" )"));
        if (version.empty())
            continue;
        const std::string_view archives = newer.substr(version.size(), newer.find(')') - version.size());
        bool security = false;
        for (std::size_t at = archives.find("-security"); at != std::string_view::npos && !security;
             at = archives.find("-security", at + 1)) {
            const std::size_t end = at + 9;
            security = end == archives.size() || archives[end] == ' ' || archives[end] == ',';
        }
        const std::string name(rest.substr(0, nameEnd));
        const std::string package = name.substr(0, name.find(':')); // libfoo:i386 is libfoo to dpkg's priorities
        const bool kernel = package.starts_with("linux-image-") || package.starts_with("linux-headers-") ||
                            package.starts_with("linux-modules-") || package.starts_with("linux-kbuild-");
        updates.push_back({name, std::string(version), kernel || baseSystemPackages.contains(package), security});
    }
    if (!summary)
        throw SoftwareUpdateCheckError::unrecognizedOutput();
    return updates.empty() ? SoftwareUpdateStatus::noUpdates() : SoftwareUpdateStatus::available(std::move(updates));
}

std::string statusMessage(const SoftwareUpdateStatus& status, const HostProfile& profile) {
    const auto named = [](const AvailableSoftwareUpdate& update) { return update.title + " (" + update.version + ")"; };
    if (profile.sources == HostProfile::Sources::bundles) {
        if (!status.hasUpdates())
            return "No macOS updates available.";
        std::string system;
        for (const AvailableSoftwareUpdate& update : status.updates())
            if (update.isMacOS())
                system += (system.empty() ? "" : ", ") + named(update);
        if (system.empty())
            return "Other software updates are available; no macOS update was listed.";
        return "macOS update available: " + system;
    }
    if (!status.hasUpdates())
        return "The system is up to date.";
    // Security updates are named first; a long list ends in "…" (the whole text is in the tooltip).
    std::vector<const AvailableSoftwareUpdate*> ordered;
    for (const AvailableSoftwareUpdate& update : status.updates())
        if (update.isSecurity)
            ordered.push_back(&update);
    const std::size_t security = ordered.size();
    for (const AvailableSoftwareUpdate& update : status.updates())
        if (!update.isSecurity)
            ordered.push_back(&update);
    const std::size_t total = ordered.size();
    std::string message = std::to_string(total) + (total == 1 ? " update available" : " updates available");
    if (security == total && total == 1)
        message += ", a security update";
    else if (security == total)
        message += ", all of them security updates";
    else if (security > 0)
        message += ", " + std::to_string(security) + " of them " + (security == 1 ? "a security update" : "security updates");
    constexpr std::size_t namedAtMost = 3; // what fits the dashboard's one line beside the counts
    message += ": ";
    for (std::size_t index = 0; index < std::min(total, namedAtMost); ++index)
        message += (index == 0 ? "" : ", ") + named(*ordered[index]);
    message += total > namedAtMost ? ", \u2026" : ".";
    return message;
}

std::string statusMessage(const SoftwareUpdateStatus& status) { return statusMessage(status, hostProfile()); }

std::set<std::string> baseSystemPackages(std::string_view dpkgStatus) {
    std::set<std::string> packages;
    std::string package;
    bool base = false;
    const auto endParagraph = [&] {
        if (base && !package.empty())
            packages.insert(package);
        package.clear();
        base = false;
    };
    for (const std::string_view line : text::splitLines(dpkgStatus, '\n')) {
        if (line.empty()) {
            endParagraph();
        } else if (line.starts_with("Package: ")) {
            endParagraph();
            package = std::string(text::trimWhitespace(line.substr(9)));
        }
        else if (line == "Essential: yes" || line == "Priority: required" || line == "Priority: important") {
            base = true;
        }
    }
    endParagraph();
    return packages;
}

SoftwareUpdateStatus run(const std::string& executable, const std::vector<std::string>& arguments,
                         std::chrono::duration<double> timeout, std::stop_token stop, OutputShape shape) {
    const CaptureFile capture;
    platform::Subprocess child = platform::Subprocess::spawn({.executable = executable,
                                                              .arguments = arguments,
                                                              .environmentOverrides = {{"LC_ALL", "C"}, {"LANG", "C"}},
                                                              .standardOutput = capture.fd(),
                                                              .standardError = capture.fd(),
                                                              .ownProcessGroup = true,
                                                              .fileSizeLimit = captureLimitBytes});
    const double seconds = std::isfinite(timeout.count()) ? std::clamp(timeout.count(), 0.0, 1e7) : 0.0;
    const auto status = child.wait(std::chrono::milliseconds(std::llround(seconds * 1000)), stop);
    if (!status) {
        child.terminate(std::chrono::seconds(2));
        if (stop.stop_requested())
            throw Cancelled();
        throw SoftwareUpdateCheckError::timedOut();
    }
    const std::string output = repairUtf8(capture.readAll(captureLimitBytes));
    if (shape == OutputShape::aptSimulation) {
        // The installed packages' priorities, asked of dpkg-query in the layout of dpkg's status file
        // (the database itself is dpkg's to read); a package missing from them counts as an application's.
        std::string records;
        try {
            auto listed = platform::runCapturingOutput(
                "/usr/bin/dpkg-query", {"-W", "-f=Package: ${Package}\nEssential: ${Essential}\nPriority: ${Priority}\n\n"},
                {{"LC_ALL", "C"}}, {.timeout = std::chrono::seconds(30), .stop = stop});
            if (listed.stopped)
                throw Cancelled();
            if (listed.status == 0)
                records = std::move(listed.output);
        } catch (const platform::LaunchError&) {
        }
        return parseAptSimulation(output, *status, baseSystemPackages(records));
    }
    return parse(output, *status);
}

SoftwareUpdateStatus check(std::stop_token stop) {
    const HostProfile& profile = hostProfile();
    const OutputShape shape = profile.sources == HostProfile::Sources::freedesktop ? OutputShape::aptSimulation
                                                                                   : OutputShape::softwareUpdateList;
    return run(profile.updateToolPath, profile.updateToolArguments, std::chrono::seconds(120), stop, shape);
}

} // namespace SoftwareUpdateChecker

} // namespace brisklet
