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
        .thisComputer = "this Mac",
        .systemServicesWarning = "macOS services",
        .updateCheckProgress = "Checking Apple for updates. This can take up to two minutes.",
        .openUpdaterTitle = "Open Software Update",
        .openUpdaterFailure = "Could not open Software Update. Open System Settings \u2192 General \u2192 Software Update.",
        .updaterApplications = {},
        .uninstallerEmptySubtitle = "Applications from /Applications and ~/Applications appear here",
        .systemAppsCannotBeUninstalled = "These are Apple system apps that ship with macOS and can't be uninstalled.",
        .skipSystemAppsQuestion = "Skip Apple system apps?",
        .systemAppsSkipped = " ship with macOS and will be skipped. Uninstall the rest?",
        .foldsCacheHome = true,
        .languageOverrideKeys = {"AppleLanguages", "language"},
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
        .extraProtectedExactLocations = {"/home", "~/.config", "~/.local", "~/.local/share", "~/.local/share/Trash",
                                         "~/.local/state", "~/Desktop", "~/Documents", "~/Downloads", "~/Music",
                                         "~/Pictures", "~/Public", "~/Templates", "~/Videos"},
        .protectsXdgFolders = true,
        .mountPointsAreWholeVolumes = true,
        .homebrewCache = ".cache/Homebrew",
        .pipCache = ".cache/pip",
        .jetBrainsCache = ".cache/JetBrains",
        .spotifyCache = ".cache/spotify",
        .lsofPath = "/usr/bin/lsof",
        .revealInFileManagerTitle = "Show in File Manager",
        .systemAppDetailPrefix = "System app \u00B7 ",
        // Simulation: no root, no download, no lock; -q leaves the lines meant for scripts and the
        // summary. --with-new-pkgs makes it what "apt upgrade" installs, kernel updates that pull in
        // new packages included, and never a removal.
        .updateToolPath = "/usr/bin/apt-get",
        .updateToolArguments = {"-s", "-q", "-o", "APT::Get::Show-User-Simulation-Note=false", "--with-new-pkgs",
                                "upgrade"},
        // The release is a Debian package, installed by the desktop's software centre.
        .updateImageExtension = ".deb",
        .downloadedUpdateHint = " to install it.",
        .updateToolName = "apt-get",
        .updaterName = "the software updater",
        .thisComputer = "this computer",
        .systemServicesWarning = "system services",
        .updateCheckProgress = "Checking the package lists for updates. This can take up to two minutes.",
        .openUpdaterTitle = "Open Software Updater",
        .openUpdaterFailure = "Could not open a software updater (tried GNOME Software, Discover and Software "
                              "Updater). Run \u201Csudo apt upgrade\u201D in a terminal to install the updates.",
        // The desktops' own update applications, in the order desktops usually ship them.
        .updaterApplications = {{"gnome-software", "--mode=updates"},
                                {"plasma-discover", "--mode", "update"},
                                {"update-manager"}},
        // What the Linux catalog lists: AppImages and applications installed in the home folder.
        .uninstallerEmptySubtitle = "AppImages and applications installed in your home folder appear here",
        .systemAppsCannotBeUninstalled =
            "These are system applications installed by the package manager and can't be uninstalled here.",
        .skipSystemAppsQuestion = "Skip system applications?",
        .systemAppsSkipped = " came with the package manager and will be skipped. Uninstall the rest?",
        // ~/.cache is a folder a user goes into; a project's .cache stays one node.
        .foldsCacheHome = false,
        // The session's locale is the only language setting a Linux desktop has; the neutral key is
        // still cleared for settings carried over from elsewhere.
        .languageOverrideKeys = {"language"},
    };
    return profile;
}

} // namespace brisklet
