#include "PathValidator.h"

#include "platform/FileOperations.h"
#include "platform/FileServices.h"

#include <algorithm>
#include <sys/stat.h>

namespace brisklet::PathValidator {

std::string Rejection::description() const {
    switch (kind) {
    case Kind::protectedPrefix:
        return "refusing to delete inside " + location;
    case Kind::protectedPath:
        return "refusing to delete protected location " + location;
    case Kind::notAbsolute:
        return "path is not absolute";
    case Kind::rootLevelPath:
        return "refusing to delete a top-level system location";
    case Kind::volumeRoot:
        return "refusing to delete an entire volume";
    case Kind::nonexistent:
        return "path does not exist";
    case Kind::holdsMount:
        return "refusing to delete a folder that holds the mounted file system at " + location;
    }
    return {};
}

std::vector<std::string> blockedPrefixes(const HostProfile& profile) {
    std::vector<std::string> prefixes{"/System",      "/usr",            "/bin",           "/sbin",
                                      "/private/etc", "/private/var/db", "/private/var/vm", "/dev"};
    prefixes.insert(prefixes.end(), profile.extraProtectedTrees.begin(), profile.extraProtectedTrees.end());
    return prefixes;
}

std::vector<std::string> blockedExact(const std::string& homeAsGiven, const HostProfile& profile) {
    // A home of "/home/me/" must protect "/home/me" all the same.
    const std::string home = homeAsGiven.empty() ? homeAsGiven : platform::standardizedPath(homeAsGiven);
    std::vector<std::string> exact{"/Applications", "/Library", "/Users", "/private", "/private/var", home,
                                   platform::joinPath(home, "Library")};
    std::vector<std::string> xdg;
    for (const std::string& location : profile.extraProtectedExactLocations) {
        if (location == "~") {
            exact.push_back(home);
        } else if (location.rfind("~/", 0) == 0) {
            exact.push_back(platform::joinPath(home, location.substr(2)));
            if (profile.protectsXdgFolders)
                xdg.push_back(platform::homePlace(home, location.substr(2)));
        } else {
            exact.push_back(location);
        }
    }
    if (profile.protectsXdgFolders) {
        for (const auto& [name, folder] : platform::userDirectories(home))
            xdg.push_back(folder);
        for (std::string& folder : xdg) {
            folder = platform::standardizedPath(folder);
            if (std::find(exact.begin(), exact.end(), folder) == exact.end())
                exact.push_back(std::move(folder));
        }
    }
    return exact;
}

namespace {

// The location tests alone, on a normalised candidate.
std::optional<Rejection> isBlocked(const std::string& candidate, const std::string& home,
                                   const HostProfile& profile) {
    if (candidate == "/")
        return Rejection::rootLevelPath();

    std::size_t components = 0;
    for (std::size_t i = 0; i < candidate.size();) {
        const std::size_t slash = candidate.find('/', i);
        const std::size_t end = slash == std::string::npos ? candidate.size() : slash;
        if (end > i)
            ++components;
        i = end + 1;
    }
    if (components < 2)
        return Rejection::rootLevelPath();

    if (components == 2 && candidate.rfind("/Volumes/", 0) == 0)
        return Rejection::volumeRoot();
    // Linux mounts volumes anywhere, so every mount point is a whole volume.
    if (profile.mountPointsAreWholeVolumes && platform::isMountPoint(candidate))
        return Rejection::volumeRoot();

    for (const std::string& prefix : blockedPrefixes(profile))
        if (platform::isWithinPath(candidate, prefix))
            return Rejection::protectedPrefix(prefix);

    // Candidates are resolved, so a home folder reached through a symbolic link is protected under
    // its resolved name as well.
    std::vector<std::string> homes{home};
    if (auto resolvedHome = platform::resolvedPath(home); resolvedHome && *resolvedHome != platform::standardizedPath(home))
        homes.push_back(*resolvedHome);
    for (const std::string& someHome : homes)
        for (const std::string& location : blockedExact(someHome, profile))
            if (candidate == location)
                return Rejection::protectedPath(candidate);

    return std::nullopt;
}

bool existsItself(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Where the item itself lies: the folders above resolved, its own name kept (trailing separators
// ignored). The Trash moves a symbolic link from there, not its target. Nothing when the folder does
// not resolve or the name is "." or "..".
std::optional<std::string> placeOf(const std::string& path) {
    const std::string stripped = platform::withoutTrailingSlashes(path);
    const std::string name = platform::lastPathComponent(stripped);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    const auto folder = platform::resolvedPath(platform::parentPath(stripped));
    if (!folder)
        return std::nullopt;
    return platform::joinPath(*folder, name);
}

// realpath decides for existing paths (every link followed, the last one too). Where it fails on an
// item that is there all the same (a dangling link, a link loop), the item is judged where it lies.
// Otherwise the lexical form stands in for a path that does not resolve.
std::string candidateFor(const std::string& path) {
    if (auto resolved = platform::resolvedPath(path))
        return *resolved;
    if (auto place = placeOf(path); place && existsItself(*place))
        return *place;
    return platform::standardizedPath(path);
}

} // namespace

std::optional<Rejection> deletionRejection(const std::string& path, const std::string& home,
                                           const HostProfile& profile, const std::string& mountTable) {
    if (path.empty() || path.front() != '/')
        return Rejection::notAbsolute();
    // The system reads a path only up to a NUL, so such text names nothing of its own.
    if (path.find('\0') != std::string::npos)
        return Rejection::nonexistent();

    const std::string candidate = candidateFor(path);

    if (auto rejection = isBlocked(candidate, home, profile))
        return rejection;
    // A link is moved from where it lies: a link inside a protected place is refused wherever it leads.
    if (auto place = placeOf(path); place && *place != candidate && existsItself(*place))
        if (auto rejection = isBlocked(*place, home, profile))
            return rejection;

    struct stat st {};
    if (::lstat(candidate.c_str(), &st) != 0)
        return Rejection::nonexistent();
    // The table, not the tree: a share below that stopped answering must not hold the check, and a
    // bind mount of a folder of the same disk shares its device.
    if (S_ISDIR(st.st_mode))
        if (const auto mounts = platform::mountPointsBelow(candidate, mountTable); !mounts.empty())
            return Rejection::holdsMount(mounts.front());
    return std::nullopt;
}

} // namespace brisklet::PathValidator
