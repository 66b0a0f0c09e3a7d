#include "LeftoverScanner.h"

#include "apps/HomeApplications.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "scan/MeasuringPool.h"
#include "system/TextFields.h"

#include <algorithm>
#include <dirent.h>
#include <exception>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace brisklet::LeftoverScanner {

namespace {

// A NUL ends a path for the system, so text holding one would name the folder above it.
bool isSingleComponent(const std::string& text) {
    static const std::string separators("/\0", 2);
    return !text.empty() && text != "." && text != ".." &&
           text.find_first_of(separators) == std::string::npos;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct Found {
    std::string path;
    bool isDirectory;
};

std::int64_t sizeOf(const Found& item, const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    if (item.isDirectory) {
        try {
            const DiskScanner scanner(scannerOptions);
            return scanner.scan(item.path, std::make_shared<ScanStats>(), stop).totals.bytes;
        } catch (const DiskScanner::ScanError&) {
            return 0; // vanished or replaced by a file since it was found
        }
    }
    struct stat status {};
    if (::lstat(item.path.c_str(), &status) != 0)
        return 0;
    if (status.st_blocks > 0)
        return std::int64_t(status.st_blocks) * 512;
    return std::max<std::int64_t>(status.st_size, 0);
}

std::vector<std::string> libraryCandidates(const ApplicationEntry& application, const std::string& home) {
    const std::string library = home + "/Library";
    const std::string bundleID =
        application.bundleID && isSingleComponent(*application.bundleID) ? *application.bundleID : std::string();
    const std::string& name = application.name;
    const bool hasID = !bundleID.empty();
    const bool hasName = isSingleComponent(name);

    std::vector<std::string> paths;
    if (hasID) {
        paths.push_back(library + "/Caches/" + bundleID);
        paths.push_back(library + "/Preferences/" + bundleID + ".plist");
        paths.push_back(library + "/Saved Application State/" + bundleID + ".savedState");
        paths.push_back(library + "/WebKit/" + bundleID);
        paths.push_back(library + "/HTTPStorages/" + bundleID);
        paths.push_back(library + "/Application Scripts/" + bundleID);
        paths.push_back(library + "/Containers/" + bundleID);
        paths.push_back(library + "/Cookies/" + bundleID + ".binarycookies");
        paths.push_back(library + "/LaunchAgents/" + bundleID + ".plist");
        paths.push_back(library + "/Application Support/" + bundleID);
    }
    if (hasName) {
        paths.push_back(library + "/Application Support/" + name);
        paths.push_back(library + "/Caches/" + name);
        paths.push_back(library + "/Logs/" + name);
    }
    if (hasID) {
        paths.push_back(library + "/Logs/" + bundleID);
        const std::string groupContainers = library + "/Group Containers";
        if (DIR* stream = ::opendir(groupContainers.c_str())) {
            while (const dirent* entry = ::readdir(stream)) {
                const std::string entryName = entry->d_name;
                if (entryName != "." && entryName != ".." && endsWith(entryName, bundleID))
                    paths.push_back(groupContainers + "/" + entryName);
            }
            ::closedir(stream);
        }
    }
    return paths;
}

// Folders that many applications share: a name that matches one names no application's own data.
const std::set<std::string>& sharedPlaces() {
    static const std::set<std::string> names{
        "applications", "autostart", "backgrounds", "dbus-1", "dconf", "desktop-directories", "environment.d",
        "flatpak", "fontconfig", "fonts", "gtk-2.0", "gtk-3.0", "gtk-4.0", "icons", "keyrings", "menus", "mime",
        "mimeapps.list", "pulse", "recently-used.xbel", "sounds", "systemd", "themes", "thumbnails", "Trash",
        "user-dirs.dirs", "user-dirs.locale"};
    return names;
}

bool isIconFile(const std::string& fileName, const std::string& icon) {
    for (const char* extension : {".png", ".svg", ".svgz", ".xpm"})
        if (fileName == icon + extension)
            return true;
    return false;
}

// Icon files named icon in an icon folder: THEME/SIZE/CONTEXT/ICON.EXT and the loose ICON.EXT beside them.
void findIconFiles(const std::string& folder, const std::string& icon, int depth, std::vector<std::string>& found) {
    for (const std::string& name : platform::sortedEntryNames(folder)) {
        const std::string path = folder + "/" + name;
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode) && depth < 3)
            findIconFiles(path, icon, depth + 1, found);
        else if (!S_ISDIR(status.st_mode) && isIconFile(name, icon))
            found.push_back(path);
    }
}

// An Icon key naming a file: only an icon file itself whose folder really lies in the icon folder. The
// key is the entry's text, so "icons/../../Documents", a whole theme folder or a linked folder that
// leads elsewhere must never become a leftover. Gives the file with its folders resolved.
std::optional<std::string> ownIconFile(const std::string& icon, const std::string& iconFolder) {
    const std::string name = platform::lastPathComponent(icon);
    const std::size_t dot = name.rfind('.');
    struct stat status {};
    if (dot == std::string::npos || dot == 0 || !isIconFile(name, name.substr(0, dot)) ||
        ::lstat(icon.c_str(), &status) != 0 || S_ISDIR(status.st_mode))
        return std::nullopt;
    const auto folder = platform::resolvedPath(platform::parentPath(icon));
    const auto icons = platform::resolvedPath(iconFolder);
    if (!folder || !icons || !DesktopEntries::isAtOrBelow(*folder, *icons))
        return std::nullopt;
    return platform::joinPath(*folder, name);
}

std::vector<std::string> freedesktopCandidates(const ApplicationEntry& application, const std::string& home) {
    const std::string bundleID =
        application.bundleID && isSingleComponent(*application.bundleID) ? *application.bundleID : std::string();
    std::vector<std::string> names;
    if (!bundleID.empty())
        names.push_back(bundleID);
    if (isSingleComponent(application.name)) {
        names.push_back(application.name);
        names.push_back(text::lowerAscii(application.name));
    }
    std::vector<std::string> paths;
    for (const char* base : {"/.config/", "/.local/share/", "/.local/state/", "/.cache/"})
        for (const std::string& name : names)
            if (!sharedPlaces().contains(name))
                paths.push_back(home + base + name);
    if (!bundleID.empty()) {
        paths.push_back(home + "/.var/app/" + bundleID);
        paths.push_back(home + "/.config/autostart/" + bundleID + ".desktop");
    }

    // What launches the application goes with it; an icon another entry still shows stays.
    const std::string iconFolder = home + "/.local/share/icons";
    std::set<std::string> icons, sharedIcons;
    const std::string bundle = application.path;
    for (const char* folder : {"/.local/share/applications", "/.config/autostart"}) {
        const std::vector<DesktopEntry> launchers = HomeApplications::launchersOf(bundle, home + folder);
        for (const DesktopEntry& entry : launchers) {
            paths.push_back(entry.path);
            icons.insert(entry.icon);
        }
        for (const DesktopEntry& entry : DesktopEntries::readFolder(home + folder))
            if (std::none_of(launchers.begin(), launchers.end(),
                             [&entry](const DesktopEntry& launcher) { return launcher.path == entry.path; }))
                sharedIcons.insert(entry.icon);
    }
    for (const std::string& icon : icons) {
        if (icon.empty() || sharedIcons.contains(icon))
            continue;
        if (icon.front() == '/') {
            if (auto file = ownIconFile(icon, iconFolder))
                paths.push_back(std::move(*file));
        } else if (isSingleComponent(icon)) {
            findIconFiles(iconFolder, icon, 0, paths);
        }
    }

    // The bundle itself goes separately; a folder holding it would take other applications along.
    std::erase_if(paths, [&bundle](const std::string& path) {
        return !bundle.empty() &&
               (DesktopEntries::isAtOrBelow(bundle, path) || DesktopEntries::isAtOrBelow(path, bundle));
    });
    return paths;
}

} // namespace

std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home) {
    return candidates(application, home, hostProfile());
}

std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home,
                                    const HostProfile& profile) {
    if (profile.sources == HostProfile::Sources::freedesktop)
        return freedesktopCandidates(application, home);
    return libraryCandidates(application, home);
}

std::vector<FileEntry> leftovers(const ApplicationEntry& application, const std::string& home,
                                 const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    return leftovers(application, home, scannerOptions, stop, hostProfile());
}

std::vector<FileEntry> leftovers(const ApplicationEntry& application, const std::string& home,
                                 const DiskScanner::Options& scannerOptions, std::stop_token stop,
                                 const HostProfile& profile) {
    std::vector<Found> found;
    std::set<std::string> probed;
    for (const std::string& path : candidates(application, home, profile)) {
        if (!probed.insert(path).second)
            continue;
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0)
            continue;
        found.push_back(Found{path, S_ISDIR(status.st_mode)});
    }

    std::vector<std::int64_t> sizes(found.size(), 0);
    forEachIndex(found.size(), [&](std::size_t index) { sizes[index] = sizeOf(found[index], scannerOptions, stop); });
    if (stop.stop_requested())
        throw Cancelled();

    std::vector<FileEntry> results;
    for (std::size_t index = 0; index < found.size(); ++index) {
        if (sizes[index] < 1)
            continue;
        results.push_back(FileEntry{platform::lastPathComponent(found[index].path), found[index].path, sizes[index],
                                    found[index].isDirectory, ScanState::complete});
    }
    std::stable_sort(results.begin(), results.end(),
                     [](const FileEntry& a, const FileEntry& b) { return a.sizeBytes > b.sizeBytes; });
    return results;
}

} // namespace brisklet::LeftoverScanner
