// The host profile: the few values that name places or brands of one desktop platform.
//
// Everything else in the engine is platform-neutral. Two columns exist: the values of the platform
// the product was first designed for (kept for reference and tests) and the Linux values this build
// uses. Callers ask hostProfile() and never hard-code these values.
#pragma once

#include "platform/Export.h"

#include <string>
#include <vector>

namespace brisklet {

struct HostProfile {
    // Where installed applications, their leftovers, extra cache categories and system updates come
    // from: application bundles and the user's Library, or the freedesktop.org places of a Linux
    // desktop (desktop entries, AppImages, XDG folders) and the package manager.
    enum class Sources { bundles, freedesktop };

    Sources sources = Sources::bundles;
    // Display name of the file-system root "/" in scan results.
    std::string rootDisplayName;
    // Top-level folder names left out when "/" itself is scanned.
    std::vector<std::string> rootSkipNames;
    // Deletion validator: trees added to the common protected ones (every path below is refused).
    std::vector<std::string> extraProtectedTrees;
    // Deletion validator: exact locations added to the common ones. A leading "~" stands for the
    // home folder (e.g. "~/.config").
    std::vector<std::string> extraProtectedExactLocations;
    // Deletion validator: whether the XDG folders count where the environment and user-dirs.dirs put
    // them, besides their default places above ("~/.config" protects $XDG_CONFIG_HOME as well, and
    // every XDG_*_DIR of user-dirs.dirs is protected).
    bool protectsXdgFolders = false;
    // Whether any mount point counts as a whole volume for the deletion validator.
    bool mountPointsAreWholeVolumes = false;
    // Cache locations relative to the home folder, for tools that keep theirs elsewhere here.
    std::string homebrewCache;
    std::string pipCache;
    std::string jetBrainsCache;
    std::string spotifyCache;
    // Absolute path of lsof.
    std::string lsofPath;
    // Menu and button title for revealing a file.
    std::string revealInFileManagerTitle;
    // Prefix of a protected application's detail line in the uninstaller.
    std::string systemAppDetailPrefix;
    // The system's update tool and its fixed arguments; what it prints follows from sources.
    std::string updateToolPath;
    std::vector<std::string> updateToolArguments;
    // The self-update's release image: its file-name extension, and what follows "Open NAME" in the
    // hint of a downloaded image.
    std::string updateImageExtension;
    std::string downloadedUpdateHint;
    // The update tool and the updater application as the update check's error texts name them.
    std::string updateToolName;
    std::string updaterName;

    // Texts of the interface that name the platform.
    // "Every process on " + thisComputer + " with its CPU and memory."
    std::string thisComputer;
    // Ends the warning about stopping the process of a privileged port.
    std::string systemServicesWarning;
    // The dashboard's update check: what it says while it runs, the button that opens the updater and
    // what it says when no updater could be opened.
    std::string updateCheckProgress;
    std::string openUpdaterTitle;
    std::string openUpdaterFailure;
    // Updater applications tried in order by the dashboard's button (program, then its arguments).
    std::vector<std::vector<std::string>> updaterApplications;
    // The uninstaller: its empty list, and the alerts about protected system applications (the
    // question's informative text is the applications' names followed by systemAppsSkipped).
    std::string uninstallerEmptySubtitle;
    std::string systemAppsCannotBeUninstalled;
    std::string skipSystemAppsQuestion;
    std::string systemAppsSkipped;
    // Whether the analyzer measures the user's cache home as one node, like a tool's cache folder.
    bool foldsCacheHome = true;
    // Per-application language overrides in the user preferences: removed at every launch, whatever
    // they hold, so the program always speaks the session's language.
    std::vector<std::string> languageOverrideKeys;
};

// The profile this build runs with (the Linux column).
BRISKLET_ENGINE_EXPORT const HostProfile& hostProfile();
// The original platform's column, unchanged.
BRISKLET_ENGINE_EXPORT const HostProfile& originalHostProfile();

} // namespace brisklet
