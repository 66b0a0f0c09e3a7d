#include "HostProfile.h"

namespace brisklet {

const HostProfile& originalHostProfile() {
    static const HostProfile profile{
        .rootDisplayName = "Macintosh HD",
        .rootSkipNames = {"System", "private", "usr", "bin", "sbin", "etc", "var", "dev", "Volumes", "opt",
                          "home", "net", "cores", "vol", ".fseventsd", ".Spotlight-V100",
                          ".DocumentRevisions-V100", ".TemporaryItems", ".MobileBackups",
                          ".PKInstallSandboxManager"},
        .extraProtectedTrees = {},
        .extraProtectedExactLocations = {},
        .mountPointsAreWholeVolumes = false,
        .homebrewCache = "Library/Caches/Homebrew",
        .pipCache = "Library/Caches/pip",
        .jetBrainsCache = "Library/Caches/JetBrains",
        .spotifyCache = "Library/Application Support/Spotify/PersistentCache",
        .lsofPath = "/usr/sbin/lsof",
        .revealInFileManagerTitle = "Reveal in Finder",
        .updateImageExtension = ".dmg",
        .downloadedUpdateHint = ", then drag Brisklet into Applications.",
    };
    return profile;
}

const HostProfile& hostProfile() {
    // The operating system and virtual file systems. Never home, root, var, opt, srv or tmp: users'
    // data, containers, logs and caches that fill Linux disks live there.
    static const HostProfile profile{
        .rootDisplayName = "Computer",
        .rootSkipNames = {"proc", "sys", "dev", "run", "boot", "usr", "bin", "sbin", "lib", "lib32", "lib64",
                          "libx32", "etc", "snap", "lost+found"},
        .extraProtectedTrees = {"/etc", "/boot", "/proc", "/sys", "/run", "/lib", "/lib32", "/lib64", "/libx32",
                                "/var/lib", "/snap"},
        .extraProtectedExactLocations = {"/home", "~/.config", "~/.local", "~/.local/share",
                                         "~/.local/share/Trash"},
        .mountPointsAreWholeVolumes = true,
        .homebrewCache = ".cache/Homebrew",
        .pipCache = ".cache/pip",
        .jetBrainsCache = ".cache/JetBrains",
        .spotifyCache = ".cache/spotify",
        .lsofPath = "/usr/bin/lsof",
        .revealInFileManagerTitle = "Show in File Manager",
        // The release is a Debian package, installed by the desktop's software centre.
        .updateImageExtension = ".deb",
        .downloadedUpdateHint = " to install it.",
    };
    return profile;
}

} // namespace brisklet
