#include "HostProfile.h"

namespace brisklet {

const HostProfile& originalHostProfile() {
    static const HostProfile profile{
        .sources = HostProfile::Sources::bundles,
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
        .systemAppDetailPrefix = "Apple system app \u00B7 ",
        .updateToolPath = "/usr/sbin/softwareupdate",
        .updateToolArguments = {"--list"},
        .updateImageExtension = ".dmg",
        .downloadedUpdateHint = ", then drag Brisklet into Applications.",
        .updateToolName = "Software Update",
        .updaterName = "Software Update",
    };
    return profile;
}

const HostProfile& hostProfile() {
    // The operating system and virtual file systems. Never home, root, var, opt, srv or tmp: users'
    // data, containers, logs and caches that fill Linux disks live there.
    static const HostProfile profile{
        .sources = HostProfile::Sources::freedesktop,
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
        .systemAppDetailPrefix = "System app \u00B7 ",
        // Simulation: no root, no download, no lock; -q leaves the lines meant for scripts and the
        // summary. dist-upgrade, unlike upgrade, also shows the kernel updates that pull in new packages.
        .updateToolPath = "/usr/bin/apt-get",
        .updateToolArguments = {"-s", "-q", "-o", "APT::Get::Show-User-Simulation-Note=false", "dist-upgrade"},
        // The release is a Debian package, installed by the desktop's software centre.
        .updateImageExtension = ".deb",
        .downloadedUpdateHint = " to install it.",
        .updateToolName = "apt-get",
        .updaterName = "the software updater",
    };
    return profile;
}

} // namespace brisklet
