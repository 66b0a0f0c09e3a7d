#include "LeftoverScanner.h"

#include "apps/HomeApplications.h"
#include "apps/OtherPrograms.h"
#include "platform/DirectoryStream.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "scan/MeasuringPool.h"
#include "platform/TextFields.h"

#include <algorithm>
#include <exception>
#include <map>
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
    std::string matchedName; // see Candidate
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
        platform::DirectoryStream stream(groupContainers);
        while (const char* entry = stream ? stream.next() : nullptr) {
            const std::string entryName = entry;
            if (endsWith(entryName, bundleID))
                paths.push_back(groupContainers + "/" + entryName);
        }
    }
    return paths;
}

// Folders that many applications share: a name that matches one names no application's own data.
// In lower case, compared with the name in lower case.
const std::set<std::string>& sharedPlaces() {
    static const std::set<std::string> names{
        "applications", "autostart", "backgrounds", "dbus-1", "dconf", "desktop-directories", "environment.d",
        "flatpak", "fontconfig", "fonts", "gtk-2.0", "gtk-3.0", "gtk-4.0", "icons", "keyrings", "menus", "mime",
        "mimeapps.list", "pulse", "recently-used.xbel", "sounds", "systemd", "themes", "thumbnails", "trash",
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

// A candidate path, with the name it was found by when only that name ties it to the application.
struct Candidate {
    std::string path;
    std::string matchedName; // empty for the application's own entries and icons
};

std::vector<Candidate> freedesktopCandidates(const ApplicationEntry& application, const std::string& home) {
    const std::string bundleID =
        application.bundleID && isSingleComponent(*application.bundleID) ? *application.bundleID : std::string();
    std::vector<std::string> names;
    if (!bundleID.empty())
        names.push_back(bundleID);
    if (isSingleComponent(application.name)) {
        names.push_back(application.name);
        names.push_back(text::lowerAscii(application.name));
    }
    const platform::XdgFolders xdg = platform::xdgFolders(home);
    std::vector<Candidate> found;
    // Compared in lower case: on a file system that ignores case, "TRASH" is the Trash.
    for (const std::string* base : {&xdg.config, &xdg.data, &xdg.state, &xdg.cache})
        for (const std::string& name : names)
            if (!sharedPlaces().contains(text::lowerAscii(name)))
                found.push_back({*base + "/" + name, name});
    if (!bundleID.empty()) {
        found.push_back({home + "/.var/app/" + bundleID, bundleID});
        found.push_back({xdg.config + "/autostart/" + bundleID + ".desktop", {}});
    }

    // What launches the application goes with it; an icon another entry still shows stays.
    const std::string iconFolder = xdg.data + "/icons";
    std::set<std::string> icons, sharedIcons;
    std::vector<std::string> paths;
    const std::string bundle = application.path;
    for (const std::string& folder : {xdg.data + "/applications", xdg.config + "/autostart"}) {
        const std::vector<DesktopEntry> launchers = HomeApplications::launchersOf(bundle, folder);
        for (const DesktopEntry& entry : launchers) {
            paths.push_back(entry.path);
            icons.insert(entry.icon);
        }
        for (const DesktopEntry& entry : DesktopEntries::readFolder(folder))
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
    for (std::string& path : paths)
        found.push_back({std::move(path), {}});

    // The bundle itself goes separately; a folder holding it would take other applications along. A
    // place holding an XDG folder (when one is set inside another) or the Trash is never one app's.
    const std::string trash = xdg.data + "/Trash";
    std::erase_if(found, [&](const Candidate& candidate) {
        const std::string& path = candidate.path;
        for (const std::string* place : {&home, &xdg.config, &xdg.data, &xdg.state, &xdg.cache, &trash})
            if (DesktopEntries::isAtOrBelow(*place, path))
                return true;
        return DesktopEntries::isAtOrBelow(path, trash) ||
               (!bundle.empty() &&
                (DesktopEntries::isAtOrBelow(bundle, path) || DesktopEntries::isAtOrBelow(path, bundle)));
    });
    return found;
}

std::vector<Candidate> candidateList(const ApplicationEntry& application, const std::string& home,
                                     const HostProfile& profile) {
    if (profile.sources == HostProfile::Sources::freedesktop)
        return freedesktopCandidates(application, home);
    std::vector<Candidate> found;
    for (std::string& path : libraryCandidates(application, home))
        found.push_back({std::move(path), {}});
    return found;
}

} // namespace

std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home) {
    return candidates(application, home, hostProfile());
}

std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home,
                                    const HostProfile& profile) {
    std::vector<std::string> paths;
    for (Candidate& candidate : candidateList(application, home, profile))
        paths.push_back(std::move(candidate.path));
    return paths;
}

std::vector<Leftover> leftovers(const ApplicationEntry& application, const std::string& home,
                                const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    return leftovers(application, home, scannerOptions, stop, hostProfile());
}

std::vector<Leftover> leftovers(const ApplicationEntry& application, const std::string& home,
                                const DiskScanner::Options& scannerOptions, std::stop_token stop,
                                const HostProfile& profile) {
    return leftovers(application, home, scannerOptions, stop, profile, OtherPrograms::ofThisComputer(home));
}

std::vector<Leftover> leftovers(const ApplicationEntry& application, const std::string& home,
                                const DiskScanner::Options& scannerOptions, std::stop_token stop,
                                const HostProfile& profile, const OtherPrograms& otherPrograms) {
    std::vector<Found> found;
    std::set<std::string> probed, matchedNames;
    for (const Candidate& candidate : candidateList(application, home, profile)) {
        if (!probed.insert(candidate.path).second)
            continue;
        struct stat status {};
        if (::lstat(candidate.path.c_str(), &status) != 0)
            continue;
        found.push_back(Found{candidate.path, S_ISDIR(status.st_mode), candidate.matchedName});
        if (!candidate.matchedName.empty())
            matchedNames.insert(candidate.matchedName);
    }

    // Who else answers to the names is asked beside the measuring, as one more piece of work.
    std::vector<std::int64_t> sizes(found.size(), 0);
    std::map<std::string, std::string> owners;
    forEachIndex(found.size() + 1, [&](std::size_t index) {
        if (index == 0) {
            if (!matchedNames.empty())
                owners = otherPrograms.owners(matchedNames, application.path, stop);
            return;
        }
        sizes[index - 1] = sizeOf(found[index - 1], scannerOptions, stop);
    });
    if (stop.stop_requested())
        throw Cancelled();

    std::vector<Leftover> results;
    for (std::size_t index = 0; index < found.size(); ++index) {
        if (sizes[index] < 1)
            continue;
        Leftover leftover;
        static_cast<FileEntry&>(leftover) = {platform::lastPathComponent(found[index].path), found[index].path,
                                             sizes[index], found[index].isDirectory, ScanState::complete};
        if (const auto owner = owners.find(found[index].matchedName); owner != owners.end()) {
            leftover.shared = true;
            leftover.sharedReason = "Also used by " + owner->second + ", installed on this computer";
        }
        results.push_back(std::move(leftover));
    }
    std::stable_sort(results.begin(), results.end(),
                     [](const Leftover& a, const Leftover& b) { return a.sizeBytes > b.sizeBytes; });
    return results;
}

} // namespace brisklet::LeftoverScanner
