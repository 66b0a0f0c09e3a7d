#include "HomeApplications.h"

#include "platform/FileServices.h"
#include "platform/TextFields.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet::HomeApplications {

namespace {

constexpr std::string_view appImageSuffix = ".appimage"; // compared in lower case

std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

bool isAppImageName(std::string_view name) {
    return name.size() > appImageSuffix.size() &&
           text::lowerAscii(name.substr(name.size() - appImageSuffix.size())) == appImageSuffix;
}

// Folders of these roots are the user's own (a project in Downloads, tools in ~/.local/bin): only
// their AppImages are applications. The download folder may have any name (XDG_DOWNLOAD_DIR).
bool holdsOnlyAppImages(std::string_view root, std::string_view downloads) {
    return root.ends_with("/AppImages") || root.ends_with("/Downloads") || root.ends_with("/.local/bin") ||
           root == downloads;
}

struct Launcher {
    DesktopEntry entry;
    std::string resolvedProgram;
};

ApplicationEntry makeEntry(const std::string& path, bool isFile, const Launcher* launcher) {
    ApplicationEntry application;
    application.path = path;
    std::string stem = platform::lastPathComponent(path);
    if (isFile && isAppImageName(stem))
        stem.resize(stem.size() - appImageSuffix.size());
    auto [name, version] = nameAndVersion(stem);
    application.name = name;
    application.bundleID = stem;
    if (!version.empty())
        application.version = version;
    if (launcher) {
        const DesktopEntry& entry = launcher->entry;
        if (!entry.name.empty())
            application.name = entry.name;
        application.bundleID = entry.fileId;
        if (!entry.version.empty())
            application.version = entry.version;
        if (!entry.icon.empty())
            application.icon = entry.icon;
    }
    // Where the user cannot write, removal would need administrator rights.
    application.isProtected = ::access(platform::parentPath(path).c_str(), W_OK) != 0;
    return application;
}

std::vector<Launcher> userLaunchers(const std::vector<std::string>& roots) {
    std::vector<Launcher> launchers;
    for (const std::string& root : roots) {
        if (!isEntryFolder(root) || isSystemEntryFolder(root))
            continue;
        for (DesktopEntry& entry : DesktopEntries::readFolder(root))
            if (!entry.hidden && !entry.program.empty()) {
                std::string program = resolved(entry.program);
                launchers.push_back({std::move(entry), std::move(program)});
            }
    }
    return launchers;
}

const Launcher* launcherOf(const std::vector<Launcher>& launchers, const std::string& resolvedBundle) {
    for (const Launcher& launcher : launchers)
        if (DesktopEntries::isAtOrBelow(launcher.resolvedProgram, resolvedBundle))
            return &launcher;
    return nullptr;
}

} // namespace

std::vector<std::string> roots(const std::string& home) {
    const std::string data = platform::xdgFolders(home).data;
    return {home + "/Applications",
            home + "/AppImages",
            home + "/.local/bin",
            platform::userDirectory(home, "DOWNLOAD", "Downloads"),
            home + "/opt",
            home + "/.local/opt",
            data + "/JetBrains/Toolbox/apps",
            data + "/applications",
            "/usr/local/share/applications",
            "/usr/share/applications",
            data + "/flatpak/exports/share/applications",
            "/var/lib/flatpak/exports/share/applications",
            "/var/lib/snapd/desktop/applications"};
}

bool isEntryFolder(std::string_view root) { return platform::lastPathComponent(std::string(root)) == "applications"; }

bool isSystemEntryFolder(std::string_view root) {
    return isEntryFolder(root) &&
           (root.starts_with("/usr/") || root.starts_with("/var/lib/") || root.starts_with("/snap/") ||
            root.find("/flatpak/exports/") != std::string_view::npos);
}

std::pair<std::string, std::string> nameAndVersion(std::string_view stem) {
    std::string rest(stem);
    // Architecture tags hold digits and underscores of their own; they are never part of name or version.
    for (const char* tag : {"x86_64", "x86-64", "amd64", "aarch64", "arm64", "armhf", "i386", "i686", "x64"}) {
        const std::string lower = text::lowerAscii(rest);
        const std::size_t at = lower.find(tag);
        if (at != std::string::npos && at > 0 && (rest[at - 1] == '-' || rest[at - 1] == '_'))
            rest.erase(at - 1, std::string_view(tag).size() + 1);
    }
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t separator = rest.find_first_of("-_", start);
        if (separator == std::string::npos)
            break;
        const std::size_t piece = separator + 1;
        const std::size_t digit = piece < rest.size() && (rest[piece] == 'v' || rest[piece] == 'V') ? piece + 1 : piece;
        if (separator > 0 && digit < rest.size() && rest[digit] >= '0' && rest[digit] <= '9') {
            const std::size_t end = rest.find_first_of("-_", digit);
            return {rest.substr(0, separator), rest.substr(digit, end == std::string::npos ? end : end - digit)};
        }
        start = piece;
    }
    return {rest.empty() ? std::string(stem) : rest, ""};
}

bool launches(const DesktopEntry& entry, const std::string& resolvedBundle) {
    return !entry.hidden && !entry.program.empty() &&
           DesktopEntries::isAtOrBelow(resolved(entry.program), resolvedBundle);
}

std::vector<DesktopEntry> launchersOf(const std::string& bundlePath, const std::string& entryFolder) {
    const std::string bundle = resolved(bundlePath);
    std::vector<DesktopEntry> found;
    for (DesktopEntry& entry : DesktopEntries::readFolder(entryFolder))
        if (launches(entry, bundle))
            found.push_back(std::move(entry));
    return found;
}

std::vector<ApplicationEntry> list(const std::vector<std::string>& roots) {
    const std::vector<Launcher> launchers = userLaunchers(roots);
    const std::string downloads = platform::downloadsDirectory();
    std::vector<ApplicationEntry> applications;
    std::set<std::string> seen; // resolved bundle paths
    const auto add = [&](const std::string& path, bool isFile) {
        const std::string bundle = resolved(path);
        if (seen.insert(bundle).second)
            applications.push_back(makeEntry(path, isFile, launcherOf(launchers, bundle)));
    };

    for (const std::string& root : roots) {
        if (isEntryFolder(root))
            continue;
        for (const std::string& name : platform::sortedEntryNames(root)) {
            const std::string path = platform::joinPath(root, name);
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0)
                continue;
            if (S_ISREG(status.st_mode) && isAppImageName(name)) {
                add(path, true);
            } else if (S_ISDIR(status.st_mode) && !name.ends_with(".app") && !holdsOnlyAppImages(root, downloads)) {
                const std::string folder = resolved(path);
                if (launcherOf(launchers, folder))
                    add(path, false);
            }
        }
    }
    // AppImages kept elsewhere, known only through the entry that launches them.
    for (const Launcher& launcher : launchers) {
        struct stat status {};
        if (isAppImageName(launcher.resolvedProgram) && ::stat(launcher.resolvedProgram.c_str(), &status) == 0 &&
            S_ISREG(status.st_mode))
            add(launcher.resolvedProgram, true);
    }

    std::set<std::string> systemIds;
    for (const std::string& root : roots) {
        if (!isSystemEntryFolder(root))
            continue;
        for (const DesktopEntry& entry : DesktopEntries::readFolder(root)) {
            if (!entry.isApplication || entry.hidden || entry.noDisplay || !systemIds.insert(entry.fileId).second)
                continue;
            ApplicationEntry application;
            application.name = entry.name.empty() ? entry.fileId : entry.name;
            application.bundleID = entry.fileId;
            application.path = entry.path;
            if (!entry.icon.empty())
                application.icon = entry.icon;
            application.isProtected = true;
            applications.push_back(std::move(application));
        }
    }
    return applications;
}

std::optional<ApplicationEntry> find(const std::string& path, const std::vector<std::string>& roots) {
    const std::string target = resolved(path);
    for (ApplicationEntry& application : list(roots))
        if (resolved(application.path) == target)
            return std::move(application);
    // Any other folder (the home, "/", a project) is no application: its "leftovers" would be whatever
    // shares its name.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        !isAppImageName(platform::lastPathComponent(path)))
        return std::nullopt;
    return makeEntry(path, true, launcherOf(userLaunchers(roots), target));
}

std::set<std::string> runningBundleIDs(const std::vector<ApplicationEntry>& applications, const std::string& procRoot) {
    std::vector<std::pair<std::string, const ApplicationEntry*>> bundles;
    for (const ApplicationEntry& application : applications)
        if (application.bundleID)
            bundles.emplace_back(resolved(application.path), &application);
    std::set<std::string> running;
    if (bundles.empty())
        return running;
    for (const std::string& name : platform::sortedEntryNames(procRoot)) {
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink((procRoot + "/" + name + "/exe").c_str(), buffer, sizeof buffer);
        if (length <= 0)
            continue; // a kernel thread, a process of someone else, or one that just ended
        const std::string executable(buffer, std::size_t(length));
        for (const auto& [bundle, application] : bundles)
            if (DesktopEntries::isAtOrBelow(executable, bundle))
                running.insert(*application->bundleID);
    }
    return running;
}

} // namespace brisklet::HomeApplications
