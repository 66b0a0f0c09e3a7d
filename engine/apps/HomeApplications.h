// The applications of a Linux desktop, found through desktop entries and in the home folder.
//
// Roots are folders. A root whose last component is "applications" holds desktop entries: a
// package manager's (below /usr, /var/lib or /snap, or a Flatpak exports folder) or the user's (any
// other). Every other root is searched one level deep for
//   - AppImages: regular files named "*.AppImage" in any case (links are not followed), and
//   - application folders: real folders that a user desktop entry launches a program from, except in
//     ~/AppImages, the download folder (XDG_DOWNLOAD_DIR, else ~/Downloads) and ~/.local/bin, whose
//     folders are the user's own.
// An AppImage that a user desktop entry launches is listed wherever it lies. Name, identifier
// (the desktop file id), version and icon come from the first user entry that launches the
// application, else from its file or folder name ("Name-1.2.3-x86_64.AppImage": Name, 1.2.3, and the
// file name without its extension as identifier). Applications of a package manager's entries are
// listed as protected with the entry file as their path. An application reached twice (two roots,
// or a root and an entry) is listed once, as first found.
#pragma once

#include "apps/ApplicationEntry.h"
#include "apps/DesktopEntry.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisklet::HomeApplications {

// The Linux roots for a home folder, in search order.
std::vector<std::string> roots(const std::string& home);

bool isEntryFolder(std::string_view root);
bool isSystemEntryFolder(std::string_view root);

// Applications in the roots, unsorted (roots in order, then names).
std::vector<ApplicationEntry> list(const std::vector<std::string>& roots);

// The application at path (symbolic links followed) as listing the roots finds it; an AppImage the
// listing does not reach is read from its name. Nothing for anything else.
std::optional<ApplicationEntry> find(const std::string& path, const std::vector<std::string>& roots);

// "Name-1.2.3-x86_64" gives {"Name", "1.2.3"}; a name without a version piece gives {name, ""}.
std::pair<std::string, std::string> nameAndVersion(std::string_view stem);

// True when the desktop entry launches a program that is the bundle or lies inside it (both resolved).
bool launches(const DesktopEntry& entry, const std::string& resolvedBundle);

// The user desktop entries in the usual folders of home that launch the bundle at bundlePath.
std::vector<DesktopEntry> launchersOf(const std::string& bundlePath, const std::string& entryFolder);

// The identifiers of the applications that have a process whose executable lies in their bundle
// (/proc/PID/exe); processes of other users, which cannot be read, are not seen.
std::set<std::string> runningBundleIDs(const std::vector<ApplicationEntry>& applications,
                                       const std::string& procRoot = "/proc");

} // namespace brisklet::HomeApplications
